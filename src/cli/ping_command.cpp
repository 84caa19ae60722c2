#include "cli/ping_command.h"

#include "cli/cli_io.h"
#include "cli/export_kinds.h"
#include "core/result_table_model.h"
#include "core/target.h"
#include "core/target_list_model.h"
#include "net/icmp_echo.h"
#include "tools/ping/ping_export.h"
#include "tools/ping/ping_list.h"
#include "tools/ping/ping_run.h"

#include <QDateTime>
#include <QEventLoop>
#include <QTimer>

#include <algorithm>
#include <memory>
#include <optional>

namespace quendrix::cli {
namespace {

const std::string kRange = "--range";
const std::string kNeighbourhood = "--neighbourhood";
const std::string kSize = "--size";
const std::string kCount = "--count";
const std::string kTimeout = "--timeout";
const std::string kCycles = "--cycles";
const std::string kPer = "--per";
const std::string kExport = "--export";
const std::string kOut = "--out";

struct Request {
    int count = 2;
    int timeoutMs = PingRun::kDefaultTimeoutMs;
    int cycles = 1;
    int perSeconds = 3;
    PingExport kind = PingExport::AllCsv;
};

// The numbers and the kind; a usage problem's text, or nullopt.
std::optional<std::string> readRequest(const ParsedArguments& given, Request& request) {
    // Each bound keeps the milliseconds a number becomes (the wait, the pause between cycles)
    // inside what a timer takes.
    const struct {
        const std::string& option;
        int low;
        int high;
        int* target;
        const char* problem;
    } numbers[] = {
        {kCount, 1, 1000, &request.count, "--count wants a number from 1 to 1000"},
        {kTimeout, 1, 60000, &request.timeoutMs, "--timeout wants milliseconds from 1 to 60000"},
        {kCycles, 1, 1000000, &request.cycles, "--cycles wants a number from 1 to 1000000"},
        {kPer, 0, 86400, &request.perSeconds, "--per wants seconds from 0 to 86400"},
    };
    for (const auto& number : numbers) {
        if (given.has(number.option)) {
            const auto value = NumberIn(given.value(number.option), number.low, number.high);
            if (!value) {
                return number.problem;
            }
            *number.target = *value;
        }
    }
    if (given.has(kExport)) {
        const auto named = KindNamed(PingKinds(), given.value(kExport));
        if (!named) {
            return "unknown export kind '" + given.value(kExport) + "'";
        }
        request.kind = *named;
    }
    return std::nullopt;
}

// Leaves the grid's first count rows alone in it.
void KeepFirstRows(ResultTableModel& grid, int count) {
    if (count >= grid.resultCount()) {
        return;
    }
    std::vector<std::pair<QStringList, ResultTableModel::RowStyle>> kept;
    for (int row = 0; row < count; ++row) {
        QStringList cells;
        for (int column = 0; column < grid.columns(); ++column) {
            cells.append(grid.cell(row, column));
        }
        const bool failed = grid.data(grid.index(row, 0), ResultTableModel::kFailedRole).toBool();
        kept.emplace_back(std::move(cells), failed ? ResultTableModel::RowStyle::Failed
                                                   : ResultTableModel::RowStyle::Normal);
    }
    grid.clearResults();
    for (const auto& [cells, style] : kept) {
        grid.writeRow(cells, style);
    }
}

// Builds a range or a neighbourhood as the page's fills do; an error text when it cannot.
std::optional<QString> buildList(const ParsedArguments& given, QStringList& entries) {
    if (given.has(kRange)) {
        const std::vector<std::string> range = given.values(kRange);
        const PingListFill fill =
            PingRangeList(Text(range.at(0)), Text(range.at(1)), Text(range.at(2)));
        if (fill.outcome != PingListFill::Outcome::Filled) {
            // The page's messages, without their trailing blanks.
            return TrimBlanks(fill.outcome == PingListFill::Outcome::NumberOutside
                                  ? kRangeOutsideMessage
                                  : kRangeNotNumberMessage);
        }
        entries = fill.entries;
        return std::nullopt;
    }
    return NeighbourhoodList(Text(given.value(kNeighbourhood)), given.value(kSize),
                             QStringLiteral("pinged"), entries);
}

}  // namespace

const CommandSpec& PingCommandSpec() {
    static const CommandSpec grammar{
        "ping",
        {"FILE | --range PREFIX FROM TO | --neighbourhood ADDRESS --size N",
         "[--count N] [--timeout MS] [--cycles K] [--per S]", "[--export KIND --out PATH]"},
        "Pings every entry of the list N times (default 2), one echo at a time, each\n"
        "waiting up to MS milliseconds (default 2500). The list is FILE (one target a\n"
        "line), the addresses PREFIX.FROM to PREFIX.TO, or the N + 1 addresses around\n"
        "ADDRESS (N even). --cycles K runs the list K times (default 1), S seconds apart\n"
        "(default 3), appending to the same results.\n"
        "The rows go to standard output as all-csv while they come (LF line ends), or\n"
        "with --out to PATH as KIND (default all-csv; the window's bytes, CR LF), one of:\n" +
            KindNameLines(PingKinds()) +
            "The counts of the last cycle and the rows in all go to standard\n"
            "error when the run has ended:\n"
            "Finished N, Successful N, Failed N, Total Count N.\n",
        {
            {kRange, {"PREFIX", "FROM", "TO"}, "ping PREFIX.FROM to PREFIX.TO"},
            {kNeighbourhood, {"ADDRESS"}, "ping the addresses around ADDRESS"},
            {kSize, {"N"}, "how many around it: even, 2-65536"},
            {kCount, {"N"}, "echoes per entry, 1-1000"},
            {kTimeout, {"MS"}, "wait per echo, 1-60000 ms"},
            {kCycles, {"K"}, "runs of the list, 1-1000000"},
            {kPer, {"S"}, "seconds between runs, 0-86400"},
            {kExport, {"KIND"}, "the export kind (with --out)"},
            {kOut, {"PATH"}, "write the rows to PATH"},
        },
        "FILE",
        0,
        1,
        {DoneStatus("done (hosts that do not answer are rows)"),
         FailedStatus("standard output or the --out file could not be written"), UsageStatus(),
         RefusedStatus("no ICMP socket can be opened (the message says how to allow one)"),
         InterruptedStatus(), TerminatedStatus()},
    };
    return grammar;
}

int RunPingCommand(const Words& args) {
    const CommandSpec& grammar = PingCommandSpec();
    int parseStatus = kOk;
    const auto words = ParseCommandWords(grammar, args, parseStatus);
    if (!words) {
        return parseStatus;
    }
    const ParsedArguments& given = *words;
    const int lists = static_cast<int>(given.positionals.size()) +
                      static_cast<int>(given.has(kRange)) +
                      static_cast<int>(given.has(kNeighbourhood));
    if (const auto problem = ListSourceProblem(
            given, lists,
            "missing the list: FILE, --range PREFIX FROM TO or --neighbourhood ADDRESS --size N",
            "give one list: FILE, --range or --neighbourhood")) {
        return UsageProblem(grammar, *problem);
    }
    Request request;
    if (const auto problem = readRequest(given, request)) {
        return UsageProblem(grammar, *problem);
    }

    QStringList entries;
    if (!given.positionals.empty()) {
        auto read = ReadListFile(given.positionals.front());
        if (!read) {
            return kUsage;
        }
        entries = std::move(*read);
    } else if (const auto problem = buildList(given, entries)) {
        Message(*problem);
        return kUsage;
    } else if (entries.isEmpty()) {
        ReportEmptyList();
        return kUsage;
    }

    TargetListModel list;
    list.replaceAll(std::move(entries));
    ResultTableModel grid(PingGridHeaders());
    PingRun run(list, grid, std::make_shared<net::IcmpEcho>());
    run.setTimeout(std::chrono::milliseconds(request.timeoutMs));

    // Without a socket every echo would time out: a script must not read that as "every
    // host is down", so the run ends with the notice. Rows written before it (a name that did
    // not resolve needs no socket) are results; the attempts from it on are not.
    std::optional<int> resultsEnd;  // in the grid, once refused
    QEventLoop* running = nullptr;
    QObject::connect(&run, &PingRun::echoUnavailable, [&](const QString& notice) {
        if (resultsEnd) {
            return;
        }
        Message(notice);
        resultsEnd = grid.resultCount();
        run.stop();
        if (running != nullptr) {
            running->exit(kRefused);
        }
    });

    // Rows are kept in the grid only for an export file. On standard output each collection
    // of rows goes out at once and leaves the grid, so a long run holds no rows.
    const bool toFile = given.has(kOut);
    if (!toFile) {
        out().line(PingCsvHeader());
        out().flush();
    }
    int totalRows = 0;
    int printed = 0;
    const auto takeRows = [&] {
        const int results =
            resultsEnd ? std::min(*resultsEnd, grid.resultCount()) : grid.resultCount();
        totalRows += results - printed;
        if (toFile) {
            printed = results;
            return;
        }
        QString text;
        text.reserve((results - printed) * 48);
        for (; printed < results; ++printed) {
            AppendPingCsvLine(text, grid, printed);
            text += QLatin1Char('\n');
        }
        out().write(text.toLocal8Bit());
        out().flush();
        grid.clearResults();
        printed = 0;
        if (resultsEnd) {
            resultsEnd = 0;  // what is left of the grid came after the notice
        }
    };
    QObject::connect(&run, &PingRun::countersChanged, takeRows);

    // Ctrl-C ends a wait between cycles as well as a cycle.
    const Interruption interruption([&] {
        run.stop();
        if (running != nullptr) {
            running->quit();
        }
    });
    for (int cycle = 0; cycle < request.cycles && !resultsEnd && !interruption.happened();
         ++cycle) {
        if (cycle > 0 && request.perSeconds > 0) {
            QEventLoop wait;
            QTimer::singleShot(request.perSeconds * 1000, &wait, &QEventLoop::quit);
            running = &wait;
            wait.exec();
            running = nullptr;
            if (interruption.happened()) {
                break;
            }
        }
        QEventLoop loop;
        QObject::connect(&run, &PingRun::finished, &loop, &QEventLoop::quit);
        running = &loop;
        run.start(request.count);
        loop.exec();
        running = nullptr;
    }
    takeRows();
    if (resultsEnd) {
        KeepFirstRows(grid, totalRows);
    }
    int status = kOk;
    if (interruption.happened()) {
        interruption.report();
        status = interruption.status();
    } else if (resultsEnd) {
        status = kRefused;
    } else {
        // The run is complete: its counts, then the file (whose failure is the last word).
        const BatchCounters& counters = run.counters();
        PrintCounts(counters.finished, counters.successful, counters.failed, totalRows);
    }
    if (!toFile) {
        return status;
    }
    return EndWithExport(status, totalRows > 0, [&] {
        return WriteExport(
            given.value(kOut),
            PingExportLines(grid, request.kind, run.lastPingCount(), QDateTime::currentDateTime()));
    });
}

}  // namespace quendrix::cli
