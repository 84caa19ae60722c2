#include "tools/convert/batch_conversion.h"

#include "core/job_runner.h"
#include "core/result_table_model.h"
#include "core/target_list_model.h"

namespace quendrix {

BatchConversion::BatchConversion(const TargetListModel& list, ResultTableModel& grid,
                                 QObject* parent)
    : QObject(parent), m_list(list), m_grid(grid), m_runner(std::make_unique<JobRunner>()) {
    // Labels follow the counts once per turn, however many rows the turn wrote.
    connect(m_runner.get(), &JobRunner::applied, this, [this] {
        if (m_countersDirty) {
            m_countersDirty = false;
            Q_EMIT countersChanged();
        }
    });
}

BatchConversion::~BatchConversion() {
    // The worker reads the list: it must have ended before the list may go.
    m_runner->stop();
    m_runner->joinAll();
}

void BatchConversion::start(ConvertMode mode) {
    m_mode = mode;
    m_grid.clearResults();
    m_counters = {};
    m_countersDirty = false;
    const BatchWorkerOptions options = m_options;
    m_runner->start(
        [this, mode, options](JobContext& job) {
            RunBatchWorker(
                mode, m_list, job.stopToken(),
                [this, &job](int, std::vector<ConvertedRow> rows) {
                    // One hand-over per entry: its rows and counts appear together.
                    job.post([this, rows = std::move(rows)] {
                        for (const ConvertedRow& row : rows) {
                            m_grid.writeRow({row.left, row.right});
                            ++m_counters.finished;
                            ++(row.failed ? m_counters.failed : m_counters.successful);
                        }
                        m_countersDirty = true;
                    });
                },
                options);
        },
        [this] {
            // The last rows' counts before the end, though both come in the same turn.
            if (m_countersDirty) {
                m_countersDirty = false;
                Q_EMIT countersChanged();
            }
            Q_EMIT finished();
        });
}

void BatchConversion::stop() {
    m_runner->stop();
}

bool BatchConversion::hasStarted() const {
    return m_runner->hasStarted();
}

bool BatchConversion::isRunning() const {
    return m_runner->isRunning();
}

bool BatchConversion::waitForIdle(int timeoutMs) {
    return m_runner->waitForIdle(timeoutMs);
}

}  // namespace quendrix
