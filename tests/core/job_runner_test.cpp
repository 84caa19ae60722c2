#include "core/job_runner.h"

#include <QCoreApplication>

#include <atomic>
#include <chrono>
#include <thread>

#include <gtest/gtest.h>

namespace quendrix {
namespace {

TEST(JobRunner, AppliesResultsInOrderThenDone) {
    JobRunner runner;
    std::vector<int> applied;
    bool done = false;
    runner.start(
        [&](JobContext& job) {
            for (int i = 0; i < 5000; ++i) {
                job.post([&applied, i] { applied.push_back(i); });
            }
        },
        [&] {
            EXPECT_EQ(applied.size(), 5000u);
            done = true;
        });
    ASSERT_TRUE(runner.waitForIdle(10000));
    EXPECT_TRUE(done);
    for (int i = 0; i < 5000; ++i) {
        ASSERT_EQ(applied[static_cast<size_t>(i)], i);
    }
}

TEST(JobRunner, NothingArrivesAfterStopReturned) {
    JobRunner runner;
    std::atomic<bool> release{false};
    int applied = 0;
    bool done = false;
    runner.start(
        [&](JobContext& job) {
            job.post([&] { ++applied; });
            // A look-up that goes on after Stop: its result must be dropped.
            while (!release) {
                std::this_thread::sleep_for(std::chrono::milliseconds(1));
            }
            job.post([&] { ++applied; });
        },
        [&] { done = true; });
    while (applied == 0) {
        QCoreApplication::processEvents();
    }
    runner.stop();
    EXPECT_FALSE(runner.isRunning());
    release = true;
    runner.joinAll();
    QCoreApplication::processEvents();
    EXPECT_EQ(applied, 1);
    EXPECT_FALSE(done);
}

TEST(JobRunner, WorkerSeesTheStopToken) {
    JobRunner runner;
    std::atomic<int> steps{0};
    runner.start([&](JobContext& job) {
        while (!job.stopRequested() && steps < 1000000) {
            ++steps;
            std::this_thread::sleep_for(std::chrono::microseconds(50));
        }
    });
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    runner.stop();
    runner.joinAll();
    EXPECT_LT(steps.load(), 1000000);
}

}  // namespace
}  // namespace quendrix
