#include "cli/country_command.h"

#include "cli/cli_io.h"
#include "cli/export_kinds.h"
#include "core/owner_table.h"
#include "core/target_list_model.h"
#include "tools/country/country_batch.h"
#include "tools/country/country_export.h"
#include "tools/country/country_grid_model.h"
#include "tools/country/country_lookup.h"

#include <QDateTime>
#include <QEventLoop>

#include <optional>

namespace quendrix::cli {
namespace {

const std::string kAddress = "--address";
const std::string kExport = "--export";
const std::string kOut = "--out";

}  // namespace

const CommandSpec& CountryCommandSpec() {
    static const CommandSpec grammar{
        "country",
        {"FILE [--export KIND --out PATH]", "--address A.B.C.D"},
        "Looks up the owner or country of every entry of FILE (one target a line,\n"
        "names resolved to their first address). The rows go to standard output\n"
        "as all-csv while they come (LF line ends), or with --out to PATH as KIND\n"
        "(default all-csv; the window's bytes, CR LF), one of:\n" +
            KindNameLines(CountryKinds()) +
            "The counts go to standard error when the run has ended:\n"
            "Finished N, Successful N, Failed N.\n"
            "--address looks up one dotted address in the owner table alone (a\n"
            "name is not resolved) and prints its owner, or X.\n",
        {
            {kAddress, {"A.B.C.D"}, "the owner of one address, from the table"},
            {kExport, {"KIND"}, "the export kind (with --out)"},
            {kOut, {"PATH"}, "write the rows to PATH"},
        },
        "FILE",
        0,
        1,
        {DoneStatus("done (entries without an owner are rows with X)"),
         FailedStatus("the --address has no owner (X), or standard output or the --out file "
                      "could not be written"),
         UsageStatus(), InterruptedStatus(), TerminatedStatus()},
    };
    return grammar;
}

int RunCountryCommand(const Words& args) {
    const CommandSpec& grammar = CountryCommandSpec();
    int parseStatus = kOk;
    const auto words = ParseCommandWords(grammar, args, parseStatus);
    if (!words) {
        return parseStatus;
    }
    const ParsedArguments& given = *words;
    if (given.has(kAddress)) {
        if (!given.positionals.empty() || given.has(kExport) || given.has(kOut)) {
            return UsageProblem(grammar, "--address takes no FILE and no export");
        }
        // The table alone: the text is not resolved, so a name gives X.
        const QString owner = whereis::LookupOwner(QStringView(Text(given.value(kAddress))));
        out().line(owner);
        return whereis::IsSuccessfulOwner(owner) ? kOk : kFailed;
    }
    if (given.positionals.empty()) {
        return UsageProblem(grammar, "missing FILE (or --address A.B.C.D)");
    }
    if (given.has(kExport) && !given.has(kOut)) {
        return UsageProblem(grammar, "missing --out PATH for --export");
    }
    whereis::CountryExportKind kind = whereis::CountryExportKind::AllCsv;
    if (given.has(kExport)) {
        const auto named = KindNamed(CountryKinds(), given.value(kExport));
        if (!named) {
            return UsageProblem(grammar, "unknown export kind '" + given.value(kExport) + "'");
        }
        kind = *named;
    }

    const std::optional<QStringList> entries = ReadListFile(given.positionals.front());
    if (!entries) {
        return kUsage;
    }
    // The country batch job, as the page runs it. Rows are kept, in the grid model the page
    // uses, only for an export file; on standard output each collection of rows goes out at
    // once and leaves the grid, the header at once.
    TargetListModel list;
    list.replaceAll(*entries);
    whereis::CountryGridModel grid;
    whereis::CountryBatch batch(list, grid);
    const bool toFile = given.has(kOut);
    if (!toFile) {
        out().line(whereis::CountryCsvHeader());
        out().flush();
    }
    const auto takeRows = [&] {
        if (toFile) {
            return;
        }
        for (int row = 0; row < grid.resultCount(); ++row) {
            out().line(whereis::CountryCsvLine(grid.cell(row, 0), grid.cell(row, 1)));
        }
        out().flush();
        grid.clearResults();
    };
    QObject::connect(&batch, &whereis::CountryBatch::countersChanged, takeRows);
    QEventLoop loop;
    QObject::connect(&batch, &whereis::CountryBatch::finished, &loop, &QEventLoop::quit);
    const Interruption interruption([&] {
        batch.stop();
        loop.quit();
    });
    batch.start();
    loop.exec();
    takeRows();
    const int status = BatchEndStatus(interruption, batch);
    if (!toFile) {
        return status;
    }
    return EndWithExport(status, grid.resultCount() > 0, [&] {
        return WriteExport(given.value(kOut),
                           whereis::CountryExportLines(grid, kind, QDateTime::currentDateTime()));
    });
}

}  // namespace quendrix::cli
