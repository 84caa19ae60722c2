// Worker jobs: each job runs on a new thread of its own and hands its results to the
// user-interface thread, which applies them in the order produced, many per event-loop turn.
// Stop is a stop token for the worker plus a per-job flag checked on the UI thread, so
// nothing a stopped job produces is applied after stop() has returned.
#pragma once

#include <QObject>

#include <atomic>
#include <cstdint>
#include <functional>
#include <list>
#include <memory>
#include <mutex>
#include <stop_token>
#include <thread>
#include <vector>

namespace quendrix {

class JobRunner;

// What a job's body sees: its stop token and the way to hand results to the UI thread.
class JobContext {
  public:
    bool stopRequested() const { return m_token.stop_requested(); }
    std::stop_token stopToken() const { return m_token; }
    // Queues apply to run on the UI thread, after everything posted before it.
    void post(std::function<void()> apply);

  private:
    friend class JobRunner;
    JobContext(JobRunner& runner, std::uint64_t id, std::stop_token token)
        : m_runner(runner), m_id(id), m_token(std::move(token)) {}
    JobRunner& m_runner;
    std::uint64_t m_id;
    std::stop_token m_token;
};

class JobRunner : public QObject {
    Q_OBJECT
  public:
    using Work = std::function<void(JobContext&)>;

    explicit JobRunner(QObject* parent = nullptr);
    ~JobRunner() override;

    // Starts work on a new thread. onDone runs on the UI thread after everything the job
    // posted has been applied, unless the job was stopped first.
    void start(Work work, std::function<void()> onDone = {});
    // Tells every running job to stop and drops whatever they still hand over; their onDone
    // never runs. Returns at once: a worker still blocked in a look-up is joined later.
    void stop();
    // True while a job that has not been stopped is still working or has results pending.
    bool isRunning() const;
    // True once any job has been started.
    bool hasStarted() const { return m_started; }
    // Waits (processing events) until no job is running or the time is up. For tests and
    // the command line.
    bool waitForIdle(int timeoutMs);
    // Blocks until every thread, stopped ones included, has ended and been joined.
    void joinAll();

  Q_SIGNALS:
    // After each turn's results have been applied.
    void applied();

  private:
    struct Job {
        std::uint64_t id = 0;
        std::stop_source stopSource;
        std::thread thread;
        bool stopped = false;  // UI thread only
        std::function<void()> onDone;
    };
    struct Entry {
        std::uint64_t jobId = 0;
        bool finished = false;
        std::function<void()> apply;
    };

    friend class JobContext;
    void enqueue(Entry entry);
    void drain();
    Job* findJob(std::uint64_t id);
    void finishJob(std::uint64_t id);

    std::mutex m_mutex;
    std::vector<Entry> m_queue;              // guarded by m_mutex
    bool m_drainScheduled = false;           // guarded by m_mutex
    std::list<std::unique_ptr<Job>> m_jobs;  // UI thread only
    std::uint64_t m_nextId = 1;
    bool m_started = false;
};

}  // namespace quendrix
