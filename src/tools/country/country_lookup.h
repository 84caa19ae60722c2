// The country look-up of a typed target (reduce, resolve, owner table) and the batch over a
// target list that the page's batch worker and the command line run. No widgets: results
// leave through callbacks, in list order.
#pragma once

#include <QString>

#include <functional>
#include <optional>
#include <stop_token>

namespace quendrix::whereis {

// The owner text for a target as typed: the reduced host is resolved and its first address
// looked up in the owner table. "X" when the name does not resolve or the address has no owner.
QString LookupTarget(const QString& target);

// Where the batch takes its entries from; read before each entry, so edits made during a run
// are seen from the next entry on. Read from the batch's thread and its look-up threads.
struct BatchSource {
    std::function<int()> count;
    // nullopt when the position no longer exists (the list shrank meanwhile).
    std::function<std::optional<QString>(int position)> entryAt;
};

struct BatchRow {
    int position = 0;
    QString entry;  // as written in the list
    QString owner;  // "X" when none
    bool successful = false;
    int successfulCount = 0;
    int failedCount = 0;
};

struct BatchEvents {
    // An entry has been taken and is being looked up (the grid's extra row shows it).
    std::function<void(int position, const QString& entry)> entryTaken;
    // Its owner is known; the counts include it.
    std::function<void(const BatchRow& row)> rowDone;
};

struct BatchOptions {
    // Look-ups in flight at once, the batch's own thread included. Entries ahead of the
    // current one are resolved by a small pool of threads, owned and joined by the batch
    // (core/ordered_lookahead.h), so that a slow DNS costs one round trip per this many
    // entries; 1 resolves one at a time on the caller's thread. Rows are reported in list
    // order either way.
    int resolvers = 32;
    // The look-up of one entry; LookupTarget unless given.
    std::function<QString(const QString& entry)> lookup;
};

// Runs the batch on the calling thread until the list is done or stop is requested. After a
// stop is seen nothing more is reported; look-ups still blocked are waited for before return.
void RunBatchLookup(const BatchSource& source, const BatchEvents& events, std::stop_token stop,
                    const BatchOptions& options = {});

}  // namespace quendrix::whereis
