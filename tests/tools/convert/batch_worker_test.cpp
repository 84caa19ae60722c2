// The batch worker and one entry's conversion, on literal addresses and localhost only: the
// resolver answers those without a query (names with several addresses, missing names and
// slow answers are in converter_lab_test).
#include "tools/convert/batch_worker.h"
#include "core/target_list_model.h"
#include "support/loopback_targets.h"
#include "tools/convert/conversion.h"

#include <gtest/gtest.h>

#include <stop_token>
#include <vector>

namespace quendrix {
namespace {

struct Handed {
    int position;
    std::vector<ConvertedRow> rows;
};

std::vector<Handed> run(ConvertMode mode, const TargetListModel& list,
                        const BatchWorkerOptions& options, std::stop_token stop = {},
                        const std::function<void(int)>& onEntry = {}) {
    std::vector<Handed> handed;
    RunBatchWorker(
        mode, list, stop,
        [&](int position, std::vector<ConvertedRow> rows) {
            handed.push_back({position, std::move(rows)});
            if (onEntry) {
                onEntry(position);
            }
        },
        options);
    return handed;
}

TEST(ConvertEntry, RowsOfOneEntry) {
    struct Case {
        ConvertMode mode;
        QString entry;
        std::vector<ConvertedRow> rows;
    };
    const std::vector<Case> cases = {
        {ConvertMode::NameToIp, "127.0.0.1", {{"127.0.0.1", "127.0.0.1", false}}},
        // Reduced for the look-up, shown as written.
        {ConvertMode::NameToIp,
         " HTTP://LocalHost/index.html ",
         {{" HTTP://LocalHost/index.html ", "127.0.0.1", false}}},
        {ConvertMode::IpToName, "127.0.0.1", {{"localhost", "127.0.0.1", false}}},
        // No reduction in this direction: the text is no address, so no host has it.
        {ConvertMode::IpToName, "http://127.0.0.1/", {{"Unknown", "http://127.0.0.1/", true}}},
        {ConvertMode::IpToName, "not an address", {{"Unknown", "not an address", true}}},
        {ConvertMode::IpToName, "", {{"Unknown", "", true}}},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(ConvertEntry(c.mode, c.entry), c.rows) << c.entry.toStdString();
    }
}

TEST(BatchWorker, HandsOverEveryEntrysRowsAtItsPosition) {
    // The order itself is the shared walk's (core/ordered_lookahead); here, that the worker
    // reads the list model and hands over each entry's rows. localhost goes through the hosts
    // file and answers more slowly than the literal addresses around it.
    QStringList entries = test::LoopbackTargets(3000);
    for (int i = 0; i < entries.size(); i += 7) {
        entries[i] = QStringLiteral("localhost");
    }
    TargetListModel list;
    list.replaceAll(entries);
    const auto handed = run(ConvertMode::NameToIp, list, {64, 0});
    ASSERT_EQ(handed.size(), static_cast<size_t>(entries.size()));
    for (int i = 0; i < entries.size(); ++i) {
        const Handed& h = handed[static_cast<size_t>(i)];
        ASSERT_EQ(h.position, i);
        const QString address = entries.at(i) == QLatin1String("localhost")
                                    ? QStringLiteral("127.0.0.1")
                                    : entries.at(i);
        ASSERT_EQ(h.rows, (std::vector<ConvertedRow>{{entries.at(i), address, false}}))
            << "position " << i;
    }
}

// The walk itself (order, look-ahead, a shrinking list, stop) is tested with the look-ahead
// runner; here only that the converter reads its own list live.
TEST(BatchWorker, SeesEditsMadeDuringTheRun) {
    // The list has no views, so it may be edited from the worker's thread here.
    TargetListModel list;
    list.replaceAll(QStringList(200, QStringLiteral("127.0.0.1")));
    const auto handed = run(ConvertMode::NameToIp, list, {8, 64}, {}, [&](int position) {
        if (position == 10) {
            // Already resolved ahead: it must be resolved again.
            list.replace(11, QStringLiteral("127.0.0.2"));
            list.append(QStringLiteral("127.0.0.3"));
        }
        if (position == 150) {
            list.replace(151, QStringLiteral("127.0.0.4"));
        }
    });
    ASSERT_EQ(handed.size(), 201u);
    EXPECT_EQ(handed[11].rows.front().right, "127.0.0.2");
    EXPECT_EQ(handed[12].rows.front().right, "127.0.0.1");
    EXPECT_EQ(handed[151].rows.front().right, "127.0.0.4");
    EXPECT_EQ(handed[200].rows.front().right, "127.0.0.3");
}

}  // namespace
}  // namespace quendrix
