#include "cli/ping_command.h"

#include "cli/cli_io.h"
#include "core/errors.h"
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

void printPingUsage(QTextStream& stream) {
    stream << "Usage: quendrix-cli ping FILE | --range PREFIX FROM TO\n"
              "                         | --neighbourhood ADDRESS --size N\n"
              "                         [--count N] [--timeout MS] [--cycles K] [--per S]\n"
              "                         [--export KIND --out PATH]\n"
              "\n"
              "Pings every entry of the list N times (default 2), one echo at a time, each\n"
              "waiting up to MS milliseconds (default 2500). The list is FILE (one target\n"
              "per line), the addresses PREFIX.FROM to PREFIX.TO, or the N + 1 addresses\n"
              "around ADDRESS (N even). --cycles K runs the list K times (default 1), S\n"
              "seconds apart (default 3), appending to the same results.\n"
              "Rows go to standard output as all-csv while they come, or with --out to PATH\n"
              "as KIND (default all-csv), one of:\n";
    for (const ExportKind& kind : PingExportKinds()) {
        stream << "  " << kind.cliName << "\n";
    }
    stream << "The counts of the last cycle and the rows in all go to standard error:\n"
              "Finished N, Successful N, Failed N, Total Count N.\n"
              "Exit status: 0 the run completed (hosts that do not answer are rows), 1 the\n"
              "output could not be written, 2 bad usage, an unreadable file or nothing to\n"
              "ping.\n";
    stream.flush();
}

constexpr char kCommand[] = "ping";

struct Request {
    QString file;
    QStringList range;  // PREFIX FROM TO
    QString neighbourhoodAddress;
    QString neighbourhoodSize;
    int count = 2;
    int timeoutMs = PingRun::kDefaultTimeoutMs;
    int cycles = 1;
    int perSeconds = 3;
    PingExport kind = PingExport::AllCsv;
    bool kindGiven = false;
    QString out;
};

// Parses the arguments; returns an error text for bad usage.
std::optional<QString> parse(const QStringList& args, Request& request) {
    int lists = 0;
    for (int i = 0; i < args.size(); ++i) {
        const QString& option = args.at(i);
        if (!option.startsWith(QLatin1String("--"))) {
            request.file = option;
            ++lists;
            continue;
        }
        const int values = option == QLatin1String("--range") ? 3 : 1;
        if (i + values >= args.size()) {
            return QStringLiteral("'%1' needs %2")
                .arg(option, values == 1 ? QStringLiteral("a value") : QStringLiteral("3 values"));
        }
        const QString& value = args.at(++i);
        if (option == QLatin1String("--range")) {
            request.range = args.mid(i, 3);
            i += 2;
            ++lists;
        } else if (option == QLatin1String("--neighbourhood")) {
            request.neighbourhoodAddress = value;
            ++lists;
        } else if (option == QLatin1String("--size")) {
            request.neighbourhoodSize = value;
        } else if (option == QLatin1String("--count")) {
            const auto number = NumberIn(value, 1, 1000);
            if (!number) {
                return QStringLiteral("--count wants a number from 1 to 1000");
            }
            request.count = *number;
        } else if (option == QLatin1String("--timeout")) {
            const auto number = NumberIn(value, 1, 60000);
            if (!number) {
                return QStringLiteral("--timeout wants milliseconds from 1 to 60000");
            }
            request.timeoutMs = *number;
        } else if (option == QLatin1String("--cycles")) {
            const auto number = NumberIn(value, 1, 1000000);
            if (!number) {
                return QStringLiteral("--cycles wants a number from 1 to 1000000");
            }
            request.cycles = *number;
        } else if (option == QLatin1String("--per")) {
            const auto number = NumberIn(value, 0, 86400);
            if (!number) {
                return QStringLiteral("--per wants seconds from 0 to 86400");
            }
            request.perSeconds = *number;
        } else if (option == QLatin1String("--export")) {
            const auto kind = ExportIdFromCliName<PingExport>(PingExportKinds(), value);
            if (!kind) {
                return QStringLiteral("unknown export kind '%1'").arg(value);
            }
            request.kind = *kind;
            request.kindGiven = true;
        } else if (option == QLatin1String("--out")) {
            request.out = value;
        } else {
            return QStringLiteral("unknown option '%1'").arg(option);
        }
    }
    if (lists != 1) {
        return QStringLiteral("give one list: FILE, --range or --neighbourhood");
    }
    if (request.neighbourhoodAddress.isEmpty() != request.neighbourhoodSize.isEmpty()) {
        return QStringLiteral("--neighbourhood and --size go together");
    }
    if (request.kindGiven && request.out.isEmpty()) {
        return QStringLiteral("--export needs --out PATH");
    }
    return std::nullopt;
}

// Builds a range or a neighbourhood as the page's fills do; an error text when there is
// nothing to ping.
std::optional<QString> buildList(const Request& request, QStringList& entries) {
    if (!request.range.isEmpty()) {
        const PingListFill fill =
            PingRangeList(request.range.at(0), request.range.at(1), request.range.at(2));
        if (fill.outcome != PingListFill::Outcome::Filled) {
            // The page's messages, without their trailing blanks.
            return TrimBlanks(fill.outcome == PingListFill::Outcome::NumberOutside
                                  ? kRangeOutsideMessage
                                  : kRangeNotNumberMessage);
        }
        entries = fill.entries;
        return std::nullopt;
    }
    if (!request.neighbourhoodAddress.isEmpty()) {
        const auto size = NumberIn(request.neighbourhoodSize, 2, 65536);
        if (!size || *size % 2 != 0) {
            return QStringLiteral("--size wants an even number from 2 to 65536");
        }
        PingListFill fill;
        try {
            fill = PingAddressList(request.neighbourhoodAddress, true, *size);
        } catch (const UserError& error) {
            return error.message();
        }
        switch (fill.outcome) {
            case PingListFill::Outcome::Filled:
                entries = fill.entries;
                return std::nullopt;
            case PingListFill::Outcome::BelowZero:
                return QStringLiteral(
                    "the neighbourhood would reach below 0.0.0.0: nothing pinged");
            case PingListFill::Outcome::PastTheEnd:
                return QStringLiteral(
                    "the neighbourhood would run past 255.255.255.255: nothing pinged");
            default:
                return kBadAddressMessage;
        }
    }
    return std::nullopt;
}

}  // namespace

int RunPingCommand(const QStringList& args) {
    if (WantsHelp(args)) {
        printPingUsage(out());
        return kOk;
    }
    Request request;
    if (const auto error = parse(args, request)) {
        return UsageError(kCommand, *error);
    }
    const QString errorPrefix = ErrorPrefix(kCommand);
    QStringList entries;
    if (request.range.isEmpty() && request.neighbourhoodAddress.isEmpty()) {
        const auto read = ReadListFile(request.file, errorPrefix);
        if (!read) {
            return kUsage;
        }
        entries = *read;
    } else if (const auto error = buildList(request, entries)) {
        err() << errorPrefix << *error << "\n";
        return kUsage;
    }
    if (entries.isEmpty()) {
        err() << errorPrefix
              << "the list is empty: please add the IP address or domain/host name\n";
        return kUsage;
    }

    TargetListModel list;
    list.replaceAll(entries);
    ResultTableModel grid(PingGridHeaders());
    PingRun run(list, grid, std::make_shared<net::IcmpEcho>());
    run.setTimeout(std::chrono::milliseconds(request.timeoutMs));
    QObject::connect(&run, &PingRun::echoUnavailable, [&errorPrefix](const QString& notice) {
        err() << errorPrefix << notice << "\n";
        err().flush();
    });

    // Without --out the rows stream to standard output as they are written.
    std::optional<StdoutBytes> stream;
    if (request.out.isEmpty()) {
        stream.emplace();
        stream->write(ExportBytes({PingCsvHeader()}));
    }
    int printed = 0;
    const auto printRows = [&] {
        if (!stream || stream->failed()) {
            return;
        }
        // One text and one write for all the rows of a collection.
        QString text;
        text.reserve((grid.resultCount() - printed) * 48);
        for (; printed < grid.resultCount(); ++printed) {
            AppendPingCsvLine(text, grid, printed);
            text += QLatin1String("\r\n");
        }
        stream->write(text.toLocal8Bit());
    };
    QObject::connect(&run, &PingRun::countersChanged, printRows);

    for (int cycle = 0; cycle < request.cycles; ++cycle) {
        if (cycle > 0 && request.perSeconds > 0) {
            QEventLoop wait;
            QTimer::singleShot(request.perSeconds * 1000, &wait, &QEventLoop::quit);
            wait.exec();
        }
        QEventLoop loop;
        QObject::connect(&run, &PingRun::finished, &loop, &QEventLoop::quit);
        run.start(request.count);
        loop.exec();
    }
    printRows();

    int status = kOk;
    if (stream) {
        status = stream->failed() ? kFailed : kOk;
    } else {
        const QStringList lines =
            PingExportLines(grid, request.kind, run.lastPingCount(), QDateTime::currentDateTime());
        status = WriteExport(request.out, lines, errorPrefix);
    }
    const PingCounters& counters = run.counters();
    err() << "Finished " << counters.finished << ", Successful " << counters.successful
          << ", Failed " << counters.failed << ", Total Count " << grid.resultCount() << "\n";
    return status;
}

}  // namespace quendrix::cli
