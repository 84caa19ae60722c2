#include "tools/locator/geoip_database.h"

#include "net/whole_file.h"

#include <algorithm>
#include <iterator>

namespace quendrix::locator {
namespace {

// A plain decimal number (digits only, no sign, no blanks) that fits 32 bits.
std::optional<std::uint32_t> readAddress(std::string_view field) {
    if (field.empty() || field.size() > 10) {
        return std::nullopt;
    }
    std::uint64_t value = 0;
    for (const char c : field) {
        if (c < '0' || c > '9') {
            return std::nullopt;
        }
        value = value * 10 + static_cast<std::uint64_t>(c - '0');
    }
    if (value > 0xFFFFFFFFu) {
        return std::nullopt;
    }
    return static_cast<std::uint32_t>(value);
}

std::optional<GeoIpRange> readRange(std::string_view line) {
    const std::size_t firstComma = line.find(',');
    if (firstComma == std::string_view::npos) {
        return std::nullopt;
    }
    const std::size_t secondComma = line.find(',', firstComma + 1);
    if (secondComma == std::string_view::npos) {
        return std::nullopt;
    }
    const auto first = readAddress(line.substr(0, firstComma));
    const auto last = readAddress(line.substr(firstComma + 1, secondComma - firstComma - 1));
    const std::string_view code = line.substr(secondComma + 1);
    if (!first || !last || *first > *last || code.size() != 2) {
        return std::nullopt;
    }
    for (const char c : code) {
        if (c <= ' ' || c == ',' || static_cast<unsigned char>(c) >= 0x7F) {
            return std::nullopt;
        }
    }
    GeoIpRange range;
    range.first = *first;
    range.last = *last;
    range.code[0] = code[0];
    range.code[1] = code[1];
    return range;
}

}  // namespace

GeoIpDatabase GeoIpDatabase::Parse(std::string_view text) {
    GeoIpDatabase database;
    std::vector<GeoIpRange> ranges;
    while (!text.empty()) {
        const std::size_t end = text.find('\n');
        std::string_view line = text.substr(0, end);
        text = end == std::string_view::npos ? std::string_view() : text.substr(end + 1);
        if (!line.empty() && line.back() == '\r') {
            line.remove_suffix(1);
        }
        if (line.empty() || line.front() == '#') {
            continue;
        }
        if (const auto range = readRange(line)) {
            ranges.push_back(*range);
        } else {
            ++database.m_skipped;
        }
    }
    std::stable_sort(ranges.begin(), ranges.end(),
                     [](const GeoIpRange& a, const GeoIpRange& b) { return a.first < b.first; });
    database.m_ranges.reserve(ranges.size());
    for (const GeoIpRange& range : ranges) {
        if (!database.m_ranges.empty() && range.first <= database.m_ranges.back().last) {
            ++database.m_skipped;
            continue;
        }
        database.m_ranges.push_back(range);
    }
    return database;
}

Result<GeoIpDatabase> GeoIpDatabase::Load(const std::string& path) {
    // The shared reader: a folder fails (EISDIR), a FIFO reads as empty rather than hanging.
    auto text = net::readWholeFile(path);
    if (!text) {
        return text.error();
    }
    return Parse(*text);
}

std::optional<std::string> GeoIpDatabase::CountryCode(std::uint32_t address) const {
    // The last range that starts at or below the address is the only one that can hold it.
    const auto after = std::upper_bound(
        m_ranges.begin(), m_ranges.end(), address,
        [](std::uint32_t value, const GeoIpRange& range) { return value < range.first; });
    if (after == m_ranges.begin()) {
        return std::nullopt;
    }
    const GeoIpRange& range = *std::prev(after);
    if (address > range.last) {
        return std::nullopt;
    }
    return std::string(range.code, 2);
}

}  // namespace quendrix::locator
