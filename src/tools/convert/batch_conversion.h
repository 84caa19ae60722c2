// The batch conversion job: converts the whole converter list into the result grid on a
// worker of its own, keeps the Finished / Successful / Failed counts, and can be stopped.
// The page shows it; the command line runs the same job.
#pragma once

#include "core/batch_engine.h"
#include "tools/convert/batch_worker.h"
#include "tools/convert/conversion.h"

#include <vector>

namespace quendrix {

class ResultTableModel;
class TargetListModel;

// What the worker hands over for one entry: its rows, which appear together with their counts.
using ConvertedEntry = std::vector<ConvertedRow>;

class BatchConversion : public BatchEngine<ConvertedEntry> {
    Q_OBJECT
  public:
    // The list and the grid must outlive this object.
    BatchConversion(const TargetListModel& list, ResultTableModel& grid, QObject* parent = nullptr);
    // Stops a running job and waits for its threads.
    ~BatchConversion() override;

    // Clears the grid and the counts and starts converting the list in the given mode.
    void start(ConvertMode mode);

    ConvertMode mode() const { return m_mode; }
    void setWorkerOptions(const BatchWorkerOptions& options) { m_options = options; }

  private:
    bool applyRows(std::span<ConvertedEntry> entries) override;

    const TargetListModel& m_list;
    ResultTableModel& m_grid;
    ConvertMode m_mode = ConvertMode::NameToIp;
    BatchWorkerOptions m_options;
};

}  // namespace quendrix
