// quendrix-cli trace when the target's look-up never returns (a lab whose name server drops
// every query for 30 s): Ctrl-C ends the command within moments, not when the look-up gives
// up, with its status; an earlier --out file stays as it was, no hop having been sent.
// Outside such a lab the test skips.
#include "support/dns_lab.h"
#include "support/test_files.h"

#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QThread>

#include <gtest/gtest.h>

#include <csignal>

namespace quendrix {
namespace {

TEST(TraceCliHangingLookup, CtrlCEndsTheCommandWithoutWaitingForTheLookUp) {
    if (!test::InsideDnsLab()) {
        GTEST_SKIP() << test::kOutsideDnsLab;
    }
    QTemporaryDir dir;
    const QString file = test::WriteBytes(dir.filePath("route.txt"), "an earlier trace\r\n");
    QProcess cli;
    cli.start(
        QStringLiteral(QUENDRIX_CLI_PATH),
        {QStringLiteral("trace"), QStringLiteral("hang.lab.test"), QStringLiteral("--out"), file});
    ASSERT_TRUE(cli.waitForStarted());
    QByteArray err;
    QElapsedTimer waited;
    waited.start();
    while (!err.contains('\n') && waited.elapsed() < 30000 && cli.state() == QProcess::Running) {
        cli.waitForReadyRead(500);
        err += cli.readAllStandardError();
    }
    ASSERT_EQ(err.toStdString(), "resolving hang.lab.test\n");
    ASSERT_EQ(cli.state(), QProcess::Running);

    ::kill(static_cast<pid_t>(cli.processId()), SIGINT);
    QElapsedTimer ending;
    ending.start();
    // The look-up would hold it for 30 s.
    ASSERT_TRUE(cli.waitForFinished(20000));
    EXPECT_LT(ending.elapsed(), 15000);
    EXPECT_EQ(cli.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(cli.exitCode(), 128 + SIGINT);
    EXPECT_EQ(cli.readAllStandardError().toStdString(), "quendrix-cli trace: interrupted\n");
    EXPECT_TRUE(cli.readAllStandardOutput().isEmpty());
    EXPECT_EQ(test::ReadBytes(file), "an earlier trace\r\n") << "no hop was sent: nothing to write";
}

// Whether a UDP socket of this namespace (only the lab's processes and ours live in it) is
// connected to port 53: a look-up waiting for the name server, which here never answers.
bool QueryToTheNameServerIsOpen() {
    QFile table(QStringLiteral("/proc/net/udp"));
    if (!table.open(QIODevice::ReadOnly)) {
        return false;
    }
    const QList<QByteArray> rows = table.readAll().split('\n');
    for (qsizetype i = 1; i < rows.size(); ++i) {
        const QList<QByteArray> fields = rows.at(i).simplified().split(' ');
        // sl local_address rem_address ...: a remote of 0 is a socket that only listens.
        if (fields.size() > 2 && fields.at(2).endsWith(":0035") &&
            !fields.at(2).startsWith("00000000")) {
            return true;
        }
    }
    return false;
}

// A hop answered, and its router's name is being looked up (which the lab's name server never
// answers) when Ctrl-C comes: the hop is not lost, it is printed and written without its name.
TEST(TraceCliHangingLookup, CtrlCDuringARoutersNameLookUpKeepsTheHopWithoutItsName) {
    if (!test::InsideDnsLab()) {
        GTEST_SKIP() << test::kOutsideDnsLab;
    }
    QTemporaryDir dir;
    const QString file = test::WriteBytes(dir.filePath("route.txt"), "an earlier trace\r\n");
    QProcess cli;
    // 127.0.0.2 is an address (no look-up for the target) that no hosts file names.
    cli.start(QStringLiteral(QUENDRIX_CLI_PATH),
              {QStringLiteral("trace"), QStringLiteral("127.0.0.2"),
               QStringLiteral("--resolve-hosts"), QStringLiteral("--out"), file});
    ASSERT_TRUE(cli.waitForStarted());
    QByteArray err;
    QElapsedTimer waited;
    waited.start();
    while (err.count('\n') < 3 && waited.elapsed() < 30000 && cli.state() == QProcess::Running) {
        cli.waitForReadyRead(500);
        err += cli.readAllStandardError();
    }
    ASSERT_TRUE(err.contains("response from host 127.0.0.2 in ")) << err.toStdString();
    // Hop 1 answers at once; its name's look-up then holds the trace for 30 s. The look-up
    // has begun once a socket of the namespace is connected to the name server's port.
    waited.restart();
    while (!QueryToTheNameServerIsOpen() && waited.elapsed() < 30000 &&
           cli.state() == QProcess::Running) {
        QThread::msleep(20);  // polled, bounded
    }
    ASSERT_TRUE(QueryToTheNameServerIsOpen()) << "no name look-up began within 30 s";
    ASSERT_EQ(cli.state(), QProcess::Running);
    ASSERT_TRUE(cli.readAllStandardOutput().isEmpty());

    ::kill(static_cast<pid_t>(cli.processId()), SIGINT);
    ASSERT_TRUE(cli.waitForFinished(20000));
    EXPECT_EQ(cli.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(cli.exitCode(), 128 + SIGINT);
    const QByteArray out = cli.readAllStandardOutput();
    EXPECT_TRUE(QRegularExpression(QStringLiteral("^1    127\\.0\\.0\\.2        \\d+ ms\n$"))
                    .match(QString::fromLatin1(out))
                    .hasMatch())
        << out.toStdString();
    EXPECT_EQ(test::ReadBytes(file), QByteArray(out).replace("\n", "\r\n"));
}

}  // namespace
}  // namespace quendrix
