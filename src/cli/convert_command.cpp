#include "cli/convert_command.h"

#include "cli/cli_io.h"
#include "cli/export_kinds.h"
#include "core/neighbourhood.h"
#include "core/result_table_model.h"
#include "core/target.h"
#include "core/target_list_model.h"
#include "tools/convert/batch_worker.h"
#include "tools/convert/conversion_export.h"

#include <QDateTime>

#include <array>
#include <memory>
#include <optional>
#include <stop_token>

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

// The neighbourhood as the list, as the page builds it; an error text when there is none.
std::optional<QString> neighbourhoodList(const QString& address, const QString& sizeText,
                                         QStringList& entries) {
    const auto size = NumberIn(sizeText, 2, 65536);
    if (!size || *size % 2 != 0) {
        return QStringLiteral("--size wants an even number from 2 to 65536");
    }
    const auto octets = ParseDottedAddress(address);
    if (!octets && octets.code() == ErrorCode::InvalidInput) {
        return QString::fromStdString(octets.error().text);
    }
    if (!octets) {
        return QStringLiteral("Please enter the correct IP address!");
    }
    const Neighbourhood hood = BuildNeighbourhood(*octets, *size);
    switch (hood.outcome) {
        case Neighbourhood::Outcome::BelowZero:
            return QStringLiteral("the neighbourhood would reach below 0.0.0.0: nothing converted");
        case Neighbourhood::Outcome::PastTheEnd:
            return QStringLiteral(
                "the neighbourhood would run past 255.255.255.255: nothing converted");
        case Neighbourhood::Outcome::Complete:
            break;
    }
    entries = hood.addresses;
    return std::nullopt;
}

}  // namespace

const CommandSpec& ConvertCommandSpec() {
    static const CommandSpec spec{
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
    return spec;
}

int RunConvertCommand(const QStringList& args) {
    const CommandSpec& spec = ConvertCommandSpec();
    int parseStatus = kOk;
    const auto words = ParseCommandWords(spec, args, parseStatus);
    if (!words) {
        return parseStatus;
    }
    const ParsedArguments& given = *words;
    if (!given.positionals.isEmpty()) {
        return UsageProblem(spec,
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
        return UsageProblem(spec, *problem);
    }
    ConversionExport kind = ConversionExport::AllCsv;
    if (given.has(kExport)) {
        const auto named = KindNamed(ConvertKinds(), given.value(kExport));
        if (!named) {
            return UsageProblem(
                spec, QStringLiteral("unknown export kind '%1'").arg(given.value(kExport)));
        }
        kind = *named;
    }
    BatchWorkerOptions options;
    if (given.has(kInFlight)) {
        const auto number = NumberIn(given.value(kInFlight), 1, 256);
        if (!number) {
            return UsageProblem(spec, QStringLiteral("--in-flight wants a number from 1 to 256"));
        }
        options.inFlight = *number;
    }

    QStringList entries;
    if (given.has(kNeighbourhood)) {
        if (const auto error =
                neighbourhoodList(given.value(kNeighbourhood), given.value(kSize), entries)) {
            return UsageProblem(spec, *error);
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

    // Rows are kept only for an export file; on standard output each entry's rows go out as
    // soon as the walk reaches it, so a long run holds no more than its list.
    const bool toFile = given.has(kOut);
    std::unique_ptr<ResultTableModel> grid;
    if (toFile) {
        grid = std::make_unique<ResultTableModel>(gridHeaders());
    } else {
        const ResultTableModel empty(gridHeaders());
        out().line(ConversionExportLines(empty, ConversionExport::AllCsv, {}).constFirst());
        out().flush();
    }
    int finished = 0;
    int successful = 0;
    int failed = 0;
    // The walk runs on this thread (its look-ahead pool resolves the entries ahead), so the
    // rows are written in list order and a slow reader holds the walk back instead of
    // letting rows pile up.
    RunBatchWorker(
        mode, list, std::stop_token(),
        [&](int, std::vector<ConvertedRow> rows) {
            for (const ConvertedRow& row : rows) {
                ++finished;
                ++(row.failed ? failed : successful);
                if (grid) {
                    grid->writeRow({row.left, row.right});
                } else {
                    // The all-csv line of the row: the cells as they stand, unquoted.
                    out().line(row.left + QLatin1Char(',') + row.right);
                }
            }
            if (!grid) {
                out().flush();
            }
        },
        options);

    // The run is complete: its counts, then the file (whose failure is the last word).
    PrintCounts(finished, successful, failed);
    int status = kOk;
    if (toFile) {
        status = WriteExport(given.value(kOut),
                             ConversionExportLines(*grid, kind, QDateTime::currentDateTime()));
    }
    return status;
}

}  // namespace quendrix::cli
