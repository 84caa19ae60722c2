#include "tools/trace/trace_run.h"

#include "net/resolver.h"
#include "net/target_text.h"

namespace quendrix::trace {

namespace {

using net::ReplyStatusKind;
using net::TReplyStatus;

// A raised failure's text as log lines: "Socket Error # %d" and the reason on the next.
std::vector<std::string> ErrorLines(const std::string& text) {
    std::vector<std::string> lines;
    std::size_t from = 0;
    for (auto end = text.find("\r\n"); end != std::string::npos; end = text.find("\r\n", from)) {
        lines.push_back(text.substr(from, end - from));
        from = end + 2;
    }
    lines.push_back(text.substr(from));
    return lines;
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

std::string FirstPingLine(const TReplyStatus& status, int timeToLive) {
    const std::string& from = status.fromIpAddress;
    switch (status.replyStatusType) {
        case ReplyStatusKind::EchoReply:
            return "response from host " + from + " in " + std::to_string(status.msRoundTripTime) +
                   " millisec.";
        case ReplyStatusKind::TimedOut:
            return "Timed out.";
        case ReplyStatusKind::DestinationUnreachable:
            return "Host " + from + " reports destination network unreachable.";
        case ReplyStatusKind::TimeToLiveExceeded:
            break;
    }
    return "Hope " + std::to_string(timeToLive) + " " + from + ": TTL expired.";
}

// The hop's row without its host name.
HopRow MakeHopRow(int hop, const TReplyStatus& status) {
    HopRow row{hop, {}, {}, {}};
    if (status.replyStatusType == ReplyStatusKind::TimedOut) {
        row.ip = "?.?.?.?";
        row.note = "Timed out.";
        return row;
    }
    row.ip = status.fromIpAddress;
    switch (status.replyStatusType) {
        case ReplyStatusKind::EchoReply:
            row.note = std::to_string(status.msRoundTripTime) + " ms";
            break;
        case ReplyStatusKind::DestinationUnreachable:
            row.note = "Destination network unreachable";
            break;
        default:
            row.note = "TTL=" + std::to_string(status.timeToLive);
            break;
    }
    return row;
}

void EmitLog(const std::function<void(TraceEvent)>& emit, std::vector<std::string> lines) {
    emit({TraceEvent::Kind::Log, std::move(lines), {}});
}

}  // namespace

namespace {

// A step's answer that the trace ends here, and how.
Result<std::optional<TraceEnd>> Ends(TraceEnd end) {
    return std::optional<TraceEnd>(end);
}

}  // namespace

Result<std::optional<TraceEnd>> ResolveStep(TraceSteps& run) {
    // Resolve: the log shows the target as typed, the look-up uses its host part.
    EmitLog(run.emit, {"resolving " + run.request.typedTarget});
    run.controls.setResolving(true);
    const auto resolved = net::ResolveFirstAddress(net::ReduceTarget(run.request.typedTarget));
    run.controls.setResolving(false);
    if (run.stop.stop_requested()) {
        return Ends(TraceEnd::Stopped);
    }
    if (!resolved) {
        EmitLog(run.emit, ErrorLines(net::socketError(resolved.error()).text));
        return Ends(TraceEnd::NotResolved);
    }
    run.address = net::addressToDottedText(*resolved);
    EmitLog(run.emit, {run.request.typedTarget + " resolved to " + run.address});
    if (run.controls.stopRequested()) {
        return Ends(TraceEnd::SoftStopped);
    }
    return std::optional<TraceEnd>();
}

Result<std::optional<TraceEnd>> PingHost(TraceSteps& run, const std::string& address, int maxHops) {
    // The first ping, with the largest time-to-live: one log line, whatever answered.
    const auto first = PingOnce(run.client, address, maxHops, run.request.wait, run.stop);
    if (!first) {
        return first.code() == ErrorCode::Stopped ? Ends(TraceEnd::Stopped)
                                                  : Result<std::optional<TraceEnd>>(first.error());
    }
    EmitLog(run.emit, {FirstPingLine(*first, maxHops)});
    if (run.stop.stop_requested()) {
        return Ends(TraceEnd::Stopped);
    }
    if (run.controls.stopRequested()) {
        return Ends(TraceEnd::SoftStopped);
    }
    return std::optional<TraceEnd>();
}

Result<TraceEnd> TraceStep(TraceSteps& run) {
    // The hops. Max Hops and Host Revolve are read anew for every hop; a soft stop lets the
    // hop being waited for end and write its row.
    run.emit({TraceEvent::Kind::ClearHops, {}, {}});
    for (int hop = 1;; ++hop) {
        const auto status = PingOnce(run.client, run.address, hop, run.request.wait, run.stop);
        if (!status) {
            return status.code() == ErrorCode::Stopped ? Result<TraceEnd>(TraceEnd::Stopped)
                                                       : Result<TraceEnd>(status.error());
        }
        HopRow row = MakeHopRow(hop, *status);
        if (run.controls.hostRevolve() && status->replyStatusType != ReplyStatusKind::TimedOut) {
            run.emit({TraceEvent::Kind::HopAnswered, {}, row});
            row.host = net::ResolveAddress(row.ip);
        }
        if (run.stop.stop_requested()) {
            return TraceEnd::Stopped;
        }
        run.emit({TraceEvent::Kind::Hop, {}, std::move(row)});
        const auto kind = status->replyStatusType;
        if (kind == ReplyStatusKind::EchoReply || kind == ReplyStatusKind::DestinationUnreachable ||
            hop >= run.controls.maxHops() || run.controls.stopRequested()) {
            return TraceEnd::Traced;
        }
    }
}

Result<TraceEnd> RunTrace(TraceClient& client, const TraceRequest& request, TraceControls& controls,
                          std::stop_token stop, const std::function<void(TraceEvent)>& emit) {
    TraceSteps run{client, request, controls, std::move(stop), emit, {}};
    if (auto resolved = ResolveStep(run); !resolved || resolved->has_value()) {
        return resolved ? Result<TraceEnd>(**resolved) : Result<TraceEnd>(resolved.error());
    }
    if (auto pinged = PingHost(run, run.address, controls.maxHops());
        !pinged || pinged->has_value()) {
        return pinged ? Result<TraceEnd>(**pinged) : Result<TraceEnd>(pinged.error());
    }
    return TraceStep(run);
}

std::string HopLine(const HopRow& row) {
    const std::string gap(4, ' ');
    return std::to_string(row.hop) + gap + row.ip + gap + row.host + gap + row.note;
}

}  // namespace quendrix::trace
