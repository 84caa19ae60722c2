// The whois client, page and command line on the real port 43 and a server name the lab's
// DNS resolves: a fixture listens on one.lab.test's address (10.250.1.1) inside the lab's own
// namespace. SlowDns.* run in a lab whose DNS answers after 300 ms: Stop while the server's
// name is being looked up. Never run outside the lab.
#include "net/whois_client.h"
#include "net/whois_fixture_server.h"
#include "support/cli_runner.h"
#include "support/dns_lab.h"
#include "support/fake_host.h"
#include "tools/whois/whois_page.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QProcess>
#include <QTest>

#include <gtest/gtest.h>

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
