// The ICMP decoder against crafted datagrams: echo replies, errors quoting our echo (with and
// without IP options on either header), and what must be refused with which failure.
#include "net/icmp_message.h"

#include <arpa/inet.h>

#include <gtest/gtest.h>

#include <initializer_list>
#include <optional>
#include <string>
#include <vector>

namespace quendrix::net {
namespace {

using Bytes = std::vector<std::uint8_t>;

// The pieces joined into one buffer sized up front (no insert: gcc 12 at -O3 warns falsely
// about the inserts of short vectors).
Bytes join(std::initializer_list<Bytes> pieces) {
    std::size_t size = 0;
    for (const Bytes& piece : pieces) {
        size += piece.size();
    }
    Bytes out(size);
    std::size_t at = 0;
    for (const Bytes& piece : pieces) {
        for (const std::uint8_t byte : piece) {
            out[at++] = byte;
        }
    }
    return out;
}

Bytes bytesOf(const std::string& text) {
    return Bytes(text.begin(), text.end());
}

Bytes big16(std::uint16_t value) {
    return {static_cast<std::uint8_t>(value >> 8), static_cast<std::uint8_t>(value)};
}

std::uint32_t addressOf(const char* dotted) {
    in_addr address{};
    EXPECT_EQ(inet_pton(AF_INET, dotted, &address), 1) << dotted;
    return address.s_addr;
}

Bytes addressBytes(const char* dotted) {
    const std::uint32_t address = addressOf(dotted);
    const auto* p = reinterpret_cast<const std::uint8_t*>(&address);
    return {p[0], p[1], p[2], p[3]};
}

// An ICMP message: type, code, a checksum summed here (RFC 1071), then the rest.
Bytes icmp(std::uint8_t type, std::uint8_t code, const Bytes& rest) {
    Bytes m = join({{type, code, 0, 0}, rest});
    std::uint32_t sum = 0;
    for (std::size_t i = 0; i < m.size(); i += 2) {
        sum += static_cast<std::uint32_t>(m[i] << 8) + (i + 1 < m.size() ? m[i + 1] : 0);
    }
    while (sum >> 16) {
        sum = (sum & 0xffff) + (sum >> 16);
    }
    m[2] = static_cast<std::uint8_t>((~sum >> 8) & 0xff);
    m[3] = static_cast<std::uint8_t>(~sum & 0xff);
    return m;
}

Bytes echo(std::uint8_t type, std::uint16_t id, std::uint16_t sequence, const std::string& data,
           std::uint8_t code = 0) {
    return icmp(type, code, join({big16(id), big16(sequence), bytesOf(data)}));
}

struct Ip {
    int headerWords = 5;
    std::uint8_t protocol = 1;
    const char* source = "10.250.61.2";
    const char* destination = "10.250.61.1";
    int totalLength = -1;  // the real length unless given
    std::uint8_t version = 4;
    std::uint8_t timeToLive = 64;
};

// An IPv4 header (options zero) in front of payload.
Bytes ip(const Bytes& payload, const Ip& h = {}) {
    Bytes header(static_cast<std::size_t>(std::max(h.headerWords, 5)) * 4, 0);
    header[0] = static_cast<std::uint8_t>((h.version << 4) | h.headerWords);
    const auto length = static_cast<std::uint16_t>(
        h.totalLength >= 0 ? h.totalLength : header.size() + payload.size());
    header[2] = static_cast<std::uint8_t>(length >> 8);
    header[3] = static_cast<std::uint8_t>(length);
    header[8] = h.timeToLive;
    header[9] = h.protocol;
    const Bytes source = addressBytes(h.source);
    const Bytes destination = addressBytes(h.destination);
    for (std::size_t i = 0; i < 4; ++i) {
        header[12 + i] = source[i];
        header[16 + i] = destination[i];
    }
    return join({header, payload});
}

// What a router sends back about our echo request: its header and the first 8 bytes of the
// request (the ICMP header), inside an error message of the given type.
Bytes errorQuoting(std::uint8_t type, std::uint8_t code, const Bytes& quotedDatagram) {
    return icmp(type, code, join({{0, 0, 0, 0}, quotedDatagram}));
}

const Bytes kOurRequest =
    ip(echo(8, 0xbeef, 0x0102, "-payload-"),
       {.source = "10.250.61.1", .destination = "10.250.9.9", .timeToLive = 1});
const Bytes kOurRequestHeaderOnly(kOurRequest.begin(), kOurRequest.begin() + 28);

TEST(IcmpMessageTest, ReadsEchoRepliesAndErrorsQuotingOurEcho) {
    Bytes padded = ip(echo(0, 0xbeef, 0x0102, "-payload-"));
    padded.resize(padded.size() + 2, 0xaa);  // link padding after the IP total length
    const Bytes quotedWithOptions =
        ip(echo(8, 0xbeef, 0x0102, "x"),
           {.headerWords = 6, .source = "10.250.61.1", .destination = "10.250.9.9"});
    struct Case {
        const char* name;
        Bytes bytes;
        bool withIpHeader;
        IcmpKind kind;
        const char* source;  // outer IP source, nullptr without an IP header
        std::string data;
        const char* quotedDestination;  // nullptr for echo messages
    };
    const Case cases[] = {
        {"bare reply", echo(0, 0xbeef, 0x0102, "-payload-"), false, IcmpKind::EchoReply, nullptr,
         "-payload-", nullptr},
        {"reply with IP header", ip(echo(0, 0xbeef, 0x0102, "-payload-")), true,
         IcmpKind::EchoReply, "10.250.61.2", "-payload-", nullptr},
        {"reply with IP options", ip(echo(0, 0xbeef, 0x0102, "-payload-"), {.headerWords = 7}),
         true, IcmpKind::EchoReply, "10.250.61.2", "-payload-", nullptr},
        {"reply with link padding", padded, true, IcmpKind::EchoReply, "10.250.61.2", "-payload-",
         nullptr},
        {"empty reply", echo(0, 0xbeef, 0x0102, ""), false, IcmpKind::EchoReply, nullptr, "",
         nullptr},
        {"our own request seen on loopback", echo(8, 0xbeef, 0x0102, "-payload-"), false,
         IcmpKind::EchoRequest, nullptr, "-payload-", nullptr},
        {"time exceeded from a router", ip(errorQuoting(11, 0, kOurRequestHeaderOnly)), true,
         IcmpKind::TimeExceeded, "10.250.61.2", "", "10.250.9.9"},
        {"time exceeded quoting all of the request", ip(errorQuoting(11, 0, kOurRequest)), true,
         IcmpKind::TimeExceeded, "10.250.61.2", "", "10.250.9.9"},
        {"quoted header with options",
         ip(errorQuoting(11, 1, quotedWithOptions), {.headerWords = 6}), true,
         IcmpKind::TimeExceeded, "10.250.61.2", "", "10.250.9.9"},
        {"host unreachable", ip(errorQuoting(3, 1, kOurRequestHeaderOnly)), true,
         IcmpKind::DestinationUnreachable, "10.250.61.2", "", "10.250.9.9"},
        {"bare time exceeded", errorQuoting(11, 0, kOurRequestHeaderOnly), false,
         IcmpKind::TimeExceeded, nullptr, "", "10.250.9.9"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const auto message = decodeIcmpMessage(c.bytes, c.withIpHeader);
        ASSERT_TRUE(message.has_value()) << message.error().text;
        EXPECT_EQ(message->kind, c.kind);
        EXPECT_EQ(message->identifier, 0xbeef);
        EXPECT_EQ(message->sequence, 0x0102);
        EXPECT_EQ(std::string(message->data.begin(), message->data.end()), c.data);
        EXPECT_EQ(message->source, c.source != nullptr ? addressOf(c.source) : 0u);
        EXPECT_EQ(message->timeToLive, c.withIpHeader ? 64 : 0);
        if (c.quotedDestination == nullptr) {
            EXPECT_FALSE(message->quoted.has_value());
            continue;
        }
        ASSERT_TRUE(message->quoted.has_value());
        EXPECT_TRUE(message->quoted->isEchoRequest);
        EXPECT_EQ(message->quoted->protocol, 1);
        EXPECT_EQ(message->quoted->destination, addressOf(c.quotedDestination));
        EXPECT_EQ(message->quoted->source, addressOf("10.250.61.1"));
    }

    // An error about someone's UDP datagram names no echo of ours.
    const Bytes udp = ip(Bytes(8, 0x35), {.protocol = 17, .destination = "10.250.9.9"});
    const auto unreachable = decodeIcmpMessage(ip(errorQuoting(3, 3, udp)), true);
    ASSERT_TRUE(unreachable.has_value());
    EXPECT_EQ(unreachable->code, 3);
    ASSERT_TRUE(unreachable->quoted.has_value());
    EXPECT_FALSE(unreachable->quoted->isEchoRequest);
    EXPECT_EQ(unreachable->quoted->protocol, 17);
}

TEST(IcmpMessageTest, RefusesWhatIsNotAnIntactMessage) {
    const Bytes reply = echo(0, 7, 9, "data");
    Bytes corrupted = reply;
    corrupted.back() ^= 0x01;
    Bytes shortIp = ip(reply);
    shortIp.resize(19);
    Bytes cutOptions = ip(reply, {.headerWords = 15});
    cutOptions.resize(40);
    const Bytes quoteCut(kOurRequest.begin(), kOurRequest.begin() + 27);
    const Bytes quoteWrongLength = [] {
        Bytes quoted = kOurRequestHeaderOnly;
        quoted[0] = 0x43;
        return quoted;
    }();
    struct Case {
        const char* name;
        Bytes bytes;
        bool withIpHeader;
        ErrorCode failure;
    };
    const Case cases[] = {
        {"nothing", {}, false, ErrorCode::Truncated},
        {"ICMP header cut short", Bytes(reply.begin(), reply.begin() + 7), false,
         ErrorCode::Truncated},
        {"bad checksum", corrupted, false, ErrorCode::Malformed},
        {"echo reply with a code", echo(0, 7, 9, "data", 1), false, ErrorCode::Malformed},
        {"redirect", icmp(5, 1, Bytes(32, 0)), false, ErrorCode::UnsupportedType},
        {"bare ICMP read as an IP packet", echo(0, 7, 9, "long enough for an IP header"), true,
         ErrorCode::Malformed},
        {"IP header cut short", shortIp, true, ErrorCode::Truncated},
        {"IPv6 version", ip(reply, {.version = 6}), true, ErrorCode::Malformed},
        {"header length below 20", ip(reply, {.headerWords = 4}), true, ErrorCode::Malformed},
        {"header length beyond the data", cutOptions, true, ErrorCode::Truncated},
        {"UDP", ip(reply, {.protocol = 17}), true, ErrorCode::UnsupportedType},
        {"total length beyond the data", ip(reply, {.totalLength = 20 + 12 + 1}), true,
         ErrorCode::Truncated},
        {"total length inside the header", ip(reply, {.totalLength = 19}), true,
         ErrorCode::Malformed},
        {"no room for the ICMP header", ip(reply, {.totalLength = 20 + 7}), true,
         ErrorCode::Truncated},
        {"quote without the request's ICMP header", ip(errorQuoting(11, 0, quoteCut)), true,
         ErrorCode::Truncated},
        {"quote with a header length below 20", ip(errorQuoting(11, 0, quoteWrongLength)), true,
         ErrorCode::Malformed},
        {"quote of nothing", ip(errorQuoting(3, 1, {})), true, ErrorCode::Truncated},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const auto message = decodeIcmpMessage(c.bytes, c.withIpHeader);
        ASSERT_FALSE(message.has_value());
        EXPECT_EQ(message.code(), c.failure) << message.error().text;
        EXPECT_FALSE(message.error().text.empty());
    }
}

}  // namespace
}  // namespace quendrix::net
