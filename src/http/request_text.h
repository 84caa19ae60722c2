// Small text rules of the HTTP client, kept apart so the tests can hold them to their cases:
// making an address as the scanner holds it acceptable to libcurl, and reading fields of a raw
// header block.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace quendrix::http {

// Percent-encodes, after the host, every byte that may not stand in a request line (controls,
// space, bytes above 127, and " < > \ ^ ` { | }). Escapes already written stay as they are,
// and so does everything up to the end of the host (a name in UTF-8 is the resolver's).
std::string EscapeForRequest(std::string_view url);

// The value of the first header line called `name` (any letter case) in a raw header block of
// CR LF lines whose first line is the status line; surrounding blanks removed. None when
// absent.
std::optional<std::string> HeaderValue(std::string_view head, std::string_view name);

// The Content-Length of a raw header block; 0 when absent or not a number.
long long ContentLengthOf(std::string_view head);

}  // namespace quendrix::http
