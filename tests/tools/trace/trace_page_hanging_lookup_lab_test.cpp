// The Traceroute page when the target's look-up never returns (a lab whose name server drops
// every query, run as root): a new start abandons that trace and runs at once instead of
// waiting behind it, Stop ends such a trace at once, and nothing of an abandoned trace is
// shown when its look-up finally gives up. Outside such a lab the test skips.
#include "tools/trace/trace_page.h"

#include "net/resolver.h"
#include "support/event_loop.h"
#include "support/fake_host.h"

#include <QLineEdit>
#include <QRegularExpression>
#include <QTest>
#include <QToolButton>

#include <gtest/gtest.h>

#include <unistd.h>

namespace quendrix {
namespace {

TEST(TracePageHangingLookup, ANewStartAbandonsATraceStuckInItsLookUp) {
    if (qEnvironmentVariable("QUENDRIX_LAB") != "dns" || geteuid() != 0) {
        GTEST_SKIP() << "runs as root in a DNS lab that drops every query";
    }
    test::FakeHost host;
    TracePage page(host);
    auto* target = page.findChild<QLineEdit*>("edTarget");
    target->setText("hang.lab.test");
    page.findChild<QToolButton*>("button1")->click();
    // Stuck as the user sees it: the look-up's log line is there and the look-up waits.
    ASSERT_TRUE(test::WaitUntil(
        [&] { return net::LookupsInProgress() > 0 && page.logLines().size() == 1; }, 10000));

    // Enter while the look-up hangs: the new trace runs now, on loopback.
    target->setText("127.0.0.1");
    QTest::keyClick(target, Qt::Key_Return);
    ASSERT_TRUE(test::WaitUntil([&] { return !page.tracing(); }, 20000));
    EXPECT_GT(net::LookupsInProgress(), 0) << "the new trace waited for the old look-up";
    const QStringList log = page.logLines();
    ASSERT_EQ(log.size(), 4) << log.join('\n').toStdString();
    EXPECT_EQ(log.mid(0, 3), (QStringList{"resolving hang.lab.test", "resolving 127.0.0.1",
                                          "127.0.0.1 resolved to 127.0.0.1"}));
    EXPECT_TRUE(QRegularExpression("^response from host 127\\.0\\.0\\.1 in \\d+ millisec\\.$")
                    .match(log[3])
                    .hasMatch())
        << log[3].toStdString();
    ASSERT_EQ(page.hopRows().size(), 1u);
    EXPECT_EQ(page.hopRows()[0].ip, "127.0.0.1");
    EXPECT_TRUE(host.navigationEnabled);
    EXPECT_TRUE(host.recording.recorded.isEmpty());

    // Stop while a look-up hangs ends that trace at once: nothing to wait for, no hop to end.
    target->setText("hang-again.lab.test");
    QTest::keyClick(target, Qt::Key_Return);
    ASSERT_TRUE(test::WaitUntil(
        [&] { return net::LookupsInProgress() == 2 && page.logLines().size() == 5; }, 10000));
    EXPECT_FALSE(host.navigationEnabled);
    page.findChild<QToolButton*>("button2")->click();
    EXPECT_FALSE(page.tracing());
    EXPECT_TRUE(host.navigationEnabled);
    EXPECT_TRUE(page.findChild<QToolButton*>("button1")->isEnabled());
    const QStringList stopped = page.logLines();
    EXPECT_EQ(stopped.mid(0, 4), log);
    EXPECT_EQ(stopped.value(4), "resolving hang-again.lab.test");

    // When the abandoned look-ups give up, its failure lines never reach the log.
    ASSERT_TRUE(test::WaitUntil([] { return net::LookupsInProgress() == 0; }, 90000));
    test::ProcessEventsFor(100);
    EXPECT_EQ(page.logLines(), stopped);
}

}  // namespace
}  // namespace quendrix
