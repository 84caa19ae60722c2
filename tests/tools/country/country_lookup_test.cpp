// The country look-up of one target and what the batch adds to the shared ordered walk
// (core/ordered_lookahead, tested on its own): each row's owner and running counts, and stop.
// Only literal addresses and localhost are resolved here; names are the lab test's.
#include "tools/country/country_lookup.h"
#include "core/owner_table.h"
#include "support/live_list.h"

#include <QStringList>

#include <gtest/gtest.h>

#include <functional>
#include <stop_token>
#include <vector>

namespace quendrix::whereis {
namespace {

TEST(LookupTarget, ReducesResolvesAndLooksUp) {
    const struct {
        const char* target;
        const char* owner;
    } cases[] = {
        {"57.1.2.3", "France"},
        {"  http://52.0.0.1/path/page.htm ", "Germany"},
        {"HTTP://61.8.0.1", "Australia"},
        {"13.1.1.1", "Xerox Palo Alto Research Center, CA (NET-XEROX-NET) "},
        {"175.1.1.1", "X"},  // resolves, but the table has nothing for 173 to 191
        {"200.53.0.1", "X"},
        {"localhost", "United States"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(LookupTarget(QString::fromUtf8(c.target)), QString::fromUtf8(c.owner))
            << c.target;
    }
}

using LiveList = test::LiveList<QString>;

// Everything a batch reported, in order: "take <entry>" and "row <entry>=<owner> s/f".
struct Recorder {
    BatchEvents events(std::function<void(const BatchRow&)> after = {}) {
        return {[this](int position, const QString& entry) {
                    log << QStringLiteral("take %1 %2").arg(position).arg(entry);
                },
                [this, after](const BatchRow& row) {
                    rows.push_back(row);
                    log << QStringLiteral("row %1 %2=%3 %4/%5")
                               .arg(row.position)
                               .arg(row.entry, row.owner)
                               .arg(row.successfulCount)
                               .arg(row.failedCount);
                    if (after) {
                        after(row);
                    }
                }};
    }
    QStringList log;
    std::vector<BatchRow> rows;
};

QStringList literalAddresses(int count) {
    QStringList entries;
    for (int i = 0; i < count; ++i) {
        // Spread over first octets with owners, sub-tables and empty slots.
        entries << QStringLiteral("%1.%2.0.1").arg((i * 37) % 256).arg((i * 11) % 256);
    }
    return entries;
}

TEST(BatchLookup, RowsCarryTheOwnerAndTheRunningCounts) {
    const QStringList entries = literalAddresses(300);
    LiveList list(entries);
    Recorder recorder;
    RunBatchLookup(list.source<BatchSource>(), recorder.events(), std::stop_token());

    QStringList expected;
    int successful = 0;
    int failed = 0;
    for (int i = 0; i < entries.size(); ++i) {
        const QString owner = LookupOwner(QStringView(entries.at(i)));
        (owner == QStringLiteral("X") ? failed : successful) += 1;
        expected << QStringLiteral("take %1 %2").arg(i).arg(entries.at(i))
                 << QStringLiteral("row %1 %2=%3 %4/%5")
                        .arg(i)
                        .arg(entries.at(i), owner)
                        .arg(successful)
                        .arg(failed);
    }
    EXPECT_EQ(recorder.log, expected);
    EXPECT_GT(failed, 0);
    EXPECT_GT(successful, 0);
}

TEST(BatchLookup, NothingIsReportedAfterAStop) {
    // Stop seen between two entries.
    LiveList list(literalAddresses(50));
    Recorder recorder;
    std::stop_source stop;
    RunBatchLookup(list.source<BatchSource>(), recorder.events([&](const BatchRow& row) {
        if (row.position == 3) {
            stop.request_stop();
        }
    }),
                   stop.get_token());
    EXPECT_EQ(recorder.rows.size(), 4u);
    EXPECT_TRUE(recorder.log.constLast().startsWith(QStringLiteral("row 3 ")));
}

}  // namespace
}  // namespace quendrix::whereis
