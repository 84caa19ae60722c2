// The batch conversion job on literal addresses: the grid, the counts and one end; a restart
// and a destruction in the middle of a job leave nothing of the old job in the grid.
#include "tools/convert/batch_conversion.h"
#include "core/result_table_model.h"
#include "core/target_list_model.h"
#include "support/event_loop.h"
#include "support/loopback_targets.h"

#include <gtest/gtest.h>

#include <memory>

namespace quendrix {
namespace {

class BatchConversionTest : public ::testing::Test {
  protected:
    void SetUp() override {
        QObject::connect(batch.get(), &BatchConversion::finished, [this] { ++ends; });
    }

    TargetListModel list;
    ResultTableModel grid{{QStringLiteral("Domain / Host Name"), QStringLiteral("IP Address")}};
    std::unique_ptr<BatchConversion> batch = std::make_unique<BatchConversion>(list, grid);
    int ends = 0;
};

TEST_F(BatchConversionTest, WritesEveryEntryWithItsCountsAndEndsOnce) {
    QStringList entries = test::LoopbackTargets(600);
    for (int i = 5; i < entries.size(); i += 10) {
        entries[i] = QStringLiteral("300.1.1.1");  // no address: failed without a query
    }
    list.replaceAll(entries);
    batch->start(ConvertMode::NameToIp);
    EXPECT_TRUE(batch->isRunning());
    ASSERT_TRUE(batch->waitForIdle(60000));
    EXPECT_EQ(ends, 1);
    EXPECT_TRUE(batch->outcome().done());
    ASSERT_EQ(grid.resultCount(), 600);
    for (int i = 0; i < 600; ++i) {
        ASSERT_EQ(grid.cell(i, 0), entries.at(i));
    }
    EXPECT_EQ(batch->counters(), (BatchCounters{600, 540, 60}));
}

TEST_F(BatchConversionTest, ARestartOrADestructionLeavesNothingOfTheOldJob) {
    list.replaceAll(test::LoopbackTargets(50000));
    batch->start(ConvertMode::NameToIp);
    ASSERT_TRUE(test::WaitUntil([&] { return grid.resultCount() >= 10; }, 60000));
    // The old job's rows still on their way must not reach the new job's grid.
    list.replaceAll(test::LoopbackTargets(300));
    batch->start(ConvertMode::NameToIp);
    ASSERT_TRUE(batch->waitForIdle(60000));
    EXPECT_EQ(ends, 1);
    ASSERT_EQ(grid.resultCount(), 300);
    EXPECT_EQ(grid.cell(299, 0), QStringLiteral("127.0.1.43"));
    EXPECT_EQ(batch->counters(), (BatchCounters{300, 300, 0}));

    list.replaceAll(test::LoopbackTargets(50000));
    batch->start(ConvertMode::NameToIp);
    ASSERT_TRUE(test::WaitUntil([&] { return grid.resultCount() >= 10; }, 60000));
    batch.reset();  // joins the worker and its look-ups
    const int atDestruction = grid.resultCount();
    test::ProcessEventsFor(50);
    EXPECT_EQ(grid.resultCount(), atDestruction);
    EXPECT_LT(atDestruction, 50000);
    EXPECT_EQ(ends, 1);
}

}  // namespace
}  // namespace quendrix
