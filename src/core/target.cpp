#include "core/target.h"

#include "net/resolver.h"

#include <netdb.h>

namespace quendrix {

QString TrimBlanks(const QString& text) {
    qsizetype begin = 0;
    qsizetype end = text.size();
    while (begin < end && text.at(begin).unicode() <= 32) {
        ++begin;
    }
    while (end > begin && text.at(end - 1).unicode() <= 32) {
        --end;
    }
    return text.mid(begin, end - begin);
}

QString ReduceTarget(const QString& target) {
    static const QString prefix = QStringLiteral("http://");
    QString host = TrimBlanks(target);
    if (host.left(prefix.size()).compare(prefix, Qt::CaseInsensitive) == 0) {
        host = TrimBlanks(host.mid(prefix.size()));
    }
    const qsizetype slash = host.indexOf(QLatin1Char('/'));
    if (slash >= 0) {
        host = TrimBlanks(host.left(slash));
    }
    return host;
}

Result<ResolvedHost> ResolveHost(const QString& host) {
    auto entry = net::lookupHost(host.toLocal8Bit().toStdString());
    if (!entry) {
        return entry.error();
    }
    ResolvedHost out;
    out.officialName = QString::fromLocal8Bit(entry->officialName);
    out.addresses.reserve(static_cast<qsizetype>(entry->addresses.size()));
    for (const std::uint32_t address : entry->addresses) {
        out.addresses.append(QString::fromStdString(net::addressToDottedText(address)));
    }
    return out;
}

Result<std::uint32_t> ResolveFirstAddress(const std::string& host) {
    // The resolver would read its configuration files only to find that such a text needs no
    // look-up; a batch that pings an address many times spares that.
    if (net::isDottedLiteral(host)) {
        if (const auto address = net::parseDottedText(host)) {
            return *address;
        }
        return net::resolverError(HOST_NOT_FOUND);
    }
    auto entry = net::lookupHost(host);
    if (!entry) {
        return entry.error();
    }
    return entry->addresses.front();
}

QString ResolveName(const QString& host) {
    const auto address = ResolveFirstAddress(host.toLocal8Bit().toStdString());
    if (!address) {
        return kLookupFailed;
    }
    return QString::fromStdString(net::addressToDottedText(*address));
}

QString ResolveAddress(const QString& dottedAddress) {
    // A text the dotted conversion rejects names no host: no query is sent for it.
    const auto address = net::parseDottedText(dottedAddress.toLocal8Bit().toStdString());
    if (!address) {
        return kLookupFailed;
    }
    const auto name = net::lookupAddress(*address);
    return name ? QString::fromLocal8Bit(*name) : kLookupFailed;
}

std::optional<long long> ReadWholeNumber(const QString& text) {
    qsizetype i = 0;
    while (i < text.size() && text.at(i) == QLatin1Char(' ')) {
        ++i;
    }
    bool negative = false;
    if (i < text.size() && (text.at(i) == QLatin1Char('+') || text.at(i) == QLatin1Char('-'))) {
        negative = text.at(i) == QLatin1Char('-');
        ++i;
    }
    if (i >= text.size()) {
        return std::nullopt;
    }
    long long value = 0;
    for (; i < text.size(); ++i) {
        const QChar c = text.at(i);
        if (c < QLatin1Char('0') || c > QLatin1Char('9')) {
            return std::nullopt;
        }
        value = value * 10 + (c.unicode() - '0');
        if (value > 2147483648LL) {
            return std::nullopt;  // beyond a 32-bit whole number
        }
    }
    if (!negative && value > 2147483647LL) {
        return std::nullopt;
    }
    return negative ? -value : value;
}

Result<std::array<int, 4>> ParseDottedAddress(const QString& text) {
    // Each part ends at its dot; a missing dot leaves that part (and those after it) empty.
    std::array<QString, 4> parts;
    qsizetype from = 0;
    for (size_t i = 0; i < 3 && from >= 0; ++i) {
        const qsizetype dot = text.indexOf(QLatin1Char('.'), from);
        if (dot >= 0) {
            parts[i] = text.mid(from, dot - from);
        }
        from = dot < 0 ? -1 : dot + 1;
    }
    if (from >= 0) {
        parts[3] = text.mid(from);
    }
    std::array<int, 4> octets{};
    bool inRange = true;
    for (size_t i = 0; i < 4; ++i) {
        const auto value = ReadWholeNumber(parts[i]);
        if (!value) {
            const QString why = QStringLiteral("'%1' is not a valid integer value").arg(parts[i]);
            return Error{ErrorCode::InvalidInput, 0, why.toStdString()};
        }
        if (*value < 0 || *value > 255) {
            inRange = false;
        }
        octets[i] = static_cast<int>(*value);
    }
    if (!inRange) {
        return Error{ErrorCode::OutOfRange, 0, {}};
    }
    return octets;
}

}  // namespace quendrix
