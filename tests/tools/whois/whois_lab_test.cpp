// The whois client, page and command line on the real port 43 and a server name the lab's
// DNS resolves: a fixture listens on one.lab.test's address (10.250.1.1) inside the lab's own
// namespace. SlowDns.* run in a lab whose DNS answers after 300 ms: Stop while the server's
// name is being looked up. Never run outside the lab.
#include "net/whois_client.h"
#include "support/cli_runner.h"
#include "support/dns_lab.h"
#include "support/fake_host.h"
#include "support/scripted_server.h"
#include "support/test_files.h"
#include "tools/whois/whois_page.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

#include <gtest/gtest.h>

#include <csignal>

namespace quendrix {
namespace {

using test::WhoisFixtureServer;
using test::WhoisScript;

class WhoisLab : public ::testing::Test {
  protected:
    void SetUp() override {
        // Only inside the lab's namespace may its loopback get the lab address.
        ASSERT_TRUE(test::InsideDnsLab()) << test::kOutsideDnsLab;
        QProcess ip;
        ip.start("ip", {"addr", "replace", "10.250.1.1/32", "dev", "lo"});
        ASSERT_TRUE(ip.waitForFinished(30000));
        ASSERT_EQ(ip.exitCode(), 0) << ip.readAllStandardError().toStdString();
    }

    void startQuery(WhoisPage& page, const QString& domain) {
        page.findChild<QCheckBox*>("CheckBox7")->setChecked(true);
        page.findChild<QComboBox*>("edit10")->setEditText("one.lab.test");
        page.findChild<QLineEdit*>("edDomain")->setText(domain);
        page.whois_start_buttonClick();
    }

    test::FakeHost host;
};

using LabNames = WhoisLab;
using SlowDns = WhoisLab;

TEST_F(LabNames, ClientPageAndCommandLineOnPort43ByName) {
    WhoisFixtureServer server({WhoisScript{"Domain: example.com\r\n"}}, "10.250.1.1", 43);
    ASSERT_EQ(server.port(), 43);

    const auto reply = net::WhoisClient().query("one.lab.test", "example.com");
    ASSERT_TRUE(reply.has_value()) << reply.error().text;
    EXPECT_EQ(reply->bytes, "Domain: example.com\r\n");

    WhoisPage page(host);
    startQuery(page, "www.example.com");
    ASSERT_TRUE(QTest::qWaitFor([&] { return !page.querying(); }, 30000));
    EXPECT_EQ(page.resultLines(), QByteArrayList{"Domain: example.com\r"});

    const auto run = test::RunCli("whois", {"example.com", "--server", "one.lab.test"});
    EXPECT_EQ(run.status, 0) << run.err.toStdString();
    EXPECT_EQ(run.out, "Domain: example.com\r\n");

    // A name the lab does not know: the resolver's failure, no connection.
    const auto missing = net::WhoisClient().query("missing.lab.test", "example.com");
    ASSERT_FALSE(missing.has_value());
    EXPECT_EQ(missing.code(), ErrorCode::HostNotFound);
    EXPECT_EQ(server.received().size(), 3u);
}

TEST_F(LabNames, FollowAsksTheReferredServersThreeAtMost) {
    // two.lab.test's addresses on this namespace's loopback too; the fixture on all of them.
    for (const char* address : {"10.250.1.21/32", "10.250.1.12/32"}) {
        QProcess ip;
        ip.start("ip", {"addr", "replace", address, "dev", "lo"});
        ASSERT_TRUE(ip.waitForFinished(30000));
        ASSERT_EQ(ip.exitCode(), 0) << ip.readAllStandardError().toStdString();
    }
    WhoisFixtureServer chain(
        std::vector<WhoisScript>{{"refer: one.lab.test\r\n"},
                                 {"whois: TWO.lab.test\n"},
                                 {"Registrar WHOIS Server: three.lab.test\r\n"},
                                 {"never asked\r\n"}},
        "0.0.0.0", 43);
    const auto run = test::RunCli("whois", {"example.com", "--server", "10.250.1.1", "--follow"});
    EXPECT_EQ(run.status, 0) << run.err.toStdString();
    EXPECT_EQ(run.out,
              "refer: one.lab.test\r\nwhois: TWO.lab.test\nRegistrar WHOIS Server: "
              "three.lab.test\r\n");
    EXPECT_EQ(run.err, "[10.250.1.1]\n[one.lab.test]\n[TWO.lab.test]\n");
    EXPECT_EQ(chain.received().size(), 3u);
}

TEST_F(LabNames, CtrlCWhileAReferralNeverAnswersKeepsTheFirstReply) {
    QTemporaryDir dir;
    const QString path = dir.filePath("reply.txt");
    for (const bool toFile : {false, true}) {
        SCOPED_TRACE(toFile ? "--out" : "standard output");
        WhoisFixtureServer server(std::vector<WhoisScript>{{"refer: one.lab.test\r\n"},
                                                           {"", WhoisScript::Ending::NeverClose}},
                                  "10.250.1.1", 43);
        QStringList words{"whois", "example.com", "--server", "10.250.1.1", "--follow"};
        if (toFile) {
            words << "--out" << path;
        }
        QProcess cli;
        cli.start(QUENDRIX_CLI_PATH, words);
        ASSERT_TRUE(server.waitForQueries(2));
        ::kill(static_cast<pid_t>(cli.processId()), SIGINT);
        ASSERT_TRUE(cli.waitForFinished(60000));
        EXPECT_EQ(cli.exitStatus(), QProcess::NormalExit);
        EXPECT_EQ(cli.exitCode(), 128 + SIGINT);
        const QByteArray out = cli.readAllStandardOutput();
        if (toFile) {
            EXPECT_TRUE(out.isEmpty());
            EXPECT_EQ(test::ReadBytes(path), "refer: one.lab.test\r\r\n");
        } else {
            EXPECT_EQ(out, "refer: one.lab.test\r\n");
        }
    }
}

TEST_F(SlowDns, StopWhileTheServerNameIsLookedUp) {
    WhoisFixtureServer server({WhoisScript{"second\r\n"}}, "10.250.1.1", 43);
    WhoisPage page(host);
    startQuery(page, "first.example");
    // The look-up takes 300 ms: Stop comes while it is in the C library.
    page.Button3Click();
    EXPECT_FALSE(page.querying());
    EXPECT_EQ(page.findChild<QLabel*>("state_label")->text(), "Done!");

    // A new query runs on its own; the abandoned one never connects.
    startQuery(page, "second.example");
    ASSERT_TRUE(QTest::qWaitFor([&] { return !page.querying(); }, 30000));
    EXPECT_EQ(page.resultLines(), QByteArrayList{"second\r"});
    EXPECT_EQ(server.received(), std::vector<std::string>{"second.example\r\n"});
}

}  // namespace
}  // namespace quendrix
