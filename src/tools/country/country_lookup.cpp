#include "tools/country/country_lookup.h"

#include "core/ordered_lookahead.h"
#include "core/owner_table.h"
#include "core/target.h"

namespace quendrix::whereis {

QString LookupTarget(const QString& target) {
    return LookupOwner(ResolveName(ReduceTarget(target)));
}

void RunBatchLookup(const BatchSource& source, const BatchEvents& events, std::stop_token stop,
                    const BatchOptions& options) {
    using Walk = OrderedLookahead<QString, QString>;
    LookaheadOptions lookahead;
    lookahead.inFlight = options.resolvers;
    const Walk walk({source.count, source.entryAt},
                    options.lookup ? options.lookup : Walk::Lookup(LookupTarget), lookahead);

    int successful = 0;
    int failed = 0;
    Walk::Events walkEvents;
    walkEvents.taken = events.entryTaken;
    walkEvents.done = [&](int position, const QString& entry, QString owner) {
        BatchRow row;
        row.position = position;
        row.entry = entry;
        row.owner = std::move(owner);
        row.successful = row.owner != kLookupFailed;
        (row.successful ? successful : failed) += 1;
        row.successfulCount = successful;
        row.failedCount = failed;
        if (events.rowDone) {
            events.rowDone(row);
        }
    };
    walk.run(walkEvents, std::move(stop));
}

}  // namespace quendrix::whereis
