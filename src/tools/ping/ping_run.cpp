#include "tools/ping/ping_run.h"

#include "core/result_table_model.h"
#include "core/target.h"
#include "core/target_list_model.h"
#include "net/icmp_echo.h"
#include "net/target_text.h"

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

PingRun::PingRun(const TargetListModel& list, ResultTableModel& grid,
                 std::shared_ptr<net::IcmpEcho> echo, QObject* parent)
    : BatchEngine(parent), m_list(list), m_grid(grid), m_echo(std::move(echo)) {}

PingRun::~PingRun() {
    // The worker reads the list and uses the echo service: it must end first.
    shutdownJobs();
}

void PingRun::start(int pingCount) {
    m_lastPingCount = pingCount;
    std::shared_ptr<net::IcmpEcho> echo = m_echo;
    // ping_thread
    startJob([this, pingCount, echo](Context& job) {
        BatchCounters counters;
        const auto hand = [&](PingHanded handed) { job.push(std::move(handed)); };
        const auto handAttempt = [&](const QString& entry, PingAttempt attempt) {
            counters.count(attempt.successful());
            hand({entry, attempt, counters, {}});
        };
        // Entries are read live: an edit made during the run counts from the next entry.
        for (int position = 0; !job.stopRequested(); ++position) {
            const std::optional<QString> entry = m_list.entryAt(position);
            if (!entry) {
                break;
            }
            const std::string host = net::ReduceTarget(entry->toLocal8Bit().toStdString());
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
    });
}

bool PingRun::applyRows(std::span<PingHanded> handed) {
    bool rows = false;
    for (const PingHanded& item : handed) {
        if (!item.notice.isEmpty()) {
            Q_EMIT echoUnavailable(item.notice);
            continue;
        }
        m_grid.writeRow(PingRowCells(item.entry, item.attempt));
        m_counters = item.counters;
        rows = true;
    }
    return rows;
}

}  // namespace quendrix
