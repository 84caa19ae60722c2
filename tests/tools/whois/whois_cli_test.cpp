// quendrix-cli whois as a user runs it, against the tests' own whois server on 127.0.0.1:
// the reply's bytes on standard output as they arrive (made visible on a terminal), the --out
// file the window writes, failures, Ctrl-C and the cut with their statuses, and the
// referrals --follow refuses (those it follows need names: whois_lab_test).
#include "support/cli_runner.h"
#include "support/scripted_server.h"
#include "support/test_files.h"
#include "tools/whois/whois_export.h"
#include "tools/whois/whois_query.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <csignal>
#include <cstdio>
#include <fstream>
#include <thread>

namespace quendrix {
namespace {

using test::RunCli;
using test::WhoisFixtureServer;
using test::WhoisScript;

QString Port(const WhoisFixtureServer& server) {
    return QString::number(server.port());
}

std::string EveryByte() {
    std::string bytes;
    for (int i = 0; i < 256; ++i) {
        bytes += static_cast<char>(i);
    }
    return bytes;
}

TEST(WhoisCli, ReplyBytesUnchangedAndTheWindowsExport) {
    const std::string reply = "Domain: example.com\r\n\r\n" + EveryByte() + "\nlast";
    WhoisFixtureServer server(WhoisScript{reply});
    auto run = RunCli("whois", {"  HTTP://WWW.Example.COM/path", "--server", "127.0.0.1", "--port",
                                Port(server)});
    EXPECT_EQ(run.status, 0) << run.err.toStdString();
    EXPECT_EQ(run.out, QByteArray::fromStdString(reply));
    EXPECT_TRUE(run.err.isEmpty()) << run.err.toStdString();

    QTemporaryDir dir;
    const QString path = dir.filePath("reply.txt");
    run = RunCli("whois",
                 {"example.com", "--server", "localhost", "--port", Port(server), "--out", path});
    EXPECT_EQ(run.status, 0) << run.err.toStdString();
    EXPECT_TRUE(run.out.isEmpty());
    EXPECT_EQ(test::ReadBytes(path),
              ExportFileBytes(whois::WhoisExportLines(whois::ReplyLines({reply, false})),
                              whois::kWhoisExportEncoding));
    EXPECT_EQ(server.received(), (std::vector<std::string>{"example.com\r\n", "example.com\r\n"}));
}

TEST(WhoisCli, FailuresTheCutAndBadUsage) {
    auto run = [] {
        const test::RefusingPort refusing;
        return RunCli("whois", {"example.com", "--server", "127.0.0.1", "--port",
                                QString::number(refusing.port)});
    }();
    EXPECT_EQ(run.status, 1);
    EXPECT_TRUE(run.out.isEmpty());
    EXPECT_TRUE(run.err.contains("Connection refused")) << run.err.toStdString();

    // An empty reply is a reply.
    WhoisFixtureServer empty(WhoisScript{""});
    run = RunCli("whois", {"example.com", "--server", "127.0.0.1", "--port", Port(empty)});
    EXPECT_EQ(run.status, 0) << run.err.toStdString();
    EXPECT_TRUE(run.out.isEmpty());

    // A stream of 100 MB: the first 16 MiB, said to be cut, status 1.
    WhoisFixtureServer endless({"head\r\n", WhoisScript::Ending::Close, 100u * 1000u * 1000u});
    run = RunCli("whois", {"example.com", "--server", "127.0.0.1", "--port", Port(endless)});
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(run.out.size(), static_cast<qsizetype>(net::kWhoisReplyLimit));
    EXPECT_TRUE(run.err.contains("cut at 16 MiB")) << run.err.toStdString();

    for (const QStringList& words :
         {QStringList{"example.com", "--port", "0"}, QStringList{"example.com", "--port", "x"},
          QStringList{"example.com", "--server", " "}, QStringList{}, QStringList{"a", "b"}}) {
        EXPECT_EQ(RunCli("whois", words).status, 2) << words.join(' ').toStdString();
    }
}

TEST(WhoisCli, ARefusedOrLocalReferralIsNotFollowed) {
    // A referral to this computer (by any address form) or a name without a dot is only text.
    for (const char* referral : {"whois: 0\r\n", "refer: 127.1\n", "refer: localhost\r\n",
                                 "whois: 2130706433\r\n", "refer: 0.0.0.0\r\n"}) {
        WhoisFixtureServer server(WhoisScript{referral});
        const auto run = RunCli(
            "whois", {"example.com", "--server", "127.0.0.1", "--port", Port(server), "--follow"});
        EXPECT_EQ(run.status, 0) << run.err.toStdString();
        EXPECT_EQ(run.out, referral);
        EXPECT_EQ(run.err, "[127.0.0.1]\n");
        EXPECT_EQ(server.received().size(), 1u) << referral;
    }
}

// quendrix-cli whois running in the background, its standard output read while it runs.
class RunningWhois {
  public:
    explicit RunningWhois(const QStringList& words) {
        m_process.start(QStringLiteral(QUENDRIX_CLI_PATH), QStringList{"whois"} + words);
        EXPECT_TRUE(m_process.waitForStarted(60000));
    }
    ~RunningWhois() {
        if (m_process.state() != QProcess::NotRunning) {
            m_process.kill();
            m_process.waitForFinished(60000);
        }
    }
    RunningWhois(const RunningWhois&) = delete;
    RunningWhois& operator=(const RunningWhois&) = delete;

    qint64 pid() const { return m_process.processId(); }
    // Standard output so far, once it holds at least `size` bytes (60 s at most).
    QByteArray readAtLeast(qsizetype size) {
        for (int i = 0; i < 600 && m_out.size() < size; ++i) {
            m_process.waitForReadyRead(100);
            m_out += m_process.readAllStandardOutput();
        }
        return m_out;
    }
    // Sends the signal and waits for the end: the exit status (-1 when it did not exit).
    int signalAndWait(int signal) {
        ::kill(static_cast<pid_t>(pid()), signal);
        if (!m_process.waitForFinished(60000) || m_process.exitStatus() != QProcess::NormalExit) {
            return -1;
        }
        m_out += m_process.readAllStandardOutput();
        m_err = m_process.readAllStandardError();
        return m_process.exitCode();
    }
    const QByteArray& out() const { return m_out; }
    const QByteArray& err() const { return m_err; }

  private:
    QProcess m_process;
    QByteArray m_out;
    QByteArray m_err;
};

// True once everything the server on port sent has been read by its clients and every
// thread of process pid sleeps: a client has taken in what arrived (60 s at most).
bool RepliesTakenIn(qint64 pid, std::uint16_t port) {
    const auto settled = [&] {
        std::ifstream table("/proc/net/tcp");
        std::string line;
        std::getline(table, line);
        while (std::getline(table, line)) {
            unsigned local = 0;
            unsigned remote = 0;
            unsigned state = 0;
            unsigned long sendQueue = 0;
            unsigned long receiveQueue = 0;
            if (std::sscanf(line.c_str(), " %*d: %*8X:%X %*8X:%X %X %lX:%lX", &local, &remote,
                            &state, &sendQueue, &receiveQueue) == 5 &&
                (local == port || remote == port) && (sendQueue != 0 || receiveQueue != 0)) {
                return false;
            }
        }
        const QDir tasks(QStringLiteral("/proc/%1/task").arg(pid));
        for (const QString& task : tasks.entryList(QDir::Dirs | QDir::NoDotAndDotDot)) {
            QFile stat(tasks.filePath(task + "/stat"));
            if (!stat.open(QIODevice::ReadOnly)) {
                return false;
            }
            const QByteArray text = stat.readAll();
            const qsizetype paren = text.lastIndexOf(')');
            if (paren < 0 || paren + 2 >= text.size() || text.at(paren + 2) != 'S') {
                return false;
            }
        }
        return true;
    };
    for (int i = 0; i < 6000; ++i) {
        if (settled()) {
            return true;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(10));  // polled, bounded
    }
    return false;
}

TEST(WhoisCli, LinesAreShownAsTheyArriveAndCtrlCKeepsThem) {
    // The server sends a line and half of the next, then keeps the connection open.
    WhoisFixtureServer server({"Domain: example.com\r\nhalf", WhoisScript::Ending::NeverClose});
    {
        RunningWhois run({"example.com", "--server", "127.0.0.1", "--port", Port(server)});
        // The whole line shows while the server still holds the connection open.
        EXPECT_EQ(run.readAtLeast(21), "Domain: example.com\r\n");
        EXPECT_EQ(run.signalAndWait(SIGINT), 128 + SIGINT);
        EXPECT_EQ(run.out(), "Domain: example.com\r\nhalf");
        EXPECT_TRUE(run.err().contains("interrupted")) << run.err().toStdString();
    }

    // SIGTERM with --out: what arrived is written, as the window's export.
    QTemporaryDir dir;
    const QString path = dir.filePath("reply.txt");
    test::WriteBytes(path, "old");
    RunningWhois run(
        {"example.com", "--server", "127.0.0.1", "--port", Port(server), "--out", path});
    ASSERT_TRUE(server.waitForQueries(2));
    ASSERT_TRUE(RepliesTakenIn(run.pid(), server.port()));
    EXPECT_EQ(run.signalAndWait(SIGTERM), 128 + SIGTERM);
    EXPECT_TRUE(run.out().isEmpty());
    EXPECT_EQ(test::ReadBytes(path), "Domain: example.com\r\r\nhalf\r\n");
}

TEST(WhoisCli, OutIsKeptWhenNoReplyCameAndWrittenWhenTextDid) {
    QTemporaryDir dir;
    const QString path = dir.filePath("reply.txt");
    test::WriteBytes(path, "old");
    {
        const test::RefusingPort refusing;
        const auto run = RunCli("whois", {"example.com", "--server", "127.0.0.1", "--port",
                                          QString::number(refusing.port), "--out", path});
        EXPECT_EQ(run.status, 1);
    }
    EXPECT_EQ(test::ReadBytes(path), "old");

    // A reset after part of the reply: a failed query, but the text that came is written.
    WhoisFixtureServer resetting({"partial\r\nrep", WhoisScript::Ending::Reset});
    auto run = RunCli("whois", {"example.com", "--server", "127.0.0.1", "--port", Port(resetting),
                                "--out", path});
    EXPECT_EQ(run.status, 1);
    EXPECT_TRUE(run.err.contains("Connection reset by peer")) << run.err.toStdString();
    EXPECT_EQ(test::ReadBytes(path), "partial\r\r\nrep\r\n");
    run = RunCli("whois", {"example.com", "--server", "127.0.0.1", "--port", Port(resetting)});
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(run.out, "partial\r\nrep");

    // An empty reply is a reply: the window's export of nothing.
    WhoisFixtureServer empty(WhoisScript{""});
    run = RunCli("whois",
                 {"example.com", "--server", "127.0.0.1", "--port", Port(empty), "--out", path});
    EXPECT_EQ(run.status, 0);
    EXPECT_EQ(test::ReadBytes(path), "");
}

TEST(WhoisCli, ATerminalSeesControlBytesMadeVisible) {
    // A title and a clipboard write (OSC 52), a bell, a lone CR, a C1 CSI as UTF-8 and as a
    // lone byte, DEL, a byte that is no UTF-8; TAB, CR LF and UTF-8 characters stay.
    const std::string reply =
        "Title: \x1b]0;owned\x07\r\n"
        "Clip: \x1b]52;c;cm0gLXJm\x1b\\\n"
        "a\tb\rc\r\n"
        "caf\xc3\xa9 \xe2\x82\xac \xc2\x9b"
        "2J \x9b \x7f \xe9\n"
        "no line end\r";
    WhoisFixtureServer server(WhoisScript{reply});
    const auto run = test::RunCliOnTerminal(
        "whois", {"example.com", "--server", "127.0.0.1", "--port", Port(server)});
    EXPECT_EQ(run.status, 0) << run.err.toStdString();
    EXPECT_EQ(run.out,
              "Title: ^[]0;owned^G\r\n"
              "Clip: ^[]52;c;cm0gLXJm^[\\\n"
              "a\tb^Mc\r\n"
              "caf\xc3\xa9 \xe2\x82\xac M-BM-^[2J M-^[ ^? M-i\n"
              "no line end^M");
}

}  // namespace
}  // namespace quendrix
