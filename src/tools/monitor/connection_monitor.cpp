// The Connection Monitor's tick and its history of known connections.
#include "tools/monitor/connection_monitor.h"

#include "core/date_time_text.h"
#include "core/target.h"

#include <QCoreApplication>
#include <QStringBuilder>

#include <utility>

namespace quendrix::monitor {
namespace {

// The known-connection key: local port, remote address, remote port and state, compared as
// exact texts. The local address is left out, so two sockets that differ only there are one
// history row. None of the texts holds a line feed, so it cannot blur two keys into one.
QString connectionKey(const TTcpConnStatus& connection) {
    // Built in one allocation: a steady tick makes one key for every open connection.
    return connection.localPort % QLatin1Char('\n') % connection.remoteAddress % QLatin1Char('\n') %
           connection.remotePort % QLatin1Char('\n') % connection.status;
}

}  // namespace

QString HistoryDateText(const QDateTime& when) {
    return ShortDateText(when.date());
}

QString HistoryTimeText(const QDateTime& when) {
    return LongTimeText(when.time());
}

QString HistorySinceText(const QDateTime& when) {
    return QStringLiteral("TCP connection history since : ") + HistoryDateText(when) +
           QLatin1Char(' ') + HistoryTimeText(when);
}

QStringList HistoryCells(const HistoryRow& row) {
    return {row.date.isNull() ? HistoryDateText(row.firstSeen) : row.date,
            row.time.isNull() ? HistoryTimeText(row.firstSeen) : row.time,
            row.connection.localAddress,
            row.connection.localPort,
            row.connection.remoteAddress,
            row.connection.remotePort,
            row.connection.status,
            row.hostName};
}

ConnectionMonitor::ConnectionMonitor(std::shared_ptr<ConnectionSource> source, RowSink sink,
                                     QObject* parent)
    : QObject(parent),
      m_source(std::move(source)),
      m_sink(std::move(sink)),
      m_runner([this](JobId, std::span<HistoryRow> rows) {
          m_recorded += static_cast<int>(rows.size());
          if (m_sink) {
              m_sink(rows);
          }
      }) {
    m_timer.setObjectName(QStringLiteral("Timer"));
    m_timer.setInterval(kTickIntervalMs);
    connect(&m_timer, &QTimer::timeout, this, [this] { TimerTimer(); });
    connect(&m_runner, &JobRunnerBase::ended, this, &ConnectionMonitor::onEnded);
}

ConnectionMonitor::~ConnectionMonitor() {
    m_timer.stop();
    m_runner.shutdown();
}

void ConnectionMonitor::stop() {
    m_timer.stop();
    if (m_tick != 0) {
        m_runner.stop(m_tick);
        m_tick = 0;
    }
}

void ConnectionMonitor::clear() {
    stop();
    {
        std::lock_guard lock(m_knownMutex);
        m_known.clear();
        ++m_generation;
    }
    m_recorded = 0;
    m_timer.start();
}

void ConnectionMonitor::restartCount() {
    m_recorded = 0;
}

bool ConnectionMonitor::TimerTimer() {
    // A stopped tick's worker may still be inside the table read or a look-up: ticks never
    // overlap.
    if (m_runner.isWorkerBusy()) {
        return false;
    }
    std::uint64_t generation = 0;
    {
        std::lock_guard lock(m_knownMutex);
        generation = m_generation;
    }
    m_tick = m_runner.start([this, generation](JobRunner<HistoryRow>::Context& context) {
        runTick(context, generation);
    });
    return true;
}

void ConnectionMonitor::runTick(JobRunner<HistoryRow>::Context& context, std::uint64_t generation) {
    Result<std::vector<TTcpConnStatus>> table = m_source->read();
    if (!table) {
        // Nothing this time; the next tick reads again. The owner learns why.
        context.fail(table.error());
        return;
    }
    // Every row of one tick carries the time of the read, its texts made once: each local
    // time conversion may look at the time zone file again.
    const QDateTime now = QDateTime::currentDateTime();
    const QString date = HistoryDateText(now);
    const QString time = HistoryTimeText(now);
    for (TTcpConnStatus& connection : *table) {
        if (context.stopRequested()) {
            return;
        }
        {
            QString key = connectionKey(connection);
            std::lock_guard lock(m_knownMutex);
            if (m_generation != generation) {
                return;  // cleared meanwhile: this tick belongs to the old history
            }
            if (!IsNewConnection(connection, key)) {
                continue;
            }
            m_known.insert(std::move(key));
        }
        HistoryRow row{now, date, time, std::move(connection), QString()};
        if (m_resolveHosts.load()) {
            // A listening row's "..." compacts to six dots, which has no name: "X".
            row.hostName = ResolveAddress(compactAddress(row.connection.remoteAddress));
        }
        context.push(std::move(row));
    }
}

bool ConnectionMonitor::IsNewConnection(const TTcpConnStatus& connection,
                                        const QString& key) const {
    if (!m_showListeners.load() && connection.status == QLatin1String("listening")) {
        return false;
    }
    return !m_known.contains(key);
}

void ConnectionMonitor::onEnded(JobId id, const JobOutcome& outcome) {
    if (id != m_tick) {
        return;
    }
    m_tick = 0;
    if (outcome.kind == JobOutcome::Kind::Stopped) {
        return;
    }
    if (outcome.failed()) {
        Q_EMIT readFailed(outcome.text());
    }
    // The grid counts its trailing empty row as well.
    Q_EMIT tickEnded(m_recorded + 1 > m_historyLimit);
}

bool ConnectionMonitor::waitForTick(int timeoutMs) {
    // A tick that ends by itself has its worker back by its end; a stopped one's is waited for.
    return m_runner.waitForWorkers(timeoutMs);
}

}  // namespace quendrix::monitor
