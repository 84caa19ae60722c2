#include "core/target.h"

#include "net/resolver.h"
#include "net/target_text.h"

namespace quendrix {

QString TrimBlanks(const QString& text) {
    return QString::fromUtf8(net::TrimBlanks(text.toUtf8().toStdString()));
}

QString ReduceTarget(const QString& target) {
    return QString::fromUtf8(net::ReduceTarget(target.toUtf8().toStdString()));
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

QString ResolveName(const QString& host) {
    const auto address = ResolveFirstAddress(host.toLocal8Bit().toStdString());
    if (!address) {
        return kLookupFailed;
    }
    return QString::fromStdString(net::addressToDottedText(*address));
}

QString ResolveAddress(const QString& dottedAddress) {
    return QString::fromLocal8Bit(net::ResolveAddress(dottedAddress.toLocal8Bit().toStdString()));
}

std::optional<long long> ReadWholeNumber(const QString& text) {
    return net::ReadWholeNumber(text.toUtf8().toStdString());
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
