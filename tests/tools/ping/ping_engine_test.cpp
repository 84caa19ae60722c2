// The batch ping engine on loopback (real echoes to 127.x addresses), its rows for each
// outcome of an echo, and the list fills the page and the command line share.
#include "core/errors.h"
#include "core/result_table_model.h"
#include "core/target_list_model.h"
#include "net/icmp_echo.h"
#include "support/event_loop.h"
#include "support/grid_rows.h"
#include "support/loopback_targets.h"
#include "tools/ping/ping_list.h"
#include "tools/ping/ping_run.h"

#include <QCoreApplication>

#include <gtest/gtest.h>

namespace quendrix {
namespace {

bool socketAvailable(net::IcmpEcho& echo) {
    return !echo.unavailableReason().has_value();
}

TEST(PingRowTest, EachEchoOutcomeGivesItsRow) {
    const auto row = [](const QString& entry, const net::EchoResult& result) {
        return PingRowCells(entry, PingAttemptForEcho(result));
    };
    net::EchoResult reply;
    reply.failure = net::EchoFailure::None;
    reply.dataSize = 34;
    reply.roundTripMs = 7;
    const auto request = PingRequestBytes();
    reply.data.assign(request.begin(), request.end());
    EXPECT_EQ(row(" a ", reply), (QStringList{"Running", " a ", "34", "7", " "}));
    EXPECT_TRUE(PingAttemptForEcho(reply).successful());
    reply.roundTripMs = 4000;
    EXPECT_EQ(row("a", reply), (QStringList{"Running", "a", "34", "4000", " "}));

    // Data that is not ours counts as a failed attempt, with its size and time.
    reply.data.front() = '+';
    EXPECT_EQ(row("a", reply), (QStringList{"X", "a", "34", "4000", "Bad reply data"}));
    EXPECT_FALSE(PingAttemptForEcho(reply).successful());
    reply.data.clear();
    reply.dataSize = 0;
    EXPECT_FALSE(PingAttemptForEcho(reply).successful());

    for (const auto failure : {net::EchoFailure::Timeout, net::EchoFailure::SocketError,
                               net::EchoFailure::SocketUnavailable}) {
        net::EchoResult none;
        none.failure = failure;
        EXPECT_EQ(row("h", none), (QStringList{"X", "h", "0", "0", "Timed out"}));
        EXPECT_FALSE(PingAttemptForEcho(none).successful());
    }
    EXPECT_EQ(PingRowCells("h", {PingAttempt::Outcome::UnknownHost, 0, 0}),
              (QStringList{"X", "h", " ", " ", "Unknown host"}));
    EXPECT_EQ(QByteArray(reinterpret_cast<const char*>(request.data()),
                         static_cast<qsizetype>(request.size())),
              "-------Hello,World!---------------");
}

TEST(PingListTest, AddressOrNeighbourhood) {
    struct Case {
        QString typed;
        bool neighbourhood;
        int size;
        PingListFill::Outcome outcome;
        qsizetype count;
        QString first, last;
    };
    using O = PingListFill::Outcome;
    const Case cases[] = {
        {"", true, 20, O::NothingTyped, 0, "", ""},
        {"192.168.1.256", false, 20, O::BadAddress, 0, "", ""},
        {" 127.0.0.1", false, 20, O::Filled, 1, " 127.0.0.1", " 127.0.0.1"},
        {"192.168.1.100", true, 20, O::Filled, 21, "192.168.1.90", "192.168.1.110"},
        {"192.168.1.5", true, 20, O::Filled, 21, "192.168.0.251", "192.168.1.15"},
        {"0.0.0.10", true, 20, O::BelowZero, 0, "", ""},
        {"255.255.255.250", true, 20, O::PastTheEnd, 16, "255.255.255.240", "255.255.255.255"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.typed.toStdString());
        const PingListFill fill = PingAddressList(c.typed, c.neighbourhood, c.size);
        EXPECT_EQ(fill.outcome, c.outcome);
        ASSERT_EQ(fill.entries.size(), c.count);
        if (c.count > 0) {
            EXPECT_EQ(fill.entries.first(), c.first);
            EXPECT_EQ(fill.entries.last(), c.last);
        }
    }
    const PingListFill notANumber = PingAddressList("192.x.1.1", false, 20);
    EXPECT_EQ(notANumber.outcome, PingListFill::Outcome::NotANumber);
    EXPECT_EQ(notANumber.message, "'x' is not a valid integer value");
}

TEST(PingListTest, Range) {
    const PingListFill defaults = PingRangeList("66.218.71", "0", "255");
    EXPECT_EQ(defaults.outcome, PingListFill::Outcome::Filled);
    ASSERT_EQ(defaults.entries.size(), 256);
    EXPECT_EQ(defaults.entries.first(), "66.218.71.0");
    EXPECT_EQ(defaults.entries.at(17), "66.218.71.17");
    EXPECT_EQ(defaults.entries.last(), "66.218.71.255");
    // The prefix is taken as typed.
    EXPECT_EQ(PingRangeList(" x y", " 3", "+4").entries, (QStringList{" x y.3", " x y.4"}));

    const PingListFill backwards = PingRangeList("127.0.0", "10", "5");
    EXPECT_EQ(backwards.outcome, PingListFill::Outcome::Filled);
    EXPECT_TRUE(backwards.entries.isEmpty());

    using O = PingListFill::Outcome;
    for (const auto& [from, to, outcome] :
         {std::tuple{"256", "5", O::NumberOutside}, std::tuple{"0", "-1", O::NumberOutside},
          std::tuple{"x", "5", O::NotWholeNumber}, std::tuple{"1", "", O::NotWholeNumber},
          std::tuple{"1.5", "300", O::NotWholeNumber}}) {
        SCOPED_TRACE(std::string(from) + " " + to);
        const PingListFill fill = PingRangeList("127.0.0", from, to);
        EXPECT_EQ(fill.outcome, outcome);
        EXPECT_TRUE(fill.entries.isEmpty());
    }
}

class PingRunTest : public ::testing::Test {
  protected:
    void SetUp() override {
        if (!socketAvailable(*echo)) {
            GTEST_SKIP() << "no ICMP socket here: " << *echo->unavailableReason();
        }
        QObject::connect(&run, &PingRun::finished, [this] { ++ends; });
    }
    void runToEnd(int pingCount) {
        const int before = ends;
        run.start(pingCount);
        ASSERT_TRUE(run.waitForIdle(60000));
        EXPECT_EQ(ends, before + 1);
    }

    std::shared_ptr<net::IcmpEcho> echo = std::make_shared<net::IcmpEcho>();
    TargetListModel list;
    ResultTableModel grid{PingGridHeaders()};
    PingRun run{list, grid, echo};
    int ends = 0;
};

TEST_F(PingRunTest, EveryAttemptIsARowInListOrder) {
    list.replaceAll({"127.0.0.1", " HTTP://localhost/index.html ", "127.0.0.3"});
    runToEnd(2);
    const QStringList rows = test::GridRows(grid);
    ASSERT_EQ(rows.size(), 6);
    const QStringList entries{
        "127.0.0.1", "127.0.0.1", " HTTP://localhost/index.html ", " HTTP://localhost/index.html ",
        "127.0.0.3", "127.0.0.3"};
    for (int row = 0; row < 6; ++row) {
        // Status, the entry as listed, 34 bytes back, a time, no reason.
        EXPECT_EQ(grid.cell(row, 0), "Running") << rows.at(row).toStdString();
        EXPECT_EQ(grid.cell(row, 1), entries.at(row));
        EXPECT_EQ(grid.cell(row, 2), "34");
        bool number = false;
        grid.cell(row, 3).toUInt(&number);
        EXPECT_TRUE(number);
        EXPECT_EQ(grid.cell(row, 4), " ");
    }
    EXPECT_EQ(run.counters().finished, 6);
    EXPECT_EQ(run.counters().successful, 6);
    EXPECT_EQ(run.counters().failed, 0);
    EXPECT_EQ(run.lastPingCount(), 2);

    // A second run appends to the grid as it stands; the counts start again.
    list.replaceAll({"127.0.0.9"});
    runToEnd(1);
    EXPECT_EQ(grid.resultCount(), 7);
    EXPECT_EQ(grid.cell(6, 1), "127.0.0.9");
    EXPECT_EQ(run.counters().finished, 1);
    EXPECT_EQ(run.lastPingCount(), 1);
}

TEST_F(PingRunTest, TextThatIsNoHostIsOneUnknownHostRowWhateverTheCount) {
    // Digits and dots that make no address: the resolver refuses them without a query.
    list.replaceAll({"300.1.1.1", "127.0.0.2", "1.2.3.4.5"});
    runToEnd(3);
    EXPECT_EQ(test::GridRows(grid).mid(0, 1), QStringList{"X|300.1.1.1| | |Unknown host"});
    EXPECT_EQ(grid.resultCount(), 5);
    EXPECT_EQ(grid.cell(1, 0), "Running");
    EXPECT_EQ(grid.cell(3, 0), "Running");
    EXPECT_EQ(test::GridRows(grid).at(4), "X|1.2.3.4.5| | |Unknown host");
    EXPECT_EQ(run.counters().finished, 5);
    EXPECT_EQ(run.counters().successful, 3);
    EXPECT_EQ(run.counters().failed, 2);
}

TEST_F(PingRunTest, StopEndsTheRunAndNothingAfterItReachesTheGrid) {
    QStringList entries;
    for (int i = 0; i < 50000; ++i) {
        entries.append(QStringLiteral("127.0.%1.%2").arg(i / 256 % 256).arg(i % 256));
    }
    list.replaceAll(entries);
    run.start(1);
    while (grid.resultCount() < 10) {
        QCoreApplication::processEvents();
    }
    run.stop();
    const int atStop = grid.resultCount();
    EXPECT_FALSE(run.isRunning());
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(300);
    while (std::chrono::steady_clock::now() < deadline) {
        QCoreApplication::processEvents();
    }
    EXPECT_EQ(grid.resultCount(), atStop);
    EXPECT_LT(atStop, 50000);
    EXPECT_EQ(ends, 0);
}

TEST_F(PingRunTest, ARestartOrADestructionLeavesNothingOfTheOldRun) {
    list.replaceAll(test::LoopbackTargets(50000));
    run.start(1);
    ASSERT_TRUE(test::WaitUntil([&] { return grid.resultCount() >= 10; }, 60000));
    // Rows of the stopped run still on their way must not follow it into the grid.
    run.stop();
    const int atStop = grid.resultCount();
    list.replaceAll(QStringList(20, QStringLiteral("127.0.0.9")));
    runToEnd(1);
    ASSERT_EQ(grid.resultCount(), atStop + 20);
    for (int row = atStop; row < atStop + 20; ++row) {
        ASSERT_EQ(grid.cell(row, 1), QStringLiteral("127.0.0.9"));
    }
    EXPECT_EQ(run.counters(), (BatchCounters{20, 20, 0}));

    auto other = std::make_unique<PingRun>(list, grid, echo);
    list.replaceAll(test::LoopbackTargets(50000));
    const int before = grid.resultCount();
    other->start(1);
    ASSERT_TRUE(test::WaitUntil([&] { return grid.resultCount() >= before + 10; }, 60000));
    other.reset();  // joins the worker
    const int atDestruction = grid.resultCount();
    test::ProcessEventsFor(50);
    EXPECT_EQ(grid.resultCount(), atDestruction);
    EXPECT_LT(atDestruction, before + 50000);
}

}  // namespace
}  // namespace quendrix
