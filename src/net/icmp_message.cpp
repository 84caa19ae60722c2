// Decoding is bounds-checked at every step: the bytes come from the network (or the fuzzer),
// and every length field in them may lie.
#include "net/icmp_message.h"

#include <netinet/in.h>

#include <cstring>

namespace quendrix::net {
namespace {

constexpr std::uint8_t kTypeEchoReply = 0;
constexpr std::uint8_t kTypeDestinationUnreachable = 3;
constexpr std::uint8_t kTypeEchoRequest = 8;
constexpr std::uint8_t kTypeTimeExceeded = 11;
// RFC 792: an error message quotes the IP header and at least 64 bits of the datagram.
constexpr std::size_t kQuotedPayloadMinSize = 8;

std::uint16_t readBigEndian16(const std::uint8_t* p) {
    return static_cast<std::uint16_t>((p[0] << 8) | p[1]);
}

std::uint32_t readAddress(const std::uint8_t* p) {
    std::uint32_t address = 0;
    std::memcpy(&address, p, sizeof address);
    return address;
}

Error failure(ErrorCode code, const char* text) {
    return {code, 0, text};
}

// The IP header length of a header that starts `bytes`, or the failure; bytes hold at least
// the minimum header.
Result<std::size_t> ipHeaderSize(std::span<const std::uint8_t> bytes) {
    if (bytes.size() < kIpv4HeaderMinSize) {
        return failure(ErrorCode::Truncated, "IP header cut short");
    }
    const std::size_t headerSize = static_cast<std::size_t>(bytes[0] & 0x0f) * 4;
    if ((bytes[0] >> 4) != 4 || headerSize < kIpv4HeaderMinSize) {
        return failure(ErrorCode::Malformed, "not an IPv4 header");
    }
    if (bytes.size() < headerSize) {
        return failure(ErrorCode::Truncated, "IP header cut short");
    }
    return headerSize;
}

Result<QuotedDatagram> decodeQuoted(std::span<const std::uint8_t> bytes) {
    const auto headerSize = ipHeaderSize(bytes);
    if (!headerSize) {
        return headerSize.error();
    }
    if (bytes.size() < *headerSize + kQuotedPayloadMinSize) {
        return failure(ErrorCode::Truncated, "quoted datagram cut short");
    }
    QuotedDatagram quoted;
    quoted.protocol = bytes[9];
    quoted.source = readAddress(bytes.data() + 12);
    quoted.destination = readAddress(bytes.data() + 16);
    const std::uint8_t* payload = bytes.data() + *headerSize;
    if (quoted.protocol == IPPROTO_ICMP && payload[0] == kTypeEchoRequest) {
        quoted.isEchoRequest = true;
        quoted.identifier = readBigEndian16(payload + 4);
        quoted.sequence = readBigEndian16(payload + 6);
    }
    return quoted;
}

}  // namespace

std::uint16_t internetChecksum(std::span<const std::uint8_t> bytes) {
    std::uint32_t sum = 0;
    std::size_t i = 0;
    for (; i + 1 < bytes.size(); i += 2) {
        sum += readBigEndian16(bytes.data() + i);
    }
    if (i < bytes.size()) {
        sum += static_cast<std::uint32_t>(bytes[i]) << 8;
    }
    while ((sum >> 16) != 0) {
        sum = (sum & 0xffff) + (sum >> 16);
    }
    return static_cast<std::uint16_t>(~sum & 0xffff);
}

Result<IcmpMessage> decodeIcmpMessage(std::span<const std::uint8_t> bytes, bool withIpHeader) {
    IcmpMessage message;
    if (withIpHeader) {
        const auto headerSize = ipHeaderSize(bytes);
        if (!headerSize) {
            return headerSize.error();
        }
        if (bytes[9] != IPPROTO_ICMP) {
            return failure(ErrorCode::UnsupportedType, "not an ICMP datagram");
        }
        const std::size_t totalLength = readBigEndian16(bytes.data() + 2);
        if (totalLength < *headerSize) {
            return failure(ErrorCode::Malformed, "IP total length inside its header");
        }
        if (totalLength > bytes.size()) {
            return failure(ErrorCode::Truncated, "datagram shorter than its IP total length");
        }
        message.timeToLive = bytes[8];
        message.source = readAddress(bytes.data() + 12);
        bytes = bytes.subspan(*headerSize, totalLength - *headerSize);
    }
    if (bytes.size() < kIcmpHeaderSize) {
        return failure(ErrorCode::Truncated, "ICMP header cut short");
    }
    if (internetChecksum(bytes) != 0) {
        return failure(ErrorCode::Malformed, "bad ICMP checksum");
    }
    message.type = bytes[0];
    message.code = bytes[1];
    switch (message.type) {
        case kTypeEchoReply:
        case kTypeEchoRequest:
            if (message.code != 0) {
                return failure(ErrorCode::Malformed, "echo message with a code");
            }
            message.kind =
                message.type == kTypeEchoReply ? IcmpKind::EchoReply : IcmpKind::EchoRequest;
            message.identifier = readBigEndian16(bytes.data() + 4);
            message.sequence = readBigEndian16(bytes.data() + 6);
            message.data = bytes.subspan(kIcmpHeaderSize);
            return message;
        case kTypeDestinationUnreachable:
        case kTypeTimeExceeded: {
            message.kind = message.type == kTypeTimeExceeded ? IcmpKind::TimeExceeded
                                                             : IcmpKind::DestinationUnreachable;
            auto quoted = decodeQuoted(bytes.subspan(kIcmpHeaderSize));
            if (!quoted) {
                return quoted.error();
            }
            message.quoted = *quoted;
            if (quoted->isEchoRequest) {
                message.identifier = quoted->identifier;
                message.sequence = quoted->sequence;
            }
            return message;
        }
        default:
            return failure(ErrorCode::UnsupportedType, "ICMP type not read here");
    }
}

}  // namespace quendrix::net
