// quendrix-cli trace when the target's look-up never returns (a lab whose name server drops
// every query for 30 s): Ctrl-C ends the command within moments, not when the look-up gives
// up, with its status and the --out file written. Outside such a lab the test skips.
#include "support/dns_lab.h"
#include "support/test_files.h"

#include <QElapsedTimer>
#include <QProcess>
#include <QTemporaryDir>

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
    EXPECT_TRUE(test::ReadBytes(file).isEmpty()) << "no hop was sent: an empty hop list";
}

}  // namespace
}  // namespace quendrix
