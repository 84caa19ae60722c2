#include "cli/whois_command.h"

#include "cli/cli_io.h"
#include "core/export_writer.h"
#include "net/whois_client.h"
#include "tools/whois/whois_export.h"
#include "tools/whois/whois_query.h"
#include "tools/whois/whois_text.h"

#include <QSet>

#include <csignal>
#include <functional>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <thread>

namespace quendrix::cli {
namespace {

const std::string kServer = "--server";
const std::string kPort = "--port";
const std::string kOut = "--out";
const std::string kFollow = "--follow";

// At most this many queries in all, the first included.
constexpr int kMostQueries = 3;

// What the queries' thread shares with the main thread: the reply text printed line by line
// as it arrives, what the --out file will hold, and the status. After an interrupt nothing
// more is printed or said.
class WhoisRun {
  public:
    enum class Shown {
        Kept,         // --out: nothing on standard output
        Raw,          // a pipe or a file: every byte as it came
        Visible,      // a terminal: control bytes and bytes of 128 or more made visible
        VisibleUtf8,  // a UTF-8 terminal: control bytes made visible, characters kept
    };

    explicit WhoisRun(Shown shown) : m_shown(shown) {}

    void arrived(std::string_view bytes) {
        std::lock_guard lock(m_mutex);
        if (m_closed) {
            return;
        }
        m_produced = m_produced || !bytes.empty();
        m_current += bytes;
        if (m_shown == Shown::Kept) {
            return;
        }
        // Up to the last LF that arrived: whole lines are shown as they come and not kept.
        // Only the new bytes are searched, so a long line costs no more than short ones.
        if (const auto last = bytes.rfind('\n'); last != std::string_view::npos) {
            const std::size_t end = m_current.size() - bytes.size() + last + 1;
            print(std::string_view(m_current).substr(0, end));
            m_current.erase(0, end);
        }
    }

    // A query ended: with its reply, or with nothing when it failed (what arrived of it
    // stays, as printed).
    void queryEnded(const net::WhoisReply* reply) {
        std::lock_guard lock(m_mutex);
        if (!m_closed) {
            endQuery(reply);
        }
    }

    // The first query got a reply, an empty one included.
    void firstReplied() {
        std::lock_guard lock(m_mutex);
        m_produced = true;
    }

    // Says something on standard error unless interrupted; false when interrupted.
    bool say(const std::function<void()>& message) {
        std::lock_guard lock(m_mutex);
        if (m_closed) {
            return false;
        }
        message();
        return true;
    }

    void setStatus(int status) {
        std::lock_guard lock(m_mutex);
        m_status = status;
    }
    int status() const {
        std::lock_guard lock(m_mutex);
        return m_status;
    }

    // The lines for --out: nothing when no reply text came and no query got a reply.
    std::optional<QByteArrayList> exportLines() const {
        std::lock_guard lock(m_mutex);
        return exportLinesLocked();
    }

    // Ends the run where it is: what arrived of the query in progress is printed and kept.
    std::optional<QByteArrayList> interrupt() {
        std::lock_guard lock(m_mutex);
        if (!m_closed) {
            endQuery(nullptr);
            m_closed = true;
        }
        return exportLinesLocked();
    }

  private:
    std::optional<QByteArrayList> exportLinesLocked() const {
        if (!m_produced) {
            return std::nullopt;
        }
        return m_lines;
    }

    void endQuery(const net::WhoisReply* reply) {
        if (m_shown != Shown::Kept) {
            print(m_current);
        } else if (reply) {
            m_lines += whois::ReplyLines(*reply);
        } else {
            m_lines += SplitWhoisReply(QByteArray::fromStdString(m_current));
        }
        m_current.clear();
    }

    void print(std::string_view bytes) {
        if (bytes.empty()) {
            return;
        }
        if (m_shown == Shown::Raw) {
            out().write(bytes);
        } else {
            out().write(VisibleBytes(bytes, m_shown == Shown::VisibleUtf8));
        }
        out().flush();
    }

    const Shown m_shown;
    mutable std::mutex m_mutex;
    // The query in progress: its reply so far with --out, else the part after its last LF.
    std::string m_current;
    QByteArrayList m_lines;   // with --out, the lines of the replies that ended
    bool m_produced = false;  // reply text came, or the first query got a reply
    bool m_closed = false;
    int m_status = kOk;
};

}  // namespace

const CommandSpec& WhoisCommandSpec() {
    static const CommandSpec grammar{
        "whois",
        {"DOMAIN [--server HOST] [--port N] [--out PATH] [--follow]"},
        QStringLiteral(
            "Asks a whois server about DOMAIN (a domain or a web address, reduced as the\n"
            "window does) and writes the reply to standard output line by line as it\n"
            "arrives, or with --out to PATH as the window's export (each line and CR LF).\n"
            "The server is %1 unless --server names one.\n"
            "There is no time-out.\n"
            "A pipe or a file gets the reply's bytes unchanged; a terminal gets control\n"
            "bytes made visible as cat -v shows them (TAB, LF and a CR before a LF kept),\n"
            "so a reply cannot drive the terminal.\n"
            "A reply longer than 16 MiB is cut there and said so on standard error.\n"
            "--follow also asks the server a reply refers to (a \"refer:\", \"whois:\" or\n"
            "\"Registrar WHOIS Server:\" line naming a host name with a dot, or a dotted\n"
            "address that is not 0.x.x.x or 127.x.x.x), at most %2 queries in all; each\n"
            "reply is preceded on standard error by the name of its server, and a referral\n"
            "that fails is reported there without changing the exit status.\n"
            "Ctrl-C (or SIGTERM) ends the run at once: the reply text so far is printed\n"
            "and written to --out. A run that got no reply leaves an existing --out file\n"
            "as it was.\n")
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
         UsageStatus(false),
         {kInterruptedBase + SIGINT, "interrupted by Ctrl-C (SIGINT)"},
         {kInterruptedBase + SIGTERM, "ended by SIGTERM"}},
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
    QString initialServer = whois::kDefaultServer;
    if (given.has(kServer)) {
        initialServer = Text(given.value(kServer)).trimmed();
        if (initialServer.isEmpty()) {
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
    const bool toFile = given.has(kOut);

    WhoisRun run(
        toFile ? WhoisRun::Shown::Kept
               : (StandardOutputIsTerminal()
                      ? (LocaleIsUtf8() ? WhoisRun::Shown::VisibleUtf8 : WhoisRun::Shown::Visible)
                      : WhoisRun::Shown::Raw));
    // Made before the worker starts, so that it inherits the blocked signals.
    const StopSignals signals;
    const EndSignal ended;
    std::jthread worker([&](std::stop_token stop) {
        QSet<QString> asked;
        QString server = initialServer;
        for (int queries = 0; queries < kMostQueries; ++queries) {
            const bool first = queries == 0;
            asked.insert(server.toLower());
            if (follow && !run.say([&] {
                    err() << '[' << server << "]\n";
                    err().flush();
                })) {
                break;
            }
            const auto reply = client.query(server.toLocal8Bit().toStdString(), query, stop,
                                            [&](std::string_view bytes) { run.arrived(bytes); });
            run.queryEnded(reply ? &*reply : nullptr);
            if (!reply) {
                if (reply.code() != ErrorCode::Stopped) {
                    run.say([&] {
                        Message(QStringLiteral("%1: %2").arg(
                            server, QString::fromLocal8Bit(reply.error().text.c_str())));
                    });
                }
                if (first) {
                    run.setStatus(kFailed);
                }
                break;
            }
            if (first) {
                run.firstReplied();
            }
            if (reply->cut) {
                run.say([&] {
                    Message(QStringLiteral("%1: the reply was cut at 16 MiB").arg(server));
                });
                if (first) {
                    run.setStatus(kFailed);
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
        ended.raise();
    });

    const std::string path = given.value(kOut);
    // The reply text that arrived goes to the file whatever ended the run; a run that got
    // no reply at all leaves an existing file as it was.
    const auto writeOut = [&](const std::optional<QByteArrayList>& lines, int status) {
        if (!toFile) {
            return status;
        }
        return EndWithExport(status, lines.has_value(), [&] {
            if (const auto error = WriteExportFile(path, whois::WhoisExportLines(*lines),
                                                   whois::kWhoisExportEncoding)) {
                Message(whois::CannotCreateFileText(Text(path), *error));
                return kFailed;
            }
            return kOk;
        });
    };

    if (!ended.waitForEndOrSignal(signals)) {
        const int signal = signals.take();
        const auto lines = run.interrupt();
        worker.request_stop();
        return ended.endInterrupted(signal, [&](int status) { return writeOut(lines, status); });
    }
    worker.join();
    return writeOut(run.exportLines(), run.status());
}

}  // namespace quendrix::cli
