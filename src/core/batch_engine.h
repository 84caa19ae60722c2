// The engine shape the batch tools share (converter, ping, country): one job at a time over a
// list, writing into a grid, with its Finished / Successful / Failed counts and its end. A
// tool derives from BatchEngine<Row>, says in its start what the job does and pushes, and in
// applyRows how the pushed rows reach its grid and counts on the user-interface thread.
#pragma once

#include "core/job_runner.h"

#include <QObject>

#include <span>
#include <utility>

namespace quendrix {

class BatchEngineBase : public QObject {
    Q_OBJECT
  public:
    // Ends the job: nothing it produces is written after this returns, and finished() is
    // not emitted for it.
    void stop();

    bool hasStarted() const { return m_runner->hasStarted(); }
    // True from start until the job has ended or been stopped.
    bool isRunning() const { return m_current != 0; }
    const BatchCounters& counters() const { return m_counters; }
    // How the last job ended (done until one has ended).
    const JobOutcome& outcome() const { return m_outcome; }
    // Waits (processing events) until the job has ended; for tests and the command line.
    bool waitForIdle(int timeoutMs) { return m_runner->waitForIdle(timeoutMs); }

  Q_SIGNALS:
    // Rows were written and the counts changed (at most once per collection of rows).
    void countersChanged();
    // The job ended by itself, after its last rows: done, or failed (outcome() says so and
    // why). Not emitted for a stopped job.
    void finished();

  protected:
    // runner is the derived engine's member: it is only used once attach() has been called.
    BatchEngineBase(JobRunnerBase& runner, QObject* parent);
    // Follows the runner's collections and ends; called once the runner exists.
    void attach();

    // Stops a job still running, zeroes the counts and remembers the new job.
    void beginJob(JobId id);
    // After rows that changed the counts were applied.
    void markCountersChanged() { m_countersDirty = true; }

    BatchCounters m_counters;

  private:
    void onEnded(JobId id, const JobOutcome& outcome);

    JobRunnerBase* m_runner;
    JobId m_current = 0;
    JobOutcome m_outcome;
    bool m_countersDirty = false;
};

template <typename Row>
class BatchEngine : public BatchEngineBase {
  protected:
    using Context = typename JobRunner<Row>::Context;

    explicit BatchEngine(QObject* parent)
        : BatchEngineBase(m_jobs, parent), m_jobs([this](JobId, std::span<Row> rows) {
              if (applyRows(rows)) {
                  markCountersChanged();
              }
          }) {
        attach();
    }
    // A tool's job reads its members (the list, options): its destructor calls shutdownJobs()
    // first, so that the job has ended before they go.
    ~BatchEngine() override = default;
    void shutdownJobs() { m_jobs.shutdown(); }

    // Starts work as the engine's only job (a job still running is stopped first).
    void startJob(typename JobRunner<Row>::Work work) {
        stop();
        beginJob(m_jobs.start(std::move(work)));
    }

    // UI thread: writes rows of the current job; returns whether the counts changed.
    virtual bool applyRows(std::span<Row> rows) = 0;

  private:
    JobRunner<Row> m_jobs;
};

}  // namespace quendrix
