// The batch conversion job: converts the whole converter list into the result grid on a
// worker of its own, keeps the Finished / Successful / Failed counts, and can be stopped.
// The page shows it; the command line runs the same job.
#pragma once

#include "tools/convert/batch_worker.h"
#include "tools/convert/conversion.h"

#include <QObject>

#include <memory>

namespace quendrix {

class JobRunner;
class ResultTableModel;
class TargetListModel;

struct BatchCounters {
    int finished = 0;
    int successful = 0;
    int failed = 0;
};

class BatchConversion : public QObject {
    Q_OBJECT
  public:
    // The list and the grid must outlive this object.
    BatchConversion(const TargetListModel& list, ResultTableModel& grid, QObject* parent = nullptr);
    // Stops a running job and waits for its threads.
    ~BatchConversion() override;

    // Clears the grid and the counts and starts converting the list in the given mode.
    void start(ConvertMode mode);
    // Ends the job: no row is written after this returns, and finished() is not emitted.
    void stop();

    bool hasStarted() const;
    bool isRunning() const;
    ConvertMode mode() const { return m_mode; }
    const BatchCounters& counters() const { return m_counters; }
    // Waits (processing events) until the job has ended; for tests.
    bool waitForIdle(int timeoutMs);

    void setWorkerOptions(const BatchWorkerOptions& options) { m_options = options; }

  Q_SIGNALS:
    // Rows were written and the counts changed (at most once per event-loop turn).
    void countersChanged();
    // The job has walked the whole list.
    void finished();

  private:
    const TargetListModel& m_list;
    ResultTableModel& m_grid;
    std::unique_ptr<JobRunner> m_runner;
    ConvertMode m_mode = ConvertMode::NameToIp;
    BatchCounters m_counters;
    BatchWorkerOptions m_options;
    bool m_countersDirty = false;
};

}  // namespace quendrix
