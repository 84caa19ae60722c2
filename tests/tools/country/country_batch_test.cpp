// The country batch job on literal addresses: the grid in list order with its counts and one
// end, a look-up that throws ending the job as failed with its text, and a restart or a
// destruction mid-job leaving nothing of the old job in the grid.
#include "tools/country/country_batch.h"
#include "core/owner_table.h"
#include "core/target_list_model.h"
#include "support/event_loop.h"
#include "support/loopback_targets.h"
#include "tools/country/country_grid_model.h"

#include <gtest/gtest.h>

#include <memory>
#include <stdexcept>

namespace quendrix::whereis {
namespace {

class CountryBatchTest : public ::testing::Test {
  protected:
    void SetUp() override {
        QObject::connect(batch.get(), &CountryBatch::finished, [this] { ++ends; });
    }

    TargetListModel list;
    CountryGridModel grid;
    std::unique_ptr<CountryBatch> batch = std::make_unique<CountryBatch>(list, grid);
    int ends = 0;
};

TEST_F(CountryBatchTest, WritesEveryEntryInListOrderWithItsCountsAndEndsOnce) {
    QStringList entries;
    for (int i = 0; i < 400; ++i) {
        entries << QStringLiteral("%1.%2.0.1").arg((i * 37) % 256).arg((i * 11) % 256);
    }
    list.replaceAll(entries);
    batch->start();
    ASSERT_TRUE(batch->waitForIdle(60000));
    EXPECT_EQ(ends, 1);
    EXPECT_TRUE(batch->outcome().done());
    ASSERT_EQ(grid.resultCount(), entries.size());
    BatchCounters expected;
    for (int i = 0; i < entries.size(); ++i) {
        const QString owner = LookupOwner(QStringView(entries.at(i)));
        ASSERT_EQ(grid.cell(i, 0), entries.at(i));
        ASSERT_EQ(grid.cell(i, 1), owner);
        expected.count(owner != QStringLiteral("X"));
    }
    EXPECT_EQ(batch->counters(), expected);
    EXPECT_GT(expected.failed, 0);
    EXPECT_TRUE(grid.pendingEntry().isEmpty());
}

TEST_F(CountryBatchTest, ALookUpThatThrowsEndsTheJobFailedWithItsText) {
    list.replaceAll(
        {QStringLiteral("57.1.2.3"), QStringLiteral("boom"), QStringLiteral("52.0.0.1")});
    BatchOptions options;
    options.resolvers = 1;  // the look-up runs on the job's own thread
    options.lookup = [](const QString& entry) {
        if (entry == QLatin1String("boom")) {
            throw std::runtime_error("owner table unreadable");
        }
        return LookupTarget(entry);
    };
    batch->setOptions(options);
    batch->start();
    ASSERT_TRUE(batch->waitForIdle(60000));
    EXPECT_EQ(ends, 1);
    ASSERT_TRUE(batch->outcome().failed());
    EXPECT_EQ(batch->outcome().text(), QStringLiteral("owner table unreadable"));
    // The rows before the failure stay; the entry it failed on is still shown as taken.
    ASSERT_EQ(grid.resultCount(), 1);
    EXPECT_EQ(grid.cell(0, 1), QStringLiteral("France"));
    EXPECT_EQ(grid.pendingEntry(), QStringLiteral("boom"));
    EXPECT_EQ(batch->counters(), (BatchCounters{1, 1, 0}));
}

TEST_F(CountryBatchTest, ARestartOrADestructionLeavesNothingOfTheOldJob) {
    list.replaceAll(test::LoopbackTargets(50000));
    batch->start();
    ASSERT_TRUE(test::WaitUntil([&] { return grid.resultCount() >= 10; }, 60000));
    list.replaceAll(test::LoopbackTargets(300));
    batch->start();
    ASSERT_TRUE(batch->waitForIdle(60000));
    EXPECT_EQ(ends, 1);
    ASSERT_EQ(grid.resultCount(), 300);
    EXPECT_EQ(grid.cell(299, 0), QStringLiteral("127.0.1.43"));
    EXPECT_EQ(batch->counters().finished, 300);

    list.replaceAll(test::LoopbackTargets(50000));
    batch->start();
    ASSERT_TRUE(test::WaitUntil([&] { return grid.resultCount() >= 10; }, 60000));
    batch.reset();  // joins the worker and its look-ups
    const int atDestruction = grid.resultCount();
    test::ProcessEventsFor(50);
    EXPECT_EQ(grid.resultCount(), atDestruction);
    EXPECT_LT(atDestruction, 50000);
    EXPECT_EQ(ends, 1);
}

}  // namespace
}  // namespace quendrix::whereis
