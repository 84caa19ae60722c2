#include "cli/country_command.h"

#include "cli/cli_io.h"
#include "tools/country/country_export.h"
#include "tools/country/country_grid_model.h"
#include "tools/country/country_lookup.h"
#include "tools/country/owner_table.h"

#include <QDateTime>

#include <optional>
#include <stop_token>

namespace quendrix::cli {
namespace {

using whereis::CountryExportKind;

const char kUsageText[] =
    "usage: quendrix-cli country FILE [--export KIND --out PATH]\n"
    "       quendrix-cli country --address A.B.C.D\n"
    "KIND: ok-htm, ok-csv, all-htm, all-csv\n";

std::optional<CountryExportKind> kindNamed(const QString& name) {
    return ExportIdFromCliName<CountryExportKind>(whereis::CountryExportKinds(), name);
}

int usage(const QString& problem) {
    err() << "quendrix-cli: country: " << problem << "\n" << kUsageText;
    return kUsage;
}

}  // namespace

int RunCountryCommand(const QStringList& args) {
    QString file;
    QString address;
    QString outPath;
    std::optional<CountryExportKind> kind;
    bool addressGiven = false;
    for (int i = 0; i < args.size(); ++i) {
        const QString& arg = args.at(i);
        if (arg == QLatin1String("--help") || arg == QLatin1String("-h")) {
            out() << kUsageText;
            return kOk;
        }
        const bool takesValue = arg == QLatin1String("--address") ||
                                arg == QLatin1String("--export") || arg == QLatin1String("--out");
        if (takesValue && i + 1 >= args.size()) {
            return usage(arg + QStringLiteral(" needs a value"));
        }
        if (arg == QLatin1String("--address")) {
            address = args.at(++i);
            addressGiven = true;
        } else if (arg == QLatin1String("--export")) {
            kind = kindNamed(args.at(++i));
            if (!kind) {
                return usage(QStringLiteral("unknown export kind '%1'").arg(args.at(i)));
            }
        } else if (arg == QLatin1String("--out")) {
            outPath = args.at(++i);
        } else if (arg.startsWith(QLatin1Char('-')) && arg.size() > 1) {
            return usage(QStringLiteral("unknown option '%1'").arg(arg));
        } else if (file.isEmpty()) {
            file = arg;
        } else {
            return usage(QStringLiteral("one FILE only"));
        }
    }

    if (addressGiven) {
        if (!file.isEmpty() || kind || !outPath.isEmpty()) {
            return usage(QStringLiteral("--address takes no FILE and no export"));
        }
        // The table alone: the text is not resolved, so a name gives X.
        out() << whereis::LookupOwner(QStringView(address)) << "\n";
        return kOk;
    }
    if (file.isEmpty()) {
        return usage(QStringLiteral("no FILE given"));
    }
    if (kind.has_value() != !outPath.isEmpty()) {
        return usage(QStringLiteral("--export and --out go together"));
    }

    // The errors after the usage carry no command name.
    const QString errorPrefix = QStringLiteral("quendrix-cli: ");
    const std::optional<QStringList> entries = ReadListFile(file, errorPrefix);
    if (!entries) {
        return kUsage;
    }

    whereis::BatchSource source;
    source.count = [&] { return static_cast<int>(entries->size()); };
    source.entryAt = [&](int position) -> std::optional<QString> {
        if (position < 0 || position >= entries->size()) {
            return std::nullopt;
        }
        return entries->at(position);
    };
    // For a file the rows are kept in the grid model the page uses, so that the export bytes
    // are the page's; on standard output they stream as they come.
    whereis::CountryGridModel grid;
    whereis::BatchEvents events;
    int successful = 0;
    int failed = 0;
    if (!kind) {
        out() << whereis::CountryCsvHeader() << "\n";
    }
    events.rowDone = [&](const whereis::BatchRow& row) {
        successful = row.successfulCount;
        failed = row.failedCount;
        if (kind) {
            grid.writeResult(row.entry, row.owner);
        } else {
            out() << whereis::CountryCsvLine(row.entry, row.owner) << "\n";
            out().flush();
        }
    };
    whereis::RunBatchLookup(source, events, std::stop_token());
    err() << "Successful: " << successful << ", Failed: " << failed << "\n";

    if (kind) {
        const QStringList lines =
            whereis::CountryExportLines(grid, *kind, QDateTime::currentDateTime());
        return WriteExport(outPath, lines, errorPrefix);
    }
    return kOk;
}

}  // namespace quendrix::cli
