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

const std::string kToIp = "--to-ip";
const std::string kToName = "--to-name";
const std::string kNeighbourhood = "--neighbourhood";
const std::string kSize = "--size";
const std::string kExport = "--export";
const std::string kOut = "--out";
const std::string kInFlight = "--in-flight";

QStringList gridHeaders() {
    return {QStringLiteral("Domain / Host Name"), QStringLiteral("IP Address")};
}

}  // namespace

const CommandSpec& ConvertCommandSpec() {
    static const CommandSpec grammar{
        "convert",
        {"--to-ip FILE | --to-name FILE | --neighbourhood ADDRESS --size N",
         "[--export KIND --out PATH] [--in-flight N]"},
        "Converts every entry of FILE (one target a line) from name to addresses\n"
        "(--to-ip) or from address to name (--to-name), or the N + 1 addresses\n"
        "around ADDRESS to names (--neighbourhood). The rows go to standard\n"
        "output as all-csv while they come (LF line ends), or with --out to PATH\n"
        "as KIND (default all-csv; the window's bytes, CR LF), one of:\n" +
            KindNameLines(ConvertKinds()) +
            "The counts go to standard error when the run has ended:\n"
            "Finished N, Successful N, Failed N.\n",
        {
            {kToIp, {"FILE"}, "convert the names of FILE"},
            {kToName, {"FILE"}, "convert the addresses of FILE"},
            {kNeighbourhood, {"ADDRESS"}, "convert the addresses around ADDRESS"},
            {kSize, {"N"}, "how many around it: even, 2-65536"},
            {kExport, {"KIND"}, "the export kind (with --out)"},
            {kOut, {"PATH"}, "write the rows to PATH"},
            {kInFlight,
             {"N"},
             "look-ups at once, 1-256 (default " + std::to_string(BatchWorkerOptions{}.inFlight) +
                 ")"},
        },
        // A file alone is read as a word of its own only to say which option it needs.
        "FILE",
        0,
        1,
        {DoneStatus(), FailedStatus("standard output or the --out file could not be written"),
         UsageStatus(), InterruptedStatus(), TerminatedStatus()},
    };
    return grammar;
}

int RunConvertCommand(const Words& args) {
    const CommandSpec& grammar = ConvertCommandSpec();
    int parseStatus = kOk;
    const auto words = ParseCommandWords(grammar, args, parseStatus);
    if (!words) {
        return parseStatus;
    }
    const ParsedArguments& given = *words;
    if (!given.positionals.empty()) {
        return UsageProblem(grammar, "'" + given.positionals.front() +
                                         "' needs its direction: --to-ip FILE (names to "
                                         "addresses) or --to-name FILE (addresses to names)");
    }
    const int lists = static_cast<int>(given.has(kToIp)) + static_cast<int>(given.has(kToName)) +
                      static_cast<int>(given.has(kNeighbourhood));
    if (const auto problem = ListSourceProblem(
            given, lists,
            "missing the list: --to-ip FILE, --to-name FILE or --neighbourhood ADDRESS --size N",
            "give one list: --to-ip, --to-name or --neighbourhood")) {
        return UsageProblem(grammar, *problem);
    }
    ConversionExport kind = ConversionExport::AllCsv;
    if (given.has(kExport)) {
        const auto named = KindNamed(ConvertKinds(), given.value(kExport));
        if (!named) {
            return UsageProblem(grammar, "unknown export kind '" + given.value(kExport) + "'");
        }
        kind = *named;
    }
    BatchWorkerOptions options;
    if (given.has(kInFlight)) {
        const auto number = NumberIn(given.value(kInFlight), 1, 256);
        if (!number) {
            return UsageProblem(grammar, "--in-flight wants a number from 1 to 256");
        }
        options.inFlight = *number;
    }

    QStringList entries;
    if (given.has(kNeighbourhood)) {
        if (const auto error =
                NeighbourhoodList(Text(given.value(kNeighbourhood)), given.value(kSize),
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
    const Interruption interruption([&] {
        batch.stop();
        loop.quit();
    });
    batch.start(mode);
    loop.exec();
    takeRows();
    const int status = BatchEndStatus(interruption, batch);
    if (!toFile) {
        return status;
    }
    return EndWithExport(status, grid.resultCount() > 0, [&] {
        return WriteExport(given.value(kOut),
                           ConversionExportLines(grid, kind, QDateTime::currentDateTime()));
    });
}

}  // namespace quendrix::cli
