// quendrix-cli trace as a user runs it (a child process) inside the router chain of
// tests/lab/trace/run-trace-lab.sh, as root, as nobody with an ICMP datagram socket and as
// nobody without any ICMP socket: the hop lines on standard output as they come, the log on
// standard error, host names and "X", Max Hops, an unknown name, the refusal without a
// socket, the --out file byte for byte (also after Ctrl-C and a failed standard output), and
// bad usage. Outside the lab every test skips.
#include "support/cli_runner.h"
#include "support/test_files.h"
#include "support/trace_lab.h"

#include <QElapsedTimer>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <csignal>

namespace quendrix {
namespace {

using test::RunCli;

QString q(const std::string& text) {
    return QString::fromStdString(text);
}

QStringList Lines(const QByteArray& bytes) {
    EXPECT_TRUE(bytes.isEmpty() || bytes.endsWith('\n')) << bytes.toStdString();
    QStringList lines = QString::fromLocal8Bit(bytes).split(QLatin1Char('\n'));
    lines.removeLast();
    return lines;
}

// A whole line against a pattern in which "%TTL" and "%MS" stand for any number.
bool Matches(const QString& line, QString pattern) {
    pattern.replace(QStringLiteral("%TTL"), QStringLiteral("%N"))
        .replace(QStringLiteral("%MS"), QStringLiteral("%N"));
    QStringList pieces = pattern.split(QStringLiteral("%N"));
    for (QString& piece : pieces) {
        piece = QRegularExpression::escape(piece);
    }
    return QRegularExpression(QLatin1Char('^') + pieces.join(QStringLiteral("\\d+")) +
                              QLatin1Char('$'))
        .match(line)
        .hasMatch();
}

void ExpectLines(const QStringList& lines, const QStringList& patterns) {
    ASSERT_EQ(lines.size(), patterns.size()) << lines.join(QLatin1Char('|')).toStdString();
    for (qsizetype i = 0; i < lines.size(); ++i) {
        EXPECT_TRUE(Matches(lines[i], patterns[i]))
            << lines[i].toStdString() << " !~ " << patterns[i].toStdString();
    }
}

// The export file of what went to standard output: the same lines, CR LF.
// Standard output until its first line (the first hop) has come, the process has ended, or
// 30 s have passed.
QByteArray ReadFirstLine(QProcess& cli) {
    QByteArray out;
    QElapsedTimer waited;
    waited.start();
    while (!out.contains('\n') && waited.elapsed() < 30000 && cli.state() == QProcess::Running) {
        cli.waitForReadyRead(1000);
        out += cli.readAllStandardOutput();
    }
    return out;
}

QByteArray AsExport(QByteArray stdoutBytes) {
    return stdoutBytes.replace("\n", "\r\n");
}

class TraceCliLabTest : public ::testing::Test {
  protected:
    void SetUp() override {
        const auto lab = test::TraceLab::FromEnvironment();
        if (!lab) {
            GTEST_SKIP() << test::kOutsideTraceLab;
        }
        m_lab = *lab;
        ASSERT_EQ(m_lab.hops.size(), 3u);
        ASSERT_TRUE(m_dir.isValid());
    }

    QString hop(int number) const { return q(m_lab.hops.at(number - 1)); }
    QString path(const char* name) const { return m_dir.filePath(QLatin1String(name)); }

    test::TraceLab m_lab;
    QTemporaryDir m_dir;
};

// The runs that have an ICMP socket (raw or datagram).
class TraceCliSocketTest : public TraceCliLabTest {
  protected:
    void SetUp() override {
        TraceCliLabTest::SetUp();
        if (!IsSkipped() && !m_lab.hasSocket()) {
            GTEST_SKIP() << "this run has no ICMP socket";
        }
    }
};

TEST_F(TraceCliSocketTest, TracesTheTargetAtHopFourWithAndWithoutNames) {
    const QString target = q(m_lab.target);
    for (const bool names : {false, true}) {
        SCOPED_TRACE(names ? "--resolve-hosts" : "no names");
        // A web address with a path: the log keeps the text as typed, the trace uses its host.
        const QString typed = QStringLiteral("http://three.lab.test/index.html");
        QStringList words{typed, QStringLiteral("--wait"), QStringLiteral("3000")};
        if (names) {
            words << QStringLiteral("--resolve-hosts") << QStringLiteral("--out")
                  << path("trace.txt");
        }
        const test::CliRun run = RunCli(QStringLiteral("trace"), words);
        EXPECT_EQ(run.status, 0) << run.err.toStdString();
        EXPECT_FALSE(run.out.contains('\r'));
        const auto name = [&](const char* text) {
            return names ? QString::fromLatin1(text) : QString();
        };
        ExpectLines(
            Lines(run.out),
            {QStringLiteral("1    %1    %2    TTL=%TTL").arg(hop(1), name("one.lab.test")),
             QStringLiteral("2    %1    %2    TTL=%TTL").arg(hop(2), name("two.lab.test")),
             QStringLiteral("3    %1    %2    TTL=%TTL").arg(hop(3), name("X")),
             QStringLiteral("4    %1    %2    %MS ms").arg(target, name("three.lab.test"))});
        ExpectLines(Lines(run.err),
                    {QStringLiteral("resolving ") + typed,
                     QStringLiteral("%1 resolved to %2").arg(typed, target),
                     QStringLiteral("response from host %1 in %MS millisec.").arg(target)});
        if (names) {
            EXPECT_EQ(test::ReadBytes(path("trace.txt")).toStdString(),
                      AsExport(run.out).toStdString());
        }
    }
}

TEST_F(TraceCliSocketTest, MaxHopsAndTheEndsOfATrace) {
    // Max Hops 2: the first ping expires at the second router, two hops.
    test::CliRun run =
        RunCli(QStringLiteral("trace"), {q(m_lab.target), QStringLiteral("--max-hops=2")});
    EXPECT_EQ(run.status, 0) << run.err.toStdString();
    ExpectLines(Lines(run.out), {QStringLiteral("1    %1        TTL=%TTL").arg(hop(1)),
                                 QStringLiteral("2    %1        TTL=%TTL").arg(hop(2))});
    EXPECT_EQ(Lines(run.err).value(2), QStringLiteral("Hope 2 %1: TTL expired.").arg(hop(2)));

    // A silent hop is a row, and an unreachable answer ends the trace: both are traces that ran.
    run = RunCli(QStringLiteral("trace"), {q(m_lab.silentHop2), QStringLiteral("--wait=300")});
    EXPECT_EQ(run.status, 0) << run.err.toStdString();
    EXPECT_EQ(Lines(run.out).value(1), QStringLiteral("2    ?.?.?.?        Timed out."));
    run = RunCli(QStringLiteral("trace"), {q(m_lab.unreachableHop4)});
    EXPECT_EQ(run.status, 0) << run.err.toStdString();
    EXPECT_EQ(Lines(run.out).value(3),
              QStringLiteral("4    %1        Destination network unreachable").arg(hop(3)));
}

// A trace that fails before its first hop has nothing to write: an earlier file stays.
TEST_F(TraceCliLabTest, AnUnknownNameIsStatusOneWithTheTwoLogLinesAndLeavesTheFileAsItWas) {
    const QString file = test::WriteBytes(path("old.txt"), "an earlier trace\r\n");
    const test::CliRun run = RunCli(QStringLiteral("trace"), {QStringLiteral("nowhere.lab.test"),
                                                              QStringLiteral("--out"), file});
    EXPECT_EQ(run.status, 1);
    EXPECT_TRUE(run.out.isEmpty());
    EXPECT_EQ(run.err.toStdString(),
              "resolving nowhere.lab.test\nSocket Error # 11001\nHost not found.\n");
    EXPECT_EQ(test::ReadBytes(file), "an earlier trace\r\n");
}

TEST_F(TraceCliLabTest, WithoutAnIcmpSocketTheStatusIsThreeAndTheMessageSaysHowToAllowOne) {
    if (m_lab.hasSocket()) {
        GTEST_SKIP() << "this run has an ICMP socket";
    }
    const QString file = test::WriteBytes(path("old.txt"), "an earlier trace\r\n");
    const test::CliRun run =
        RunCli(QStringLiteral("trace"), {q(m_lab.target), QStringLiteral("--out"), file});
    EXPECT_EQ(run.status, 3);
    EXPECT_EQ(test::ReadBytes(file), "an earlier trace\r\n");
    EXPECT_TRUE(run.out.isEmpty());
    const QString err = QString::fromLocal8Bit(run.err);
    EXPECT_TRUE(err.startsWith(QStringLiteral("resolving %1\n%1 resolved to %1\n"
                                              "quendrix-cli trace: Socket Error # 10013\n"
                                              "Access denied.\n"
                                              "quendrix-cli trace: no ICMP socket can be opened")
                                   .arg(q(m_lab.target))))
        << run.err.toStdString();
    for (const char* fix : {"as root", "cap_net_raw", "net.ipv4.ping_group_range"}) {
        EXPECT_TRUE(err.contains(QLatin1String(fix))) << fix;
    }
}

TEST_F(TraceCliSocketTest, CtrlCEndsTheWaitAtOnceAndTheExportHoldsTheHopsSoFar) {
    // Hop 2 never answers for this target and would wait a minute.
    const QString file = path("interrupted.txt");
    QProcess cli;
    cli.start(QStringLiteral(QUENDRIX_CLI_PATH),
              {QStringLiteral("trace"), q(m_lab.silentHop2), QStringLiteral("--wait"),
               QStringLiteral("60000"), QStringLiteral("--out"), file});
    ASSERT_TRUE(cli.waitForStarted());
    // Hop 1's line comes while the trace still runs.
    QByteArray out = ReadFirstLine(cli);
    ASSERT_EQ(cli.state(), QProcess::Running) << out.toStdString();
    ASSERT_TRUE(out.contains('\n')) << "no hop line within 30 s";
    ::kill(static_cast<pid_t>(cli.processId()), SIGINT);
    // Well before the minute the hop would wait.
    ASSERT_TRUE(cli.waitForFinished(30000));
    out += cli.readAllStandardOutput();
    EXPECT_EQ(cli.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(cli.exitCode(), 128 + SIGINT);
    ExpectLines(Lines(out), {QStringLiteral("1    %1        TTL=%TTL").arg(hop(1))});
    EXPECT_TRUE(cli.readAllStandardError().endsWith("quendrix-cli trace: interrupted\n"));
    EXPECT_EQ(test::ReadBytes(file).toStdString(), AsExport(out).toStdString());
}

// Started with Ctrl-C ignored (a script's "trap '' INT", nohup), the trace keeps it ignored:
// SIGINT during a hop's wait changes nothing and the trace runs to its end.
TEST_F(TraceCliSocketTest, ACtrlCIgnoredByWhoStartedTheTraceStaysIgnored) {
    QProcess cli;
    // Hop 2 never answers for this target: its wait of 1.5 s is when the signal comes.
    cli.start(
        QStringLiteral("/bin/sh"),
        {QStringLiteral("-c"), QStringLiteral("trap '' INT; exec \"$0\" trace \"$1\" --wait 1500"),
         QStringLiteral(QUENDRIX_CLI_PATH), q(m_lab.silentHop2)});
    ASSERT_TRUE(cli.waitForStarted());
    QByteArray out = ReadFirstLine(cli);
    ASSERT_EQ(cli.state(), QProcess::Running) << out.toStdString();
    ::kill(static_cast<pid_t>(cli.processId()), SIGINT);
    ASSERT_TRUE(cli.waitForFinished(30000));
    out += cli.readAllStandardOutput();
    EXPECT_EQ(cli.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(cli.exitCode(), 0);
    ExpectLines(Lines(out), {QStringLiteral("1    %1        TTL=%TTL").arg(hop(1)),
                             QStringLiteral("2    ?.?.?.?        Timed out."),
                             QStringLiteral("3    %1        TTL=%TTL").arg(hop(3)),
                             QStringLiteral("4    %1        %MS ms").arg(q(m_lab.silentHop2))});
    EXPECT_FALSE(cli.readAllStandardError().contains("interrupted"));
}

TEST_F(TraceCliSocketTest, AFailedStandardOutputStillWritesTheExport) {
    const QString file = path("full.txt");
    QProcess cli;
    cli.setStandardOutputFile(QStringLiteral("/dev/full"));
    cli.start(QStringLiteral(QUENDRIX_CLI_PATH),
              {QStringLiteral("trace"), q(m_lab.target), QStringLiteral("--out"), file});
    ASSERT_TRUE(cli.waitForFinished(60000));
    EXPECT_EQ(cli.exitCode(), 1);
    EXPECT_TRUE(cli.readAllStandardError().endsWith(
        "quendrix-cli trace: cannot write to standard output: No space left on device\n"));
    // The hop whose line could not be printed is in the file.
    const QStringList lines =
        QString::fromLocal8Bit(test::ReadBytes(file)).split(QStringLiteral("\r\n"));
    ExpectLines(lines, {QStringLiteral("1    %1        TTL=%TTL").arg(hop(1)), QString()});
}

TEST_F(TraceCliLabTest, BadUsageIsStatusTwoAndSendsNothing) {
    const QStringList cases[] = {
        {},
        {QStringLiteral("a.lab.test"), QStringLiteral("b.lab.test")},
        {QStringLiteral("three.lab.test"), QStringLiteral("--max-hops"), QStringLiteral("0")},
        {QStringLiteral("three.lab.test"), QStringLiteral("--max-hops"), QStringLiteral("256")},
        {QStringLiteral("three.lab.test"), QStringLiteral("--max-hops"), QStringLiteral("x")},
        {QStringLiteral("three.lab.test"), QStringLiteral("--wait"), QStringLiteral("0")},
        {QStringLiteral("three.lab.test"), QStringLiteral("--wait"), QStringLiteral("60001")},
        {QStringLiteral("three.lab.test"), QStringLiteral("--out")},
        {QStringLiteral("three.lab.test"), QStringLiteral("--resolve-hosts=yes")},
    };
    for (const QStringList& words : cases) {
        SCOPED_TRACE(words.join(QLatin1Char(' ')).toStdString());
        const test::CliRun run = RunCli(QStringLiteral("trace"), words);
        EXPECT_EQ(run.status, 2);
        EXPECT_TRUE(run.out.isEmpty());
        EXPECT_TRUE(run.err.startsWith("quendrix-cli trace: ")) << run.err.toStdString();
        EXPECT_FALSE(run.err.contains("resolving")) << "the trace must not start";
    }
}

}  // namespace
}  // namespace quendrix
