// The monitor's tick over a table the test fills: which connections become history rows (the
// key, listeners, a reopened connection, the clear), a failed read, a clear while a tick is in
// flight, host names, and the row limit.
#include "tools/monitor/connection_monitor.h"

#include "monitor_test_source.h"

#include <QTest>
#include <QTimer>

#include <gtest/gtest.h>

#include <condition_variable>

namespace quendrix::monitor {
namespace {

using test::established;
using test::listener;
using test::TableDouble;

class ConnectionMonitorTest : public ::testing::Test {
  protected:
    ConnectionMonitorTest() {
        QObject::connect(&monitor, &ConnectionMonitor::tickEnded,
                         [this](bool full) { fullAfterTick = full; });
    }
    // One tick, run to its end; the rows it recorded.
    std::vector<HistoryRow> tickOnce() {
        const std::size_t before = recorded.size();
        EXPECT_TRUE(monitor.TimerTimer());
        EXPECT_TRUE(monitor.waitForTick(30000));
        return {recorded.begin() + static_cast<std::ptrdiff_t>(before), recorded.end()};
    }
    static QStringList keys(const std::vector<HistoryRow>& rows) {
        QStringList result;
        for (const HistoryRow& row : rows) {
            result << row.connection.localAddress + QLatin1Char('|') + row.connection.localPort +
                          QLatin1Char('|') + row.connection.remoteAddress + QLatin1Char('|') +
                          row.connection.remotePort + QLatin1Char('|') + row.connection.status;
        }
        return result;
    }

    std::shared_ptr<TableDouble> table = std::make_shared<TableDouble>();
    std::vector<HistoryRow> recorded;
    ConnectionMonitor monitor{table, [this](std::span<HistoryRow> rows) {
                                  recorded.insert(recorded.end(), rows.begin(), rows.end());
                              }};
    std::optional<bool> fullAfterTick;
};

TEST_F(ConnectionMonitorTest, RecordsEachNewConnectionOnceByItsKey) {
    table->set({
        listener("  0.  0.  0.  0", "HTTP"),
        established(" 10.250.  0.  1", "HTTP", " 10.250.  0.  2", "1234"),
        // Same port, remote and state from another local address: the same history row.
        established("127.  0.  0.  1", "HTTP", " 10.250.  0.  2", "1234"),
        established("127.  0.  0.  1", "8080", "127.  0.  0.  1", "  81"),
    });
    const auto first = tickOnce();
    EXPECT_EQ(keys(first), (QStringList{" 10.250.  0.  1|HTTP| 10.250.  0.  2|1234|established",
                                        "127.  0.  0.  1|8080|127.  0.  0.  1|  81|established"}));
    EXPECT_EQ(first[0].firstSeen, first[1].firstSeen);
    EXPECT_TRUE(first[0].hostName.isEmpty());
    EXPECT_EQ(fullAfterTick, false);

    // The 8080 connection closes and comes back; a new one differs from a known one only in
    // letter case of its port text, which counts.
    table->set({established(" 10.250.  0.  1", "HTTP", " 10.250.  0.  2", "1234")});
    EXPECT_TRUE(tickOnce().empty());
    table->set({
        established("127.  0.  0.  1", "8080", "127.  0.  0.  1", "  81"),
        established(" 10.250.  0.  1", "Http", " 10.250.  0.  2", "1234"),
    });
    EXPECT_EQ(keys(tickOnce()),
              QStringList{" 10.250.  0.  1|Http| 10.250.  0.  2|1234|established"});

    // Listeners once asked for; the listener on 80 shares no key with the connections on 80.
    table->set({listener("  0.  0.  0.  0", "HTTP"),
                established("127.  0.  0.  1", "8080", "127.  0.  0.  1", "  81")});
    monitor.setShowListeners(true);
    EXPECT_EQ(keys(tickOnce()), QStringList{"  0.  0.  0.  0|HTTP|...|...|listening"});
    EXPECT_EQ(monitor.historyCount(), 4);

    // After a clear, whatever is still open is recorded again, later.
    const QDateTime before = recorded.front().firstSeen;
    monitor.clear();
    monitor.stop();  // the test ticks by itself
    EXPECT_EQ(monitor.historyCount(), 0);
    const auto again = tickOnce();
    EXPECT_EQ(keys(again), (QStringList{"  0.  0.  0.  0|HTTP|...|...|listening",
                                        "127.  0.  0.  1|8080|127.  0.  0.  1|  81|established"}));
    EXPECT_GE(again[0].firstSeen, before);
    monitor.stop();
}

// The owner learns why (the command line says so), the history does not notice.
TEST_F(ConnectionMonitorTest, AFailedReadAddsNothingSaysWhyAndTheNextTickReadsAgain) {
    QStringList events;
    QObject::connect(&monitor, &ConnectionMonitor::readFailed,
                     [&](const QString& reason) { events << "failed: " + reason; });
    QObject::connect(&monitor, &ConnectionMonitor::tickEnded, [&] { events << "ended"; });
    table->failReads();
    EXPECT_TRUE(tickOnce().empty());
    EXPECT_EQ(fullAfterTick, false);
    EXPECT_EQ(events, (QStringList{"failed: Permission denied", "ended"}));
    table->set({established("127.  0.  0.  1", "8080", "127.  0.  0.  1", "  81")});
    EXPECT_EQ(tickOnce().size(), 1u);
    EXPECT_EQ(table->reads(), 2);
    EXPECT_EQ(events.size(), 3);  // the good tick only ended
}

TEST_F(ConnectionMonitorTest, HostNamesOnlyForRowsMadeWhileAsked) {
    table->set({established("127.  0.  0.  1", "8080", "127.  0.  0.  1", "  81")});
    tickOnce();
    monitor.setResolveHosts(true);
    monitor.setShowListeners(true);
    table->set({listener("127.  0.  0.  1", "8080"),
                established("127.  0.  0.  1", "8080", "127.  0.  0.  1", "  81"),
                established("127.  0.  0.  1", "  81", "127.  0.  0.  1", "8080")});
    const auto rows = tickOnce();
    ASSERT_EQ(rows.size(), 2u);
    EXPECT_EQ(rows[0].hostName, "X");  // "..." compacts to six dots: no address, no name
    EXPECT_EQ(rows[1].hostName, "localhost");
    EXPECT_TRUE(recorded.front().hostName.isEmpty());
    EXPECT_EQ(HistoryCells(rows[1]).mid(2),
              (QStringList{"127.  0.  0.  1", "  81", "127.  0.  0.  1", "8080", "established",
                           "localhost"}));
}

// A table whose reads wait until the test lets them go.
class HeldTable final : public ConnectionSource {
  public:
    Result<std::vector<TTcpConnStatus>> read() override {
        std::unique_lock lock(m_mutex);
        m_waiting = true;
        m_changed.notify_all();
        m_changed.wait(lock, [this] { return m_released; });
        m_waiting = false;
        m_released = false;
        return std::vector<TTcpConnStatus>{
            established("127.  0.  0.  1", "8080", "127.  0.  0.  1", "  81")};
    }
    void waitUntilReading() {
        std::unique_lock lock(m_mutex);
        m_changed.wait(lock, [this] { return m_waiting; });
    }
    void release() {
        std::lock_guard lock(m_mutex);
        m_released = true;
        m_changed.notify_all();
    }

  private:
    std::mutex m_mutex;
    std::condition_variable m_changed;
    bool m_waiting = false;
    bool m_released = false;
};

TEST(ConnectionMonitorHeld, ClearDuringATickDropsItsRowsAndTicksNeverOverlap) {
    auto table = std::make_shared<HeldTable>();
    std::vector<HistoryRow> recorded;
    ConnectionMonitor monitor(table, [&](std::span<HistoryRow> rows) {
        recorded.insert(recorded.end(), rows.begin(), rows.end());
    });
    ASSERT_TRUE(monitor.TimerTimer());
    table->waitUntilReading();
    EXPECT_FALSE(monitor.TimerTimer());
    monitor.clear();  // the held tick now belongs to the old history
    monitor.stop();
    EXPECT_FALSE(monitor.TimerTimer());  // its worker is still out
    table->release();
    ASSERT_TRUE(monitor.waitForTick(30000));
    QCoreApplication::processEvents();
    EXPECT_TRUE(recorded.empty());

    // The held tick left no key behind: the next one records the connection.
    ASSERT_TRUE(monitor.TimerTimer());
    table->waitUntilReading();
    table->release();
    ASSERT_TRUE(monitor.waitForTick(30000));
    EXPECT_EQ(recorded.size(), 1u);
}

TEST_F(ConnectionMonitorTest, TheHistoryIsFullPastTheRowLimitAndAClearEmptiesIt) {
    std::vector<TTcpConnStatus> rows;
    rows.reserve(ConnectionMonitor::kHistoryLimit);
    for (int i = 0; i < ConnectionMonitor::kHistoryLimit; ++i) {
        rows.push_back({QStringLiteral("127.  0.  0.  1"), QString::number(1024 + i % 60000),
                        QStringLiteral("127.  0.  0.  2"), QString::number(i / 60000),
                        QStringLiteral("established")});
    }
    // With the grid's empty row, 99999 rows are exactly at the limit, not over it.
    table->set({rows.begin(), rows.end() - 1});
    EXPECT_EQ(tickOnce().size(), static_cast<std::size_t>(ConnectionMonitor::kHistoryLimit - 1));
    EXPECT_EQ(fullAfterTick, false);
    table->set(rows);
    EXPECT_EQ(tickOnce().size(), 1u);
    EXPECT_EQ(fullAfterTick, true);
    // Not cleared by itself: still full at the next tick.
    tickOnce();
    EXPECT_EQ(fullAfterTick, true);

    monitor.clear();
    monitor.stop();  // the test ticks by itself
    EXPECT_EQ(tickOnce().size(), static_cast<std::size_t>(ConnectionMonitor::kHistoryLimit));
}

// The command line's way past the limit: the count starts again, the connections stay known,
// so none is recorded twice; a clear (the window's way) forgets them.
TEST_F(ConnectionMonitorTest, ARestartedCountKeepsTheKnownConnections) {
    monitor.setHistoryLimit(3);
    const auto connection = [](int port) {
        return established("127.  0.  0.  1", "8080", "127.  0.  0.  2",
                           QString::number(port).toLatin1().constData());
    };
    table->set({connection(1), connection(2)});
    EXPECT_EQ(tickOnce().size(), 2u);
    EXPECT_EQ(fullAfterTick, false);  // two rows and the empty one: at the limit
    table->set({connection(1), connection(2), connection(3)});
    EXPECT_EQ(tickOnce().size(), 1u);
    EXPECT_EQ(fullAfterTick, true);

    monitor.restartCount();
    EXPECT_EQ(monitor.historyCount(), 0);
    table->set({connection(1), connection(2), connection(3), connection(4)});
    EXPECT_EQ(keys(tickOnce()), QStringList{"127.  0.  0.  1|8080|127.  0.  0.  2|4|established"});
    EXPECT_EQ(fullAfterTick, false);
    EXPECT_EQ(monitor.historyCount(), 1);
    EXPECT_TRUE(tickOnce().empty());

    monitor.clear();
    monitor.stop();  // the test ticks by itself
    EXPECT_EQ(tickOnce().size(), 4u);
    EXPECT_EQ(fullAfterTick, true);
}

// `Timer` drives the ticks: named, started by the first clear, stopped by stop().
TEST_F(ConnectionMonitorTest, TheTimerIsNamedAndRunsFromTheFirstClear) {
    auto* timer = monitor.findChild<QTimer*>("Timer");
    ASSERT_NE(timer, nullptr);
    EXPECT_FALSE(timer->isActive());
    monitor.clear();
    EXPECT_TRUE(timer->isActive());
    EXPECT_EQ(timer->interval(), 500);
    monitor.stop();
    EXPECT_FALSE(timer->isActive());
}

// The Time column is the system's long time format without its zone, whatever way the locale
// sets the zone apart.
TEST(HistoryTime, TheLongTimeFormatLosesOnlyItsZone) {
    const struct {
        const char* format;
        const char* expected;
    } cases[] = {
        {"HH:mm:ss t", "HH:mm:ss"},
        {"h:mm:ss AP t", "h:mm:ss AP"},
        {"t HH:mm:ss", "HH:mm:ss"},
        {"t APh:mm:ss", "APh:mm:ss"},
        {"HH:mm:ss (t)", "HH:mm:ss"},
        {"APh:mm:ss [t]", "APh:mm:ss"},
        {"h:mm:ss AP, t", "h:mm:ss AP"},
        {"H 'h' mm 'min' ss 's' t", "H 'h' mm 'min' ss 's'"},
        {"'Klock' H.mm:ss (t)", "'Klock' H.mm:ss"},
        {"HH t mm", "HH mm"},
        {"HH:mm:ss 'at' tttt", "HH:mm:ss 'at'"},
        {"HH:mm:ss 'it''s t'", "HH:mm:ss 'it''s t'"},  // quoted: a letter, not the zone
        {"HH:mm:ss", "HH:mm:ss"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(TimeFormatWithoutZone(c.format), c.expected) << c.format;
    }
    // The test runs with TZ=UTC and the C locale, whose long format ends in the zone.
    const QDateTime when(QDate(2026, 12, 10), QTime(15, 14, 34));
    EXPECT_EQ(HistoryTimeText(when), "15:14:34");
    EXPECT_EQ(HistorySinceText(when), "TCP connection history since : 10 Dec 2026 15:14:34");
}

}  // namespace
}  // namespace quendrix::monitor
