#include "cli/trace_command.h"

#include "cli/terminal.h"
#include "net/icmp_socket.h"
#include "net/raw_icmp_client.h"
#include "tools/trace/trace_run.h"

#include <chrono>
#include <csignal>
#include <mutex>
#include <optional>
#include <thread>
#include <vector>

namespace quendrix::cli {
namespace {

using namespace plain;

const std::string kMaxHops = "--max-hops";
const std::string kResolveHosts = "--resolve-hosts";
const std::string kWait = "--wait";
const std::string kOut = "--out";

constexpr int kMostWaitMs = 60000;

// What the trace's thread hands to the terminal, and what the --out file will hold.
struct Shared {
    std::mutex mutex;
    std::vector<trace::HopRow> rows;  // only with --out
    // The hop whose router's name is being looked up: an interruption writes it without.
    std::optional<trace::HopRow> answered;
    bool keepRows = false;
    bool closed = false;  // interrupted: nothing more is printed
    std::optional<Result<trace::TraceEnd>> end;
};

void PrintLog(const std::vector<std::string>& lines) {
    std::string text;
    for (const std::string& line : lines) {
        text += line + '\n';
    }
    WriteError(text);
}

// A raised error's text, its CR LF line breaks as the terminal's.
std::string MessageText(std::string text) {
    for (auto at = text.find("\r\n"); at != std::string::npos; at = text.find("\r\n", at)) {
        text.erase(at, 1);
    }
    return text;
}

std::vector<std::string> ExportLines(const std::vector<trace::HopRow>& rows) {
    std::vector<std::string> lines;
    lines.reserve(rows.size());
    for (const trace::HopRow& row : rows) {
        lines.push_back(trace::HopLine(row));
    }
    return lines;
}

}  // namespace

const CommandSpec& TraceCommandSpec() {
    static const CommandSpec grammar{
        "trace",
        {"TARGET [--max-hops N] [--resolve-hosts] [--wait MS] [--out PATH]"},
        "Traces the route to TARGET (a host name, an address or a web address, reduced\n"
        "to its host as the window does): resolves it, pings it once with time-to-live\n"
        "N, then sends echo requests with time-to-live 1, 2, 3 ... until the target\n"
        "answers, a router reports it unreachable, or N hops were sent (default " +
            std::to_string(trace::TraceControls::kDefaultMaxHops) +
            ").\n"
            "The log lines go to standard error as they happen; each hop goes to standard\n"
            "output as soon as it answers or its wait ends, as a line of the export (hop,\n"
            "address, host and note joined by four blanks; LF line ends). Each ping waits\n"
            "up to MS milliseconds (default " +
            std::to_string(net::RawIcmpClient::kDefaultReceiveTimeout.count()) +
            ") for its answer.\n"
            "--out also writes the hop list to PATH as the window's export (CR LF), however\n"
            "the trace ended once a hop was sent. A trace that fails before its first hop\n"
            "(a target that does not resolve, no ICMP socket, Ctrl-C during the look-up)\n"
            "leaves an existing PATH as it was.\n"
            "Ctrl-C (or SIGTERM) ends the trace at once, without waiting for the hop in\n"
            "progress; the hops so far are printed and written to --out.\n",
        {
            {kMaxHops, {"N"}, "the highest time-to-live, 1-255 (default 30)"},
            {kResolveHosts, {}, "look up each answering router's name (X: none)"},
            {kWait, {"MS"}, "wait per ping, 1-60000 ms"},
            {kOut, {"PATH"}, "also write the hop list to PATH"},
        },
        "TARGET",
        1,
        1,
        {DoneStatus("the trace ran (hops that timed out or were unreachable are rows)"),
         FailedStatus("TARGET does not resolve, an error ended the trace, or standard output "
                      "or the --out file could not be written"),
         UsageStatus(false),
         RefusedStatus("no ICMP socket can be opened (the message says how to allow one)"),
         {kInterruptedBase + SIGINT, "interrupted by Ctrl-C (SIGINT)"},
         {kInterruptedBase + SIGTERM, "ended by SIGTERM"}},
    };
    return grammar;
}

int RunTraceCommand(const std::vector<std::string>& args) {
    const CommandSpec& grammar = TraceCommandSpec();
    int parseStatus = kOk;
    const auto words = ParseCommandWords(grammar, args, parseStatus);
    if (!words) {
        return parseStatus;
    }
    const ParsedArguments& given = *words;
    trace::TraceControls controls;
    if (given.has(kMaxHops)) {
        const auto hops = NumberIn(given.value(kMaxHops), trace::TraceControls::kMinMaxHops,
                                   trace::TraceControls::kMaxMaxHops);
        if (!hops) {
            return UsageProblem(grammar, "--max-hops wants a number from 1 to 255");
        }
        controls.setMaxHops(*hops);
    }
    trace::TraceRequest request{given.positionals.front()};
    if (given.has(kWait)) {
        const auto wait = NumberIn(given.value(kWait), 1, kMostWaitMs);
        if (!wait) {
            return UsageProblem(grammar, "--wait wants milliseconds from 1 to 60000");
        }
        request.wait = std::chrono::milliseconds(*wait);
    }
    controls.setHostRevolve(given.has(kResolveHosts));

    Shared shared;
    shared.keepRows = given.has(kOut);
    const std::string outPath = given.value(kOut);
    // The hop list goes to the file as the window would export it: whatever ended a trace that
    // wrote rows, and also with none when the trace ended normally. A trace that failed before
    // its first row (a target that does not resolve, no socket, Ctrl-C during the look-up) has
    // nothing to write, and an earlier file of that name stays as it was. Gives the status the
    // trace ends with: a failed write's kFailed wins.
    const auto writeOut = [&](const std::vector<trace::HopRow>& rows, int status) {
        if (!shared.keepRows) {
            return status;
        }
        return EndWithExport(status, !rows.empty(),
                             [&] { return WriteExport(outPath, ExportLines(rows)); });
    };
    // A standard output that fails ends the program from the trace's thread, inside the hand-
    // over below (which holds the lock): the file still gets the rows, the failed one included.
    if (shared.keepRows) {
        SetLastWordsBeforeOutputFailure([&] { writeOut(shared.rows, kFailed); });
    }
    struct ForgetLastWords {
        ~ForgetLastWords() { SetLastWordsBeforeOutputFailure({}); }
    } forgetLastWords;

    const StopSignals signals;
    const EndSignal ended;
    trace::TraceClient client;
    std::jthread worker([&](std::stop_token stop) {
        auto end = trace::RunTrace(client, request, controls, std::move(stop),
                                   [&](trace::TraceEvent event) {
                                       std::lock_guard lock(shared.mutex);
                                       if (shared.closed) {
                                           return;
                                       }
                                       switch (event.kind) {
                                           case trace::TraceEvent::Kind::Log:
                                               PrintLog(event.lines);
                                               break;
                                           case trace::TraceEvent::Kind::ClearHops:
                                               shared.rows.clear();
                                               break;
                                           case trace::TraceEvent::Kind::HopAnswered:
                                               shared.answered = event.row;
                                               break;
                                           case trace::TraceEvent::Kind::Hop:
                                               shared.answered.reset();
                                               if (shared.keepRows) {
                                                   shared.rows.push_back(event.row);
                                               }
                                               out().line(trace::HopLine(event.row));
                                               out().flush();
                                               break;
                                       }
                                   });
        {
            std::lock_guard lock(shared.mutex);
            shared.end = std::move(end);
        }
        ended.raise();
    });

    if (!ended.waitForEndOrSignal(signals)) {
        // Interrupted: what was printed so far is the trace.
        const int signal = signals.take();
        std::vector<trace::HopRow> rows;
        {
            std::lock_guard lock(shared.mutex);
            shared.closed = true;
            // A hop that answered while its router's name is still being looked up (which
            // cannot be woken) is part of the trace: it is written without the name.
            if (shared.answered) {
                if (shared.keepRows) {
                    shared.rows.push_back(*shared.answered);
                }
                out().line(trace::HopLine(*shared.answered));
                out().flush();
            }
            rows = shared.rows;
        }
        worker.request_stop();
        return ended.endInterrupted(signal, [&](int status) { return writeOut(rows, status); });
    }
    worker.join();

    int status = kOk;
    const Result<trace::TraceEnd>& end = *shared.end;
    if (!end) {
        Message(MessageText(end.error().text));
        if (end.code() == ErrorCode::AccessDenied) {
            Message("no ICMP socket can be opened: run the trace as root, or allow one.\n" +
                    net::IcmpPermissionHint());
            status = kRefused;
        } else {
            status = kFailed;
        }
    } else if (*end == trace::TraceEnd::NotResolved) {
        status = kFailed;  // the log's last two lines say why
    }
    // The file is the last word: its failure is the status.
    return writeOut(shared.rows, status);
}

}  // namespace quendrix::cli
