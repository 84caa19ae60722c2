#include "tools/convert/batch_worker.h"

#include "core/ordered_lookahead.h"
#include "core/target_list_model.h"

namespace quendrix {

void RunBatchWorker(ConvertMode mode, const TargetListModel& list, std::stop_token stop,
                    const EntryRowsSink& sink, const BatchWorkerOptions& options) {
    using Walk = OrderedLookahead<QString, std::vector<ConvertedRow>>;
    const Walk walk({[&list] { return list.count(); },
                     [&list](int position) { return list.entryAt(position); }},
                    [mode](const QString& entry) { return ConvertEntry(mode, entry); },
                    {options.inFlight, options.lookAhead});
    Walk::Events events;
    events.done = [&sink](int position, const QString&, std::vector<ConvertedRow> rows) {
        sink(position, std::move(rows));
    };
    walk.run(events, std::move(stop));
}

}  // namespace quendrix
