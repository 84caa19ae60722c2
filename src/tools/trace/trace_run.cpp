#include "tools/trace/trace_run.h"

#include "core/target.h"
#include "net/resolver.h"

namespace quendrix::trace {

namespace {

using net::ReplyStatusKind;
using net::TReplyStatus;

// A raised failure's text as log lines: "Socket Error # %d" and the reason on the next.
QStringList ErrorLines(const std::string& text) {
    return QString::fromLocal8Bit(text).split(QStringLiteral("\r\n"));
}

// One exchange with the resolved address at the given time-to-live. The lock keeps another
// trace's settings (one abandoned while it resolved, say) out of this exchange.
Result<TReplyStatus> PingOnce(TraceClient& traceClient, const std::string& address, int timeToLive,
                              std::chrono::milliseconds wait, std::stop_token stop) {
    std::lock_guard lock(traceClient.exchange);
    net::RawIcmpClient& client = traceClient.client;
    client.setHost(address);
    if (auto set = client.setTimeToLive(timeToLive); !set) {
        return set.error();
    }
    client.setReceiveTimeout(wait);
    if (auto pinged = client.ping({}, 0, std::move(stop)); !pinged) {
        return pinged.error();
    }
    return client.replyStatus();
}

QString FirstPingLine(const TReplyStatus& status, int timeToLive) {
    const QString from = QString::fromStdString(status.fromIpAddress);
    switch (status.replyStatusType) {
        case ReplyStatusKind::EchoReply:
            return QStringLiteral("response from host %1 in %2 millisec.")
                .arg(from)
                .arg(status.msRoundTripTime);
        case ReplyStatusKind::TimedOut:
            return QStringLiteral("Timed out.");
        case ReplyStatusKind::DestinationUnreachable:
            return QStringLiteral("Host %1 reports destination network unreachable.").arg(from);
        case ReplyStatusKind::TimeToLiveExceeded:
            break;
    }
    return QStringLiteral("Hope %1 %2: TTL expired.").arg(timeToLive).arg(from);
}

HopRow MakeHopRow(int hop, const TReplyStatus& status, bool hostRevolve) {
    HopRow row{hop, {}, {}, {}};
    if (status.replyStatusType == ReplyStatusKind::TimedOut) {
        row.ip = QStringLiteral("?.?.?.?");
        row.note = QStringLiteral("Timed out.");
        return row;
    }
    row.ip = QString::fromStdString(status.fromIpAddress);
    if (hostRevolve) {
        row.host = ResolveAddress(row.ip);
    }
    switch (status.replyStatusType) {
        case ReplyStatusKind::EchoReply:
            row.note = QStringLiteral("%1 ms").arg(status.msRoundTripTime);
            break;
        case ReplyStatusKind::DestinationUnreachable:
            row.note = QStringLiteral("Destination network unreachable");
            break;
        default:
            row.note = QStringLiteral("TTL=%1").arg(status.timeToLive);
            break;
    }
    return row;
}

void EmitLog(const std::function<void(TraceEvent)>& emit, QStringList lines) {
    emit({TraceEvent::Kind::Log, std::move(lines), {}});
}

}  // namespace

Result<TraceEnd> RunTrace(TraceClient& client, const TraceRequest& request, TraceControls& controls,
                          std::stop_token stop, const std::function<void(TraceEvent)>& emit) {
    // Resolve: the log shows the target as typed, the look-up uses its host part.
    EmitLog(emit, {QStringLiteral("resolving %1").arg(request.typedTarget)});
    controls.setResolving(true);
    const auto resolved =
        ResolveFirstAddress(ReduceTarget(request.typedTarget).toLocal8Bit().toStdString());
    controls.setResolving(false);
    if (stop.stop_requested()) {
        return TraceEnd::Stopped;
    }
    if (!resolved) {
        EmitLog(emit, ErrorLines(net::socketError(resolved.error()).text));
        return TraceEnd::NotResolved;
    }
    const std::string address = net::addressToDottedText(*resolved);
    EmitLog(emit, {QStringLiteral("%1 resolved to %2")
                       .arg(request.typedTarget, QString::fromStdString(address))});
    if (controls.stopRequested()) {
        return TraceEnd::SoftStopped;
    }

    // The first ping, with the largest time-to-live: one log line, whatever answered.
    const int firstTimeToLive = controls.maxHops();
    const auto first = PingOnce(client, address, firstTimeToLive, request.wait, stop);
    if (!first) {
        return first.code() == ErrorCode::Stopped ? Result<TraceEnd>(TraceEnd::Stopped)
                                                  : Result<TraceEnd>(first.error());
    }
    EmitLog(emit, {FirstPingLine(*first, firstTimeToLive)});
    if (stop.stop_requested()) {
        return TraceEnd::Stopped;
    }
    if (controls.stopRequested()) {
        return TraceEnd::SoftStopped;
    }

    // The hops. Max Hops and Host Revolve are read anew for every hop; a soft stop lets the
    // hop being waited for end and write its row.
    emit({TraceEvent::Kind::ClearHops, {}, {}});
    for (int hop = 1;; ++hop) {
        const auto status = PingOnce(client, address, hop, request.wait, stop);
        if (!status) {
            return status.code() == ErrorCode::Stopped ? Result<TraceEnd>(TraceEnd::Stopped)
                                                       : Result<TraceEnd>(status.error());
        }
        HopRow row = MakeHopRow(hop, *status, controls.hostRevolve());
        if (stop.stop_requested()) {
            return TraceEnd::Stopped;
        }
        emit({TraceEvent::Kind::Hop, {}, std::move(row)});
        const auto kind = status->replyStatusType;
        if (kind == ReplyStatusKind::EchoReply || kind == ReplyStatusKind::DestinationUnreachable ||
            hop >= controls.maxHops() || controls.stopRequested()) {
            return TraceEnd::Traced;
        }
    }
}

QString HopLine(const HopRow& row) {
    const QString gap(4, QLatin1Char(' '));
    return QString::number(row.hop) + gap + row.ip + gap + row.host + gap + row.note;
}

}  // namespace quendrix::trace
