// IcmpEcho inside the ICMP lab (tests/lab/icmp/run-icmp-lab.sh): lost replies, stops during a
// wait, the time-to-live on the wire, foreign and late replies, and each socket kind (the lab
// runs this program as root for the raw socket and as nobody for the datagram socket and for
// no socket at all). Outside the lab every test skips.
#include "net/icmp_echo.h"
#include "net/icmp_message.h"
#include "net/icmp_socket.h"
#include "net/waiter.h"

#include <arpa/inet.h>

#include <gtest/gtest.h>

#include <cstdlib>
#include <ctime>
#include <string>
#include <thread>

namespace quendrix::net {
namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

const std::string kRequestData = "-------Hello,World!---------------";

std::span<const std::uint8_t> bytesOf(const std::string& text) {
    return {reinterpret_cast<const std::uint8_t*>(text.data()), text.size()};
}

std::string textOf(const std::vector<std::uint8_t>& bytes) {
    return std::string(bytes.begin(), bytes.end());
}

std::uint32_t addressOf(const std::string& dotted) {
    in_addr address{};
    EXPECT_EQ(inet_pton(AF_INET, dotted.c_str(), &address), 1) << dotted;
    return address.s_addr;
}

std::chrono::nanoseconds threadCpuTime() {
    timespec now{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return std::chrono::seconds(now.tv_sec) + std::chrono::nanoseconds(now.tv_nsec);
}

std::string labSetting(const char* name) {
    const char* value = std::getenv(name);
    return value != nullptr ? value : "";
}

// The lab's addresses, from the environment the lab script sets:
//   EXPECT  raw | datagram | none: the socket this user must get
//   REPLY   answers echoes, but only requests that arrive with time-to-live 64
//   DROP    its echo requests are dropped: no reply ever
//   UNREACHABLE  its echo requests are answered "host unreachable" (ICMP type 3, code 1)
//   SLOW    answers after DELAY_MS, and first sends decoy replies (another identifier, an
//           earlier sequence, another source address) carrying other data
class IcmpLabTest : public ::testing::Test {
  protected:
    void SetUp() override {
        m_expect = labSetting("QUENDRIX_ICMP_LAB_EXPECT");
        if (m_expect.empty()) {
            GTEST_SKIP() << "runs only inside the ICMP lab (tests/lab/icmp/run-icmp-lab.sh)";
        }
    }

    std::string m_expect;
    IcmpEcho m_echo;
};

// The cases that need a socket; skipped in the run that has none.
class IcmpLabEchoTest : public IcmpLabTest {
  protected:
    void SetUp() override {
        IcmpLabTest::SetUp();
        if (!IsSkipped() && m_expect == "none") {
            GTEST_SKIP() << "this run has no ICMP socket";
        }
    }
};

TEST_F(IcmpLabTest, UserGetsTheExpectedSocketOrAnExplanation) {
    if (m_expect == "none") {
        EXPECT_EQ(m_echo.socketKind(), IcmpSocketKind::None);
        const auto reason = m_echo.unavailableReason();
        ASSERT_TRUE(reason.has_value());
        EXPECT_NE(reason->find("setcap cap_net_raw+ep "), std::string::npos) << *reason;
        EXPECT_NE(reason->find("net.ipv4.ping_group_range"), std::string::npos) << *reason;
        EXPECT_EQ(m_echo.takeUnavailableNotice(), reason);
        EXPECT_EQ(m_echo.takeUnavailableNotice(), std::nullopt) << "the notice is given once";

        EchoResult result = m_echo.echo(addressOf("127.0.0.1"), bytesOf(kRequestData), 1000ms);
        EXPECT_EQ(result.failure, EchoFailure::SocketUnavailable);
        EXPECT_NE(result.errorNumber, 0);
        EXPECT_EQ(result.dataSize, 0u);
        EXPECT_EQ(result.roundTripMs, 0u);
        return;
    }
    EXPECT_EQ(m_echo.socketKind(),
              m_expect == "raw" ? IcmpSocketKind::Raw : IcmpSocketKind::Datagram);
    EXPECT_EQ(m_echo.unavailableReason(), std::nullopt);
    EXPECT_EQ(m_echo.takeUnavailableNotice(), std::nullopt);
}

TEST_F(IcmpLabEchoTest, LoopbackAndLinkAddressesReply) {
    for (const std::string& target :
         {std::string("127.0.0.1"), labSetting("QUENDRIX_ICMP_LAB_REPLY")}) {
        SCOPED_TRACE(target);
        EchoResult result = m_echo.echo(addressOf(target), bytesOf(kRequestData), 2500ms);
        ASSERT_TRUE(result.replied())
            << "failure " << static_cast<int>(result.failure) << " errno " << result.errorNumber;
        EXPECT_EQ(result.dataSize, 34u);
        EXPECT_EQ(textOf(result.data), kRequestData);
    }
}

// The REPLY address drops requests whose time-to-live is not 64 on arrival (one link, no
// router): a reply proves the default, a time-out proves that another value is applied.
TEST_F(IcmpLabEchoTest, TimeToLiveIsSetOnTheRequest) {
    const std::uint32_t target = addressOf(labSetting("QUENDRIX_ICMP_LAB_REPLY"));
    EXPECT_TRUE(m_echo.echo(target, bytesOf(kRequestData), 2500ms).replied());
    EXPECT_EQ(m_echo.echo(target, bytesOf(kRequestData), 300ms, {}, 63).failure,
              EchoFailure::Timeout);
    EXPECT_TRUE(m_echo.echo(target, bytesOf(kRequestData), 2500ms, {}, 64).replied());
}

TEST_F(IcmpLabEchoTest, LostEchoTimesOutAfterTheTimeOut) {
    const auto started = Clock::now();
    EchoResult result =
        m_echo.echo(addressOf(labSetting("QUENDRIX_ICMP_LAB_DROP")), bytesOf(kRequestData), 400ms);
    const auto waited = Clock::now() - started;
    EXPECT_EQ(result.failure, EchoFailure::Timeout);
    EXPECT_EQ(result.dataSize, 0u);
    EXPECT_EQ(result.roundTripMs, 0u);
    EXPECT_TRUE(result.data.empty());
    EXPECT_GE(waited, 400ms);
    EXPECT_LT(waited, 2400ms) << "the wait outlasted its time-out";

    // Time-outs leave the service usable.
    EXPECT_TRUE(
        m_echo.echo(addressOf(labSetting("QUENDRIX_ICMP_LAB_REPLY")), bytesOf(kRequestData), 2500ms)
            .replied());
}

TEST_F(IcmpLabEchoTest, StopEndsTheWaitPromptly) {
    std::stop_source stop;
    std::thread stopper([&] {
        std::this_thread::sleep_for(200ms);
        stop.request_stop();
    });
    const auto started = Clock::now();
    EchoResult result = m_echo.echo(addressOf(labSetting("QUENDRIX_ICMP_LAB_DROP")),
                                    bytesOf(kRequestData), 20000ms, stop.get_token());
    const auto waited = Clock::now() - started;
    stopper.join();
    EXPECT_EQ(result.failure, EchoFailure::Stopped);
    EXPECT_LT(waited, 5000ms) << "the stop did not end the 20 s wait";

    // The next call sleeps through its own time-out: a wake-up left over from the stop would
    // keep the wait spinning on the processor.
    const auto next = Clock::now();
    const auto cpuBefore = threadCpuTime();
    result = m_echo.echo(addressOf(labSetting("QUENDRIX_ICMP_LAB_DROP")), bytesOf(kRequestData),
                         300ms, std::stop_source().get_token());
    EXPECT_EQ(result.failure, EchoFailure::Timeout);
    EXPECT_GE(Clock::now() - next, 300ms);
    EXPECT_LT(threadCpuTime() - cpuBefore, 150ms) << "the wait spun instead of sleeping";
}

// The slow responder answers each request late and sends decoys first. The reply to the
// second request arrives after the late reply to the first one; each call must report only
// the reply to its own request.
TEST_F(IcmpLabEchoTest, ForeignAndLateRepliesAreSkipped) {
    const std::uint32_t slow = addressOf(labSetting("QUENDRIX_ICMP_LAB_SLOW"));
    const auto delay =
        std::chrono::milliseconds(std::atoi(labSetting("QUENDRIX_ICMP_LAB_DELAY_MS").c_str()));
    ASSERT_GT(delay.count(), 0);

    const std::string first = "-first request";
    EchoResult result = m_echo.echo(slow, bytesOf(first), delay / 3);
    EXPECT_EQ(result.failure, EchoFailure::Timeout) << "took " << textOf(result.data);

    for (const std::string& data : {std::string("-second request"), std::string("-third")}) {
        SCOPED_TRACE(data);
        result = m_echo.echo(slow, bytesOf(data), delay * 10);
        ASSERT_TRUE(result.replied());
        EXPECT_EQ(textOf(result.data), data);
        EXPECT_EQ(result.dataSize, data.size());
        EXPECT_GE(result.roundTrip, delay / 2) << "took a decoy that came at once";
    }
}

// What the shared socket with errors enabled reads back for one echo: the reply or the ICMP
// error about it, as a raw socket decodes it or a datagram socket's error queue reports it.
struct Answer {
    IcmpKind kind = IcmpKind::EchoRequest;  // EchoRequest: nothing came
    std::uint8_t code = 0;
    std::uint32_t from = 0;
    int timeToLive = -1;
};

Answer answerTo(IcmpSocket& socket, std::uint32_t target, std::uint16_t sequence) {
    Answer answer;
    std::vector<std::uint8_t> buffer(65536);
    Waiter waiter;
    const auto deadline = Clock::now() + 2500ms;
    for (int round = 0; round < 100; ++round) {
        auto waited = waiter.wait(socket.descriptor(), deadline, {});
        if (!waited || *waited != WaitOutcome::Ready) {
            return answer;
        }
        auto error = socket.receiveQueuedError();
        if (error && *error && (*error)->sequence == sequence) {
            answer.kind =
                (*error)->type == 3 ? IcmpKind::DestinationUnreachable : IcmpKind::TimeExceeded;
            answer.code = (*error)->code;
            answer.from = (*error)->offender;
            return answer;
        }
        auto received = socket.receive(buffer);
        if (!received || !*received) {
            continue;
        }
        auto message =
            decodeIcmpMessage(std::span<const std::uint8_t>(buffer.data(), (*received)->size),
                              socket.receivesIpHeader());
        if (!message || message->identifier != socket.identifier() ||
            message->sequence != sequence) {
            continue;
        }
        if (message->kind == IcmpKind::EchoReply && (*received)->source != target) {
            continue;
        }
        if (message->quoted && message->quoted->destination != target) {
            continue;
        }
        answer.kind = message->kind;
        answer.code = message->code;
        answer.from = (*received)->source;
        answer.timeToLive =
            socket.receivesIpHeader() ? message->timeToLive : (*received)->timeToLive;
        return answer;
    }
    return answer;
}

// The socket the trace sends through: a reply keeps its time-to-live, and an unreachable
// answer quoting our request is read (raw: through the kernel filter that lets in errors
// quoting our identifier; datagram: through the error queue).
TEST_F(IcmpLabEchoTest, SharedSocketReadsRepliesAndErrorsAboutOurEcho) {
    auto socket = IcmpSocket::open(IcmpTraffic::EchoRepliesAndErrors);
    ASSERT_TRUE(socket.has_value()) << socket.error().text;
    EXPECT_EQ(socket->kind(), m_expect == "raw" ? IcmpSocketKind::Raw : IcmpSocketKind::Datagram);
    const std::uint32_t reply = addressOf(labSetting("QUENDRIX_ICMP_LAB_REPLY"));
    const std::uint32_t unreachable = addressOf(labSetting("QUENDRIX_ICMP_LAB_UNREACHABLE"));
    ASSERT_TRUE(socket->setTimeToLive(64));

    ASSERT_TRUE(socket->sendEcho(reply, 41, bytesOf(kRequestData)));
    Answer answer = answerTo(*socket, reply, 41);
    EXPECT_EQ(answer.kind, IcmpKind::EchoReply);
    EXPECT_EQ(answer.from, reply);
    EXPECT_EQ(answer.timeToLive, 64) << "the reply crossed no router";

    for (std::uint16_t sequence : {42, 43}) {
        ASSERT_TRUE(socket->sendEcho(unreachable, sequence, bytesOf(kRequestData)));
        answer = answerTo(*socket, unreachable, sequence);
        EXPECT_EQ(answer.kind, IcmpKind::DestinationUnreachable) << "sequence " << sequence;
        EXPECT_EQ(answer.code, 1);
        EXPECT_EQ(answer.from, unreachable);
    }
}

}  // namespace
}  // namespace quendrix::net
