// The shared wait on a pipe: ready, deadline, and a stop from another thread that must end a
// long wait at once and leave nothing behind for the next wait.
#include "net/waiter.h"

#include <unistd.h>

#include <gtest/gtest.h>

#include <fstream>
#include <string>
#include <thread>

namespace quendrix::net {
namespace {

using namespace std::chrono_literals;
using Clock = Waiter::Clock;

class WaiterTest : public ::testing::Test {
  protected:
    void SetUp() override { ASSERT_EQ(pipe(m_pipe), 0); }
    void TearDown() override {
        close(m_pipe[0]);
        close(m_pipe[1]);
    }

    int readEnd() const { return m_pipe[0]; }
    void writeByte() { ASSERT_EQ(write(m_pipe[1], "x", 1), 1); }

    Waiter m_waiter;
    int m_pipe[2] = {-1, -1};
};

// The state letter of a thread of this process ('S' while it sleeps in a wait).
char threadState(pid_t thread) {
    std::ifstream stat("/proc/self/task/" + std::to_string(thread) + "/stat");
    std::string line;
    std::getline(stat, line);
    const auto paren = line.rfind(')');
    return paren == std::string::npos || paren + 2 >= line.size() ? '?' : line[paren + 2];
}

TEST_F(WaiterTest, ReadyDeadlineAndAStopAlreadyRequested) {
    std::stop_source stop;
    // Nothing to read: the deadline ends the wait, not earlier.
    const auto started = Clock::now();
    auto outcome = m_waiter.wait(readEnd(), started + 50ms, stop.get_token());
    ASSERT_TRUE(outcome.has_value()) << outcome.error().text;
    EXPECT_EQ(*outcome, WaitOutcome::TimedOut);
    EXPECT_GE(Clock::now() - started, 50ms);

    writeByte();
    outcome = m_waiter.wait(readEnd(), Clock::now() + 20s, stop.get_token());
    EXPECT_EQ(*outcome, WaitOutcome::Ready);

    // A passed deadline or a stop already requested do not block, even with data waiting.
    EXPECT_EQ(*m_waiter.wait(readEnd(), Clock::now() - 1ms, {}), WaitOutcome::TimedOut);
    stop.request_stop();
    EXPECT_EQ(*m_waiter.wait(readEnd(), Clock::now() + 20s, stop.get_token()),
              WaitOutcome::Stopped);
}

TEST_F(WaiterTest, StopFromAnotherThreadEndsTheWaitAndLeavesNoWakeBehind) {
    std::stop_source stop;
    std::atomic<pid_t> waiting{0};
    Result<WaitOutcome> outcome = Error{};
    const auto started = Clock::now();
    std::thread waiter([&] {
        waiting = gettid();
        outcome = m_waiter.wait(readEnd(), Clock::now() + 20s, stop.get_token());
    });
    // Stop once the waiting thread sleeps (bounded: a wait that never starts fails below).
    for (int i = 0; i < 200000 && (waiting == 0 || threadState(waiting) != 'S'); ++i) {
        std::this_thread::yield();
    }
    stop.request_stop();
    waiter.join();
    ASSERT_TRUE(outcome.has_value());
    EXPECT_EQ(*outcome, WaitOutcome::Stopped);
    EXPECT_LT(Clock::now() - started, 5s) << "the stop did not end the 20 s wait";

    // The next wait, under a new stop source, runs to its deadline: a wake left over from
    // the stop would end it at once.
    const auto next = Clock::now();
    EXPECT_EQ(*m_waiter.wait(readEnd(), next + 100ms, std::stop_source().get_token()),
              WaitOutcome::TimedOut);
    EXPECT_GE(Clock::now() - next, 100ms);
}

}  // namespace
}  // namespace quendrix::net
