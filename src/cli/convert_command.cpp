#include "cli/convert_command.h"

#include "cli/cli_io.h"
#include "cli/export_kinds.h"
#include "core/result_table_model.h"
#include "core/target.h"
#include "core/target_list_model.h"
#include "tools/convert/batch_conversion.h"
#include "tools/convert/conversion_export.h"

#include <QDateTime>
#include <QEventLoop>

#include <optional>

namespace quendrix::cli {
namespace {

const QString kToIp = QStringLiteral("--to-ip");
const QString kToName = QStringLiteral("--to-name");
const QString kNeighbourhood = QStringLiteral("--neighbourhood");
const QString kSize = QStringLiteral("--size");
const QString kExport = QStringLiteral("--export");
const QString kOut = QStringLiteral("--out");
const QString kInFlight = QStringLiteral("--in-flight");

QStringList gridHeaders() {
    return {QStringLiteral("Domain / Host Name"), QStringLiteral("IP Address")};
}

}  // namespace

const CommandSpec& ConvertCommandSpec() {
    static const CommandSpec grammar{
        QStringLiteral("convert"),
        {QStringLiteral("--to-ip FILE | --to-name FILE | --neighbourhood ADDRESS --size N"),
         QStringLiteral("[--export KIND --out PATH] [--in-flight N]")},
        QStringLiteral("Converts every entry of FILE (one target a line) from name to addresses\n"
                       "(--to-ip) or from address to name (--to-name), or the N + 1 addresses\n"
                       "around ADDRESS to names (--neighbourhood). The rows go to standard\n"
                       "output as all-csv while they come (LF line ends), or with --out to PATH\n"
                       "as KIND (default all-csv; the window's bytes, CR LF), one of:\n") +
            KindNameLines(ConvertKinds()) +
            QStringLiteral("The counts go to standard error when the run has ended:\n"
                           "Finished N, Successful N, Failed N.\n"),
        {
            {kToIp, {QStringLiteral("FILE")}, QStringLiteral("convert the names of FILE")},
            {kToName, {QStringLiteral("FILE")}, QStringLiteral("convert the addresses of FILE")},
            {kNeighbourhood,
             {QStringLiteral("ADDRESS")},
             QStringLiteral("convert the addresses around ADDRESS")},
            {kSize, {QStringLiteral("N")}, QStringLiteral("how many around it: even, 2-65536")},
            {kExport, {QStringLiteral("KIND")}, QStringLiteral("the export kind (with --out)")},
            {kOut, {QStringLiteral("PATH")}, QStringLiteral("write the rows to PATH")},
            {kInFlight,
             {QStringLiteral("N")},
             QStringLiteral("look-ups at once, 1-256 (default %1)")
                 .arg(BatchWorkerOptions{}.inFlight)},
        },
        // A file alone is read as a word of its own only to say which option it needs.
        QStringLiteral("FILE"),
        0,
        1,
        {DoneStatus(),
         FailedStatus(QStringLiteral("standard output or the --out file could not be written")),
         UsageStatus()},
    };
    return grammar;
}

int RunConvertCommand(const QStringList& args) {
    const CommandSpec& grammar = ConvertCommandSpec();
    int parseStatus = kOk;
    const auto words = ParseCommandWords(grammar, args, parseStatus);
    if (!words) {
        return parseStatus;
    }
    const ParsedArguments& given = *words;
    if (!given.positionals.isEmpty()) {
        return UsageProblem(grammar,
                            QStringLiteral("'%1' needs its direction: --to-ip FILE (names to "
                                           "addresses) or --to-name FILE (addresses to names)")
                                .arg(given.positionals.at(0)));
    }
    const int lists = static_cast<int>(given.has(kToIp)) + static_cast<int>(given.has(kToName)) +
                      static_cast<int>(given.has(kNeighbourhood));
    if (const auto problem = ListSourceProblem(
            given, lists,
            QStringLiteral("missing the list: --to-ip FILE, --to-name FILE or --neighbourhood "
                           "ADDRESS --size N"),
            QStringLiteral("give one list: --to-ip, --to-name or --neighbourhood"))) {
        return UsageProblem(grammar, *problem);
    }
    ConversionExport kind = ConversionExport::AllCsv;
    if (given.has(kExport)) {
        const auto named = KindNamed(ConvertKinds(), given.value(kExport));
        if (!named) {
            return UsageProblem(
                grammar, QStringLiteral("unknown export kind '%1'").arg(given.value(kExport)));
        }
        kind = *named;
    }
    BatchWorkerOptions options;
    if (given.has(kInFlight)) {
        const auto number = NumberIn(given.value(kInFlight), 1, 256);
        if (!number) {
            return UsageProblem(grammar,
                                QStringLiteral("--in-flight wants a number from 1 to 256"));
        }
        options.inFlight = *number;
    }

    QStringList entries;
    if (given.has(kNeighbourhood)) {
        if (const auto error = NeighbourhoodList(given.value(kNeighbourhood), given.value(kSize),
                                                 QStringLiteral("converted"), entries)) {
            return UsageProblem(grammar, *error);
        }
    } else {
        auto read = ReadListFile(given.has(kToIp) ? given.value(kToIp) : given.value(kToName));
        if (!read) {
            return kUsage;
        }
        entries = std::move(*read);
    }
    const ConvertMode mode = given.has(kToIp) ? ConvertMode::NameToIp : ConvertMode::IpToName;
    TargetListModel list;
    list.replaceAll(std::move(entries));

    // The same batch job the page runs. Rows stay in its grid only for an export file; on
    // standard output each collection of rows goes out at once and leaves the grid, so a long
    // run holds no more than its list.
    const bool toFile = given.has(kOut);
    ResultTableModel grid(gridHeaders());
    BatchConversion batch(list, grid);
    batch.setWorkerOptions(options);
    if (!toFile) {
        out().line(ConversionExportLines(grid, ConversionExport::AllCsv, {}).constFirst());
        out().flush();
    }
    const auto takeRows = [&] {
        if (toFile) {
            return;
        }
        for (int row = 0; row < grid.resultCount(); ++row) {
            // The all-csv line of the row: the cells as they stand, unquoted.
            out().line(grid.cell(row, 0) + QLatin1Char(',') + grid.cell(row, 1));
        }
        out().flush();
        grid.clearResults();
    };
    QObject::connect(&batch, &BatchConversion::countersChanged, takeRows);
    QEventLoop loop;
    QObject::connect(&batch, &BatchConversion::finished, &loop, &QEventLoop::quit);
    batch.start(mode);
    loop.exec();
    takeRows();
    if (batch.outcome().failed()) {
        Message(batch.outcome().text);
        return kFailed;
    }
    const BatchCounters& counters = batch.counters();
    const int finished = counters.finished;
    const int successful = counters.successful;
    const int failed = counters.failed;

    // The run is complete: its counts, then the file (whose failure is the last word).
    PrintCounts(finished, successful, failed);
    int status = kOk;
    if (toFile) {
        status = WriteExport(given.value(kOut),
                             ConversionExportLines(grid, kind, QDateTime::currentDateTime()));
    }
    return status;
}

}  // namespace quendrix::cli
