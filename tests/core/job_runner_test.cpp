// The job unit: rows reach the UI thread in order and in collections, each job ends exactly
// once (done, stopped, failed), an exception in a job is a failure with its text, one job
// stops alone, and nothing of a stopped or destroyed job is applied.
#include "core/job_runner.h"
#include "core/errors.h"
#include "support/event_loop.h"

#include <QCoreApplication>
#include <QTimer>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <condition_variable>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <stdexcept>
#include <string>
#include <system_error>
#include <vector>

#include <gtest/gtest.h>

namespace quendrix {
namespace {

using Runner = JobRunner<int>;

// A gate a job waits at until the test opens it, and that tells the test when it got there.
class Gate {
  public:
    void arriveAndWait() {
        std::unique_lock lock(m_mutex);
        m_arrived = true;
        m_changed.notify_all();
        m_changed.wait(lock, [this] { return m_open; });
    }
    void waitArrived() {
        std::unique_lock lock(m_mutex);
        m_changed.wait(lock, [this] { return m_arrived; });
    }
    void open() {
        std::lock_guard lock(m_mutex);
        m_open = true;
        m_changed.notify_all();
    }

  private:
    std::mutex m_mutex;
    std::condition_variable m_changed;
    bool m_arrived = false;
    bool m_open = false;
};

// What a runner applied and how its jobs ended.
struct Record {
    std::map<JobId, std::vector<int>> rows;
    std::map<JobId, std::vector<JobOutcome>> ends;
    int applyCalls = 0;

    Runner::Apply apply() {
        return [this](JobId id, std::span<int> batch) {
            ++applyCalls;
            rows[id].insert(rows[id].end(), batch.begin(), batch.end());
        };
    }
    void follow(Runner& runner) {
        QObject::connect(
            &runner, &JobRunnerBase::ended,
            [this](JobId id, const JobOutcome& outcome) { ends[id].push_back(outcome); });
    }
};

TEST(JobRunner, RowsArriveInOrderInCollectionsThenOneDoneEnd) {
    Record record;
    Runner runner(record.apply());
    record.follow(runner);
    constexpr int kRows = 20000;
    const JobId id = runner.start([](Runner::Context& job) {
        for (int i = 0; i < kRows; ++i) {
            job.push(i);
        }
    });
    EXPECT_NE(id, 0u);
    EXPECT_TRUE(runner.isRunning(id));
    ASSERT_TRUE(runner.wait(id, 30000));
    ASSERT_EQ(record.rows[id].size(), static_cast<size_t>(kRows));
    for (int i = 0; i < kRows; ++i) {
        ASSERT_EQ(record.rows[id][static_cast<size_t>(i)], i);
    }
    // Collected many at a time, not handed over one by one. The slices are sized by the time
    // rows took so far, so a UI thread descheduled mid-slice (a loaded machine) takes smaller
    // slices for a while: the bound asks for batches, not for a machine at rest.
    EXPECT_LT(record.applyCalls, kRows / 2);
    ASSERT_EQ(record.ends[id].size(), 1u);
    EXPECT_TRUE(record.ends[id].front().done());
    EXPECT_FALSE(runner.isRunning());
}

TEST(JobRunner, AnEventLoopRunFromApplyKeepsEveryRowOnceAndInOrder) {
    // A message box shown while rows are applied runs an event loop, in which the worker's
    // wake-ups and the collection timer arrive.
    std::vector<int> applied;
    std::atomic<bool> pushedAll{false};
    Gate first;
    Gate rest;
    bool nested = false;
    Runner runner([&](JobId, std::span<int> rows) {
        applied.insert(applied.end(), rows.begin(), rows.end());
        if (!nested) {
            nested = true;
            first.open();
            test::WaitUntil([&] { return pushedAll.load(); }, 30000);
            test::ProcessEventsFor(60);  // past the collection period
            rest.open();
        }
    });
    const JobId id = runner.start([&](Runner::Context& job) {
        job.push(0);
        first.arriveAndWait();
        for (int i = 1; i < 2000; ++i) {
            job.push(i);
        }
        pushedAll = true;
        rest.arriveAndWait();
        for (int i = 2000; i < 3000; ++i) {
            job.push(i);
        }
    });
    ASSERT_TRUE(runner.wait(id, 30000));
    ASSERT_EQ(applied.size(), 3000u);
    for (int i = 0; i < 3000; ++i) {
        ASSERT_EQ(applied[static_cast<size_t>(i)], i);
    }
}

TEST(JobRunner, ABacklogIsAppliedOverSeveralTurnsInOrderAndTheEndComesAfterItsLastRow) {
    // With no time for applying, each turn applies a single row: a job that has made all its
    // rows at once still leaves the event loop its turns, and its end waits for the last row.
    // A second job's rows, taken behind the first's, keep their place; stopping it between
    // two turns drops what it has left.
    constexpr int kRows = 300;
    Record record;
    Runner runner(record.apply());
    runner.setApplyBudget(std::chrono::nanoseconds(0));
    int turns = 0;
    std::vector<int> turnOfRow;  // rows of job a: the turn each was applied in
    std::vector<std::size_t> rowsAtEnd;
    JobId a = 0;
    JobId b = 0;
    QObject::connect(&runner, &JobRunnerBase::collected, [&] {
        turnOfRow.resize(record.rows[a].size(), turns);
        if (record.rows[b].size() == 5) {
            runner.stop(b);
        }
    });
    QObject::connect(&runner, &JobRunnerBase::ended, [&](JobId id, const JobOutcome& outcome) {
        record.ends[id].push_back(outcome);
        rowsAtEnd.push_back(record.rows[id].size());
    });
    QTimer ticker;  // one tick per turn of the event loop
    ticker.setInterval(0);
    QObject::connect(&ticker, &QTimer::timeout, [&] { ++turns; });
    ticker.start();

    Gate made;
    a = runner.start([&](Runner::Context& job) {
        for (int i = 0; i < kRows; ++i) {
            job.push(i);
        }
        made.open();
    });
    made.arriveAndWait();  // a's rows all wait before the UI thread looks
    b = runner.start([](Runner::Context& job) {
        for (int i = 0; i < kRows; ++i) {
            job.push(-i);
        }
    });
    ASSERT_TRUE(runner.waitForIdle(30000));

    ASSERT_EQ(record.rows[a].size(), static_cast<size_t>(kRows));
    for (int i = 0; i < kRows; ++i) {
        ASSERT_EQ(record.rows[a][static_cast<size_t>(i)], i);
    }
    EXPECT_EQ(record.applyCalls, kRows + 5);  // one row per apply call
    // Other events ran between the rows: the event loop turned many times from the first row
    // to the last.
    EXPECT_GE(turnOfRow.back() - turnOfRow.front(), kRows / 2);
    ASSERT_EQ(record.ends[a].size(), 1u);
    EXPECT_TRUE(record.ends[a].front().done());
    EXPECT_EQ(record.rows[b], (std::vector<int>{0, -1, -2, -3, -4}));
    ASSERT_EQ(record.ends[b].size(), 1u);
    EXPECT_EQ(record.ends[b].front().kind, JobOutcome::Kind::Stopped);
    // a ended with all its rows applied, b when stopped after its fifth.
    std::sort(rowsAtEnd.begin(), rowsAtEnd.end());
    EXPECT_EQ(rowsAtEnd, (std::vector<std::size_t>{5, static_cast<size_t>(kRows)}));
}

TEST(JobRunner, AnExceptionOrAFailEndsTheJobFailedWithItsErrorAndOnlyAnExceptionIsMarked) {
    // The failure carries the error value of Result<T>; an exception is told apart by its mark,
    // never by a code an error could have too (a failed look-up ends with HostNotFound).
    struct Case {
        const char* name;
        std::function<void(Runner::Context&)> end;
        bool exception;
        Error error;  // code compared only where no exception ended the job
    };
    const Case cases[] = {
        {"std exception",
         [](Runner::Context&) { throw std::runtime_error("disk on fire"); },
         true,
         {ErrorCode::System, 0, "disk on fire"}},
        {"user error",
         [](Runner::Context&) { throw UserError("'x' is not a valid integer value"); },
         true,
         {ErrorCode::System, 0, "'x' is not a valid integer value"}},
        {"system error keeps its errno",
         [](Runner::Context&) { throw std::system_error(EMFILE, std::generic_category(), "pipe"); },
         true,
         {ErrorCode::System, EMFILE, "pipe: " + Error::errorText(EMFILE)}},
        {"anything else",
         [](Runner::Context&) { throw 42; },
         true,
         {ErrorCode::System, 0, "unknown exception"}},
        {"fail with a look-up error",
         [](Runner::Context& job) {
             job.fail({ErrorCode::HostNotFound, 1, "Unknown host"});
         },
         false,
         {ErrorCode::HostNotFound, 1, "Unknown host"}},
        {"fail with a system error",
         [](Runner::Context& job) { job.fail(Error::fromErrno(EACCES)); },
         false,
         {ErrorCode::System, EACCES, Error::errorText(EACCES)}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Record record;
        Runner runner(record.apply());
        record.follow(runner);
        const JobId id = runner.start([&c](Runner::Context& job) {
            job.push(1);
            job.push(2);
            c.end(job);
        });
        ASSERT_TRUE(runner.wait(id, 30000));
        // What it produced before failing is applied, then the one end.
        EXPECT_EQ(record.rows[id], (std::vector<int>{1, 2}));
        ASSERT_EQ(record.ends[id].size(), 1u);
        const JobOutcome& outcome = record.ends[id].front();
        EXPECT_TRUE(outcome.failed());
        EXPECT_EQ(outcome.exception, c.exception);
        if (!c.exception) {
            EXPECT_EQ(outcome.error.code, c.error.code);
        }
        EXPECT_EQ(outcome.error.systemError, c.error.systemError);
        EXPECT_EQ(outcome.error.text, c.error.text);
        EXPECT_EQ(outcome.text(), QString::fromStdString(c.error.text));
    }
}

TEST(JobRunner, StoppingOneOfTwoJobsLeavesTheOtherRunning) {
    Record record;
    Runner runner(record.apply());
    record.follow(runner);
    Gate gateA;
    Gate gateB;
    const JobId a = runner.start([&](Runner::Context& job) {
        job.push(1);
        gateA.arriveAndWait();
        job.push(2);  // after the stop: dropped
    });
    const JobId b = runner.start([&](Runner::Context& job) {
        job.push(10);
        gateB.arriveAndWait();
        job.push(20);
    });
    ASSERT_NE(a, b);
    gateA.waitArrived();
    gateB.waitArrived();

    // Both jobs' first rows wait to be collected; a is stopped before they are.
    runner.stop(a);
    ASSERT_EQ(record.ends[a].size(), 1u);
    EXPECT_EQ(record.ends[a].front().kind, JobOutcome::Kind::Stopped);
    EXPECT_FALSE(runner.isRunning(a));
    EXPECT_TRUE(runner.isRunning(b));
    EXPECT_TRUE(runner.isRunning());
    runner.stop(a);  // once stopped, stopping again reports nothing more

    gateA.open();
    gateB.open();
    ASSERT_TRUE(runner.wait(b, 30000));
    EXPECT_EQ(record.rows[b], (std::vector<int>{10, 20}));
    ASSERT_EQ(record.ends[b].size(), 1u);
    EXPECT_TRUE(record.ends[b].front().done());
    ASSERT_TRUE(runner.waitForIdle(30000));
    runner.shutdown();  // a's thread: joined
    QCoreApplication::processEvents();
    EXPECT_TRUE(record.rows[a].empty());
    EXPECT_EQ(record.ends[a].size(), 1u);
}

TEST(JobRunner, NothingIsAppliedAfterStopReturned) {
    // Stopped from inside a collection: the rows of the same collection that come after the
    // stop are dropped too, and so is everything the job still makes.
    Record record;
    JobId id = 0;
    std::unique_ptr<Runner> runner;
    int appliedAtStop = -1;
    runner = std::make_unique<Runner>([&](JobId job, std::span<int> batch) {
        ASSERT_EQ(appliedAtStop, -1) << "applied after stop returned";
        record.rows[job].insert(record.rows[job].end(), batch.begin(), batch.end());
        if (record.rows[job].size() >= 100) {
            runner->stop(id);
            appliedAtStop = static_cast<int>(record.rows[job].size());
        }
    });
    record.follow(*runner);
    Gate gate;
    id = runner->start([&](Runner::Context& job) {
        for (int i = 0; i < 1000000 && !job.stopRequested(); ++i) {
            job.push(i);
            if (i == 2000) {
                gate.arriveAndWait();
            }
        }
    });
    gate.waitArrived();  // 2001 rows wait: the first collection applies them and stops the job
    ASSERT_TRUE(runner->waitForIdle(30000));
    ASSERT_GE(appliedAtStop, 100);
    gate.open();
    runner->shutdown();
    QCoreApplication::processEvents();
    EXPECT_EQ(static_cast<int>(record.rows[id].size()), appliedAtStop);
    ASSERT_EQ(record.ends[id].size(), 1u);
    EXPECT_EQ(record.ends[id].front().kind, JobOutcome::Kind::Stopped);
}

TEST(JobRunner, AStoppedJobsWorkerIsBusyUntilItReturnsFromItsBlockingCall) {
    // Stop ends the job at once, but its worker may still be inside a call that watches no
    // stop token (a look-up): the owner learns when it is back.
    Record record;
    Runner runner(record.apply());
    record.follow(runner);
    std::vector<JobId> returned;
    QObject::connect(&runner, &JobRunnerBase::workerReturned,
                     [&](JobId id) { returned.push_back(id); });
    Gate blocked;
    std::atomic<bool> back{false};
    const JobId id = runner.start([&](Runner::Context& job) {
        job.push(1);
        blocked.arriveAndWait();  // deaf to the stop token
        back = true;
    });
    blocked.waitArrived();
    runner.stop(id);
    EXPECT_FALSE(runner.isRunning(id));
    EXPECT_TRUE(runner.isWorkerBusy(id));
    EXPECT_TRUE(runner.isWorkerBusy());
    EXPECT_FALSE(runner.waitForWorkers(50));  // still inside its call
    EXPECT_TRUE(returned.empty());

    blocked.open();
    ASSERT_TRUE(runner.waitForWorkers(30000));
    EXPECT_TRUE(back.load());  // read after the join: the worker really returned
    EXPECT_FALSE(runner.isWorkerBusy(id));
    EXPECT_EQ(returned, std::vector<JobId>{id});
    ASSERT_EQ(record.ends[id].size(), 1u);  // stopped, and nothing more
    EXPECT_TRUE(record.ends[id].front().stopped());
    EXPECT_TRUE(record.rows[id].empty());

    // A job that ends by itself: its worker is back by its end, and said so once, after it.
    std::vector<std::string> order;
    QObject::connect(&runner, &JobRunnerBase::ended,
                     [&](JobId, const JobOutcome&) { order.push_back("ended"); });
    QObject::connect(&runner, &JobRunnerBase::workerReturned,
                     [&](JobId) { order.push_back("returned"); });
    const JobId done = runner.start([](Runner::Context&) {});
    ASSERT_TRUE(runner.wait(done, 30000));
    EXPECT_FALSE(runner.isWorkerBusy(done));
    EXPECT_EQ(order, (std::vector<std::string>{"ended", "returned"}));
}

TEST(JobRunner, DestroyedMidJobJoinsAndAppliesNothing) {
    Record record;
    auto runner = std::make_unique<Runner>(record.apply());
    record.follow(*runner);
    Gate started;
    bool sawStop = false;
    const JobId id = runner->start([&](Runner::Context& job) {
        job.push(1);
        started.open();
        // Blocks until the destructor sets the stop token, as a wait on the network would.
        std::mutex mutex;
        std::condition_variable_any never;
        std::unique_lock lock(mutex);
        never.wait(lock, job.stopToken(), [] { return false; });
        sawStop = job.stopRequested();
        job.push(2);
    });
    started.arriveAndWait();
    runner.reset();  // joins: sawStop is written before it returns
    QCoreApplication::processEvents();
    EXPECT_TRUE(sawStop);
    EXPECT_TRUE(record.rows[id].empty());
    EXPECT_TRUE(record.ends[id].empty());
}

}  // namespace
}  // namespace quendrix
