#include "tools/convert/batch_conversion.h"

#include "core/result_table_model.h"
#include "core/target_list_model.h"

namespace quendrix {

BatchConversion::BatchConversion(const TargetListModel& list, ResultTableModel& grid,
                                 QObject* parent)
    : BatchEngine(parent), m_list(list), m_grid(grid) {}

BatchConversion::~BatchConversion() {
    // The worker reads the list: it must have ended before the list may go.
    shutdownJobs();
}

void BatchConversion::start(ConvertMode mode) {
    stop();
    m_mode = mode;
    m_grid.clearResults();
    const BatchWorkerOptions options = m_options;
    // nametoip_thread
    startJob([this, mode, options](Context& job) {
        RunBatchWorker(
            mode, m_list, job.stopToken(),
            [&job](int, std::vector<ConvertedRow> rows) { job.push(std::move(rows)); }, options);
    });
}

bool BatchConversion::applyRows(std::span<ConvertedEntry> entries) {
    for (const ConvertedEntry& rows : entries) {
        for (const ConvertedRow& row : rows) {
            m_grid.writeRow({row.left, row.right});
            m_counters.count(!row.failed);
        }
    }
    return !entries.empty();
}

}  // namespace quendrix
