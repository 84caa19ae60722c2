// The one reader of received ICMP messages (IPv4): echo replies, time exceeded and destination
// unreachable with the header of the datagram they quote, from bytes with the IP header in
// front (raw sockets) or without it (datagram sockets). Also the Internet checksum that
// requests carry. Plain functions over bytes, so tests and the fuzzer drive them directly.
#pragma once

#include "net/result.h"

#include <cstdint>
#include <optional>
#include <span>

namespace quendrix::net {

constexpr std::size_t kIcmpHeaderSize = 8;
constexpr std::size_t kIpv4HeaderMinSize = 20;

enum class IcmpKind {
    EchoReply,               // type 0
    EchoRequest,             // type 8: a raw socket sees requests to loopback addresses too
    DestinationUnreachable,  // type 3, any code
    TimeExceeded,            // type 11, any code
};

// The start of the datagram an error message quotes: its IP header and, when it was an ICMP
// echo request, that request's identifier and sequence number.
struct QuotedDatagram {
    std::uint32_t source = 0;       // network byte order
    std::uint32_t destination = 0;  // network byte order
    std::uint8_t protocol = 0;
    bool isEchoRequest = false;  // ICMP type 8; the two numbers below are only valid then
    std::uint16_t identifier = 0;
    std::uint16_t sequence = 0;
};

struct IcmpMessage {
    IcmpKind kind = IcmpKind::EchoReply;
    std::uint8_t type = 0;
    std::uint8_t code = 0;
    // From the outer IP header; 0 when the bytes carried none (datagram sockets).
    std::uint32_t source = 0;  // network byte order
    std::uint8_t timeToLive = 0;
    // Echo reply and request: their identifier, sequence number and data (pointing into the
    // bytes given). Error messages: the quoted datagram, and when it is an echo request, its
    // identifier and sequence number here too.
    std::uint16_t identifier = 0;
    std::uint16_t sequence = 0;
    std::span<const std::uint8_t> data;
    std::optional<QuotedDatagram> quoted;
};

// Reads one received datagram. Fails with Truncated when the bytes end before the headers
// they announce do, UnsupportedType for any other ICMP type (or a non-ICMP IP datagram), and
// Malformed for a wrong IP version or header length, a non-zero echo code or a bad checksum.
// Link padding after the IP total length is ignored.
Result<IcmpMessage> decodeIcmpMessage(std::span<const std::uint8_t> bytes, bool withIpHeader);

// The Internet checksum (RFC 1071) of bytes, as a 16-bit value in host order; a message with
// a correct checksum field sums to 0.
std::uint16_t internetChecksum(std::span<const std::uint8_t> bytes);

}  // namespace quendrix::net
