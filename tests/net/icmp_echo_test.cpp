// IcmpEcho against the loopback addresses (real sockets, real kernel replies). Lost replies,
// stops during a wait, the unprivileged socket and foreign replies are covered by the ICMP lab
// (icmp_echo_lab_test); the reply decoder by icmp_message_test.
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

}  // namespace
}  // namespace quendrix::net
