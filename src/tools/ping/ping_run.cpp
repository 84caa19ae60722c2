#include "tools/ping/ping_run.h"

#include "core/job_runner.h"
#include "core/result_table_model.h"
#include "core/target.h"
#include "core/target_list_model.h"
#include "net/icmp_echo.h"

#include <QTimer>

#include <mutex>
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

PingAttempt PingAttemptForEcho(const net::EchoResult& result) {
    PingAttempt attempt{PingAttempt::Outcome::Reply, result.dataSize, result.roundTripMs};
    if (!result.replied()) {
        attempt.outcome = PingAttempt::Outcome::NoReply;
    } else if (result.data.empty() || result.data.front() != PingRequestBytes().front()) {
        attempt.outcome = PingAttempt::Outcome::BadReply;
    }
    return attempt;
}

namespace {

// Decimal text of a number; the small ones that nearly every row shows ("34" bytes, a few
// milliseconds) are made once and shared, so writing a row allocates no number text.
QString numberText(std::uint32_t value) {
    static const std::vector<QString> small = [] {
        std::vector<QString> texts;
        for (std::uint32_t i = 0; i < 1024; ++i) {
            texts.push_back(QString::number(i));
        }
        return texts;
    }();
    return value < small.size() ? small[value] : QString::number(value);
}

}  // namespace

QStringList PingRowCells(const QString& entry, const PingAttempt& attempt) {
    switch (attempt.outcome) {
        case PingAttempt::Outcome::Reply:
            return {kPingRunning, entry, numberText(attempt.dataSize),
                    numberText(attempt.roundTripMs), kPingBlank};
        case PingAttempt::Outcome::BadReply:
            return {kPingFailedStatus, entry, numberText(attempt.dataSize),
                    numberText(attempt.roundTripMs), kPingBadReply};
        case PingAttempt::Outcome::NoReply:
            return {kPingFailedStatus, entry, numberText(attempt.dataSize),
                    numberText(attempt.roundTripMs), kPingTimedOut};
        case PingAttempt::Outcome::UnknownHost:
            break;
    }
    return {kPingFailedStatus, entry, kPingBlank, kPingBlank, kPingUnknownHost};
}

// A worker's rows on their way to the UI thread. The worker wakes the UI thread only when it
// is not going to look anyway; while rows keep coming the UI thread collects them every
// kCollectMs, and the worker wakes it early once kWakeRows have piled up, so that applying
// them overlaps the echoes still to come. A lone row (a slow echo) is shown at once, and a fast
// run (loopback answers in microseconds) costs one wake-up per kWakeRows rows at most.
struct PingRun::Channel {
    std::mutex mutex;
    std::vector<Handed> handed;
    bool posted = false;    // a wake-up is on its way to the UI thread
    bool timerDue = false;  // the UI thread's next collection is scheduled
};

namespace {

constexpr int kCollectMs = 25;
constexpr size_t kWakeRows = 256;

}  // namespace

PingRun::PingRun(const TargetListModel& list, ResultTableModel& grid,
                 std::shared_ptr<net::IcmpEcho> echo, QObject* parent)
    : QObject(parent),
      m_list(list),
      m_grid(grid),
      m_echo(std::move(echo)),
      m_runner(std::make_unique<JobRunner>()) {}

PingRun::~PingRun() {
    // The worker reads the list and uses the echo service: it must end first.
    m_runner->stop();
    m_runner->joinAll();
}

void PingRun::start(int pingCount) {
    stop();
    m_counters = {};
    m_lastPingCount = pingCount;
    auto channel = std::make_shared<Channel>();
    m_channel = channel;
    std::shared_ptr<net::IcmpEcho> echo = m_echo;
    // ping_thread
    m_runner->start(
        [this, pingCount, echo, channel](JobContext& job) {
            PingCounters counters;
            const auto hand = [&](Handed handed) {
                bool wake = false;
                {
                    std::lock_guard lock(channel->mutex);
                    channel->handed.push_back(std::move(handed));
                    wake = !channel->posted &&
                           (!channel->timerDue || channel->handed.size() >= kWakeRows);
                    channel->posted = channel->posted || wake;
                }
                if (wake) {
                    job.post([this, channel] { collect(channel, false); });
                }
            };
            const auto handAttempt = [&](const QString& entry, PingAttempt attempt) {
                ++counters.finished;
                ++(attempt.successful() ? counters.successful : counters.failed);
                hand({entry, attempt, counters, {}});
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
                    // A name is resolved again before every attempt: it may move between them.
                    const Result<std::uint32_t> address = ResolveFirstAddress(host);
                    if (!address) {
                        handAttempt(*entry, {PingAttempt::Outcome::UnknownHost, 0, 0});
                        break;
                    }
                    const net::EchoResult result =
                        echo->echo(*address, PingRequestBytes(), timeout, job.stopToken());
                    if (result.failure == net::EchoFailure::Stopped) {
                        return;
                    }
                    if (result.failure == net::EchoFailure::SocketUnavailable) {
                        if (auto notice = echo->takeUnavailableNotice()) {
                            hand({{}, {}, counters, QString::fromStdString(*notice)});
                        }
                    }
                    handAttempt(*entry, PingAttemptForEcho(result));
                }
            }
        },
        [this, channel] {
            // Everything the worker handed over, then the end.
            {
                std::lock_guard lock(channel->mutex);
                m_handed.swap(channel->handed);
            }
            applyHanded();
            m_channel.reset();
            Q_EMIT finished();
        });
}

void PingRun::collect(const std::shared_ptr<Channel>& channel, bool timer) {
    if (channel != m_channel) {
        return;  // a stopped or ended run
    }
    bool armTimer = false;
    {
        std::lock_guard lock(channel->mutex);
        (timer ? channel->timerDue : channel->posted) = false;
        if (channel->handed.empty()) {
            return;  // the worker wakes us for its next row
        }
        // The two buffers change places, so neither side allocates once they have grown.
        m_handed.swap(channel->handed);
        armTimer = !channel->timerDue;
        channel->timerDue = true;
    }
    applyHanded();
    if (armTimer) {
        QTimer::singleShot(kCollectMs, this, [this, channel] { collect(channel, true); });
    }
}

void PingRun::applyHanded() {
    bool rows = false;
    for (const Handed& item : m_handed) {
        if (!item.notice.isEmpty()) {
            Q_EMIT echoUnavailable(item.notice);
            continue;
        }
        m_grid.writeRow(PingRowCells(item.entry, item.attempt));
        m_counters = item.counters;
        rows = true;
    }
    m_handed.clear();
    if (rows) {
        Q_EMIT countersChanged();
    }
}

void PingRun::stop() {
    m_runner->stop();
    m_channel.reset();
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
