// Rows reach standard output as they are produced: inside the DNS lab with every answer held
// back by the lab's delaying forwarder (about a second a look-up), a row that needs no look-up
// is out while the names after it are still being resolved, country's header is out before
// any name has answered, and a reader that goes away ends a long batch at its next row.
#include "support/cli_runner.h"
#include "support/dns_lab.h"
#include "support/test_files.h"

#include <QProcess>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace quendrix {
namespace {

class SlowDnsStream : public ::testing::Test {
  protected:
    void SetUp() override {
        if (!test::InsideDnsLab()) {
            GTEST_SKIP() << test::kOutsideDnsLab;
        }
        ASSERT_TRUE(dir.isValid());
    }
    // A literal address, then count lab names: each name costs a delayed look-up.
    QString listWithNames(int count) {
        QByteArray bytes = "127.0.0.1\n";
        for (int i = 0; i < count; ++i) {
            bytes += "one.lab.test\n";
        }
        return test::WriteBytes(dir.filePath(QStringLiteral("names-%1.txt").arg(count)), bytes);
    }
    // Reads the process's standard output until it holds lines lines (or it ends).
    static QByteArray readLines(QProcess& process, int lines) {
        QByteArray text;
        while (text.count('\n') < lines && process.waitForReadyRead(30000)) {
            text += process.readAllStandardOutput();
        }
        return text;
    }
    QTemporaryDir dir;
};

TEST_F(SlowDnsStream, ConvertWritesARowWhileTheNamesAfterItAreStillResolving) {
    QProcess cli;
    cli.start(QStringLiteral(QUENDRIX_CLI_PATH),
              {"convert", "--to-ip", listWithNames(4), "--in-flight", "1"});
    const QByteArray first = readLines(cli, 2);
    // One look-up at a time, four names: the batch is seconds from its end.
    EXPECT_EQ(cli.state(), QProcess::Running) << "the first row came only with the last";
    EXPECT_EQ(first, "Domain / Host Name,IP Address\n127.0.0.1,127.0.0.1\n");

    ASSERT_TRUE(cli.waitForFinished(60000));
    EXPECT_EQ(cli.exitCode(), 0);
    EXPECT_EQ(first + cli.readAllStandardOutput(),
              "Domain / Host Name,IP Address\n127.0.0.1,127.0.0.1\n" +
                  QByteArray("one.lab.test,10.250.1.1\n").repeated(4));
}

TEST_F(SlowDnsStream, CountryWritesItsHeaderBeforeAnyNameHasAnswered) {
    const QString names = test::WriteBytes(dir.filePath("names.txt"), "one.lab.test\n");
    QProcess cli;
    cli.start(QStringLiteral(QUENDRIX_CLI_PATH), {"country", names});
    const QByteArray header = readLines(cli, 1);
    EXPECT_EQ(cli.state(), QProcess::Running);
    EXPECT_EQ(header, "Domain Name/IP Address,Country\n");
    ASSERT_TRUE(cli.waitForFinished(60000));
    EXPECT_EQ(cli.exitCode(), 0);
    EXPECT_EQ(cli.readAllStandardOutput(), "one.lab.test,United States\n");
}

TEST_F(SlowDnsStream, AReaderThatGoesAwayEndsALongBatchAtItsNextRow) {
    // quendrix-cli convert ... | head -n 2, over a batch of a minute or more.
    QProcess cli;
    QProcess head;
    cli.setStandardOutputProcess(&head);
    head.start("head", {"-n", "2"});
    cli.start(QStringLiteral(QUENDRIX_CLI_PATH),
              {"convert", "--to-ip", listWithNames(60), "--in-flight", "1"});
    ASSERT_TRUE(head.waitForFinished(30000));
    EXPECT_EQ(head.readAllStandardOutput(), "Domain / Host Name,IP Address\n127.0.0.1,127.0.0.1\n");
    // Far less than the batch's minute: the end comes with the next name's answer.
    ASSERT_TRUE(cli.waitForFinished(20000)) << "the batch ran on after its reader had gone";
    EXPECT_EQ(cli.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(cli.exitCode(), 1);
    EXPECT_EQ(cli.readAllStandardError(), "");
}

}  // namespace
}  // namespace quendrix
