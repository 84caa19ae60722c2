// Fuzz target for the GeoIP range reader: any bytes. The kept ranges are sorted and never
// overlap, each answers its own first and last address with its code and not the address just
// past it, and no line is counted twice.
#include "tools/locator/geoip_database.h"

#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    const auto database = quendrix::locator::GeoIpDatabase::Parse(text);
    std::size_t lines = 0;
    for (std::size_t at = 0; at < text.size();) {
        const std::size_t end = text.find('\n', at);
        ++lines;
        at = end == std::string_view::npos ? text.size() : end + 1;
    }
    if (database.size() + database.skippedLines() > lines) {
        std::abort();
    }
    const auto& ranges = database.ranges();
    for (std::size_t i = 0; i < ranges.size(); ++i) {
        const auto& range = ranges[i];
        if (range.first > range.last || (i > 0 && ranges[i - 1].last >= range.first)) {
            std::abort();
        }
        const std::string code(range.code, 2);
        if (database.CountryCode(range.first) != code || database.CountryCode(range.last) != code) {
            std::abort();
        }
        // Just past the range is outside it unless the next range starts there.
        if (range.last != 0xFFFFFFFFu &&
            (i + 1 == ranges.size() || ranges[i + 1].first != range.last + 1) &&
            database.CountryCode(range.last + 1)) {
            std::abort();
        }
    }
    return 0;
}

#include "support/fuzz_replay_main.h"
