// The Connection Monitor's engine: twice a second a tick reads the connection table on a
// worker, keeps each connection the history does not hold yet (listeners only when asked,
// the remote host name looked up when asked) and hands those rows, in table order and
// stamped with the time they were first seen, to the UI thread. The page and the command
// line both drive it; it shows nothing itself.
#pragma once

#include "core/date_time_text.h"
#include "core/job_runner.h"
#include "net/result.h"
#include "net/tcp_table.h"
#include "tools/monitor/tcp_conn_status.h"

#include <QDateTime>
#include <QHashFunctions>
#include <QObject>
#include <QString>
#include <QStringList>
#include <QTimer>

#include <atomic>
#include <functional>
#include <memory>
#include <mutex>
#include <span>
#include <unordered_set>
#include <vector>

namespace quendrix::monitor {

// Where a tick reads the table from: the machine's table, or rows a test hands in. Used by
// one tick at a time.
class ConnectionSource {
  public:
    virtual ~ConnectionSource() = default;
    virtual Result<std::vector<TTcpConnStatus>> read() = 0;
};

// The machine's table through net::TcpTable.
class SystemConnectionSource final : public ConnectionSource {
  public:
    Result<std::vector<TTcpConnStatus>> read() override { return readConnectionTable(m_table); }

  private:
    net::TcpTable m_table;
};

// One history row: a connection and when it was first seen.
struct HistoryRow {
    QDateTime firstSeen;
    // The date and time texts of firstSeen, shared by the rows of one tick; made from it when
    // null.
    QString date;
    QString time;
    TTcpConnStatus connection;
    QString hostName;  // empty unless host names were looked up when the row was made
};

// The date and time texts of a history row: the system's short date format, and its long
// time format without the time zone (core/date_time_text.h).
QString HistoryDateText(const QDateTime& when);
QString HistoryTimeText(const QDateTime& when);
using quendrix::TimeFormatWithoutZone;
// "TCP connection history since : " and the date and time, as one text.
QString HistorySinceText(const QDateTime& when);
// The eight grid cells of a row: date, time, local address, local port, remote address,
// remote port, state, host name.
QStringList HistoryCells(const HistoryRow& row);

class ConnectionMonitor : public QObject {
    Q_OBJECT
  public:
    // More history rows than this (with the grid's empty row counted, as the page shows
    // them) and the history is cleared.
    static constexpr int kHistoryLimit = 100000;
    static constexpr int kTickIntervalMs = 500;

    using RowSink = std::function<void(std::span<HistoryRow> rows)>;

    ConnectionMonitor(std::shared_ptr<ConnectionSource> source, RowSink sink,
                      QObject* parent = nullptr);
    ~ConnectionMonitor() override;

    // Record listening sockets too; look up the remote host name of each new row. Both may
    // change while a tick runs: the rows made after the change follow it.
    void setShowListeners(bool show) { m_showListeners = show; }
    void setResolveHosts(bool resolve) { m_resolveHosts = resolve; }
    bool showListeners() const { return m_showListeners; }
    bool resolveHosts() const { return m_resolveHosts; }

    // Empties the history (the rows a tick in progress has not handed over are dropped)
    // and (re)starts the timer: the first call starts the monitor.
    void clear();
    // Starts the count of history rows again but keeps the connections known, so none of
    // them is recorded a second time: the command line's way past the row limit, where
    // nothing on screen needs clearing.
    void restartCount();
    // Stops the timer and any tick; clear() starts them again.
    void stop();
    bool timerActive() const { return m_timer.isActive(); }

    // One tick, started now unless one is in progress (a stopped tick whose worker has not
    // come back yet counts as in progress): `Timer` calls it twice a second. Returns whether
    // it started.
    bool TimerTimer();
    bool tickRunning() const { return m_runner.isWorkerBusy(); }

    // History rows recorded since the last clear (or restartCount).
    int historyCount() const { return m_recorded; }
    // More rows than this, the grid's empty row counted, and the history is full: tests set
    // a smaller limit.
    void setHistoryLimit(int rows) { m_historyLimit = rows; }
    // Waits, processing events, until no tick runs and the worker of a stopped one is back;
    // for tests and the command line.
    bool waitForTick(int timeoutMs);

  Q_SIGNALS:
    // After a tick's rows were handed over. full: the history is over the limit.
    void tickEnded(bool full);
    // A tick could not read the table (just before its tickEnded): it added nothing, and
    // the next tick reads again. reason is the system's.
    void readFailed(const QString& reason);

  private:
    void runTick(JobRunner<HistoryRow>::Context& context, std::uint64_t generation);
    // The new-connection test of one row: a listener only while listeners are asked for, and
    // a key the history does not hold yet. m_knownMutex held.
    bool IsNewConnection(const TTcpConnStatus& connection, const QString& key) const;
    void onEnded(JobId id, const JobOutcome& outcome);

    std::shared_ptr<ConnectionSource> m_source;
    RowSink m_sink;
    QTimer m_timer{this};  // `Timer`
    std::atomic<bool> m_showListeners{false};
    std::atomic<bool> m_resolveHosts{false};
    JobId m_tick = 0;
    int m_recorded = 0;  // UI thread
    int m_historyLimit = kHistoryLimit;

    // The keys (local port, remote address, remote port, state) of the history, kept with
    // it: a clear empties it and counts a generation, so a tick that began before the clear
    // adds nothing to the new history.
    std::mutex m_knownMutex;
    struct KeyHash {
        std::size_t operator()(const QString& key) const noexcept { return qHash(key); }
    };
    std::unordered_set<QString, KeyHash> m_known;
    std::uint64_t m_generation = 0;

    JobRunner<HistoryRow> m_runner;  // last: its threads go before the members they use
};

}  // namespace quendrix::monitor
