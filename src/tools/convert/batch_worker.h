// The batch conversion's worker (nametoip_thread): walks the converter list position by
// position and hands over the rows of each entry strictly in list order, while the next
// entries are resolved ahead of it on a small pool of threads (core/ordered_lookahead.h).
#pragma once

#include "tools/convert/conversion.h"

#include <functional>
#include <stop_token>
#include <vector>

namespace quendrix {

class TargetListModel;

struct BatchWorkerOptions {
    // Look-ups at once, the worker's own included (1 to 256). Slow links gain the most (with
    // a 20 ms round trip, 64 at once convert about twice as fast as 32).
    int inFlight = 64;
    // Entries resolved ahead of the one handed over next (at least inFlight); 0 for 8 times
    // inFlight. Bounds what waits behind one slow look-up.
    int lookAhead = 0;
};

// Receives the rows of the entry at position, in list order, on the worker's thread.
using EntryRowsSink = std::function<void(int position, std::vector<ConvertedRow> rows)>;

// Converts the list until its end or until stop is requested. The list is read live: the
// count is taken before each position, and an entry edited after it was resolved ahead is
// resolved again, so the rows are those of a one-by-one walk. After a stop no further rows
// are handed over; the pool is joined before this returns (a look-up in progress is waited
// for, its answer dropped).
void RunBatchWorker(ConvertMode mode, const TargetListModel& list, std::stop_token stop,
                    const EntryRowsSink& sink, const BatchWorkerOptions& options = {});

}  // namespace quendrix
