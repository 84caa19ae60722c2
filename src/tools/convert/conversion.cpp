#include "tools/convert/conversion.h"

#include "core/target.h"

namespace quendrix {

std::vector<ConvertedRow> ConvertEntry(ConvertMode mode, const QString& entry) {
    std::vector<ConvertedRow> rows;
    if (mode == ConvertMode::NameToIp) {
        // The grid shows the entry as written; only the look-up uses the reduced host.
        const auto host = ResolveHost(ReduceTarget(entry));
        if (!host) {
            rows.push_back({entry, kUnknown, true});
            return rows;
        }
        rows.reserve(static_cast<size_t>(host->addresses.size()));
        for (const QString& address : host->addresses) {
            rows.push_back({entry, address, false});
        }
        return rows;
    }
    // Addresses are taken as written: a text that is no address names no host.
    const QString name = ResolveAddress(entry);
    if (name == kLookupFailed) {
        rows.push_back({kUnknown, entry, true});
    } else {
        rows.push_back({name, entry, false});
    }
    return rows;
}

}  // namespace quendrix
