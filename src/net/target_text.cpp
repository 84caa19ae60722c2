#include "net/target_text.h"

#include "net/resolver.h"

#include <netdb.h>

namespace quendrix::net {

std::string TrimBlanks(std::string_view text) {
    std::size_t begin = 0;
    std::size_t end = text.size();
    while (begin < end && static_cast<unsigned char>(text[begin]) <= 32) {
        ++begin;
    }
    while (end > begin && static_cast<unsigned char>(text[end - 1]) <= 32) {
        --end;
    }
    return std::string(text.substr(begin, end - begin));
}

std::string ReduceTarget(std::string_view target) {
    constexpr std::string_view prefix = "http://";
    std::string host = TrimBlanks(target);
    const auto lower = [](char c) {
        return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
    };
    bool hasPrefix = host.size() >= prefix.size();
    for (std::size_t i = 0; hasPrefix && i < prefix.size(); ++i) {
        hasPrefix = lower(host[i]) == prefix[i];
    }
    if (hasPrefix) {
        host = TrimBlanks(std::string_view(host).substr(prefix.size()));
    }
    if (const auto slash = host.find('/'); slash != std::string::npos) {
        host = TrimBlanks(std::string_view(host).substr(0, slash));
    }
    return host;
}

std::optional<long long> ReadWholeNumber(std::string_view text) {
    std::size_t i = 0;
    while (i < text.size() && text[i] == ' ') {
        ++i;
    }
    bool negative = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) {
        negative = text[i] == '-';
        ++i;
    }
    if (i >= text.size()) {
        return std::nullopt;
    }
    long long value = 0;
    for (; i < text.size(); ++i) {
        const char c = text[i];
        if (c < '0' || c > '9') {
            return std::nullopt;
        }
        value = value * 10 + (c - '0');
        if (value > 2147483648LL) {
            return std::nullopt;  // beyond a 32-bit whole number
        }
    }
    if (!negative && value > 2147483647LL) {
        return std::nullopt;
    }
    return negative ? -value : value;
}

Result<std::uint32_t> ResolveFirstAddress(const std::string& host) {
    // The resolver would read its configuration files only to find that such a text needs no
    // look-up; a batch that pings an address many times spares that.
    if (isDottedLiteral(host)) {
        if (const auto address = parseDottedText(host)) {
            return *address;
        }
        return resolverError(HOST_NOT_FOUND);
    }
    auto entry = lookupHost(host);
    if (!entry) {
        return entry.error();
    }
    return entry->addresses.front();
}

std::string ResolveAddress(const std::string& dottedAddress) {
    const auto address = parseDottedText(dottedAddress);
    if (!address) {
        return std::string(kLookupFailed);
    }
    auto name = lookupAddress(*address);
    return name ? std::move(*name) : std::string(kLookupFailed);
}

}  // namespace quendrix::net
