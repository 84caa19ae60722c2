// The trace engine inside the router chain (tests/lab/trace/run-trace-lab.sh): the log lines and
// hop rows a user sees for a target at hop 4, with and without host names, Max Hops, a silent
// hop, an unreachable answer, an unknown name, both stops, and the refusal without a socket.
// Outside the lab every test skips.
#include "tools/trace/trace_run.h"

#include "support/trace_lab.h"

#include <gtest/gtest.h>

#include <regex>
#include <string>
#include <thread>
#include <vector>

namespace quendrix::trace {

void PrintTo(const HopRow& row, std::ostream* out) {
    *out << HopLine(row);
}

namespace {

using namespace std::chrono_literals;

// What a trace handed over, as the page would show it.
struct Seen {
    std::vector<std::string> log;
    std::vector<HopRow> hops;
    int clears = 0;
};

class TraceLabTest : public ::testing::Test {
  protected:
    void SetUp() override {
        const auto lab = test::TraceLab::FromEnvironment();
        if (!lab) {
            GTEST_SKIP() << test::kOutsideTraceLab;
        }
        m_expect = lab->run;
        m_hops = lab->hops;
        ASSERT_EQ(m_hops.size(), 3u);
        m_target = lab->target;
        m_silent = lab->silentHop2;
        m_unreachable = lab->unreachableHop4;
        m_dropped = lab->dropped;
        if (!lab->hasSocket() && !allowsNoSocket()) {
            GTEST_SKIP() << "this run has no ICMP socket";
        }
    }
    virtual bool allowsNoSocket() const { return false; }

    Result<TraceEnd> trace(const std::string& target, std::chrono::milliseconds wait = 2000ms,
                           std::stop_token stop = {}) {
        return RunTrace(m_client, {target, wait}, m_controls, std::move(stop),
                        [this](TraceEvent event) { take(std::move(event)); });
    }

    void take(TraceEvent event) {
        switch (event.kind) {
            case TraceEvent::Kind::Log:
                m_seen.log.insert(m_seen.log.end(), event.lines.begin(), event.lines.end());
                break;
            case TraceEvent::Kind::ClearHops:
                m_seen.hops.clear();
                ++m_seen.clears;
                break;
            case TraceEvent::Kind::Hop:
                m_seen.hops.push_back(event.row);
                break;
            case TraceEvent::Kind::HopAnswered:
                break;
        }
    }

    // The row of a router's time exceeded, whatever TTL byte it arrived with.
    static bool routerRow(const HopRow& row, int hop, const std::string& ip,
                          const std::string& host) {
        return row.hop == hop && row.ip == ip && row.host == host &&
               std::regex_match(row.note, std::regex("TTL=\\d+"));
    }
    static bool replyRow(const HopRow& row, int hop, const std::string& ip,
                         const std::string& host) {
        return row.hop == hop && row.ip == ip && row.host == host &&
               std::regex_match(row.note, std::regex("\\d+ ms"));
    }

    static std::string Joined(const std::vector<std::string>& lines) {
        std::string text;
        for (const std::string& line : lines) {
            text += line + '|';
        }
        return text;
    }

    std::string m_expect;
    std::vector<std::string> m_hops;
    std::string m_target, m_silent, m_unreachable, m_dropped;
    TraceClient m_client;
    TraceControls m_controls;
    Seen m_seen;
};

TEST_F(TraceLabTest, TracesToTheTargetAtHopFourWithAndWithoutHostNames) {
    for (const bool names : {false, true}) {
        SCOPED_TRACE(names ? "Host Revolve" : "no names");
        m_seen = {};
        m_controls.setHostRevolve(names);
        // Typed as a web address with a path: the log keeps the text, the trace its host.
        const std::string typed = " http://three.lab.test/index.html";
        const auto end = trace(typed);
        ASSERT_TRUE(end) << end.error().text;
        EXPECT_EQ(*end, TraceEnd::Traced);
        ASSERT_EQ(m_seen.log.size(), 3u) << Joined(m_seen.log);
        EXPECT_EQ(m_seen.log[0], "resolving " + typed);
        EXPECT_EQ(m_seen.log[1], typed + " resolved to " + m_target);
        EXPECT_TRUE(m_seen.log[2].starts_with("response from host " + m_target + " in ") &&
                    m_seen.log[2].ends_with(" millisec."))
            << m_seen.log[2];
        EXPECT_EQ(m_seen.clears, 1);
        ASSERT_EQ(m_seen.hops.size(), 4u);
        const auto name = [&](const char* text) {
            return names ? std::string(text) : std::string();
        };
        EXPECT_TRUE(routerRow(m_seen.hops[0], 1, m_hops[0], name("one.lab.test")))
            << ::testing::PrintToString(m_seen.hops[0]);
        EXPECT_TRUE(routerRow(m_seen.hops[1], 2, m_hops[1], name("two.lab.test")))
            << ::testing::PrintToString(m_seen.hops[1]);
        EXPECT_TRUE(routerRow(m_seen.hops[2], 3, m_hops[2], name("X")))
            << ::testing::PrintToString(m_seen.hops[2]);
        EXPECT_TRUE(replyRow(m_seen.hops[3], 4, m_target, name("three.lab.test")))
            << ::testing::PrintToString(m_seen.hops[3]);
    }
}

TEST_F(TraceLabTest, MaxHopsBoundsTheFirstPingAndTheHops) {
    for (const int maxHops : {1, 2}) {
        SCOPED_TRACE(maxHops);
        m_seen = {};
        m_controls.setMaxHops(maxHops);
        const auto end = trace(m_target);
        ASSERT_TRUE(end) << end.error().text;
        ASSERT_EQ(m_seen.log.size(), 3u);
        const std::string& router = m_hops[static_cast<std::size_t>(maxHops - 1)];
        EXPECT_EQ(m_seen.log[2],
                  "Hope " + std::to_string(maxHops) + " " + router + ": TTL expired.");
        ASSERT_EQ(m_seen.hops.size(), static_cast<std::size_t>(maxHops));
        EXPECT_TRUE(routerRow(m_seen.hops.back(), maxHops, router, ""));
    }
}

TEST_F(TraceLabTest, ASilentHopTimesOutAndAnUnreachableAnswerEndsTheTrace) {
    m_controls.setHostRevolve(true);  // a time-out row has no host even so
    ASSERT_TRUE(trace(m_silent, 300ms));
    ASSERT_EQ(m_seen.hops.size(), 4u);
    EXPECT_EQ(m_seen.hops[1], (HopRow{2, "?.?.?.?", "", "Timed out."}));
    EXPECT_TRUE(replyRow(m_seen.hops[3], 4, m_silent, "X"));

    m_seen = {};
    m_controls.setHostRevolve(false);
    ASSERT_TRUE(trace(m_unreachable));
    ASSERT_GE(m_seen.log.size(), 3u);
    EXPECT_EQ(m_seen.log[2], "Host " + m_hops[2] + " reports destination network unreachable.");
    // The third router answers for hop 4; Max Hops 30 does not carry the trace past it.
    ASSERT_EQ(m_seen.hops.size(), 4u);
    EXPECT_EQ(m_seen.hops[3], (HopRow{4, m_hops[2], "", "Destination network unreachable"}));
}

TEST_F(TraceLabTest, ASoftStopLetsTheHopEndAndWritesItsRow) {
    const std::string& dropped = m_dropped;
    std::jthread stopper;
    const auto end = RunTrace(m_client, {dropped, 300ms}, m_controls, {}, [&](TraceEvent event) {
        // Stop once hop 4 (which never answers) is being waited for: its exchange holds the
        // client's lock, which is free from hop 3's row until then. The hop is still waited
        // for, and its row written.
        if (event.kind == TraceEvent::Kind::Hop && event.row.hop == 3) {
            stopper = std::jthread([this] {
                const auto giveUp = std::chrono::steady_clock::now() + 10s;
                while (m_client.exchange.try_lock()) {
                    m_client.exchange.unlock();
                    if (std::chrono::steady_clock::now() > giveUp) {
                        break;
                    }
                    std::this_thread::yield();
                }
                m_controls.requestStop();
            });
        }
        take(std::move(event));
    });
    ASSERT_TRUE(end);
    EXPECT_EQ(*end, TraceEnd::Traced);
    ASSERT_EQ(m_seen.hops.size(), 4u);
    EXPECT_EQ(m_seen.hops[3].note, "Timed out.");
}

TEST_F(TraceLabTest, TheStopTokenEndsTheWaitAtOnceAndNothingMoreComes) {
    const std::string& dropped = m_dropped;
    std::stop_source stop;
    std::jthread stopper;
    const auto started = std::chrono::steady_clock::now();
    const auto end =
        RunTrace(m_client, {dropped, 60s}, m_controls, stop.get_token(), [&](TraceEvent event) {
            // The first ping to a target that never answers would wait a minute; the stop
            // comes while it waits.
            if (event.kind == TraceEvent::Kind::Log && !event.lines.empty() &&
                event.lines[0].find("resolved to") != std::string::npos) {
                stopper = std::jthread([&stop] { stop.request_stop(); });
            }
            take(std::move(event));
        });
    ASSERT_TRUE(end);
    EXPECT_EQ(*end, TraceEnd::Stopped);
    EXPECT_LT(std::chrono::steady_clock::now() - started, 30s);
    EXPECT_EQ(m_seen.log.size(), 2u);
    EXPECT_EQ(m_seen.clears, 0);
}

class TraceLabAnySocketTest : public TraceLabTest {
  protected:
    bool allowsNoSocket() const override { return true; }
};

TEST_F(TraceLabAnySocketTest, AnUnknownNameGivesTwoLogLinesAndNoHops) {
    m_seen.hops.push_back({1, "kept", {}, {}});
    const auto end = trace("nowhere.lab.test");
    ASSERT_TRUE(end);
    EXPECT_EQ(*end, TraceEnd::NotResolved);
    EXPECT_EQ(m_seen.log, (std::vector<std::string>{"resolving nowhere.lab.test",
                                                    "Socket Error # 11001", "Host not found."}));
    EXPECT_EQ(m_seen.clears, 0);
}

TEST_F(TraceLabAnySocketTest, WithoutAnIcmpSocketThePingStepFailsWithAccessDenied) {
    if (m_expect != "none") {
        GTEST_SKIP() << "this run has an ICMP socket";
    }
    const auto end = trace(m_target);
    ASSERT_FALSE(end);
    EXPECT_EQ(end.error().text, "Socket Error # 10013\r\nAccess denied.");
    EXPECT_EQ(m_seen.log.size(), 2u);
}

}  // namespace
}  // namespace quendrix::trace
