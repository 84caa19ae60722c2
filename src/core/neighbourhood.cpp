#include "core/neighbourhood.h"

#include <algorithm>
#include <cstdint>

namespace quendrix {

Neighbourhood BuildNeighbourhood(const std::array<int, 4>& octets, int size) {
    const std::int64_t address = (std::int64_t{octets[0]} << 24) | (std::int64_t{octets[1]} << 16) |
                                 (std::int64_t{octets[2]} << 8) | std::int64_t{octets[3]};
    const std::int64_t half = size / 2;
    Neighbourhood result;
    if (address <= half) {
        result.outcome = Neighbourhood::Outcome::BelowZero;
        return result;
    }
    constexpr std::int64_t kLast = 0xFFFFFFFFLL;
    const std::int64_t last = address + half;
    if (last > kLast) {
        result.outcome = Neighbourhood::Outcome::PastTheEnd;
    }
    for (std::int64_t a = address - half; a <= std::min(last, kLast); ++a) {
        result.addresses.append(QStringLiteral("%1.%2.%3.%4")
                                    .arg((a >> 24) & 0xFF)
                                    .arg((a >> 16) & 0xFF)
                                    .arg((a >> 8) & 0xFF)
                                    .arg(a & 0xFF));
    }
    return result;
}

}  // namespace quendrix
