// The country batch job: looks up the owner of every entry of the country list into the
// country grid on a worker of its own (look-ups run ahead on a small pool, rows come in list
// order), keeps the Successful / Failed counts, and can be stopped. The page shows it; the
// command line runs the same job.
#pragma once

#include "core/batch_engine.h"
#include "tools/country/country_lookup.h"

#include <QString>

namespace quendrix {

class TargetListModel;

namespace whereis {

class CountryGridModel;

// What the worker hands over: an entry taken for its look-up, or its finished row.
struct CountryHanded {
    bool taken = false;  // true: the entry being looked up, shown in the grid's extra row
    QString entry;
    QString owner;
    bool successful = false;
};

class CountryBatch : public BatchEngine<CountryHanded> {
    Q_OBJECT
  public:
    // The list and the grid must outlive this object.
    CountryBatch(const TargetListModel& list, CountryGridModel& grid, QObject* parent = nullptr);
    // Stops a running job and waits for its threads.
    ~CountryBatch() override;

    // Empties the grid, zeroes the counts and starts looking up the list.
    void start();

    // For the following starts: look-ups in flight, and the look-up itself.
    void setOptions(BatchOptions options) { m_options = std::move(options); }

  private:
    bool applyRows(std::span<CountryHanded> handed) override;

    const TargetListModel& m_list;
    CountryGridModel& m_grid;
    BatchOptions m_options;
};

}  // namespace whereis
}  // namespace quendrix
