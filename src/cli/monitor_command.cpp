#include "cli/monitor_command.h"

#include "cli/cli_io.h"
#include "tools/monitor/connection_monitor.h"
#include "tools/monitor/monitor_export.h"

#include <QCoreApplication>
#include <QSocketNotifier>
#include <QTimer>

#include <memory>

#include <unistd.h>

namespace quendrix::cli {
namespace {

const std::string kSeconds = "--seconds";
const std::string kListeners = "--listeners";
const std::string kResolveHosts = "--resolve-hosts";
const std::string kExport = "--export";
const std::string kOut = "--out";

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
            "seconds, or until interrupted (Ctrl-C); then --export writes the history to\n"
            "PATH as the window's export. Past %1 lines the history starts again, as the\n"
            "window's does, and that is said on standard error.\n")
            .arg(monitor::ConnectionMonitor::kHistoryLimit)
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
        {DoneStatus(), FailedStatus("standard output or the --out file could not be written"),
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
        seconds = NumberIn(given.value(kSeconds), 1, 24 * 60 * 60 * 365);
        if (!seconds) {
            return UsageProblem(grammar, QStringLiteral("--seconds wants a whole number from 1"));
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
    QList<QStringList> history;
    monitor::ConnectionMonitor engine(std::make_shared<monitor::SystemConnectionSource>(),
                                      [&](std::span<monitor::HistoryRow> rows) {
                                          for (const monitor::HistoryRow& row : rows) {
                                              QStringList cells = monitor::HistoryCells(row);
                                              out().line(monitor::MonitorTxtLine(cells));
                                              if (kind) {
                                                  history.append(std::move(cells));
                                              }
                                          }
                                          out().flush();
                                      });
    engine.setShowListeners(given.has(kListeners));
    engine.setResolveHosts(given.has(kResolveHosts));

    QEventLoop loop;
    QObject::connect(&engine, &monitor::ConnectionMonitor::tickEnded, &loop, [&](bool full) {
        if (full) {
            Message(QStringLiteral("more than %1 connections recorded; the history starts again")
                        .arg(monitor::ConnectionMonitor::kHistoryLimit));
            history.clear();
            engine.clear();
        }
    });
    QSocketNotifier interrupted(signals.fd(), QSocketNotifier::Read);
    QObject::connect(&interrupted, &QSocketNotifier::activated, &loop, &QEventLoop::quit);
    if (seconds) {
        QTimer::singleShot(*seconds * 1000, &loop, &QEventLoop::quit);
    }
    engine.clear();  // starts the ticks
    engine.tick();   // the first one at once, as the window's first clearing is followed by one
    loop.exec();
    engine.stop();

    if (kind) {
        return WriteExport(given.value(kOut), monitor::MonitorExportLines(history, *kind));
    }
    return kOk;
}

}  // namespace quendrix::cli
