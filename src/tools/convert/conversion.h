// One entry of the converter list turned into its result rows, in either direction. The
// batch worker, the page and the command line all convert through this.
#pragma once

#include <QString>

#include <optional>
#include <vector>

namespace quendrix {

// The direction of a batch, fixed when it starts.
enum class ConvertMode {
    NameToIp,  // "nametoip": every host name to its addresses
    IpToName,  // "iptoname": every address to its host name
};

// The cell text of a failed conversion, on the side of the missing answer.
inline const QString kUnknown = QStringLiteral("Unknown");

// One row of the result grid: "Domain / Host Name" (left) and "IP Address" (right).
struct ConvertedRow {
    QString left;
    QString right;
    bool failed = false;

    bool operator==(const ConvertedRow&) const = default;
};

// The rows of one list entry: name to address gives one row per address, or (entry,
// "Unknown"); address to name gives (official name, entry) or ("Unknown", entry). Blocks for
// the look-up.
std::vector<ConvertedRow> ConvertEntry(ConvertMode mode, const QString& entry);

}  // namespace quendrix
