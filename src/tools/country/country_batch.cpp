#include "tools/country/country_batch.h"

#include "core/target_list_model.h"
#include "tools/country/country_grid_model.h"

namespace quendrix::whereis {

CountryBatch::CountryBatch(const TargetListModel& list, CountryGridModel& grid, QObject* parent)
    : BatchEngine(parent), m_list(list), m_grid(grid) {}

CountryBatch::~CountryBatch() {
    // The worker reads the list: it must have ended before the list may go.
    shutdownJobs();
}

void CountryBatch::start() {
    stop();
    m_grid.clearAll();
    const BatchOptions options = m_options;
    // whereis_batch_thread
    startJob([this, options](Context& job) {
        BatchSource source;
        source.count = [this] { return m_list.count(); };
        source.entryAt = [this](int position) { return m_list.entryAt(position); };
        BatchEvents events;
        events.entryTaken = [&job](int, const QString& entry) {
            job.push({true, entry, {}, false});
        };
        events.rowDone = [&job](const BatchRow& row) {
            job.push({false, row.entry, row.owner, row.successful});
        };
        RunBatchLookup(source, events, job.stopToken(), options);
    });
}

bool CountryBatch::applyRows(std::span<CountryHanded> handed) {
    bool rows = false;
    for (CountryHanded& item : handed) {
        if (item.taken) {
            m_grid.setPendingEntry(item.entry);
            continue;
        }
        m_grid.writeResult(item.entry, item.owner);
        m_counters.count(item.successful);
        rows = true;
    }
    return rows;
}

}  // namespace quendrix::whereis
