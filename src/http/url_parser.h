// Splitting and combining web addresses through libcurl's URL API. Plain C++, no Qt. Texts are
// bytes; nothing here keeps state between calls, so any thread may use it.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace quendrix::http {

// The parts of an absolute address, each percent-decoded.
struct UrlParts {
    // As written in the address (letter case kept).
    std::string scheme;
    std::string user;
    std::string password;
    std::string host;
    // The scheme's default when the address gives none (80 for http, 443 for https).
    std::uint16_t port = 0;
    // From the first "/" after the host up to the query; empty when the address has no "/"
    // there ("http://host" and "http://host?q" have no path).
    std::string path;
    // Without their "?" and "#". A "?" or "#" with nothing after it still counts as present.
    std::string query;
    std::string fragment;
    bool hasQuery = false;
    bool hasFragment = false;
};

// Splits an absolute address of a scheme libcurl knows. Nothing when libcurl refuses the address
// (no scheme or one it does not know, no host, a bad port, a NUL, a control character below 32
// as written or as an escape: no decoded component holds one, so none can end a line).
std::optional<UrlParts> SplitUrl(const std::string& address);

// Resolves `reference` against the absolute address `base` the standard way (a relative path
// replaces the base's last segment, "." and ".." segments are removed, an absolute reference
// stands for itself). Every character stays as written in either text: nothing is escaped and
// nothing decoded. Nothing when the two do not make an address.
std::optional<std::string> CombineUrl(const std::string& base, const std::string& reference);

// The address made fit for a request: blanks, control characters and bytes above 126 become
// percent escapes (bytes above 126 as they are, so UTF-8 stays UTF-8); everything else, "%"
// included, stays. Combined addresses keep such characters as written, and libcurl's transfers
// refuse an address with a blank.
std::string EscapeUnsafe(std::string_view address);

}  // namespace quendrix::http
