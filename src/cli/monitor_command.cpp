#include "cli/monitor_command.h"

#include "cli/cli_io.h"
#include "tools/monitor/connection_monitor.h"
#include "tools/monitor/monitor_export.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QSocketNotifier>
#include <QTimer>

#include <algorithm>
#include <memory>
#include <optional>
#include <utility>

#include <unistd.h>

namespace quendrix::cli {
namespace {

const std::string kSeconds = "--seconds";
const std::string kListeners = "--listeners";
const std::string kResolveHosts = "--resolve-hosts";
const std::string kExport = "--export";
const std::string kOut = "--out";

// --seconds runs up to a year.
constexpr int kMostSeconds = 365 * 24 * 60 * 60;
// The longest wait handed to one Qt timer.
constexpr qint64 kLongestTimerMs = 24LL * 60 * 60 * 1000;

}  // namespace

const CommandSpec& MonitorCommandSpec() {
    static const CommandSpec grammar{
        "monitor",
        {"[--seconds N] [--listeners] [--resolve-hosts] "
         "[--export txt|csv --out PATH]"},
        QStringLiteral(
            "Watches this machine's TCP connections twice a second, as the Connection\n"
            "Monitor page does, and prints each connection not seen before as one line of\n"
            "the text export (date, time, local address and port, remote address and port,\n"
            "state, remote host name). A connection counts as seen when its local port,\n"
            "remote address, remote port and state match an earlier line. Runs for N\n"
            "seconds (1 to %2, a year), or until Ctrl-C or SIGTERM, which end it as\n"
            "its time does; then --export writes the history to PATH as the window's\n"
            "export (with no connection, a TXT file of one empty line). Past %1 rows the\n"
            "history starts again, as the window's does, and standard error says so: the\n"
            "export then holds the rows since, and no connection is printed twice.\n"
            "When the table cannot be read at the start, the run ends at once and leaves\n"
            "PATH as it was; when it cannot be read later, that is said once, the monitor\n"
            "tries again at every tick, and the run ends with status 1.\n")
            .arg(monitor::ConnectionMonitor::kHistoryLimit)
            .arg(kMostSeconds)
            .toStdString(),
        {
            {kSeconds, {"N"}, "stop after N seconds"},
            {kListeners, {}, "record listening sockets too"},
            {kResolveHosts, {}, "look up each new remote address's host name"},
            {kExport, {"KIND"}, "txt or csv"},
            {kOut, {"PATH"}, "the export file (with --export)"},
        },
        {},
        0,
        0,
        {DoneStatus("done: the time was up, or Ctrl-C or SIGTERM ended the run"),
         FailedStatus("the connection table could not be read, or an output "
                      "could not be written"),
         UsageStatus(false)},
    };
    return grammar;
}

int RunMonitorCommand(const Words& args) {
    const CommandSpec& grammar = MonitorCommandSpec();
    int parseStatus = kOk;
    const auto words = ParseCommandWords(grammar, args, parseStatus);
    if (!words) {
        return parseStatus;
    }
    const ParsedArguments& given = *words;
    std::optional<int> seconds;
    if (given.has(kSeconds)) {
        seconds = NumberIn(given.value(kSeconds), 1, kMostSeconds);
        if (!seconds) {
            return UsageProblem(
                grammar,
                QStringLiteral("--seconds wants a whole number from 1 to %1").arg(kMostSeconds));
        }
    }
    if (given.has(kExport) != given.has(kOut)) {
        return UsageProblem(grammar, QStringLiteral("--export and --out go together"));
    }
    std::optional<monitor::MonitorExportId> kind;
    if (given.has(kExport)) {
        kind = ExportIdFromCliName<monitor::MonitorExportId>(monitor::MonitorExportKinds(),
                                                             Text(given.value(kExport)));
        if (!kind) {
            return UsageProblem(grammar, QStringLiteral("--export wants txt or csv"));
        }
    }

    const StopSignals signals;
    QList<QStringList> history;  // the export's rows: those since the start or the last restart
    const std::string outPath = kind ? given.value(kOut) : std::string();
    const auto writeOut = [&] {
        return kind ? WriteExport(outPath, monitor::MonitorExportLines(history, *kind)) : kOk;
    };
    // A standard output that fails ends the program from inside the hand-over below: the file
    // still gets the rows, the one that could not be printed included.
    SetLastWordsBeforeOutputFailure(writeOut);
    struct ForgetLastWords {
        ~ForgetLastWords() { SetLastWordsBeforeOutputFailure({}); }
    } forgetLastWords;

    monitor::ConnectionMonitor engine(std::make_shared<monitor::SystemConnectionSource>(),
                                      [&](std::span<monitor::HistoryRow> rows) {
                                          for (const monitor::HistoryRow& row : rows) {
                                              QStringList cells = monitor::HistoryCells(row);
                                              const QString line = monitor::MonitorTxtLine(cells);
                                              if (kind) {
                                                  history.append(std::move(cells));
                                              }
                                              out().line(line);
                                          }
                                          out().flush();
                                      });
    engine.setShowListeners(given.has(kListeners));
    engine.setResolveHosts(given.has(kResolveHosts));

    QEventLoop loop;
    int status = kOk;
    bool tableRead = false;    // some tick has read the table
    bool tickFailed = false;   // the tick that is ending could not
    bool failureSaid = false;  // a failed read is said once, however many follow
    QObject::connect(
        &engine, &monitor::ConnectionMonitor::readFailed, &loop, [&](const QString& reason) {
            tickFailed = true;
            status = kFailed;
            if (!tableRead) {
                // Nothing to watch: the run ends here, having written nothing.
                Message(QStringLiteral("cannot read the TCP connection table: %1").arg(reason));
                loop.quit();
            } else if (!failureSaid) {
                Message(QStringLiteral("cannot read the TCP connection table: %1; "
                                       "connections may be missed while this "
                                       "lasts, the monitor tries again at every "
                                       "tick, and the run ends with status 1")
                            .arg(reason));
            }
            failureSaid = true;
        });
    QObject::connect(&engine, &monitor::ConnectionMonitor::tickEnded, &loop, [&](bool full) {
        tableRead = tableRead || !std::exchange(tickFailed, false);
        if (full) {
            // Unlike the window, nothing on screen needs clearing: the connections printed so
            // far stay known and are not printed again; only the export starts again.
            Message(QStringLiteral("more than %1 connections recorded: the --out history "
                                   "starts again from here (a connection is still printed "
                                   "only once)")
                        .arg(monitor::ConnectionMonitor::kHistoryLimit));
            history.clear();
            engine.restartCount();
        }
    });
    // Ctrl-C and SIGTERM end the run as its time limit does.
    std::optional<QSocketNotifier> interrupted;
    if (signals.fd() >= 0) {
        interrupted.emplace(signals.fd(), QSocketNotifier::Read);
        QObject::connect(&*interrupted, &QSocketNotifier::activated, &loop, [&] {
            signals.take();
            loop.quit();
        });
    }
    // A Qt timer takes at most about 24 days (an int of milliseconds): a longer run is made of
    // timers of a day at most, each ending the run only once its deadline has passed.
    QDeadlineTimer deadline(QDeadlineTimer::Forever);
    QTimer timeUp;
    timeUp.setSingleShot(true);
    timeUp.setTimerType(Qt::PreciseTimer);
    const auto armTimeUp = [&] {
        timeUp.start(static_cast<int>(std::min(deadline.remainingTime(), kLongestTimerMs)));
    };
    QObject::connect(&timeUp, &QTimer::timeout, &loop, [&] {
        if (deadline.hasExpired()) {
            loop.quit();
        } else {
            armTimeUp();
        }
    });
    if (seconds) {
        deadline.setRemainingTime(static_cast<qint64>(*seconds) * 1000);
        armTimeUp();
    }
    engine.clear();  // starts the ticks
    // The first one at once, as the window's first clearing is followed by one.
    engine.TimerTimer();
    loop.exec();
    engine.stop();

    // A run that could never read the table produced nothing: an earlier --out file stays.
    status = EndWithExport(status, tableRead, writeOut);
    // A second Ctrl-C while the export was written must not end the program when the signals
    // are let through again: the status decided here is the one that counts.
    while (signals.take() != 0) {
    }
    return status;
}

}  // namespace quendrix::cli
