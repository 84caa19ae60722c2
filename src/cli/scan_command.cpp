#include "cli/scan_command.h"

#include "cli/cli_io.h"
#include "net/target_text.h"
#include "tools/scanner/http_scan.h"
#include "tools/scanner/link_analyzer.h"

#include <QEventLoop>
#include <QTimer>

#include <array>
#include <csignal>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include <unistd.h>

namespace quendrix::cli {
namespace {

const std::string kFollow = "--follow";
const std::string kReport = "--report";
const std::string kTypes = "--types";
const std::string kDepth = "--depth";
const std::string kConcurrent = "--concurrent";
const std::string kRobots = "--robots";
const std::string kOut = "--out";

// The page's choices.
constexpr int kDefaultDepth = 3;
constexpr int kDefaultConcurrent = 6;
// Deeper than any site's real structure; the queue's own limit bounds the crawl anyway.
constexpr int kMostDepth = 1000;
// More slots than this only queue up at one server.
constexpr int kMostConcurrent = 32;

// all, site, path: the positions of both radio groups of the page.
std::optional<int> ChoiceNamed(const std::string& word) {
    if (word == "all") {
        return 0;
    }
    if (word == "site") {
        return 1;
    }
    if (word == "path") {
        return 2;
    }
    return std::nullopt;
}

// "gif,zip" as the lines of the page's filter box ("gif" LF "zip"). Blanks around a type are
// dropped: "gif, zip" is two types here, where the box would take " zip" as typed and match
// nothing with it.
std::optional<std::string> TypeLines(const std::string& list) {
    std::string lines;
    std::size_t from = 0;
    while (from <= list.size()) {
        std::size_t comma = list.find(',', from);
        if (comma == std::string::npos) {
            comma = list.size();
        }
        const std::string type = net::TrimBlanks(std::string_view(list).substr(from, comma - from));
        if (!type.empty()) {
            lines += type;
            lines += '\n';
        }
        from = comma + 1;
    }
    if (lines.empty()) {
        return std::nullopt;
    }
    return lines;
}

}  // namespace

const CommandSpec& ScanCommandSpec() {
    static const CommandSpec grammar{
        "scan",
        {"ADDRESS [--follow all|site|path] [--report all|site|path] [--types LIST] "
         "[--depth N] [--concurrent N] [--robots] [--out PATH]"},
        QStringLiteral(
            "Scans a web site as the Website Scanner page does. ADDRESS is what you would\n"
            "type into the page's box: blanks around it, a leading http:// and everything\n"
            "from the first / are dropped (a port stays: 127.0.0.1:8080), and the scan\n"
            "starts at http:// and that host.\n"
            "--follow picks the links that are fetched, --report those that are listed:\n"
            "all of them; site, those on the start's site (hosts that end in the same two\n"
            "labels, as www.example.org and ftp.example.org); path, those on its site and\n"
            "under its path. --report compares a link with the page it is on, and mail\n"
            "addresses pass site and path. --types lists only links of those types (htm\n"
            "for pages, mail for mail addresses) and changes nothing that is fetched.\n"
            "Every link the scan reports goes to standard output as it is found, as its\n"
            "line of the results file: \"type\";\"address\" (htm for a page, an extension\n"
            "such as gif, or mail for a mail address). A pipe or a file gets the bytes as\n"
            "they came; a terminal gets control bytes made visible as cat -v shows them.\n"
            "Each fetch that fails (a status such as 404, a time-out, an address given up\n"
            "after its retries) is said on standard error as it happens.\n"
            "Pages are fetched on a 200 ms tick, up to --concurrent at once; the scan ends\n"
            "about 2 seconds after its last page. Then standard error gets its statistics:\n"
            "\"In queue N, Downloading N, To analyse N, Done N, Retries N, Errors N, Links\n"
            "found N\" (Done: pages received, Retries: fetches tried again, Errors:\n"
            "time-outs and addresses given up).\n"
            "Ctrl-C (or SIGTERM) ends the scan at once: the links so far are printed, the\n"
            "statistics said, and --out written; a run that found no link leaves an\n"
            "existing --out file as it was.\n")
            .toStdString(),
        {
            {kFollow, {"WHICH"}, "the links fetched: all, site (the default) or path"},
            {kReport, {"WHICH"}, "the links listed: all, site (the default) or path"},
            {kTypes, {"LIST"}, "list only these types, comma-separated: gif,zip,mail"},
            {kDepth,
             {"N"},
             QStringLiteral("fetch down to level N, the start being 1 (1-%1, default %2)")
                 .arg(kMostDepth)
                 .arg(kDefaultDepth)
                 .toStdString()},
            {kConcurrent,
             {"N"},
             QStringLiteral("fetch up to N pages at once (1-%1, default %2)")
                 .arg(kMostConcurrent)
                 .arg(kDefaultConcurrent)
                 .toStdString()},
            {kRobots, {}, "also fetch the robots.txt of each new host (on the site's own port)"},
            {kOut, {"PATH"}, "also write the page's export to PATH (addresses, CR LF)"},
        },
        "ADDRESS",
        1,
        1,
        {DoneStatus("the scan ran, whatever its pages answered"),
         FailedStatus("the scan could not start (the message says why), or an output "
                      "could not be written"),
         UsageStatus(false),
         {kInterruptedBase + SIGINT,
          "interrupted by Ctrl-C (SIGINT): the links so far are printed and written to --out"},
         TerminatedStatus()},
    };
    return grammar;
}

int RunScanCommand(const Words& args) {
    const CommandSpec& grammar = ScanCommandSpec();
    int parseStatus = kOk;
    const auto words = ParseCommandWords(grammar, args, parseStatus);
    if (!words) {
        return parseStatus;
    }
    const ParsedArguments& given = *words;
    const std::string& address = given.positionals.at(0);
    if (address.empty()) {
        return UsageProblem(grammar, "ADDRESS is empty: give the host to scan");
    }
    TLinkScan follow = scanInitialSite;
    if (given.has(kFollow)) {
        const auto choice = ChoiceNamed(given.value(kFollow));
        if (!choice) {
            return UsageProblem(grammar, "--follow wants all, site or path");
        }
        follow = static_cast<TLinkScan>(*choice);
    }
    TLinkReport report = reportCurrentSiteLinks;
    if (given.has(kReport)) {
        const auto choice = ChoiceNamed(given.value(kReport));
        if (!choice) {
            return UsageProblem(grammar, "--report wants all, site or path");
        }
        report = static_cast<TLinkReport>(*choice);
    }
    std::optional<std::string> types;
    if (given.has(kTypes)) {
        types = TypeLines(given.value(kTypes));
        if (!types) {
            return UsageProblem(grammar,
                                "--types wants a comma-separated list of types, "
                                "for example gif,zip,mail");
        }
    }
    int depth = kDefaultDepth;
    if (given.has(kDepth)) {
        const auto number = NumberIn(given.value(kDepth), 1, kMostDepth);
        if (!number) {
            return UsageProblem(
                grammar, QStringLiteral("--depth wants a number from 1 to %1").arg(kMostDepth));
        }
        depth = *number;
    }
    int concurrent = kDefaultConcurrent;
    if (given.has(kConcurrent)) {
        const auto number = NumberIn(given.value(kConcurrent), 1, kMostConcurrent);
        if (!number) {
            return UsageProblem(
                grammar,
                QStringLiteral("--concurrent wants a number from 1 to %1").arg(kMostConcurrent));
        }
        concurrent = *number;
    }
    const bool toFile = given.has(kOut);
    const std::string outPath = given.value(kOut);
    // The page's start address: the box's text reduced to a host, "http://" in front. The
    // reduction works on the bytes as given, so a host is never changed on its way.
    const std::string start = "http://" + net::ReduceTarget(address);

    // Addresses are bytes from the network: shown harmlessly on a terminal, kept in a pipe.
    const bool terminal = StandardOutputIsTerminal();
    const bool utf8 = LocaleIsUtf8();
    const bool errorTerminal = ::isatty(STDERR_FILENO) == 1;

    QStringList addresses;  // the export's lines, kept only for --out
    long long linksFound = 0;
    std::array<int, 6> statistics{};
    const auto writeOut = [&] {
        if (const auto error = WriteExportFile(outPath, addresses, TextEncoding::Latin1)) {
            Message(outPath + ": " + error->toStdString());
            return kFailed;
        }
        return kOk;
    };
    // A standard output that fails ends the program from inside a link's line: the file
    // still gets the addresses, that link's included.
    if (toFile) {
        SetLastWordsBeforeOutputFailure(writeOut);
    }
    struct ForgetLastWords {
        ~ForgetLastWords() { SetLastWordsBeforeOutputFailure({}); }
    } forgetLastWords;

    QEventLoop loop;
    // Made before the scanner, whose network thread then inherits the blocked signals.
    const Interruption interruption([&] { loop.quit(); });
    auto scan = std::make_unique<THttpScan>();
    scan->SetFileOfResults({});
    scan->SetLinkScan(follow);
    scan->SetLinkReport(report);
    scan->SetDepthSearchLevel(depth);
    scan->SetConcurrentDownloads(concurrent);
    scan->SetSeekRobotsTxt(given.has(kRobots));
    if (types) {
        scan->SetTypeFilterText(*types);
        scan->SetTypeFilterEnabled(true);
    }
    scan->ShowMessage = [](const std::string& text) { Message(std::string_view(text)); };
    scan->OnLinkFound = [&](const std::string& urlFound, const std::string& typeLink,
                            const std::string&, const std::string&, const std::string&,
                            const std::string&, const std::string&, std::string&, char, int,
                            bool&) {
        ++linksFound;
        if (toFile) {
            addresses.append(
                QString::fromLatin1(urlFound.data(), static_cast<qsizetype>(urlFound.size())));
        }
        const std::string line = ResultsFileLine(typeLink, urlFound);
        out().line(terminal ? VisibleBytes(line, utf8) : line);
    };
    scan->OnUpdatedStats = [&](int inQueue, int downloading, int toAnalyze, int done, int retries,
                               int errors) {
        statistics = {inQueue, downloading, toAnalyze, done, retries, errors};
    };
    scan->OnError = [&](const std::string& url, std::uint32_t code, const std::string& text) {
        std::string said = url + " (" + std::to_string(code) + ")";
        if (!text.empty()) {
            said += " " + text;
        }
        Message(std::string_view(errorTerminal ? VisibleBytes(said, utf8) : said));
    };
    scan->OnWorking = [&](bool working) {
        if (!working) {
            loop.quit();
        }
    };
    // Only a shut-down ends the program through the component; this command never asks for one.
    scan->EndProgram = [&] { loop.quit(); };
    // The links of a tick reach the reader when the tick is over: connected after the
    // component's own tick, this runs right after it.
    QObject::connect(&scan->Timer(), &QTimer::timeout, &loop, [] { out().flush(); });

    if (!scan->StartScan(start)) {
        // The component said why; nothing was found, so an existing --out file stays.
        return kFailed;
    }
    loop.exec();
    // Ends every fetch at once (an interrupted scan does not wait for its stop to settle).
    scan.reset();
    out().flush();

    err() << "In queue " << statistics[0] << ", Downloading " << statistics[1] << ", To analyse "
          << statistics[2] << ", Done " << statistics[3] << ", Retries " << statistics[4]
          << ", Errors " << statistics[5] << ", Links found " << linksFound << "\n";
    err().flush();
    interruption.report();
    const int status = interruption.status();
    if (!toFile) {
        return status;
    }
    return EndWithExport(status, linksFound > 0, writeOut);
}

}  // namespace quendrix::cli
