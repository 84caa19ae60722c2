// The typed target's text rules on the system's own bytes (the locale's 8-bit text), for code
// that runs without Qt; the window's text types go through the same rules (core/target.h).
#pragma once

#include "net/result.h"

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace quendrix::net {

// The text every failed look-up gives; never a valid answer.
inline constexpr std::string_view kLookupFailed = "X";

// Blanks (codes 32 and below) removed from both ends.
std::string TrimBlanks(std::string_view text);

// Blanks trimmed, a leading "http://" in any case removed, everything from the first "/" on
// removed, trimmed again. May be empty.
std::string ReduceTarget(std::string_view target);

// A whole number the way the number boxes read one: leading spaces and a sign allowed,
// nothing else, within 32 bits. nullopt for anything else, an empty text included.
std::optional<long long> ReadWholeNumber(std::string_view text);

// The first address of a host (used as given) in the resolver's order, network byte order, or
// the resolver's failure. A text of digits and dots is answered as the forward look-up answers
// it, without asking the resolver.
Result<std::uint32_t> ResolveFirstAddress(const std::string& host);

// Official name of the address (dotted text, classic conversion rules), or "X". A text the
// conversion rejects names no host: no query is sent for it.
std::string ResolveAddress(const std::string& dottedAddress);

}  // namespace quendrix::net
