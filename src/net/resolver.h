// Forward and reverse host look-up over the system resolver (IPv4), thread-safe. A failure
// keeps what the resolver said: the h_errno kind (host not found, try again, no recovery, no
// data) or the errno of a system failure, with the system's own text.
#pragma once

#include "net/result.h"

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace quendrix::net {

// What a forward look-up gives: the official (canonical) name and every IPv4 address in
// the order the resolver returned them (network byte order).
struct HostEntry {
    std::string officialName;
    std::vector<std::uint32_t> addresses;
};

// Looks a host name up. A dotted address resolves to itself. An empty name stands for this
// computer: its own host name is looked up. A found entry always holds an address: a name
// without any IPv4 address fails with ErrorCode::NoData.
Result<HostEntry> lookupHost(const std::string& name);

// Reverse look-up of an IPv4 address (network byte order): the official name, never empty.
Result<std::string> lookupAddress(std::uint32_t address);

// The classic dotted-text conversion (inet_aton): accepts a, a.b, a.b.c and a.b.c.d with decimal,
// octal (leading 0) and hex (0x) parts; nullopt when the text is rejected.
std::optional<std::uint32_t> parseDottedText(const std::string& text);

// True for a text the forward look-up answers without asking the resolver: digits and dots
// only, starting with a digit and not ending in a dot. Such a text names the address
// parseDottedText gives, or no host at all.
bool isDottedLiteral(const std::string& text);

// How many look-ups are waiting inside the C library right now, on any thread. Such a wait
// cannot be woken; the program may leave it behind when it ends.
int LookupsInProgress();

// The failure the resolver reports for an h_errno value, with its text.
Error resolverError(int herr);

// Network byte order address as dotted text.
std::string addressToDottedText(std::uint32_t address);

}  // namespace quendrix::net
