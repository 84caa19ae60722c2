#include "tools/ping/ping_run.h"

#include "core/job_runner.h"
#include "core/result_table_model.h"
#include "core/target.h"
#include "core/target_list_model.h"
#include "net/icmp_echo.h"
#include "net/resolver.h"

#include <optional>
#include <string>

namespace quendrix {

std::span<const std::uint8_t> PingRequestBytes() {
    static_assert(sizeof kPingRequestData - 1 == 34);
    return {reinterpret_cast<const std::uint8_t*>(kPingRequestData), sizeof kPingRequestData - 1};
}

QStringList PingGridHeaders() {
    return {QStringLiteral("Status"), QStringLiteral("IP or Domain/Host Name"),
            QStringLiteral("Bytes"), QStringLiteral("Time(ms)"), QStringLiteral("Failed Reason")};
}

PingRow PingRowForUnknownHost(const QString& entry) {
    return {{kPingFailedStatus, entry, kPingBlank, kPingBlank, kPingUnknownHost}, false};
}

PingRow PingRowForEcho(const QString& entry, const net::EchoResult& result) {
    const QString size = QString::number(result.dataSize);
    const QString time = QString::number(result.roundTripMs);
    if (!result.replied()) {
        return {{kPingFailedStatus, entry, size, time, kPingTimedOut}, false};
    }
    if (result.data.empty() || result.data.front() != PingRequestBytes().front()) {
        return {{kPingFailedStatus, entry, size, time, kPingBadReply}, false};
    }
    // The grid stores an empty cell as a single blank.
    return {{kPingRunning, entry, size, time, kPingBlank}, true};
}

PingRun::PingRun(const TargetListModel& list, ResultTableModel& grid,
                 std::shared_ptr<net::IcmpEcho> echo, QObject* parent)
    : QObject(parent),
      m_list(list),
      m_grid(grid),
      m_echo(std::move(echo)),
      m_runner(std::make_unique<JobRunner>()) {
    // Labels follow the counts once per turn, however many rows the turn wrote.
    connect(m_runner.get(), &JobRunner::applied, this, [this] {
        if (m_countersDirty) {
            m_countersDirty = false;
            Q_EMIT countersChanged();
        }
    });
}

PingRun::~PingRun() {
    // The worker reads the list and uses the echo service: it must end first.
    m_runner->stop();
    m_runner->joinAll();
}

void PingRun::start(int pingCount) {
    m_runner->stop();
    m_counters = {};
    m_countersDirty = false;
    m_lastPingCount = pingCount;
    std::shared_ptr<net::IcmpEcho> echo = m_echo;
    // ping_thread
    m_runner->start(
        [this, pingCount, echo](JobContext& job) {
            PingCounters counters;
            const auto hand = [&](PingRow row) {
                ++counters.finished;
                ++(row.successful ? counters.successful : counters.failed);
                job.post([this, cells = std::move(row.cells), counters] {
                    m_grid.writeRow(cells);
                    m_counters = counters;
                    m_countersDirty = true;
                });
            };
            // Entries are read live: an edit made during the run counts from the next entry.
            for (int position = 0; !job.stopRequested(); ++position) {
                const std::optional<QString> entry = m_list.entryAt(position);
                if (!entry) {
                    break;
                }
                const std::string host = ReduceTarget(*entry).toLocal8Bit().toStdString();
                const std::chrono::milliseconds timeout = this->timeout();
                for (int attempt = 0; attempt < pingCount; ++attempt) {
                    if (job.stopRequested()) {
                        return;
                    }
                    // Resolved again before every attempt: a name may move between them.
                    const std::optional<net::HostEntry> resolved = net::lookupHost(host);
                    if (!resolved) {
                        hand(PingRowForUnknownHost(*entry));
                        break;
                    }
                    const net::EchoResult result = echo->echo(
                        resolved->addresses.front(), PingRequestBytes(), timeout, job.stopToken());
                    if (result.failure == net::EchoFailure::Stopped) {
                        return;
                    }
                    if (result.failure == net::EchoFailure::SocketUnavailable) {
                        if (auto notice = echo->takeUnavailableNotice()) {
                            job.post([this, text = QString::fromStdString(*notice)] {
                                Q_EMIT echoUnavailable(text);
                            });
                        }
                    }
                    hand(PingRowForEcho(*entry, result));
                }
            }
        },
        [this] {
            // The last rows' counts before the end, though both come in the same turn.
            if (m_countersDirty) {
                m_countersDirty = false;
                Q_EMIT countersChanged();
            }
            Q_EMIT finished();
        });
}

void PingRun::stop() {
    m_runner->stop();
}

bool PingRun::hasStarted() const {
    return m_runner->hasStarted();
}

bool PingRun::isRunning() const {
    return m_runner->isRunning();
}

bool PingRun::waitForIdle(int timeoutMs) {
    return m_runner->waitForIdle(timeoutMs);
}

}  // namespace quendrix
