// The Batch Ping page inside the ICMP lab (tests/lab/icmp/run-icmp-lab.sh), which runs this
// program as root (raw socket), as nobody where ping_group_range admits nogroup (datagram
// socket), and as nobody without it (no socket at all): lost echoes as "Timed out" rows, the
// time-out read before each entry, Stop during a long wait, and a page that explains once why
// it cannot ping. Outside the lab every test skips.
#include "support/cli_runner.h"
#include "support/test_files.h"
#include "tools/ping/ping_page_fixture.h"

#include <QComboBox>
#include <QElapsedTimer>
#include <QTemporaryDir>

#include <cstdlib>

namespace quendrix {
namespace {

QString labSetting(const char* name) {
    return qEnvironmentVariable(name);
}

// The lab's addresses (see run-icmp-lab.sh):
//   QUENDRIX_ICMP_LAB_EXPECT  raw | datagram | none: the socket this user gets
//   QUENDRIX_ICMP_LAB_REPLY   answers echoes
//   QUENDRIX_ICMP_LAB_DROP    its echo requests are dropped: never a reply
class PingLabFixture : public test::PingPageFixture {
  protected:
    void SetUp() override {
        expect = labSetting("QUENDRIX_ICMP_LAB_EXPECT");
        if (expect.isEmpty()) {
            GTEST_SKIP() << "runs only inside the ICMP lab (tests/lab/icmp/run-icmp-lab.sh)";
        }
        reply = labSetting("QUENDRIX_ICMP_LAB_REPLY");
        drop = labSetting("QUENDRIX_ICMP_LAB_DROP");
    }
    void setTimeout(int ms) { child<QComboBox>("ComboBox2")->setCurrentText(QString::number(ms)); }
    void setCount(int count) {
        child<QComboBox>("ComboBox1")->setCurrentText(QString::number(count));
    }

    QString expect, reply, drop;
};

// The runs with a socket.
class PingLabTest : public PingLabFixture {
  protected:
    void SetUp() override {
        PingLabFixture::SetUp();
        if (!IsSkipped() && expect == "none") {
            GTEST_SKIP() << "this run has no ICMP socket";
        }
    }
};

// The run without one.
class PingLabNoSocketTest : public PingLabFixture {
  protected:
    void SetUp() override {
        PingLabFixture::SetUp();
        if (!IsSkipped() && expect != "none") {
            GTEST_SKIP() << "this run has an ICMP socket";
        }
    }
};

TEST_F(PingLabTest, RepliesAndLostEchoesAreRowsOfTheirOwn) {
    EXPECT_EQ(echo->socketKind(),
              expect == "raw" ? net::IcmpSocketKind::Raw : net::IcmpSocketKind::Datagram);
    setList({"127.0.0.1", reply, drop});
    setTimeout(1000);
    QElapsedTimer clock;
    clock.start();
    page.ping_start_buttonClick();
    waitForRun();
    EXPECT_GE(clock.elapsed(), 2000) << "each lost echo waits out its time-out";
    const QStringList got = rows();
    ASSERT_EQ(got.size(), 6);
    for (int row = 0; row < 4; ++row) {
        EXPECT_TRUE(got.at(row).startsWith(
            QStringLiteral("Running|%1|34|").arg(row < 2 ? QStringLiteral("127.0.0.1") : reply)))
            << got.at(row).toStdString();
        EXPECT_TRUE(got.at(row).endsWith("| "));
    }
    const QString lost = QStringLiteral("X|%1|0|0|Timed out").arg(drop);
    EXPECT_EQ(got.mid(4), (QStringList{lost, lost}));
    EXPECT_EQ(counters(), "6/4/2");
    EXPECT_EQ(label("Label59"), "6");
    EXPECT_TRUE(host.recording.messages().isEmpty());
}

TEST_F(PingLabTest, TheTimeOutIsReadBeforeEachEntry) {
    // Both attempts at the first entry keep the time-out it started with; the change made
    // meanwhile applies from the second entry on.
    setList({drop, drop});
    setCount(2);
    setTimeout(1000);
    QElapsedTimer clock;
    clock.start();
    page.ping_start_buttonClick();
    test::ProcessEventsFor(300);
    setTimeout(3000);
    QList<qint64> rowTimes;
    ASSERT_TRUE(test::WaitUntil(
        [&] {
            while (rowTimes.size() < page.grid()->resultCount()) {
                rowTimes.append(clock.elapsed());
            }
            return !page.run()->isRunning();
        },
        20000));
    ASSERT_EQ(rowTimes.size(), 4);
    EXPECT_LT(rowTimes.at(1), 3500) << "the second attempt waited the new time-out";
    EXPECT_GE(rowTimes.at(2) - rowTimes.at(1), 2800) << "the second entry kept the old one";
    EXPECT_GE(rowTimes.at(3) - rowTimes.at(2), 2800);
}

TEST_F(PingLabTest, StopEndsALongWaitAndTheNextRunGoesAhead) {
    setList({drop});
    setTimeout(5000);
    page.ping_start_buttonClick();
    test::ProcessEventsFor(300);
    page.ping_stop_buttonClick();
    EXPECT_EQ(label("Label54"), "Done!");
    EXPECT_TRUE(startEnabled());

    // The stopped echo gives its place up at once: the next run's reply does not wait for
    // the five seconds to pass.
    setList({reply});
    setCount(1);
    QElapsedTimer clock;
    clock.start();
    page.ping_start_buttonClick();
    waitForRun();
    EXPECT_LT(clock.elapsed(), 2500);
    ASSERT_EQ(page.grid()->resultCount(), 1);
    EXPECT_EQ(page.grid()->cell(0, 0), "Running");
    test::ProcessEventsFor(500);
    EXPECT_EQ(page.grid()->resultCount(), 1) << "nothing of the stopped run arrived";
}

TEST_F(PingLabNoSocketTest, EveryAttemptTimesOutAndThePageSaysOnceWhy) {
    setList({"127.0.0.1", reply});
    page.ping_start_buttonClick();
    waitForRun();
    test::ProcessEventsFor(100);  // the notice follows the rows of its turn
    const QString lost = "X|%1|0|0|Timed out";
    EXPECT_EQ(rows(), (QStringList{lost.arg("127.0.0.1"), lost.arg("127.0.0.1"), lost.arg(reply),
                                   lost.arg(reply)}));
    EXPECT_EQ(counters(), "4//4");
    ASSERT_EQ(host.recording.recorded.size(), 1);
    const test::RecordedPrompt notice = host.recording.recorded.at(0);
    EXPECT_EQ(notice.caption, "Batch Ping");
    EXPECT_EQ(notice.icon, Prompts::Icon::Warning);
    EXPECT_TRUE(notice.text.contains("setcap cap_net_raw+ep")) << notice.text.toStdString();
    EXPECT_TRUE(notice.text.contains("net.ipv4.ping_group_range")) << notice.text.toStdString();

    // Once: a second run says nothing more.
    page.ping_start_buttonClick();
    waitForRun();
    test::ProcessEventsFor(100);
    EXPECT_EQ(page.grid()->resultCount(), 4);
    EXPECT_EQ(host.recording.recorded.size(), 1);
}

// The command line cannot show every host as down when it could not ask any: it ends with
// the notice and status 3 ("the system refused"), with no rows.
TEST_F(PingLabNoSocketTest, CommandLineEndsWithTheNoticeAndStatusThree) {
    const test::CliRun run =
        test::RunCli("ping", {"--range", "127.0.0", "1", "2", "--count", "2"}, 60000);
    EXPECT_EQ(run.status, 3);
    EXPECT_EQ(run.out, "Status,IP or Domain/Host Name,Bytes,Time(ms),Failed Reason\n");
    EXPECT_TRUE(run.err.startsWith("quendrix-cli ping: ")) << run.err.toStdString();
    EXPECT_EQ(run.err.count("setcap cap_net_raw+ep"), 1) << run.err.toStdString();
    EXPECT_FALSE(run.err.contains("Finished")) << run.err.toStdString();
}

// A refused run still writes the rows it made before the refusal (an address that is not one
// fails without a socket), to standard output and to --out; without any, an existing --out
// file stays as it was.
TEST_F(PingLabNoSocketTest, CommandLineKeepsTheRowsBeforeTheRefusalAndNothingElse) {
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString list = test::WriteBytes(dir.filePath("list.txt"), "300.1.1.1\n127.0.0.1\n");
    const QString out = test::WriteBytes(dir.filePath("out.csv"), "kept\r\n");
    const QByteArray header = "Status,IP or Domain/Host Name,Bytes,Time(ms),Failed Reason";
    const QByteArray row = "X,300.1.1.1, , ,Unknown host";

    test::CliRun run = test::RunCli("ping", {list, "--count", "2", "--out", out}, 60000);
    EXPECT_EQ(run.status, 3);
    EXPECT_EQ(test::ReadBytes(out), header + "\r\n" + row + "\r\n");
    run = test::RunCli("ping", {list, "--count", "2"}, 60000);
    EXPECT_EQ(run.status, 3);
    EXPECT_EQ(run.out, header + "\n" + row + "\n");

    test::WriteBytes(out, "kept\r\n");
    run = test::RunCli("ping", {"--range", "127.0.0", "1", "2", "--out", out}, 60000);
    EXPECT_EQ(run.status, 3);
    EXPECT_EQ(test::ReadBytes(out), "kept\r\n");
}

}  // namespace
}  // namespace quendrix
