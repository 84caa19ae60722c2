#include "cli/whois_command.h"

#include "cli/cli_io.h"
#include "core/export_writer.h"
#include "net/whois_client.h"
#include "tools/whois/whois_export.h"
#include "tools/whois/whois_query.h"
#include "tools/whois/whois_text.h"

#include <QSet>

namespace quendrix::cli {
namespace {

const std::string kServer = "--server";
const std::string kPort = "--port";
const std::string kOut = "--out";
const std::string kFollow = "--follow";

// At most this many queries in all, the first included.
constexpr int kMostQueries = 3;

}  // namespace

const CommandSpec& WhoisCommandSpec() {
    static const CommandSpec grammar{
        "whois",
        {"DOMAIN [--server HOST] [--port N] [--out PATH] [--follow]"},
        QStringLiteral(
            "Asks a whois server about DOMAIN (a domain or a web address, reduced as the\n"
            "window does) and writes the reply's bytes to standard output unchanged, or\n"
            "with --out to PATH as the window's export (each line and CR LF). The server\n"
            "is %1 unless --server names one.\n"
            "A reply longer than 16 MiB is cut there and said so on standard error.\n"
            "--follow also asks the server a reply refers to (a \"refer:\", \"whois:\" or\n"
            "\"Registrar WHOIS Server:\" line), at most %2 queries in all; each reply is\n"
            "preceded on standard error by the name of its server, and a referral that\n"
            "fails is reported there without changing the exit status.\n")
            .arg(whois::kDefaultServer)
            .arg(kMostQueries)
            .toStdString(),
        {
            {kServer, {"HOST"}, "the whois server to ask"},
            {kPort, {"N"}, "its port (default 43)"},
            {kOut, {"PATH"}, "write the export file to PATH"},
            {kFollow, {}, "follow the reply's referral"},
        },
        "DOMAIN",
        1,
        1,
        {DoneStatus("the first query got a reply (an empty one included)"),
         FailedStatus("the first query failed or its reply was cut, or standard "
                      "output or the --out file could not be written"),
         UsageStatus(false)},
    };
    return grammar;
}

int RunWhoisCommand(const Words& args) {
    const CommandSpec& grammar = WhoisCommandSpec();
    int parseStatus = kOk;
    const auto words = ParseCommandWords(grammar, args, parseStatus);
    if (!words) {
        return parseStatus;
    }
    const ParsedArguments& given = *words;
    QString server = whois::kDefaultServer;
    if (given.has(kServer)) {
        server = Text(given.value(kServer)).trimmed();
        if (server.isEmpty()) {
            return UsageProblem(grammar, QStringLiteral("--server wants a host name or address"));
        }
    }
    int port = net::WhoisClient::kDefaultPort;
    if (given.has(kPort)) {
        const auto number = NumberIn(given.value(kPort), 1, 65535);
        if (!number) {
            return UsageProblem(grammar, QStringLiteral("--port wants a number from 1 to 65535"));
        }
        port = *number;
    }
    const bool follow = given.has(kFollow);
    const std::string query =
        whois::QueryBytes(NormaliseWhoisDomain(Text(given.positionals.at(0))));
    const net::WhoisClient client(static_cast<std::uint16_t>(port));

    int status = kOk;
    QByteArrayList exportLines;
    QSet<QString> asked;
    for (int queries = 0; queries < kMostQueries; ++queries) {
        const bool first = queries == 0;
        asked.insert(server.toLower());
        if (follow) {
            err() << '[' << server << "]\n";
            err().flush();
        }
        const auto reply = client.query(server.toLocal8Bit().toStdString(), query);
        if (!reply) {
            Message(QStringLiteral("%1: %2").arg(
                server, QString::fromLocal8Bit(reply.error().text.c_str())));
            if (first) {
                status = kFailed;
            }
            break;
        }
        if (given.has(kOut)) {
            exportLines += whois::ReplyLines(*reply);
        } else {
            out().write(QByteArray::fromStdString(reply->bytes));
            out().flush();
        }
        if (reply->cut) {
            Message(QStringLiteral("%1: the reply was cut at 16 MiB").arg(server));
            if (first) {
                status = kFailed;
            }
            break;
        }
        if (!follow) {
            break;
        }
        const auto referral = whois::ReferralServer(SplitWhoisReply(QByteArray::fromRawData(
            reply->bytes.data(), static_cast<qsizetype>(reply->bytes.size()))));
        if (!referral || asked.contains(referral->toLower())) {
            break;
        }
        server = *referral;
    }

    if (given.has(kOut)) {
        const std::string path = given.value(kOut);
        // A failed first query exports what the window would hold: nothing.
        if (const auto error = WriteExportFile(path, whois::WhoisExportLines(exportLines),
                                               whois::kWhoisExportEncoding)) {
            Message(whois::CannotCreateFileText(Text(path), *error));
            return kFailed;
        }
    }
    return status;
}

}  // namespace quendrix::cli
