// The country of an IPv4 address from a GeoIP range file of the kind the tor-geoipdb package
// installs (/usr/share/tor/geoip): lines "FROM,TO,CC", FROM and TO the first and last address
// of a range as whole numbers, CC a two-letter country code ("??" where the source knows none);
// lines starting with '#' are comments. Read once; every look-up is then a binary search over
// the ranges. Plain C++: the reader takes bytes and knows nothing of Qt.
#pragma once

#include "net/result.h"

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace quendrix::locator {

// Where Debian's tor-geoipdb puts the IPv4 ranges.
inline constexpr const char* kSystemGeoIpPath = "/usr/share/tor/geoip";

struct GeoIpRange {
    std::uint32_t first = 0;  // host byte order, inclusive
    std::uint32_t last = 0;
    char code[2] = {};
};

class GeoIpDatabase {
  public:
    GeoIpDatabase() = default;

    // The ranges of a file's text. A line that is no valid range (a field missing or extra, a
    // number that is not a plain decimal up to 4294967295, FROM above TO, a code that is not two
    // printable characters) is skipped and counted. Where ranges overlap, the one that starts
    // lower (of two with the same start: the one read first) keeps the overlapping addresses,
    // so the answer never depends on the search's path.
    static GeoIpDatabase Parse(std::string_view text);
    // Reads and parses a file; a file that cannot be read is the system's failure.
    static Result<GeoIpDatabase> Load(const std::string& path);

    // The two-letter code of the range that holds the address (host byte order), exactly as
    // the file gives it ("??" included); nullopt when no range holds it.
    std::optional<std::string> CountryCode(std::uint32_t address) const;

    // The ranges kept, by their first address.
    const std::vector<GeoIpRange>& ranges() const { return m_ranges; }
    std::size_t size() const { return m_ranges.size(); }
    bool empty() const { return m_ranges.empty(); }
    // Lines that were neither comments, blank nor valid ranges, and ranges dropped as overlaps.
    std::size_t skippedLines() const { return m_skipped; }

  private:
    std::vector<GeoIpRange> m_ranges;  // sorted by first, never overlapping
    std::size_t m_skipped = 0;
};

}  // namespace quendrix::locator
