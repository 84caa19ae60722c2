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

#include <memory>
#include <optional>

namespace quendrix::cli {
namespace {

const QString kRange = QStringLiteral("--range");
const QString kNeighbourhood = QStringLiteral("--neighbourhood");
const QString kSize = QStringLiteral("--size");
const QString kCount = QStringLiteral("--count");
const QString kTimeout = QStringLiteral("--timeout");
const QString kCycles = QStringLiteral("--cycles");
const QString kPer = QStringLiteral("--per");
const QString kExport = QStringLiteral("--export");
const QString kOut = QStringLiteral("--out");

struct Request {
    int count = 2;
    int timeoutMs = PingRun::kDefaultTimeoutMs;
    int cycles = 1;
    int perSeconds = 3;
    PingExport kind = PingExport::AllCsv;
};

// The numbers and the kind; a usage problem's text, or nullopt.
std::optional<QString> readRequest(const ParsedArguments& given, Request& request) {
    const struct {
        const QString& option;
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
                return QString::fromLatin1(number.problem);
            }
            *number.target = *value;
        }
    }
    if (given.has(kExport)) {
        const auto named = KindNamed(PingKinds(), given.value(kExport));
        if (!named) {
            return QStringLiteral("unknown export kind '%1'").arg(given.value(kExport));
        }
        request.kind = *named;
    }
    return std::nullopt;
}

// Builds a range or a neighbourhood as the page's fills do; an error text when it cannot.
std::optional<QString> buildList(const ParsedArguments& given, QStringList& entries) {
    if (given.has(kRange)) {
        const QStringList range = given.values(kRange);
        const PingListFill fill = PingRangeList(range.at(0), range.at(1), range.at(2));
        if (fill.outcome != PingListFill::Outcome::Filled) {
            // The page's messages, without their trailing blanks.
            return TrimBlanks(fill.outcome == PingListFill::Outcome::NumberOutside
                                  ? kRangeOutsideMessage
                                  : kRangeNotNumberMessage);
        }
        entries = fill.entries;
        return std::nullopt;
    }
    return NeighbourhoodList(given.value(kNeighbourhood), given.value(kSize),
                             QStringLiteral("pinged"), entries);
}

}  // namespace

const CommandSpec& PingCommandSpec() {
    static const CommandSpec grammar{
        QStringLiteral("ping"),
        {QStringLiteral("FILE | --range PREFIX FROM TO | --neighbourhood ADDRESS --size N"),
         QStringLiteral("[--count N] [--timeout MS] [--cycles K] [--per S]"),
         QStringLiteral("[--export KIND --out PATH]")},
        QStringLiteral(
            "Pings every entry of the list N times (default 2), one echo at a time, each\n"
            "waiting up to MS milliseconds (default 2500). The list is FILE (one target a\n"
            "line), the addresses PREFIX.FROM to PREFIX.TO, or the N + 1 addresses around\n"
            "ADDRESS (N even). --cycles K runs the list K times (default 1), S seconds apart\n"
            "(default 3), appending to the same results.\n"
            "The rows go to standard output as all-csv while they come (LF line ends), or\n"
            "with --out to PATH as KIND (default all-csv; the window's bytes, CR LF), one of:\n") +
            KindNameLines(PingKinds()) +
            QStringLiteral("The counts of the last cycle and the rows in all go to standard\n"
                           "error when the run has ended:\n"
                           "Finished N, Successful N, Failed N, Total Count N.\n"),
        {
            {kRange,
             {QStringLiteral("PREFIX"), QStringLiteral("FROM"), QStringLiteral("TO")},
             QStringLiteral("ping PREFIX.FROM to PREFIX.TO")},
            {kNeighbourhood,
             {QStringLiteral("ADDRESS")},
             QStringLiteral("ping the addresses around ADDRESS")},
            {kSize, {QStringLiteral("N")}, QStringLiteral("how many around it: even, 2-65536")},
            {kCount, {QStringLiteral("N")}, QStringLiteral("echoes per entry, 1-1000")},
            {kTimeout, {QStringLiteral("MS")}, QStringLiteral("wait per echo, 1-60000 ms")},
            {kCycles, {QStringLiteral("K")}, QStringLiteral("runs of the list, 1-1000000")},
            {kPer, {QStringLiteral("S")}, QStringLiteral("seconds between runs, 0-86400")},
            {kExport, {QStringLiteral("KIND")}, QStringLiteral("the export kind (with --out)")},
            {kOut, {QStringLiteral("PATH")}, QStringLiteral("write the rows to PATH")},
        },
        QStringLiteral("FILE"),
        0,
        1,
        {DoneStatus(QStringLiteral("done (hosts that do not answer are rows)")),
         FailedStatus(QStringLiteral("standard output or the --out file could not be written")),
         UsageStatus(),
         RefusedStatus(QStringLiteral("no ICMP socket can be opened (the message says how to "
                                      "allow one)"))},
    };
    return grammar;
}

int RunPingCommand(const QStringList& args) {
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
            QStringLiteral("missing the list: FILE, --range PREFIX FROM TO or --neighbourhood "
                           "ADDRESS --size N"),
            QStringLiteral("give one list: FILE, --range or --neighbourhood"))) {
        return UsageProblem(grammar, *problem);
    }
    Request request;
    if (const auto problem = readRequest(given, request)) {
        return UsageProblem(grammar, *problem);
    }

    QStringList entries;
    if (!given.positionals.isEmpty()) {
        auto read = ReadListFile(given.positionals.at(0));
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
    // host is down", so the run ends with the notice.
    bool refused = false;
    QEventLoop* running = nullptr;
    QObject::connect(&run, &PingRun::echoUnavailable, [&](const QString& notice) {
        Message(notice);
        refused = true;
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
        totalRows += grid.resultCount() - printed;
        if (toFile) {
            printed = grid.resultCount();
            return;
        }
        if (refused) {
            return;  // attempts without a socket are not results
        }
        QString text;
        text.reserve((grid.resultCount() - printed) * 48);
        for (; printed < grid.resultCount(); ++printed) {
            AppendPingCsvLine(text, grid, printed);
            text += QLatin1Char('\n');
        }
        out().write(text.toLocal8Bit());
        out().flush();
        grid.clearResults();
        printed = 0;
    };
    QObject::connect(&run, &PingRun::countersChanged, takeRows);

    for (int cycle = 0; cycle < request.cycles && !refused; ++cycle) {
        if (cycle > 0 && request.perSeconds > 0) {
            QEventLoop wait;
            QTimer::singleShot(request.perSeconds * 1000, &wait, &QEventLoop::quit);
            wait.exec();
        }
        QEventLoop loop;
        QObject::connect(&run, &PingRun::finished, &loop, &QEventLoop::quit);
        running = &loop;
        run.start(request.count);
        loop.exec();
        running = nullptr;
    }
    if (refused) {
        return kRefused;
    }
    takeRows();

    // The run is complete: its counts, then the file (whose failure is the last word).
    const BatchCounters& counters = run.counters();
    PrintCounts(counters.finished, counters.successful, counters.failed, totalRows);
    int status = kOk;
    if (toFile) {
        status = WriteExport(
            given.value(kOut),
            PingExportLines(grid, request.kind, run.lastPingCount(), QDateTime::currentDateTime()));
    }
    return status;
}

}  // namespace quendrix::cli
