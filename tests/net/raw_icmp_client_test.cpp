// The trace client without a network: the request's bytes, what a received datagram means to
// a waiting ping (crafted datagrams as a raw socket hands them over), and the error texts.
#include "net/raw_icmp_client.h"
#include "net/icmp_message.h"
#include "net/reply_status_printer.h"

#include <arpa/inet.h>

#include <gtest/gtest.h>

#include <ostream>

#include <initializer_list>
#include <string>
#include <vector>

namespace quendrix::net {

namespace {

using Bytes = std::vector<std::uint8_t>;

constexpr std::uint16_t kIdentifier = 0x4d2c;
constexpr std::uint16_t kSequence = 3489;  // 0x0da1

Bytes join(std::initializer_list<Bytes> pieces) {
    Bytes out;
    for (const Bytes& piece : pieces) {
        for (const std::uint8_t byte : piece) {
            out.push_back(byte);
        }
    }
    return out;
}

Bytes withChecksum(Bytes message, std::size_t at) {
    const std::uint16_t sum = internetChecksum(message);
    message[at] = static_cast<std::uint8_t>(sum >> 8);
    message[at + 1] = static_cast<std::uint8_t>(sum);
    return message;
}

Bytes addressBytes(const char* dotted) {
    in_addr address{};
    inet_pton(AF_INET, dotted, &address);
    const auto* p = reinterpret_cast<const std::uint8_t*>(&address);
    return {p[0], p[1], p[2], p[3]};
}

// An IPv4 header in front of payload; `options` extra bytes of no-op options.
Bytes ip(const char* source, const char* destination, std::uint8_t timeToLive, const Bytes& payload,
         std::size_t options = 0) {
    const std::size_t headerSize = 20 + options;
    const std::size_t total = headerSize + payload.size();
    Bytes header = join({{static_cast<std::uint8_t>(0x40 | headerSize / 4), 0,
                          static_cast<std::uint8_t>(total >> 8), static_cast<std::uint8_t>(total),
                          0, 0, 0, 0, timeToLive, 1, 0, 0},
                         addressBytes(source),
                         addressBytes(destination),
                         Bytes(options, 1)});
    return join({withChecksum(header, 10), payload});
}

Bytes icmp(std::uint8_t type, std::uint8_t code, const Bytes& rest) {
    return withChecksum(join({{type, code, 0, 0}, rest}), 2);
}

constexpr std::uint32_t kTick = 0x04030201;
const char* const kTarget = "10.250.74.2";
const char* const kClient = "10.250.70.2";

std::uint32_t addressOf(const char* dotted) {
    in_addr address{};
    inet_pton(AF_INET, dotted, &address);
    return address.s_addr;
}

const EchoProbe kProbe{kIdentifier, kSequence, kTick, addressOf(kTarget)};

Bytes request(std::uint16_t identifier, std::uint16_t sequence, std::uint32_t tick = kTick) {
    const auto built = buildEchoRequest(identifier, sequence, tick, "");
    return Bytes(built.begin(), built.end());
}

// The echo reply's ICMP message (no IP header), as a datagram socket hands it over.
Bytes echoMessage(std::uint16_t identifier, std::uint16_t sequence, std::uint32_t tick = kTick) {
    Bytes message = request(identifier, sequence, tick);
    message[0] = 0;
    message[2] = message[3] = 0;
    return withChecksum(message, 2);
}

Bytes echoReply(std::uint16_t identifier, std::uint16_t sequence, std::uint32_t tick = kTick,
                const char* from = kTarget) {
    return ip(from, kClient, 61, echoMessage(identifier, sequence, tick));
}

// An error message from a router quoting a request (as it left us, with TTL 1).
Bytes error(std::uint8_t type, std::uint8_t code, std::uint16_t identifier, std::uint16_t sequence,
            std::size_t quotedOptions = 0, const char* to = kTarget) {
    const Bytes quoted = ip(kClient, to, 1, request(identifier, sequence), quotedOptions);
    return ip("10.250.71.1", kClient, 63, icmp(type, code, join({{0, 0, 0, 0}, quoted})));
}

TEST(RawIcmpClientTest, RequestIsLaidOutLeastSignificantByteFirstAndSumsToZero) {
    const auto built = buildEchoRequest(0x1234, kSequence, 0xa1b2c3d4, "");
    const Bytes head(built.begin(), built.begin() + 20);
    EXPECT_EQ(head, (Bytes{8,    0,    head[2], head[3], 0x34, 0x12, 0xa1, 0x0d, 0xd4, 0xc3,
                           0xb2, 0xa1, 0,       0,       0,    0,    0,    0,    0,    0}));
    EXPECT_EQ(std::string(built.begin() + 20, built.end()), std::string(32, 'E'));
    EXPECT_EQ(internetChecksum(built), 0);

    const auto withData = buildEchoRequest(1, 2, 3, "data");
    EXPECT_EQ(std::string(withData.begin() + 20, withData.end()), "data" + std::string(28, 'E'));
    EXPECT_EQ(internetChecksum(withData), 0);
    const auto longData = buildEchoRequest(1, 2, 3, std::string(40, 'x'));
    EXPECT_EQ(std::string(longData.begin() + 20, longData.end()), std::string(32, 'x'));
}

struct ReplyCase {
    const char* name;
    Bytes datagram;
    std::optional<TReplyStatus> expected;  // nullopt: not ours, passed over
};

TReplyStatus status(std::int32_t size, const char* from, std::uint8_t type, std::uint8_t ttl,
                    ReplyStatusKind kind) {
    TReplyStatus s;
    s.bytesReceived = size;
    s.fromIpAddress = from;
    s.msgType = type;
    s.sequenceId = kSequence;
    s.timeToLive = ttl;
    s.replyStatusType = kind;
    return s;
}

// Only an answer to this very request ends the wait; everything else that reaches a raw
// socket (the host's other ICMP traffic, a short datagram, another trace's answers when its
// process happens to use the same identifier) is passed over, never raised.
TEST(RawIcmpClientTest, ReadsWhatAnswersOurRequestAndPassesOverTheRest) {
    const Bytes ownRequest = ip(kClient, "127.0.0.1", 64, request(kIdentifier, kSequence));
    const Bytes reply = echoReply(kIdentifier, kSequence);
    const Bytes timestampRequest =
        ip("10.250.71.1", kClient, 64, icmp(13, 0, join({{0x12, 0x34, 0, 1}, Bytes(12, 0)})));
    const Bytes redirect =
        ip("10.250.71.1", kClient, 63,
           icmp(5, 1,
                join({addressBytes("10.250.71.9"),
                      ip(kClient, kTarget, 1, request(kIdentifier, kSequence))})));
    const std::vector<ReplyCase> cases = {
        {"echo reply", reply, status(72, kTarget, 0, 61, ReplyStatusKind::EchoReply)},
        // A target may answer from another of its addresses: the tick count says it is ours.
        {"echo reply from another address", echoReply(kIdentifier, kSequence, kTick, "10.250.9.9"),
         status(72, "10.250.9.9", 0, 61, ReplyStatusKind::EchoReply)},
        {"time exceeded", error(11, 0, kIdentifier, kSequence),
         status(100, "10.250.71.1", 11, 63, ReplyStatusKind::TimeToLiveExceeded)},
        {"unreachable", error(3, 1, kIdentifier, kSequence),
         status(100, "10.250.71.1", 3, 63, ReplyStatusKind::DestinationUnreachable)},
        // The quoted header is read with its own length, not the outer one's.
        {"quoted header with options", error(11, 0, kIdentifier, kSequence, 8),
         status(108, "10.250.71.1", 11, 63, ReplyStatusKind::TimeToLiveExceeded)},
        {"another sequence", echoReply(kIdentifier, kSequence + 1), std::nullopt},
        {"error quoting another sequence", error(11, 0, kIdentifier, kSequence - 1), std::nullopt},
        {"another process's reply", echoReply(kIdentifier + 1, kSequence), std::nullopt},
        {"error for another process", error(11, 0, kIdentifier ^ 0xff00, kSequence), std::nullopt},
        {"same identifier and sequence, another tick count",
         echoReply(kIdentifier, kSequence, kTick + 1), std::nullopt},
        {"same identifier and sequence, error for another target",
         error(11, 0, kIdentifier, kSequence, 0, "10.250.75.5"), std::nullopt},
        {"our own request to loopback", ownRequest, std::nullopt},
        {"timestamp request (type 13)", timestampRequest, std::nullopt},
        {"redirect quoting our request (type 5)", redirect, std::nullopt},
        {"IP header and 4 bytes", Bytes(reply.begin(), reply.begin() + 24), std::nullopt},
        {"half an IP header", Bytes(reply.begin(), reply.begin() + 10), std::nullopt},
        {"UDP", ip(kTarget, kClient, 64, Bytes(8, 0)), std::nullopt},
    };
    for (const ReplyCase& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(readReply(c.datagram, kProbe), c.expected);
    }
}

// A datagram socket's kernel puts its own identifier on the wire and hands over messages
// without IP header; errors come from its error queue with the quoted request's destination.
TEST(RawIcmpClientTest, ADatagramSocketsAnswersAreMatchedOnTheKernelsIdentifier) {
    constexpr std::uint16_t kKernelIdentifier = 0x0bad;
    IcmpReceived from;
    from.source = addressOf(kTarget);
    from.timeToLive = 61;
    const struct {
        const char* name;
        Bytes message;
        bool ours;
    } replies[] = {
        {"echo reply", echoMessage(kKernelIdentifier, kSequence), true},
        {"another tick count", echoMessage(kKernelIdentifier, kSequence, kTick - 1), false},
        {"the identifier the request was built with", echoMessage(kIdentifier, kSequence), false},
        {"another sequence", echoMessage(kKernelIdentifier, kSequence + 1), false},
        {"four bytes", Bytes{0, 0, 0xff, 0xff}, false},
    };
    for (const auto& c : replies) {
        SCOPED_TRACE(c.name);
        from.size = c.message.size();
        // The kernel's identifier as a decoder reads it: the bytes written least significant first.
        const auto read = readDatagramReply(c.message, from, 0xad0b, kProbe);
        if (c.ours) {
            EXPECT_EQ(read, status(72, kTarget, 0, 61, ReplyStatusKind::EchoReply));
        } else {
            EXPECT_EQ(read, std::nullopt);
        }
    }

    IcmpQueuedError queued;
    queued.type = 11;
    queued.offender = addressOf("10.250.71.1");
    queued.destination = addressOf(kTarget);
    queued.identifier = 0xad0b;
    queued.sequence = 0xa10d;
    queued.timeToLive = 63;
    queued.quotedSize = 52;
    auto read = readQueuedError(queued, 0xad0b, kProbe);
    ASSERT_TRUE(read);
    EXPECT_EQ(*read, status(100, "10.250.71.1", 11, 63, ReplyStatusKind::TimeToLiveExceeded));

    IcmpQueuedError otherTarget = queued;
    otherTarget.destination = addressOf("10.250.75.5");
    IcmpQueuedError otherSequence = queued;
    otherSequence.sequence = 0xa20d;
    for (const IcmpQueuedError& notOurs : {otherTarget, otherSequence}) {
        IcmpQueuedError foreignType = notOurs;
        foreignType.type = 12;
        for (const IcmpQueuedError& e : {notOurs, foreignType}) {
            read = readQueuedError(e, 0xad0b, kProbe);
            ASSERT_TRUE(read) << read.error().text;
            EXPECT_EQ(*read, std::nullopt);
        }
    }
    // A parameter problem about our own request: the request is lost, and that is said.
    IcmpQueuedError parameterProblem = queued;
    parameterProblem.type = 12;
    read = readQueuedError(parameterProblem, 0xad0b, kProbe);
    ASSERT_FALSE(read);
    EXPECT_EQ(read.error().text, "Non-echo type response received");
}

TEST(RawIcmpClientTest, SocketErrorsReadAsTheUserIsShownThem) {
    EXPECT_EQ(socketError({ErrorCode::HostNotFound, 1, "Unknown host"}).text,
              "Socket Error # 11001\r\nHost not found.");
    EXPECT_EQ(socketError({ErrorCode::AccessDenied, 1, "no ICMP socket"}).text,
              "Socket Error # 10013\r\nAccess denied.");
    const Error system = socketError(Error::fromErrno(ENETUNREACH));
    EXPECT_EQ(system.text, "Socket Error # " + std::to_string(ENETUNREACH) + "\r\n" +
                               Error::errorText(ENETUNREACH));
    EXPECT_EQ(system.systemError, ENETUNREACH);
}

TEST(RawIcmpClientTest, AStopRequestedBeforehandSendsNothing) {
    RawIcmpClient client;
    client.setHost("127.0.0.1");
    std::stop_source stop;
    stop.request_stop();
    const auto pinged = client.ping({}, 0, stop.get_token());
    ASSERT_FALSE(pinged);
    EXPECT_EQ(pinged.code(), ErrorCode::Stopped);
    EXPECT_EQ(client.sequenceNumber(), kFirstSequenceNumber);
}

}  // namespace
}  // namespace quendrix::net
