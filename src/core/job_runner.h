// The job unit every tool runs its work on. A job is one body run on a thread of its own
// (never reused, always joined); start() returns its id, stop() takes one and stops that job
// only. The body pushes typed rows; the user-interface thread collects them in the order
// produced, all that wait at once: while rows keep coming it collects every few milliseconds,
// and the worker wakes it early once many rows wait, so a fast job costs one wake-up per
// hundreds of rows and no per-row call across threads. Applying them takes at most a few
// milliseconds of each event-loop turn (see setApplyBudget); what is left waits, in order, for
// the next turns, so a backlog never freezes the window. Each job ends exactly once: done,
// stopped, or failed with the error value of Result<T> (an exception escaping the body becomes
// such a failure, marked as one). After stop() has returned, nothing that job produced is
// applied: the UI thread drops rows whose job is stopped. A stopped job's worker may still be
// inside a call; workerReturned() and isWorkerBusy() tell its owner when it is back.
#pragma once

#include "net/result.h"

#include <QElapsedTimer>
#include <QObject>
#include <QString>

#include <algorithm>
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <span>
#include <stop_token>
#include <thread>
#include <utility>
#include <vector>

class QSocketNotifier;

namespace quendrix {

class Prompts;

// 0 is never a job's id.
using JobId = std::uint64_t;

// The Finished / Successful / Failed counts of a batch.
struct BatchCounters {
    int finished = 0;
    int successful = 0;
    int failed = 0;

    void count(bool ok) {
        ++finished;
        ++(ok ? successful : failed);
    }
    friend bool operator==(const BatchCounters&, const BatchCounters&) = default;
};

// How a job ended.
struct JobOutcome {
    enum class Kind { Done, Stopped, Failed };

    Kind kind = Kind::Done;
    // Failures only: what ended the job, the value a Result<T> carries (code, errno, text).
    // When an exception ended it, text is the exception's message, systemError its errno where
    // it carried one (std::system_error), and code means nothing: read `exception` first.
    Error error;
    // Failures only: an exception escaped the body (rather than the body calling fail()).
    bool exception = false;

    bool done() const { return kind == Kind::Done; }
    bool stopped() const { return kind == Kind::Stopped; }
    bool failed() const { return kind == Kind::Failed; }
    // The failure's text, to be shown.
    QString text() const { return QString::fromStdString(error.text); }

    static JobOutcome Failure(Error error, bool exception = false) {
        return {Kind::Failed, std::move(error), exception};
    }
};

// Shows a failed job's text as the general error report does (caption "Quendrix", error
// icon); nothing for a job that did not fail. For pages: engines never show anything.
void ShowJobFailure(Prompts& prompts, const JobOutcome& outcome);

// What the typed runner and the engines share: the threads, the stop of one job, the
// collection rhythm and the single end of each job. Not used on its own.
class JobRunnerBase : public QObject {
    Q_OBJECT
  public:
    ~JobRunnerBase() override;

    // Stops one job: its stop token is set (which also ends any wait that watches it), its
    // end is reported at once as stopped, and nothing it hands over afterwards is applied.
    // Returns at once: a worker still blocked in a look-up is joined when it comes back (then
    // workerReturned is emitted), or when the runner goes. Unknown or ended ids are ignored.
    void stop(JobId id);
    void stopAll();

    // True while a job that has not been stopped is working or has rows still to apply.
    bool isRunning() const;
    bool isRunning(JobId id) const;
    bool hasStarted() const { return m_nextId > 1; }
    // True from a job's start until its worker has returned from the body and its thread is
    // joined, which the UI thread learns in the event-loop turn after the return: unlike
    // isRunning(), a stopped job stays busy while its worker is still inside a call.
    bool isWorkerBusy(JobId id) const;
    bool isWorkerBusy() const { return !m_jobs.empty(); }
    // How long one event-loop turn may spend applying rows; the rest is applied in the turns
    // after it. Each turn applies at least one row, so zero applies one row per turn.
    void setApplyBudget(std::chrono::nanoseconds budget) { m_budget = budget; }
    // Waits, processing events, until the job (or every job) has ended or the time is up.
    // For tests and the command line; the window never waits.
    bool wait(JobId id, int timeoutMs);
    bool waitForIdle(int timeoutMs);
    // Waits, processing events, until every worker has returned (stopped jobs' included).
    bool waitForWorkers(int timeoutMs);
    // Stops every job and joins every thread (a look-up in progress is waited for); nothing
    // is applied afterwards and no end is reported. Owners whose jobs read their members call
    // it first thing in their destructor.
    void shutdown();

  Q_SIGNALS:
    // After each turn's rows have been applied, before the ends due with them.
    void collected();
    // Exactly once per job: from the turn that applied its last row (done, failed), or from
    // stop() (stopped).
    void ended(quendrix::JobId id, const quendrix::JobOutcome& outcome);
    // Exactly once per job, when its worker has returned and its thread is joined: after the
    // job's ended() for a job that ended by itself, later than it for a stopped one. Not
    // emitted for the workers that shutdown() joins.
    void workerReturned(quendrix::JobId id);

  protected:
    explicit JobRunnerBase(QObject* parent);

    // The worker's side of one job.
    class ContextBase {
      public:
        virtual ~ContextBase() = default;
        JobId id() const { return m_id; }
        bool stopRequested() const { return m_token.stop_requested(); }
        std::stop_token stopToken() const { return m_token; }
        // Ends the job as failed with this error once the body returns (its rows so far are
        // applied).
        void fail(Error error) {
            m_failed = true;
            m_error = std::move(error);
        }

      protected:
        ContextBase(JobId id, std::stop_token token) : m_id(id), m_token(std::move(token)) {}

      private:
        friend class JobRunnerBase;
        JobId m_id;
        std::stop_token m_token;
        bool m_failed = false;
        Error m_error;
    };

    // Starts work on a new thread with the context made for it.
    JobId launch(std::function<void(ContextBase&)> work,
                 std::function<std::unique_ptr<ContextBase>(JobId, std::stop_token)> makeContext);

    // Called by a worker after adding a row under m_mutex (lock still held; released here):
    // schedules a collection when the UI thread is not going to look anyway, or when many
    // rows wait.
    void rowAddedLocked(std::unique_lock<std::mutex>& lock, std::size_t waiting);

    // UI thread, m_mutex held, all rows taken before applied: moves the waiting rows to the UI
    // side.
    virtual bool takeWaitingLocked() = 0;
    // UI thread, no lock: applies the rows taken, in slices of sliceRows(), skipping those of
    // jobs not live, until sliceApplied() says the turn's time is up. Returns whether every
    // row taken has been applied.
    virtual bool applyTaken() = 0;
    // Whether rows of this job may still be applied.
    bool live(JobId id) const;
    // How many rows to hand to the next apply call: about a millisecond's worth, by what rows
    // have cost so far, and no more than the turn has time left for (at least one).
    std::size_t sliceRows();
    // After a slice of rows was applied: learns their cost; true once the turn's time is up.
    bool sliceApplied(std::size_t rows);

    mutable std::mutex m_mutex;

  private:
    struct Job {
        JobId id = 0;
        std::stop_source stopSource;
        std::thread thread;
        bool stopped = false;  // UI thread only
    };
    struct End {
        JobId id = 0;
        JobOutcome outcome;
    };

    // Asks the UI thread for a collection; any thread.
    void postCollect();
    void onWake();
    void collect(bool timer);
    void finishJob(const End& end);
    const Job* findJob(JobId id) const;

    std::chrono::nanoseconds m_budget;
    QElapsedTimer m_turnClock;          // since the turn began applying
    qint64 m_sliceStartNs = 0;          // m_turnClock when the slice began
    double m_nsPerRow = 0;              // what a row has cost to apply lately; 0: not known yet
    const int m_wakeFd;                 // eventfd the workers write to wake the UI thread
    QSocketNotifier* m_wake = nullptr;  // watches m_wakeFd on the UI thread
    std::vector<std::unique_ptr<Job>> m_jobs;  // UI thread only
    JobId m_nextId = 1;
    std::vector<End> m_ends;      // guarded by m_mutex
    bool m_posted = false;        // guarded: a collection is on its way (wake-up or posted call)
    bool m_timerDue = false;      // guarded: the UI thread's next collection is scheduled
    bool m_applying = false;      // UI thread: applyTaken() is on the stack
    bool m_collectAgain = false;  // UI thread: a collection was put off while applying
    bool m_backlog = false;       // UI thread: rows taken are still to be applied
    std::vector<End> m_dueEnds;   // UI thread: ends due once the rows taken are applied
};

// A runner whose jobs hand over rows of type Row. apply receives, on the UI thread, the rows
// of one job in the order produced, several at a time.
template <typename Row>
class JobRunner final : public JobRunnerBase {
  public:
    class Context final : public ContextBase {
      public:
        // Hands a row to the UI thread. Rows pushed after the job was stopped are dropped.
        void push(Row row) {
            if (stopRequested()) {
                return;
            }
            m_runner.push(id(), std::move(row));
        }

      private:
        friend class JobRunner;
        Context(JobRunner& runner, JobId id, std::stop_token token)
            : ContextBase(id, std::move(token)), m_runner(runner) {}
        JobRunner& m_runner;
    };
    using Work = std::function<void(Context&)>;
    using Apply = std::function<void(JobId id, std::span<Row> rows)>;

    explicit JobRunner(Apply apply, QObject* parent = nullptr)
        : JobRunnerBase(parent), m_apply(std::move(apply)) {}
    // Stops every job and joins its thread; nothing more is applied.
    ~JobRunner() override { shutdown(); }

    // Runs work on a new thread of its own.
    JobId start(Work work) {
        return launch(
            [work = std::move(work)](ContextBase& context) {
                work(static_cast<Context&>(context));
            },
            [this](JobId id, std::stop_token token) {
                return std::unique_ptr<ContextBase>(new Context(*this, id, std::move(token)));
            });
    }

  private:
    void push(JobId id, Row row) {
        std::unique_lock lock(m_mutex);
        m_waitingIds.push_back(id);
        m_waiting.push_back(std::move(row));
        rowAddedLocked(lock, m_waiting.size());
    }

    bool takeWaitingLocked() override {
        // The two buffers change places, so neither side allocates once they have grown.
        m_taken.swap(m_waiting);
        m_takenIds.swap(m_waitingIds);
        m_next = 0;
        return !m_taken.empty();
    }

    bool applyTaken() override {
        const std::size_t count = m_taken.size();
        while (m_next < count) {
            const JobId id = m_takenIds[m_next];
            // Checked for every slice: apply may have stopped a job meanwhile.
            if (!live(id)) {
                do {
                    ++m_next;
                } while (m_next < count && m_takenIds[m_next] == id);
                continue;
            }
            // The slice ends where the job's run does; looking no further than the slice keeps
            // a long run cheap when slices are small.
            const std::size_t limit = m_next + std::min(sliceRows(), count - m_next);
            std::size_t end = m_next + 1;
            while (end < limit && m_takenIds[end] == id) {
                ++end;
            }
            const std::size_t first = m_next;
            m_next = end;
            m_apply(id, std::span<Row>(m_taken.data() + first, end - first));
            if (sliceApplied(end - first) && m_next < count) {
                return false;
            }
        }
        m_taken.clear();
        m_takenIds.clear();
        m_next = 0;
        return true;
    }

    Apply m_apply;
    std::vector<Row> m_waiting;  // guarded by m_mutex
    std::vector<JobId> m_waitingIds;
    std::vector<Row> m_taken;  // UI thread only
    std::vector<JobId> m_takenIds;
    std::size_t m_next = 0;  // the first row taken not applied yet
};

}  // namespace quendrix

Q_DECLARE_METATYPE(quendrix::JobOutcome)
