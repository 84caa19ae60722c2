#include "cli/convert_command.h"

#include "cli/cli_io.h"
#include "core/errors.h"
#include "core/neighbourhood.h"
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

void printConvertUsage(QTextStream& stream) {
    stream << "Usage: quendrix-cli convert --to-ip FILE | --to-name FILE\n"
              "                            | --neighbourhood ADDRESS --size N\n"
              "                            [--export KIND --out PATH] [--in-flight N]\n"
              "\n"
              "Converts every entry of FILE (one target per line) from name to addresses\n"
              "(--to-ip) or from address to name (--to-name), or the N + 1 addresses around\n"
              "ADDRESS to names (--neighbourhood; N even). Rows go to standard output as\n"
              "all-csv, or with --out to PATH as KIND, one of:\n";
    for (const ExportKind& kind : ConversionExportKinds()) {
        stream << "  " << kind.cliName << "\n";
    }
    stream << "--in-flight N: look-ups at once (1-256, default " << BatchWorkerOptions{}.inFlight
           << ").\n"
              "The counts go to standard error: Finished N, Successful N, Failed N.\n"
              "Exit status: 0 the run completed (failed look-ups are rows), 1 the export\n"
              "could not be written, 2 bad usage, an unreadable file or nothing to convert.\n";
    stream.flush();
}

constexpr char kCommand[] = "convert";

struct Request {
    std::optional<ConvertMode> mode;
    QString file;
    QString neighbourhoodAddress;
    QString neighbourhoodSize;
    ConversionExport kind = ConversionExport::AllCsv;
    bool kindGiven = false;
    QString out;
    int inFlight = BatchWorkerOptions{}.inFlight;
};

// Parses the arguments; returns an error text for bad usage.
std::optional<QString> parse(const QStringList& args, Request& request) {
    for (int i = 0; i < args.size(); ++i) {
        const QString& option = args.at(i);
        if (i + 1 >= args.size()) {
            return QStringLiteral("'%1' needs a value").arg(option);
        }
        const QString& value = args.at(++i);
        if (option == QLatin1String("--to-ip") || option == QLatin1String("--to-name")) {
            if (request.mode) {
                return QStringLiteral("give one list: --to-ip, --to-name or --neighbourhood");
            }
            request.mode =
                option == QLatin1String("--to-ip") ? ConvertMode::NameToIp : ConvertMode::IpToName;
            request.file = value;
        } else if (option == QLatin1String("--neighbourhood")) {
            if (request.mode) {
                return QStringLiteral("give one list: --to-ip, --to-name or --neighbourhood");
            }
            request.mode = ConvertMode::IpToName;
            request.neighbourhoodAddress = value;
        } else if (option == QLatin1String("--size")) {
            request.neighbourhoodSize = value;
        } else if (option == QLatin1String("--export")) {
            const auto kind = ExportIdFromCliName<ConversionExport>(ConversionExportKinds(), value);
            if (!kind) {
                return QStringLiteral("unknown export kind '%1'").arg(value);
            }
            request.kind = *kind;
            request.kindGiven = true;
        } else if (option == QLatin1String("--out")) {
            request.out = value;
        } else if (option == QLatin1String("--in-flight")) {
            const auto number = NumberIn(value, 1, 256);
            if (!number) {
                return QStringLiteral("--in-flight wants a number from 1 to 256");
            }
            request.inFlight = *number;
        } else {
            return QStringLiteral("unknown option '%1'").arg(option);
        }
    }
    if (!request.mode) {
        return QStringLiteral("give a list: --to-ip FILE, --to-name FILE or --neighbourhood");
    }
    if (request.neighbourhoodAddress.isEmpty() != request.neighbourhoodSize.isEmpty()) {
        return QStringLiteral("--neighbourhood and --size go together");
    }
    if (request.kindGiven && request.out.isEmpty()) {
        return QStringLiteral("--export needs --out PATH");
    }
    return std::nullopt;
}

// The neighbourhood as the list, as the page builds it; an error text when there is none.
std::optional<QString> neighbourhoodList(const Request& request, QStringList& entries) {
    const auto size = NumberIn(request.neighbourhoodSize, 2, 65536);
    if (!size || *size % 2 != 0) {
        return QStringLiteral("--size wants an even number from 2 to 65536");
    }
    std::optional<std::array<int, 4>> octets;
    try {
        octets = ParseDottedAddress(request.neighbourhoodAddress);
    } catch (const UserError& error) {
        return error.message();
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

int RunConvertCommand(const QStringList& args) {
    if (WantsHelp(args)) {
        printConvertUsage(out());
        return kOk;
    }
    Request request;
    if (const auto error = parse(args, request)) {
        return UsageError(kCommand, *error);
    }

    const QString errorPrefix = ErrorPrefix(kCommand);
    QStringList entries;
    if (!request.neighbourhoodAddress.isEmpty()) {
        if (const auto error = neighbourhoodList(request, entries)) {
            return UsageError(kCommand, *error);
        }
    } else {
        const auto read = ReadListFile(request.file, errorPrefix);
        if (!read) {
            return kUsage;
        }
        entries = *read;
    }
    if (entries.isEmpty()) {
        err() << errorPrefix << "the list is empty\n";
        return kUsage;
    }

    TargetListModel list;
    list.replaceAll(entries);
    ResultTableModel grid({QStringLiteral("Domain / Host Name"), QStringLiteral("IP Address")});
    BatchConversion batch(list, grid);
    BatchWorkerOptions options;
    options.inFlight = request.inFlight;
    batch.setWorkerOptions(options);
    QEventLoop loop;
    QObject::connect(&batch, &BatchConversion::finished, &loop, &QEventLoop::quit);
    batch.start(*request.mode);
    loop.exec();

    const QStringList lines =
        ConversionExportLines(grid, request.kind, QDateTime::currentDateTime());
    int status = kOk;
    if (request.out.isEmpty()) {
        status = StdoutBytes().write(ExportBytes(lines)) ? kOk : kFailed;
    } else {
        status = WriteExport(request.out, lines, errorPrefix);
    }
    const BatchCounters& counters = batch.counters();
    err() << "Finished " << counters.finished << ", Successful " << counters.successful
          << ", Failed " << counters.failed << "\n";
    return status;
}

}  // namespace quendrix::cli
