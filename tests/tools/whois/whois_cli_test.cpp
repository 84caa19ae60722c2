// quendrix-cli whois as a user runs it, against the tests' own whois server on 127.0.0.1:
// the reply's bytes on standard output, the --out file the window writes, failures and the
// cut with their statuses, and --follow along referrals.
#include "net/whois_fixture_server.h"
#include "support/cli_runner.h"
#include "support/test_files.h"
#include "tools/whois/whois_export.h"
#include "tools/whois/whois_query.h"

#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

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

TEST(WhoisCli, FollowAsksTheReferredServersThreeAtMost) {
    // Four names of the same fixture; the fourth is never asked.
    WhoisFixtureServer chain(std::vector<WhoisScript>{
        {"refer: localhost\r\n"},
        {"whois: 127.1\n"},
        {"Registrar WHOIS Server: 2130706433\r\n"},
    });
    auto run = RunCli("whois",
                      {"example.com", "--server", "127.0.0.1", "--port", Port(chain), "--follow"});
    EXPECT_EQ(run.status, 0) << run.err.toStdString();
    EXPECT_EQ(run.out, "refer: localhost\r\nwhois: 127.1\nRegistrar WHOIS Server: 2130706433\r\n");
    EXPECT_EQ(run.err, "[127.0.0.1]\n[localhost]\n[127.1]\n");
    EXPECT_EQ(chain.received().size(), 3u);

    // A referral that fails is told on standard error; the first reply decides the status.
    WhoisFixtureServer broken(WhoisScript{"refer: 127.0.0.2\r\n"});
    run = RunCli("whois",
                 {"example.com", "--server", "127.0.0.1", "--port", Port(broken), "--follow"});
    EXPECT_EQ(run.status, 0) << run.err.toStdString();
    EXPECT_EQ(run.out, "refer: 127.0.0.2\r\n");
    EXPECT_TRUE(run.err.contains("127.0.0.2: Connection refused")) << run.err.toStdString();

    // Without --follow the referral is only text.
    run = RunCli("whois", {"example.com", "--server", "127.0.0.1", "--port", Port(broken)});
    EXPECT_EQ(run.status, 0);
    EXPECT_TRUE(run.err.isEmpty());
    EXPECT_EQ(broken.received().size(), 2u);
}

}  // namespace
}  // namespace quendrix
