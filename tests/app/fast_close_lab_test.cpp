// Closing the window while a look-up hangs in the C library: the process ends promptly, with
// settings.ini written. Runs in a lab whose name server drops every query (30 s per look-up).
#include "support/dns_lab.h"

#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace {

TEST(FastClose, ALookupHangingInTheCLibraryDoesNotHoldTheProcess) {
    if (!quendrix::test::InsideDnsLab()) {
        GTEST_SKIP() << quendrix::test::kOutsideDnsLab;
    }
    QTemporaryDir dir;
    QProcess probe;
    probe.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    probe.start(QStringLiteral(QUENDRIX_CLOSE_PROBE_PATH), {dir.path()});
    ASSERT_TRUE(probe.waitForStarted());

    // The window closes once the batch's look-up waits; the look-up itself would take 30 s.
    QByteArray out;
    while (!out.contains("look-up waiting\n") && probe.waitForReadyRead(25000)) {
        out += probe.readAllStandardOutput();
    }
    QElapsedTimer sinceClose;
    sinceClose.start();
    const bool ended = probe.waitForFinished(15000);
    const qint64 took = sinceClose.elapsed();
    if (!ended) {
        probe.kill();
        probe.waitForFinished();
    }
    ASSERT_TRUE(out.contains("look-up waiting")) << "no look-up hung: " << out.toStdString();
    ASSERT_TRUE(ended) << "the process still ran 15 s after the close";
    EXPECT_LT(took, 10000);
    EXPECT_EQ(probe.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(probe.exitCode(), 0);

    QFile settings(dir.filePath(QStringLiteral("settings.ini")));
    ASSERT_TRUE(settings.open(QIODevice::ReadOnly)) << "settings.ini was not written";
    EXPECT_TRUE(settings.readAll().contains("[tab]\ntab=1\n"));
}

}  // namespace
