// RawIcmpClient inside the trace lab (tests/lab/trace/run-trace-lab.sh): the routers' time
// exceeded hop by hop, the target's reply, a silent hop, an unreachable answer, a foreign reply
// carrying our sequence number, a stop during the wait, names through the lab's DNS, and the
// refusal without a socket. The lab runs this program as root (raw socket) and as nobody
// (datagram socket, then none), and both socket kinds must give the same reply statuses.
// Outside the lab every test skips.
#include "net/icmp_message.h"
#include "net/icmp_socket.h"
#include "net/raw_icmp_client.h"
#include "net/reply_status_printer.h"
#include "net/resolver.h"
#include "support/trace_lab.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <iostream>
#include <ostream>

#include <atomic>
#include <cstdlib>
#include <string>
#include <thread>
#include <vector>

namespace quendrix::net {

namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

std::uint32_t addressOf(const std::string& dotted) {
    in_addr address{};
    EXPECT_EQ(inet_pton(AF_INET, dotted.c_str(), &address), 1) << dotted;
    return address.s_addr;
}

TReplyStatus expected(ReplyStatusKind kind, const std::string& from, std::uint8_t type,
                      std::int32_t size, std::uint8_t timeToLive, std::uint16_t sequence) {
    TReplyStatus status;
    status.replyStatusType = kind;
    status.fromIpAddress = from;
    status.msgType = type;
    status.bytesReceived = size;
    status.timeToLive = timeToLive;
    status.sequenceId = sequence;
    return status;
}

// The reply status of the last ping with its round-trip time checked and then left out.
TReplyStatus withoutRoundTrip(const RawIcmpClient& client, std::chrono::milliseconds atMost) {
    TReplyStatus status = client.replyStatus();
    EXPECT_LE(status.msRoundTripTime, atMost.count());
    status.msRoundTripTime = 0;
    return status;
}

// From the lab script: EXPECT raw | datagram | none, the routers' addresses facing us (HOPS),
// the TARGET at hop 4, SILENT_HOP2 (hop 2 never answers for it), UNREACHABLE_HOP4 (hop 3
// answers host-unreachable at hop 4) and DROPPED (the target never answers).
class RawIcmpClientLabTest : public ::testing::Test {
  protected:
    void SetUp() override {
        const auto lab = test::TraceLab::FromEnvironment();
        if (!lab) {
            GTEST_SKIP() << test::kOutsideTraceLab;
        }
        m_lab = *lab;
        ASSERT_EQ(m_lab.hops.size(), 3u);
    }

    // Sets host and time-to-live, pings, and fails the test on an error.
    void ping(const std::string& host, int timeToLive) {
        m_client.setHost(host);
        const auto set = m_client.setTimeToLive(timeToLive);
        ASSERT_TRUE(set) << set.error().text;
        const auto pinged = m_client.ping();
        ASSERT_TRUE(pinged) << pinged.error().text;
    }

    test::TraceLab m_lab;
    RawIcmpClient m_client;
};

// The cases that need a socket; skipped in the run that has none.
class RawIcmpClientLabSocketTest : public RawIcmpClientLabTest {
  protected:
    void SetUp() override {
        RawIcmpClientLabTest::SetUp();
        if (!IsSkipped() && !m_lab.hasSocket()) {
            GTEST_SKIP() << "this run has no ICMP socket";
        }
        m_client.setReceiveTimeout(3000ms);
    }
};

TEST_F(RawIcmpClientLabSocketTest, EachHopAnswersWithItsAddressUntilTheTargetReplies) {
    using K = ReplyStatusKind;
    // Routers answer with TTL 64, one hop less for each router on the way back; a time
    // exceeded quotes the whole 72-byte request.
    const TReplyStatus hops[] = {
        expected(K::TimeToLiveExceeded, m_lab.hops[0], 11, 100, 64, kFirstSequenceNumber),
        expected(K::TimeToLiveExceeded, m_lab.hops[1], 11, 100, 63, kFirstSequenceNumber + 1),
        expected(K::TimeToLiveExceeded, m_lab.hops[2], 11, 100, 62, kFirstSequenceNumber + 2),
        expected(K::EchoReply, m_lab.target, 0, 72, 61, kFirstSequenceNumber + 3),
    };
    for (int timeToLive = 1; timeToLive <= 4; ++timeToLive) {
        SCOPED_TRACE(timeToLive);
        ping(m_lab.target, timeToLive);
        EXPECT_EQ(withoutRoundTrip(m_client, 1000ms), hops[timeToLive - 1]);
    }
    EXPECT_EQ(m_client.socketKind(),
              m_lab.run == "raw" ? IcmpSocketKind::Raw : IcmpSocketKind::Datagram);
    EXPECT_EQ(m_client.sequenceNumber(), kFirstSequenceNumber + 4);
}

TEST_F(RawIcmpClientLabSocketTest, ASilentHopTimesOutAndTheNextHopStillAnswers) {
    m_client.setReceiveTimeout(400ms);
    const auto start = Clock::now();
    ping(m_lab.silentHop2, 2);
    const auto waited = Clock::now() - start;
    const TReplyStatus status = m_client.replyStatus();
    EXPECT_EQ(withoutRoundTrip(m_client, 2000ms),
              expected(ReplyStatusKind::TimedOut, "0.0.0.0", 0, 0, 0, kFirstSequenceNumber));
    EXPECT_GE(status.msRoundTripTime, 400u);
    EXPECT_GE(waited, 400ms);

    ping(m_lab.silentHop2, 3);
    EXPECT_EQ(withoutRoundTrip(m_client, 400ms),
              expected(ReplyStatusKind::TimeToLiveExceeded, m_lab.hops[2], 11, 100, 62,
                       kFirstSequenceNumber + 1));
    ping(m_lab.silentHop2, 4);
    EXPECT_EQ(m_client.replyStatus().replyStatusType, ReplyStatusKind::EchoReply);
    EXPECT_EQ(m_client.replyStatus().fromIpAddress, m_lab.silentHop2);
}

TEST_F(RawIcmpClientLabSocketTest, AnUnreachableAnswerNamesTheRouterThatGaveIt) {
    for (const int timeToLive : {4, 30}) {
        SCOPED_TRACE(timeToLive);
        const std::uint16_t sequence = m_client.sequenceNumber();
        ping(m_lab.unreachableHop4, timeToLive);
        EXPECT_EQ(
            withoutRoundTrip(m_client, 1000ms),
            expected(ReplyStatusKind::DestinationUnreachable, m_lab.hops[2], 3, 100, 62, sequence));
    }
}

// Replies to another socket's echoes carrying our sequence number reach a raw socket too;
// only our identifier makes a reply ours.
TEST_F(RawIcmpClientLabSocketTest, AReplyToAnotherSocketWithOurSequenceIsNotOurs) {
    auto decoy = IcmpSocket::open(IcmpTraffic::EchoReplies);
    ASSERT_TRUE(decoy) << decoy.error().text;
    const std::uint16_t sequence = m_client.sequenceNumber();
    const auto decoyRequest = buildEchoRequest(
        static_cast<std::uint16_t>((decoy->identifier() >> 8) | (decoy->identifier() << 8)),
        sequence, 0, "");

    m_client.setReceiveTimeout(800ms);
    m_client.setHost(m_lab.dropped);
    ASSERT_TRUE(m_client.setTimeToLive(64));
    std::optional<Result<void>> pinged;
    std::thread pinger([&] { pinged.emplace(m_client.ping()); });
    // Decoys all through the wait, one every 50 ms, whenever the client's socket opened.
    for (int i = 0; i < 12; ++i) {
        EXPECT_TRUE(decoy->send(addressOf(m_lab.target), decoyRequest));
        std::this_thread::sleep_for(50ms);
    }
    pinger.join();
    ASSERT_TRUE(*pinged) << pinged->error().text;
    EXPECT_EQ(m_client.replyStatus().replyStatusType, ReplyStatusKind::TimedOut);
    EXPECT_EQ(m_client.replyStatus().sequenceId, sequence);

    // The decoys were answered: the replies were there to be mistaken.
    std::vector<std::uint8_t> buffer(2048);
    const auto received = decoy->receive(buffer);
    ASSERT_TRUE(received);
    EXPECT_TRUE(received->has_value());
}

// Sends ICMP that is not ours at the client's own address from a raw socket of its own, as
// fast as it can, until told to stop (and never longer than 30 s or 4,000,000 messages):
// timestamp requests (which the kernel answers with timestamp replies) and messages of four
// bytes, too short to read.
class ForeignIcmpFlood {
  public:
    explicit ForeignIcmpFlood(std::uint32_t to) {
        m_fd = socket(AF_INET, SOCK_RAW | SOCK_CLOEXEC, IPPROTO_ICMP);
        if (m_fd < 0) {
            return;
        }
        m_thread = std::jthread([this, to](std::stop_token stop) {
            const auto started = Clock::now();
            sockaddr_in destination{};
            destination.sin_family = AF_INET;
            destination.sin_addr.s_addr = to;
            std::uint8_t timestamp[20] = {13, 0, 0, 0, 0x12, 0x34, 0, 1};
            const std::uint16_t sum = internetChecksum(timestamp);
            timestamp[2] = static_cast<std::uint8_t>(sum >> 8);
            timestamp[3] = static_cast<std::uint8_t>(sum);
            std::uint8_t shortMessage[4] = {0, 0, 0xff, 0xff};
            // In bursts, so that the messages come as densely as the kernel takes them, with a
            // pause after each that lets the queue between the interfaces drain: the routers'
            // answers must not be lost for want of room.
            constexpr int kBatch = 32;
            iovec parts[kBatch];
            mmsghdr messages[kBatch] = {};
            for (int i = 0; i < kBatch; ++i) {
                parts[i] = i % 2 == 0 ? iovec{timestamp, sizeof timestamp}
                                      : iovec{shortMessage, sizeof shortMessage};
                messages[i].msg_hdr.msg_name = &destination;
                messages[i].msg_hdr.msg_namelen = sizeof destination;
                messages[i].msg_hdr.msg_iov = &parts[i];
                messages[i].msg_hdr.msg_iovlen = 1;
            }
            while (m_sent < 4'000'000 && !stop.stop_requested() && Clock::now() - started < 30s) {
                const int sent = sendmmsg(m_fd, messages, kBatch, 0);
                m_sent += sent > 0 ? sent : 1;
                std::this_thread::sleep_for(100us);
            }
        });
    }
    ~ForeignIcmpFlood() {
        stop();
        if (m_fd >= 0) {
            close(m_fd);
        }
    }
    bool started() const { return m_fd >= 0; }
    void stop() {
        if (m_thread.joinable()) {
            m_thread.request_stop();
            m_thread.join();
        }
    }
    long sent() const { return m_sent; }

  private:
    int m_fd = -1;
    std::atomic<long> m_sent{0};
    std::jthread m_thread;
};

// Foreign ICMP all through a run of traces, arriving at every moment, also while the socket of
// each ping is being set up: it never ends a wait nor raises an error, and every hop answers as
// it does in quiet. Under such a flood the kernel may drop an answer on its way (a time-out),
// but never is a foreign message taken for one. (Only root may send such messages: the raw run.)
TEST_F(RawIcmpClientLabSocketTest, ForeignIcmpNeitherEndsAWaitNorRaisesAnError) {
    if (m_lab.run != "raw") {
        GTEST_SKIP() << "only the raw run (root) can send foreign ICMP";
    }
    const char* client = std::getenv("QUENDRIX_TRACE_LAB_CLIENT");
    ASSERT_NE(client, nullptr);
    m_client.setReceiveTimeout(300ms);
    ForeignIcmpFlood flood(addressOf(client));
    ASSERT_TRUE(flood.started()) << "no raw socket for the flood";
    const std::vector<std::string> from = {m_lab.hops[0], m_lab.hops[1], m_lab.hops[2],
                                           m_lab.target};
    constexpr int kTraces = 1000;
    int timedOut = 0;
    for (int trace = 0; trace < kTraces; ++trace) {
        for (int timeToLive = 1; timeToLive <= 4; ++timeToLive) {
            SCOPED_TRACE("trace " + std::to_string(trace) + ", hop " + std::to_string(timeToLive));
            ping(m_lab.target, timeToLive);
            if (HasFatalFailure()) {
                return;  // an error was raised
            }
            const TReplyStatus status = m_client.replyStatus();
            if (status.replyStatusType == ReplyStatusKind::TimedOut) {
                ++timedOut;
                continue;
            }
            ASSERT_EQ(status.replyStatusType, timeToLive < 4 ? ReplyStatusKind::TimeToLiveExceeded
                                                             : ReplyStatusKind::EchoReply);
            ASSERT_EQ(status.fromIpAddress, from[timeToLive - 1]);
        }
    }
    flood.stop();
    EXPECT_LE(timedOut, kTraces * 4 / 100);
    EXPECT_GT(flood.sent(), 10000);
    std::cout << flood.sent() << " foreign messages sent; " << timedOut << " of " << kTraces * 4
              << " pings timed out\n";
}

// Another process whose identifier is ours (the low 16 bits of the process id are shared by,
// say, two containers on one network) sends requests with our sequence number: the echo
// replies to it carry another tick count, the time exceeded messages quote another target.
// Neither is taken for the answer to our request.
TEST_F(RawIcmpClientLabSocketTest, AnotherTracesAnswersWithOurIdentifierAreNotOurs) {
    if (m_lab.run != "raw") {
        GTEST_SKIP() << "a datagram socket's identifier is the kernel's and no one else's";
    }
    auto toTarget = IcmpSocket::open(IcmpTraffic::EchoReplies);
    auto expiring = IcmpSocket::open(IcmpTraffic::EchoReplies);
    ASSERT_TRUE(toTarget && expiring);
    ASSERT_TRUE(toTarget->setTimeToLive(64) && expiring->setTimeToLive(1));
    const auto ourIdentifier = static_cast<std::uint16_t>(static_cast<unsigned>(getpid()) & 0xffff);
    const std::uint16_t sequence = m_client.sequenceNumber();
    // Their tick count is far from ours.
    const auto theirs = buildEchoRequest(ourIdentifier, sequence, 0x5a5a5a5a, "");

    m_client.setReceiveTimeout(800ms);
    m_client.setHost(m_lab.dropped);
    ASSERT_TRUE(m_client.setTimeToLive(64));
    std::optional<Result<void>> pinged;
    std::thread pinger([&] { pinged.emplace(m_client.ping()); });
    for (int i = 0; i < 12; ++i) {
        EXPECT_TRUE(toTarget->send(addressOf(m_lab.target), theirs));
        EXPECT_TRUE(expiring->send(addressOf(m_lab.silentHop2), theirs));
        std::this_thread::sleep_for(50ms);
    }
    pinger.join();
    ASSERT_TRUE(*pinged) << pinged->error().text;
    EXPECT_EQ(m_client.replyStatus().replyStatusType, ReplyStatusKind::TimedOut)
        << m_client.replyStatus().fromIpAddress;
}

TEST_F(RawIcmpClientLabSocketTest, AStopEndsTheWaitAtOnce) {
    m_client.setReceiveTimeout(5000ms);
    m_client.setHost(m_lab.dropped);
    ASSERT_TRUE(m_client.setTimeToLive(64));
    std::stop_source stop;
    const std::uint16_t sequence = m_client.sequenceNumber();
    const auto start = Clock::now();
    std::jthread stopper([&] {
        std::this_thread::sleep_for(100ms);
        stop.request_stop();
    });
    const auto pinged = m_client.ping({}, 0, stop.get_token());
    const auto waited = Clock::now() - start;
    ASSERT_FALSE(pinged);
    EXPECT_EQ(pinged.code(), ErrorCode::Stopped);
    EXPECT_LT(waited, 2000ms);
    // The request went out: its sequence number is not used again.
    EXPECT_EQ(m_client.sequenceNumber(), sequence + 1);
}

TEST_F(RawIcmpClientLabSocketTest, NamesAreLookedUpAndLocalhostIsLoopback) {
    ping("three.lab.test", 4);
    EXPECT_EQ(m_client.replyStatus().replyStatusType, ReplyStatusKind::EchoReply);
    EXPECT_EQ(m_client.replyStatus().fromIpAddress, m_lab.target);
    ping("LocalHost", 1);
    EXPECT_EQ(m_client.replyStatus().replyStatusType, ReplyStatusKind::EchoReply);
    EXPECT_EQ(m_client.replyStatus().fromIpAddress, "127.0.0.1");
    EXPECT_EQ(m_client.replyStatus().bytesReceived, 72);
}

// With or without a socket: the name is looked up before anything is sent.
TEST_F(RawIcmpClientLabTest, AnUnknownNameIsHostNotFound) {
    m_client.setHost("missing.lab.test");
    const auto pinged = m_client.ping();
    ASSERT_FALSE(pinged);
    EXPECT_EQ(pinged.error().text, "Socket Error # 11001\r\nHost not found.");
    EXPECT_EQ(pinged.error().systemError, 11001);
    EXPECT_EQ(m_client.sequenceNumber(), kFirstSequenceNumber);
}

TEST_F(RawIcmpClientLabTest, WithoutAnyIcmpSocketAccessIsDenied) {
    if (m_lab.hasSocket()) {
        GTEST_SKIP() << "this run has an ICMP socket";
    }
    const auto set = m_client.setTimeToLive(1);
    ASSERT_FALSE(set);
    EXPECT_EQ(set.code(), ErrorCode::AccessDenied);
    EXPECT_EQ(set.error().text, "Socket Error # 10013\r\nAccess denied.");
    m_client.setHost(m_lab.target);
    const auto pinged = m_client.ping();
    ASSERT_FALSE(pinged);
    EXPECT_EQ(pinged.error().text, "Socket Error # 10013\r\nAccess denied.");
    EXPECT_EQ(m_client.socketKind(), IcmpSocketKind::None);
}

}  // namespace
}  // namespace quendrix::net
