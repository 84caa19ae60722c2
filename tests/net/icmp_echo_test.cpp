// IcmpEcho against the loopback addresses (real sockets, real kernel replies) and its reply
// parser against crafted datagrams. Lost replies, stops during a wait, the unprivileged socket
// and foreign replies are covered by the ICMP lab (icmp_echo_lab_test).
#include "net/icmp_echo.h"

#include <arpa/inet.h>

#include <gtest/gtest.h>

#include <string>
#include <thread>
#include <vector>

namespace quendrix::net {
namespace {

using namespace std::chrono_literals;

const std::string kRequestData = "-------Hello,World!---------------";

std::span<const std::uint8_t> bytesOf(const std::string& text) {
    return {reinterpret_cast<const std::uint8_t*>(text.data()), text.size()};
}

std::string textOf(const std::vector<std::uint8_t>& bytes) {
    return std::string(bytes.begin(), bytes.end());
}

std::uint32_t addressOf(const char* dotted) {
    in_addr address{};
    EXPECT_EQ(inet_pton(AF_INET, dotted, &address), 1) << dotted;
    return address.s_addr;
}

class IcmpEchoTest : public ::testing::Test {
  protected:
    void SetUp() override {
        if (auto reason = m_echo.unavailableReason()) {
            GTEST_SKIP() << "no ICMP socket for this user: " << *reason;
        }
    }

    IcmpEcho m_echo;
};

TEST_F(IcmpEchoTest, LoopbackAddressesEchoTheRequestData) {
    for (const char* target : {"127.0.0.1", "127.0.0.2", "127.255.255.254"}) {
        SCOPED_TRACE(target);
        EchoResult result = m_echo.echo(addressOf(target), bytesOf(kRequestData), 2500ms);
        ASSERT_TRUE(result.replied())
            << "failure " << static_cast<int>(result.failure) << " errno " << result.errorNumber;
        EXPECT_EQ(result.dataSize, 34u);
        EXPECT_EQ(textOf(result.data), kRequestData);
        EXPECT_EQ(
            result.roundTripMs,
            static_cast<std::uint32_t>(
                std::chrono::duration_cast<std::chrono::milliseconds>(result.roundTrip).count()));
    }
    EXPECT_NE(m_echo.socketKind(), IcmpSocketKind::None);
    EXPECT_EQ(m_echo.takeUnavailableNotice(), std::nullopt);
}

// Every echo must report its own reply: a stale reply of the previous request, or a reply
// matched on the wrong sequence, shows up as the wrong data.
TEST_F(IcmpEchoTest, SequentialEchoesOnOneSocketEachGetTheirOwnReply) {
    const IcmpSocketKind kind = m_echo.socketKind();
    for (int i = 0; i < 300; ++i) {
        const std::string data = "echo #" + std::to_string(i);
        EchoResult result = m_echo.echo(addressOf("127.0.0.1"), bytesOf(data), 2500ms);
        ASSERT_TRUE(result.replied()) << "echo " << i;
        ASSERT_EQ(textOf(result.data), data);
    }
    EXPECT_EQ(m_echo.socketKind(), kind);
}

TEST_F(IcmpEchoTest, DataOfAnySizeComesBackWhole) {
    for (std::size_t size : {0u, 1u, 33u, 1472u, 1473u, 9000u, 65000u}) {
        SCOPED_TRACE(size);
        std::string data(size, '\0');
        for (std::size_t i = 0; i < size; ++i) {
            data[i] = static_cast<char>(i * 7 + 3);
        }
        EchoResult result = m_echo.echo(addressOf("127.0.0.1"), bytesOf(data), 2500ms);
        ASSERT_TRUE(result.replied());
        EXPECT_EQ(result.dataSize, size);
        EXPECT_TRUE(textOf(result.data) == data);
    }
}

// A request too large for one datagram fails at once instead of waiting for the time-out,
// and the service still works afterwards.
TEST_F(IcmpEchoTest, OversizedRequestFailsAtOnceAndTheNextEchoWorks) {
    const std::string huge(70000, '-');
    EchoResult failed = m_echo.echo(addressOf("127.0.0.1"), bytesOf(huge), 5000ms);
    EXPECT_EQ(failed.failure, EchoFailure::SocketError);
    EXPECT_EQ(failed.errorNumber, EMSGSIZE);
    EXPECT_EQ(failed.dataSize, 0u);
    EXPECT_TRUE(failed.data.empty());

    EchoResult result = m_echo.echo(addressOf("127.0.0.1"), bytesOf(kRequestData), 2500ms);
    EXPECT_TRUE(result.replied());
}

TEST_F(IcmpEchoTest, StopRequestedBeforehandSendsNothing) {
    std::stop_source stop;
    stop.request_stop();
    EchoResult result =
        m_echo.echo(addressOf("127.0.0.1"), bytesOf(kRequestData), 5000ms, stop.get_token());
    EXPECT_EQ(result.failure, EchoFailure::Stopped);
    EXPECT_TRUE(result.data.empty());

    // The stop of one call does not leak into the next.
    result = m_echo.echo(addressOf("127.0.0.1"), bytesOf(kRequestData), 2500ms,
                         std::stop_source().get_token());
    EXPECT_TRUE(result.replied());
}

// While one raw socket sits idle, every echo reply of the host queues up on it. A full
// queue must not swallow the reply to its next request.
TEST_F(IcmpEchoTest, ReplyArrivesAfterOtherTrafficFilledAnIdleSocket) {
    ASSERT_TRUE(m_echo.echo(addressOf("127.0.0.1"), bytesOf(kRequestData), 2500ms).replied());
    IcmpEcho busy;
    const std::string bulk(1000, '-');
    for (int i = 0; i < 2000; ++i) {
        ASSERT_TRUE(busy.echo(addressOf("127.0.0.1"), bytesOf(bulk), 2500ms).replied());
    }
    EchoResult result = m_echo.echo(addressOf("127.0.0.1"), bytesOf(kRequestData), 1000ms);
    ASSERT_TRUE(result.replied());
    EXPECT_EQ(textOf(result.data), kRequestData);
}

// Raw sockets see each other's replies; one shared instance serves callers one by one.
// Either way each caller gets the reply to its own request.
TEST_F(IcmpEchoTest, ConcurrentCallersEachGetTheirOwnReplies) {
    for (bool shared : {false, true}) {
        SCOPED_TRACE(shared ? "one shared instance" : "one instance per thread");
        IcmpEcho second;
        std::vector<std::string> failures(2);
        auto run = [&](IcmpEcho& echo, int worker) {
            for (int i = 0; i < 200; ++i) {
                const std::string data =
                    "worker " + std::to_string(worker) + " echo " + std::to_string(i);
                EchoResult result = echo.echo(addressOf("127.0.0.1"), bytesOf(data), 2500ms);
                if (!result.replied() || textOf(result.data) != data) {
                    failures[static_cast<std::size_t>(worker)] =
                        data + " got " + (result.replied() ? textOf(result.data) : "no reply");
                    return;
                }
            }
        };
        std::thread first([&] { run(m_echo, 0); });
        std::thread other([&] { run(shared ? m_echo : second, 1); });
        first.join();
        other.join();
        EXPECT_EQ(failures[0], "");
        EXPECT_EQ(failures[1], "");
    }
}

// --- reply parser ---

std::vector<std::uint8_t> icmpMessage(std::uint8_t type, std::uint8_t code, std::uint16_t id,
                                      std::uint16_t sequence, const std::string& data) {
    std::vector<std::uint8_t> m = {type,
                                   code,
                                   0,
                                   0,
                                   static_cast<std::uint8_t>(id >> 8),
                                   static_cast<std::uint8_t>(id),
                                   static_cast<std::uint8_t>(sequence >> 8),
                                   static_cast<std::uint8_t>(sequence)};
    m.insert(m.end(), data.begin(), data.end());
    std::uint32_t sum = 0;
    for (std::size_t i = 0; i < m.size(); i += 2) {
        sum += static_cast<std::uint32_t>(m[i] << 8) + (i + 1 < m.size() ? m[i + 1] : 0);
    }
    while (sum >> 16) {
        sum = (sum & 0xffff) + (sum >> 16);
    }
    const auto checksum = static_cast<std::uint16_t>(~sum);
    m[2] = static_cast<std::uint8_t>(checksum >> 8);
    m[3] = static_cast<std::uint8_t>(checksum);
    return m;
}

// An IPv4 header (headerWords 32-bit words, options zero) in front of payload; totalLength
// defaults to the real length.
std::vector<std::uint8_t> ipPacket(const std::vector<std::uint8_t>& payload, int headerWords = 5,
                                   std::uint8_t protocol = 1, int totalLength = -1,
                                   std::uint8_t version = 4) {
    const std::size_t headerSize = static_cast<std::size_t>(headerWords) * 4;
    std::vector<std::uint8_t> p(std::max<std::size_t>(headerSize, 20), 0);
    p[0] = static_cast<std::uint8_t>((version << 4) | headerWords);
    const auto length =
        static_cast<std::uint16_t>(totalLength >= 0 ? totalLength : p.size() + payload.size());
    p[2] = static_cast<std::uint8_t>(length >> 8);
    p[3] = static_cast<std::uint8_t>(length);
    p[8] = 64;
    p[9] = protocol;
    const std::uint8_t source[4] = {10, 250, 61, 2};
    std::copy(source, source + 4, p.begin() + 12);
    p.insert(p.end(), payload.begin(), payload.end());
    return p;
}

TEST(ParseEchoReplyTest, ReadsWellFormedReplies) {
    const auto reply = icmpMessage(0, 0, 0xbeef, 0x0102, "-payload-");
    struct Case {
        const char* name;
        std::vector<std::uint8_t> bytes;
        bool withIpHeader;
    };
    std::vector<std::uint8_t> padded = ipPacket(reply);
    padded.insert(padded.end(), {0xaa, 0xbb});  // link padding after the IP total length
    const Case cases[] = {
        {"bare ICMP", reply, false},
        {"with IP header", ipPacket(reply), true},
        {"with IP options", ipPacket(reply, 7), true},
        {"trailing bytes beyond the total length", padded, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        auto parsed = parseEchoReply(c.bytes, c.withIpHeader);
        ASSERT_TRUE(parsed.has_value());
        EXPECT_EQ(parsed->identifier, 0xbeef);
        EXPECT_EQ(parsed->sequence, 0x0102);
        EXPECT_EQ(std::string(parsed->data.begin(), parsed->data.end()), "-payload-");
        EXPECT_EQ(parsed->source, c.withIpHeader ? addressOf("10.250.61.2") : 0u);
    }
    auto empty = parseEchoReply(icmpMessage(0, 0, 1, 2, ""), false);
    ASSERT_TRUE(empty.has_value());
    EXPECT_TRUE(empty->data.empty());
}

TEST(ParseEchoReplyTest, RejectsWhatIsNotAnIntactEchoReply) {
    const auto reply = icmpMessage(0, 0, 7, 9, "data");
    std::vector<std::uint8_t> corrupted = reply;
    corrupted.back() ^= 0x01;
    std::vector<std::uint8_t> shortIp = ipPacket(reply);
    shortIp.resize(19);
    std::vector<std::uint8_t> cutOptions = ipPacket(reply, 15);
    cutOptions.resize(40);
    struct Case {
        const char* name;
        std::vector<std::uint8_t> bytes;
        bool withIpHeader;
    };
    const Case cases[] = {
        {"nothing", {}, false},
        {"ICMP header cut short", std::vector<std::uint8_t>(reply.begin(), reply.begin() + 7),
         false},
        {"echo request (our own, seen on loopback)", icmpMessage(8, 0, 7, 9, "data"), false},
        {"time exceeded", icmpMessage(11, 0, 7, 9, "data"), false},
        {"echo reply with a code", icmpMessage(0, 1, 7, 9, "data"), false},
        {"bad checksum", corrupted, false},
        {"bare ICMP read as an IP packet", reply, true},
        {"IP header cut short", shortIp, true},
        {"IPv6 version", ipPacket(reply, 5, 1, -1, 6), true},
        {"header length below 20", ipPacket(reply, 4), true},
        {"header length beyond the data", cutOptions, true},
        {"UDP", ipPacket(reply, 5, 17), true},
        {"total length beyond the data", ipPacket(reply, 5, 1, 20 + 12 + 1), true},
        {"total length inside the header", ipPacket(reply, 5, 1, 19), true},
        {"no room for the ICMP header", ipPacket(reply, 5, 1, 20 + 7), true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_FALSE(parseEchoReply(c.bytes, c.withIpHeader).has_value());
    }
}

}  // namespace
}  // namespace quendrix::net
