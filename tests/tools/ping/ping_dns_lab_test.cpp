// The Batch Ping page against the DNS lab's names (tests/lab): a name that does not resolve
// is one "Unknown host" row whatever the ping count, a name is pinged at its first address
// and listed as typed, and an empty entry stands for this computer. Never run outside the lab.
#include "support/dns_lab.h"
#include "tools/ping/ping_page_fixture.h"

#include <QComboBox>
#include <QProcess>
#include <QSysInfo>

namespace quendrix {
namespace {

class PingDnsLabTest : public test::PingPageFixture {
  protected:
    void SetUp() override {
        if (!test::InsideDnsLab()) {
            GTEST_SKIP() << test::kOutsideDnsLab;
        }
        if (!haveSocket()) {
            GTEST_SKIP() << "no ICMP socket here: " << *echo->unavailableReason();
        }
    }
    void setCount(int count) {
        child<QComboBox>("ComboBox1")->setCurrentText(QString::number(count));
    }
};

TEST_F(PingDnsLabTest, UnknownHostIsOneRowWhateverTheCount) {
    for (int count : {1, 3, 6}) {
        SCOPED_TRACE(count);
        setCount(count);
        setList({"missing.lab.test", "127.0.0.1", " http://missing.lab.test/page.html"});
        page.ping_start_buttonClick();
        waitForRun();
        QStringList expected{"X|missing.lab.test"};
        for (int attempt = 0; attempt < count; ++attempt) {
            expected.append("Running|127.0.0.1");
        }
        expected.append("X| http://missing.lab.test/page.html");
        EXPECT_EQ(outcomes(), expected);
        EXPECT_EQ(rows().first(), "X|missing.lab.test| | |Unknown host");
        EXPECT_EQ(rows().last(), "X| http://missing.lab.test/page.html| | |Unknown host");
        EXPECT_EQ(counters(), QStringLiteral("%1/%2/2").arg(count + 2).arg(count));
        EXPECT_EQ(label("Label59"), QString::number(count + 2));
    }
}

TEST_F(PingDnsLabTest, NamesArePingedAtTheirFirstAddressAndListedAsTyped) {
    // two.lab.test gives 10.250.1.21 first, then 10.250.1.12. Only the first exists here (on
    // the lab namespace's loopback), so a reply proves which one was pinged; the other has
    // no route, which is a failed echo at once.
    ASSERT_EQ(QProcess::execute("ip", {"addr", "add", "10.250.1.21/32", "dev", "lo"}), 0);
    setCount(2);
    // The machine's own name and an empty entry (this computer) resolve to 10.250.0.77 in
    // the lab, which is on its loopback too.
    setList({" HTTP://two.lab.test/x", QSysInfo::machineHostName(), ""});
    page.ping_start_buttonClick();
    waitForRun();
    EXPECT_EQ(outcomes(),
              (QStringList{"Running| HTTP://two.lab.test/x", "Running| HTTP://two.lab.test/x",
                           "Running|" + QSysInfo::machineHostName(),
                           "Running|" + QSysInfo::machineHostName(), "Running|", "Running|"}));
    EXPECT_EQ(counters(), "6/6/");
    ASSERT_EQ(QProcess::execute("ip", {"addr", "del", "10.250.1.21/32", "dev", "lo"}), 0);

    // Without it, the first address has no route: "Timed out", though the second would
    // have been reachable had it been added.
    ASSERT_EQ(QProcess::execute("ip", {"addr", "add", "10.250.1.12/32", "dev", "lo"}), 0);
    setList({"two.lab.test"});
    setCount(1);
    page.ping_start_buttonClick();
    waitForRun();
    EXPECT_EQ(rows(), QStringList{"X|two.lab.test|0|0|Timed out"});
    QProcess::execute("ip", {"addr", "del", "10.250.1.12/32", "dev", "lo"});
}

}  // namespace
}  // namespace quendrix
