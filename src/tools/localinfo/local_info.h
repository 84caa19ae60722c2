// Local Information's engine: the lines of the two text areas, the network parameters in
// `Info` and one 18-line block per adapter in `info2`, made from net/NetworkInfo's records.
// Also the texts inside them (hardware address, address lists, lease times) and the text of
// a failure. The page and `quendrix-cli info` both use it; it shows nothing itself.
#pragma once

#include "net/network_info.h"
#include "net/result.h"

#include <QString>
#include <QStringList>

#include <cstdint>
#include <functional>
#include <optional>
#include <span>
#include <vector>

namespace quendrix::localinfo {

// The time zone as it is now: the minutes to add to a local time to get UTC (so a zone east
// of Greenwich has a negative bias), and its abbreviation ("CET", "CEST").
struct TimeZoneState {
    int biasMinutes = 0;
    QString name;
};
using TimeZoneSource = std::function<Result<TimeZoneState>()>;
// The system's zone at this moment (TZ, else /etc/localtime).
Result<TimeZoneState> ReadPresentTimeZone();

// One line of a text area: its label and what follows it. An address list's value holds a
// carriage return after every entry; addressList marks such a line, so that a display can put
// each entry on a line of its own.
struct InfoLine {
    QString label;
    QString value;
    bool addressList = false;

    QString text() const { return label + value; }
    bool operator==(const InfoLine&) const = default;
};
using InfoLines = std::vector<InfoLine>;

// Every byte as two upper-case hexadecimal digits, joined by "-"; no bytes: empty.
QString MacText(std::span<const std::uint8_t> bytes);
// "A: <address> M: <mask>" and a CR for each entry, nothing between them; no entry: empty.
QString AddrListText(std::span<const net::AddrEntry> entries);
// A lease time (seconds since 1970 UTC, of which only the low 32 bits count, as a signed
// number): empty for 0; otherwise the local date and time by the zone's present bias, the time
// left out at midnight, then a blank and the present zone's name. The zone is asked for each
// non-zero time; its failure is the result's.
Result<QString> LeaseTimeText(std::int64_t t, const TimeZoneSource& zone);

// "System Error.  Code: N." and, on a second line, the system's text for it.
QString SystemErrorText(const Error& error);

// The lines of a text area and the failure that ended its filling, if one did.
struct Filled {
    InfoLines lines;
    std::optional<Error> failure;
};
// `Info`: host, domain, current and numbered DNS servers (number 1 always), scope ID, routing,
// proxy, DNS. A failed query gives no lines.
Filled FillNetworkParams(const Result<net::NetworkParams>& params);
// `info2`: for each adapter an empty line and 17 numbered facts. A failed query gives no lines;
// a failed time-zone read ends the lines before the lease time it was asked for.
Filled FillAdapters(const Result<std::vector<net::AdapterInfo>>& adapters,
                    const TimeZoneSource& zone);

// Where the whole page's facts come from; tests give their own records.
struct Sources {
    std::function<Result<net::NetworkParams>()> readParams;
    std::function<Result<std::vector<net::AdapterInfo>>()> readAdapters;
    TimeZoneSource zone;
};
// The machine's own: net/NetworkInfo's readers over the system's files and the system's zone.
Sources SystemSources();

// Both areas as the start-up fills them: the parameters first; when they fail, neither area
// gets a line and the adapters are not read. failure is the one error that ended the filling.
struct LocalInformation {
    InfoLines info;
    InfoLines info2;
    std::optional<Error> failure;
};
LocalInformation ReadLocalInformation(const Sources& sources);

// A line as shown: an address list's entries one a line, each after the first indented by
// lineBreak then as many blanks as the label has characters, and no break after the last.
// Other lines are their text.
QString DisplayText(const InfoLine& line, QChar lineBreak);
// The stored texts, each line's text.
QStringList LineTexts(const InfoLines& lines);

}  // namespace quendrix::localinfo
