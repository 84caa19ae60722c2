#include "tools/localinfo/local_info.h"

#include "core/date_time_text.h"

#include <QDateTime>

#include <cerrno>
#include <ctime>
#include <utility>

namespace quendrix::localinfo {
namespace {

// A text of the records: the system's bytes up to the first zero byte, as a character array
// of the platform would hold them.
QString text(const std::string& bytes) {
    const auto end = bytes.find('\0');
    const std::string_view kept(bytes.data(), end == std::string::npos ? bytes.size() : end);
    return QString::fromLocal8Bit(kept.data(), static_cast<qsizetype>(kept.size()));
}

QString number(unsigned value) {
    return QString::number(value);
}

InfoLine line(const char* label, QString value = {}) {
    return {QString::fromLatin1(label), std::move(value), false};
}

InfoLine addressLine(const char* label, std::span<const net::AddrEntry> entries) {
    return {QString::fromLatin1(label), AddrListText(entries), true};
}

}  // namespace

Result<TimeZoneState> ReadPresentTimeZone() {
    // TZ may have changed since the last look (localtime_r alone need not read it again).
    tzset();
    errno = 0;
    const std::time_t now = std::time(nullptr);
    if (now == static_cast<std::time_t>(-1)) {
        return Error::fromErrno(errno != 0 ? errno : EOVERFLOW);
    }
    std::tm local{};
    if (localtime_r(&now, &local) == nullptr) {
        return Error::fromErrno(errno != 0 ? errno : EOVERFLOW);
    }
    return TimeZoneState{static_cast<int>(-local.tm_gmtoff / 60),
                         QString::fromLocal8Bit(local.tm_zone != nullptr ? local.tm_zone : "")};
}

QString MacText(std::span<const std::uint8_t> bytes) {
    QString result;
    result.reserve(static_cast<qsizetype>(bytes.size()) * 3);
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        if (i > 0) {
            result += QLatin1Char('-');
        }
        result += QStringLiteral("%1").arg(bytes[i], 2, 16, QLatin1Char('0')).toUpper();
    }
    return result;
}

QString AddrListText(std::span<const net::AddrEntry> entries) {
    QString result;
    for (const net::AddrEntry& entry : entries) {
        result += QStringLiteral("A: ") + text(entry.ipAddress) + QStringLiteral(" M: ") +
                  text(entry.ipMask) + QLatin1Char('\r');
    }
    return result;
}

Result<QString> LeaseTimeText(std::int64_t t, const TimeZoneSource& zone) {
    // The low 32 bits as a signed number: past 2038 a time wraps to before 1970.
    const auto seconds =
        static_cast<std::int32_t>(static_cast<std::uint32_t>(static_cast<std::uint64_t>(t)));
    if (seconds == 0) {
        return QString();
    }
    auto present = zone();
    if (!present) {
        return present.error();
    }
    // The present bias for every time, whatever the season of the time itself.
    const qint64 local = static_cast<qint64>(seconds) - qint64{present->biasMinutes} * 60;
    const QDateTime when = QDateTime::fromSecsSinceEpoch(local, Qt::UTC);
    QString result = ShortDateText(when.date());
    if (when.time() != QTime(0, 0)) {
        result += QLatin1Char(' ') + LongTimeText(when.time());
    }
    return result + QLatin1Char(' ') + present->name;
}

QString SystemErrorText(const Error& error) {
    const QString reason = QString::fromStdString(
        error.text.empty() ? Error::errorText(error.systemError) : error.text);
    return QStringLiteral("System Error.  Code: ") + QString::number(error.systemError) +
           QStringLiteral(".\n") + reason;
}

Filled FillNetworkParams(const Result<net::NetworkParams>& params) {
    if (!params) {
        return {{}, params.error()};
    }
    Filled filled;
    InfoLines& lines = filled.lines;
    lines.push_back(line("Host name: ", text(params->hostName)));
    lines.push_back(line("Domain name: ", text(params->domainName)));
    lines.push_back(params->currentDnsServer
                        ? line("Current DNS Server: ", text(params->currentDnsServer->ipAddress))
                        : line("Current DNS Server: (none)"));
    if (params->dnsServers.empty()) {
        // Server 1 is always listed, with nothing after it when there is none.
        lines.push_back(line("DNS 1: "));
    }
    for (std::size_t i = 0; i < params->dnsServers.size(); ++i) {
        lines.push_back({QStringLiteral("DNS ") + QString::number(i + 1) + QStringLiteral(": "),
                         text(params->dnsServers[i].ipAddress), false});
    }
    lines.push_back(line("Scope ID: ", text(params->scopeId)));
    lines.push_back(line("Routing: ", number(params->enableRouting)));
    lines.push_back(line("Proxy: ", number(params->enableProxy)));
    lines.push_back(line("DNS: ", number(params->enableDns)));
    return filled;
}

Filled FillAdapters(const Result<std::vector<net::AdapterInfo>>& adapters,
                    const TimeZoneSource& zone) {
    if (!adapters) {
        return {{}, adapters.error()};
    }
    Filled filled;
    InfoLines& lines = filled.lines;
    int n = 0;
    for (const net::AdapterInfo& adapter : *adapters) {
        ++n;
        lines.push_back(line(""));
        lines.push_back({QStringLiteral("Adapter "), QString::number(n), false});
        lines.push_back(line("  ComboIndex: ", number(adapter.comboIndex)));
        lines.push_back(line("  Adapter name: ", text(adapter.adapterName)));
        lines.push_back(line("  Description: ", text(adapter.description)));
        lines.push_back(line("  Adapter address: ", MacText(adapter.address)));
        lines.push_back(line("  Index: ", number(adapter.index)));
        lines.push_back(line("  Type: ", number(adapter.type)));
        lines.push_back(line("  DHCP: ", number(adapter.dhcpEnabled)));
        std::span<const net::AddrEntry> current;
        if (adapter.currentIpAddress) {
            current = std::span<const net::AddrEntry>(&*adapter.currentIpAddress, 1);
        }
        lines.push_back(addressLine("  Current IP: ", current));
        lines.push_back(addressLine("  IP addresses: ", adapter.ipAddressList));
        lines.push_back(addressLine("  Gateways: ", adapter.gatewayList));
        lines.push_back(addressLine("  DHCP servers: ", adapter.dhcpServer));
        lines.push_back(line("  Has WINS: ", number(adapter.haveWins)));
        lines.push_back(addressLine("  Primary WINS: ", adapter.primaryWinsServer));
        lines.push_back(addressLine("  Secondary WINS: ", adapter.secondaryWinsServer));
        const std::pair<const char*, std::int64_t> leases[] = {
            {"  Lease obtained: ", adapter.leaseObtained},
            {"  Lease expires: ", adapter.leaseExpires}};
        for (const auto& [label, t] : leases) {
            auto lease = LeaseTimeText(t, zone);
            if (!lease) {
                filled.failure = lease.error();
                return filled;
            }
            lines.push_back(line(label, std::move(*lease)));
        }
    }
    return filled;
}

Sources SystemSources() {
    return {[] { return net::ReadNetworkParams(); }, [] { return net::ReadAdapters(); },
            ReadPresentTimeZone};
}

LocalInformation ReadLocalInformation(const Sources& sources) {
    LocalInformation result;
    Filled params = FillNetworkParams(sources.readParams());
    result.info = std::move(params.lines);
    if (params.failure) {
        result.failure = std::move(params.failure);
        return result;
    }
    Filled adapters = FillAdapters(sources.readAdapters(), sources.zone);
    result.info2 = std::move(adapters.lines);
    result.failure = std::move(adapters.failure);
    return result;
}

QString DisplayText(const InfoLine& line, QChar lineBreak) {
    if (!line.addressList || !line.value.contains(QLatin1Char('\r'))) {
        return line.text();
    }
    QStringList entries = line.value.split(QLatin1Char('\r'));
    if (entries.size() > 1 && entries.back().isEmpty()) {
        entries.removeLast();  // the CR that ends the list ends the line
    }
    const QString indent(line.label.size(), QLatin1Char(' '));
    QString result = line.label + entries.front();
    for (qsizetype i = 1; i < entries.size(); ++i) {
        result += lineBreak + indent + entries[i];
    }
    return result;
}

QStringList LineTexts(const InfoLines& lines) {
    QStringList texts;
    texts.reserve(static_cast<qsizetype>(lines.size()));
    for (const InfoLine& each : lines) {
        texts.append(each.text());
    }
    return texts;
}

}  // namespace quendrix::localinfo
