// quendrix-cli ping, run as a user runs it, on loopback addresses only: the rows on standard
// output, the counters on standard error, the export files, the built lists, cycles and bad
// usage.
#include "support/cli_runner.h"
#include "support/test_files.h"

#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <csignal>

namespace quendrix {
namespace {

const QByteArray kHeaderText = "Status,IP or Domain/Host Name,Bytes,Time(ms),Failed Reason";
// Files are the window's exports (CR LF); standard output ends its lines in LF.
const QByteArray kHeader = kHeaderText + "\r\n";
const QByteArray kStdoutHeader = kHeaderText + "\n";

// The rows of a CSV text with their times taken out ("Running,127.0.0.1,34,#, "); every line
// ends in lineEnd.
QList<QByteArray> rowsWithoutTimes(const QByteArray& csv, const QByteArray& lineEnd = "\n") {
    QList<QByteArray> rows;
    const QList<QByteArray> lines = csv.split('\n');
    for (qsizetype i = 1; i < lines.size(); ++i) {
        if (lines.at(i).isEmpty()) {
            continue;
        }
        const QByteArray line = lines.at(i) + '\n';
        EXPECT_TRUE(line.endsWith(lineEnd) && !line.chopped(lineEnd.size()).contains('\r'))
            << line.toStdString();
        QList<QByteArray> cells = line.chopped(lineEnd.size()).split(',');
        if (cells.size() == 5 && cells.at(0) == "Running") {
            bool number = false;
            cells.at(3).toUInt(&number);
            EXPECT_TRUE(number) << lines.at(i).toStdString();
            cells[3] = "#";
        }
        rows.append(cells.join(','));
    }
    return rows;
}

class PingCliTest : public ::testing::Test {
  protected:
    void SetUp() override { ASSERT_TRUE(dir.isValid()); }
    QString writeList(const QByteArray& bytes, const QString& name = "list.txt") {
        return test::WriteBytes(dir.filePath(name), bytes);
    }
    QTemporaryDir dir;
};

TEST_F(PingCliTest, RowsGoToStandardOutputAsTheAllCsvKind) {
    // Windows line ends and a last line without one, as imports accept them; a bad dotted
    // address fails without any query.
    const QString list = writeList("127.0.0.1\r\n http://127.0.0.2/x \r\n300.1.1.1\r\n127.0.0.3");
    const test::CliRun run = test::RunCli("ping", {list});
    EXPECT_EQ(run.status, 0) << run.err.toStdString();
    EXPECT_TRUE(run.out.startsWith(kStdoutHeader));
    EXPECT_EQ(
        rowsWithoutTimes(run.out),
        (QList<QByteArray>{"Running,127.0.0.1,34,#, ", "Running,127.0.0.1,34,#, ",
                           "Running, http://127.0.0.2/x ,34,#, ",
                           "Running, http://127.0.0.2/x ,34,#, ", "X,300.1.1.1, , ,Unknown host",
                           "Running,127.0.0.3,34,#, ", "Running,127.0.0.3,34,#, "}));
    EXPECT_EQ(run.err, "Finished 7, Successful 6, Failed 1, Total Count 7\n");

    // The same rows through --out are the bytes the export writes: compare them without
    // their times.
    const QString path = dir.filePath("all.csv");
    const test::CliRun toFile =
        test::RunCli("ping", {list, "--count", "1", "--timeout", "1000", "--out", path});
    EXPECT_EQ(toFile.status, 0);
    EXPECT_TRUE(toFile.out.isEmpty());
    const QByteArray written = test::ReadBytes(path);
    EXPECT_TRUE(written.startsWith(kHeader));
    EXPECT_EQ(rowsWithoutTimes(written, "\r\n"),
              (QList<QByteArray>{"Running,127.0.0.1,34,#, ", "Running, http://127.0.0.2/x ,34,#, ",
                                 "X,300.1.1.1, , ,Unknown host", "Running,127.0.0.3,34,#, "}));
    EXPECT_EQ(toFile.err, "Finished 4, Successful 3, Failed 1, Total Count 4\n");
}

TEST_F(PingCliTest, ExportKindsToFiles) {
    const QString list = writeList("127.0.0.1\n300.1.1.1\n127.0.0.4\n");
    const struct {
        const char* kind;
        QByteArray expected;  // whole file, or the start of it for HTML
    } kinds[] = {
        {"running-txt", "127.0.0.1\r\n127.0.0.4\r\n"},
        {"nonrunning-txt", "300.1.1.1\r\n"},
        {"nonrunning-csv", kHeader + "X,300.1.1.1, , ,Unknown host\r\n"},
        {"all-htm", "<html><head><title>Corvanel</title></head>\r\n"},
        {"nonrunning-htm", "<html><head><title>Corvanel</title></head>\r\n"},
    };
    for (const auto& kind : kinds) {
        SCOPED_TRACE(kind.kind);
        const QString path = dir.filePath(QString::fromLatin1(kind.kind));
        const test::CliRun run =
            test::RunCli("ping", {list, "--count", "3", "--export", kind.kind, "--out", path});
        EXPECT_EQ(run.status, 0) << run.err.toStdString();
        EXPECT_EQ(run.err, "Finished 7, Successful 6, Failed 1, Total Count 7\n");
        const QByteArray bytes = test::ReadBytes(path);
        if (QByteArray(kind.kind).endsWith("htm")) {
            EXPECT_TRUE(bytes.startsWith(kind.expected));
            EXPECT_TRUE(bytes.contains("<font color=\"#FF0000\">Unknown host</font>") ==
                        (QByteArray(kind.kind) == "all-htm"));
        } else {
            EXPECT_EQ(bytes, kind.expected);
        }
    }
}

TEST_F(PingCliTest, RangeNeighbourhoodAndCycles) {
    test::CliRun run = test::RunCli("ping", {"--range", "127.0.0", "1", "3", "--count", "1"});
    EXPECT_EQ(run.status, 0);
    EXPECT_EQ(rowsWithoutTimes(run.out),
              (QList<QByteArray>{"Running,127.0.0.1,34,#, ", "Running,127.0.0.2,34,#, ",
                                 "Running,127.0.0.3,34,#, "}));

    run = test::RunCli("ping", {"--neighbourhood", "127.0.1.1", "--size", "4", "--count", "1"});
    EXPECT_EQ(run.status, 0);
    EXPECT_EQ(rowsWithoutTimes(run.out),
              (QList<QByteArray>{"Running,127.0.0.255,34,#, ", "Running,127.0.1.0,34,#, ",
                                 "Running,127.0.1.1,34,#, ", "Running,127.0.1.2,34,#, ",
                                 "Running,127.0.1.3,34,#, "}));

    // Cycles append to the same rows; the counts are the last cycle's.
    const QString list = writeList("127.0.0.1\n300.1.1.1\n");
    run = test::RunCli("ping", {list, "--count", "2", "--cycles", "3", "--per", "0"});
    EXPECT_EQ(run.status, 0);
    EXPECT_EQ(rowsWithoutTimes(run.out).size(), 9);
    EXPECT_EQ(run.err, "Finished 3, Successful 2, Failed 1, Total Count 9\n");
    const QString hosts = dir.filePath("hosts.txt");
    run = test::RunCli("ping", {list, "--count", "2", "--cycles", "2", "--per", "0", "--export",
                                "running-txt", "--out", hosts});
    EXPECT_EQ(test::ReadBytes(hosts), "127.0.0.1\r\n127.0.0.1\r\n") << "each host once per cycle";
}

// Continuous cycles end with Ctrl-C or SIGTERM: as a shell reports a command that a signal
// ended (128 + the signal), with the rows printed so far and a word on standard error.
TEST_F(PingCliTest, CtrlCAndSigtermEndContinuousCycles) {
    const struct {
        int signal;
        int status;
        QByteArray message;
    } cases[] = {{SIGINT, 130, "quendrix-cli ping: interrupted\n"},
                 {SIGTERM, 143, "quendrix-cli ping: ended by SIGTERM\n"}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.signal);
        QProcess cli;
        cli.start(QStringLiteral(QUENDRIX_CLI_PATH),
                  {"ping", "--range", "127.0.0", "1", "2", "--count", "1", "--cycles", "1000000",
                   "--per", "3600"});
        // The header and the first cycle's two rows, then an hour's pause.
        QByteArray printed;
        while (printed.count('\n') < 3 && cli.waitForReadyRead(30000)) {
            printed += cli.readAllStandardOutput();
        }
        ASSERT_EQ(printed.count('\n'), 3) << printed.toStdString();
        ASSERT_EQ(::kill(static_cast<pid_t>(cli.processId()), c.signal), 0);
        ASSERT_TRUE(cli.waitForFinished(30000));
        EXPECT_EQ(cli.exitStatus(), QProcess::NormalExit) << "ended by itself, not by the signal";
        EXPECT_EQ(cli.exitCode(), c.status);
        EXPECT_EQ(cli.readAllStandardError(), c.message);
        EXPECT_EQ(rowsWithoutTimes(printed + cli.readAllStandardOutput()),
                  (QList<QByteArray>{"Running,127.0.0.1,34,#, ", "Running,127.0.0.2,34,#, "}));
    }
}

TEST_F(PingCliTest, BadUsageAndUnreadableFilesExitWithTwo) {
    const QString list = writeList("127.0.0.1\n");
    const struct {
        QStringList arguments;
        QString message;
    } cases[] = {
        {{}, "missing the list: FILE, --range PREFIX FROM TO or --neighbourhood"},
        {{list, list}, "unexpected argument '"},
        {{list, "--range", "127.0.0", "1", "2"}, "give one list"},
        {{list, "--frobnicate", "1"}, "unknown option '--frobnicate'"},
        {{list, "--count"}, "missing N after --count"},
        {{list, "--count", "0"}, "--count wants"},
        {{list, "--timeout", "x"}, "--timeout wants"},
        {{list, "--cycles", "0"}, "--cycles wants"},
        {{list, "--per", "-1"}, "--per wants"},
        // Milliseconds stay within what a wait and a timer take: no number wraps around.
        {{list, "--timeout", "60001"}, "--timeout wants milliseconds from 1 to 60000"},
        {{list, "--timeout", "4294968"}, "--timeout wants milliseconds from 1 to 60000"},
        {{list, "--timeout", "99999999999999999999"}, "--timeout wants milliseconds"},
        {{list, "--per", "86401"}, "--per wants seconds from 0 to 86400"},
        {{list, "--per", "2147484"}, "--per wants seconds from 0 to 86400"},
        {{list, "--per", "4294968"}, "--per wants seconds from 0 to 86400"},
        {{list, "--export", "all-csv"}, "missing --out PATH for --export"},
        {{list, "--export", "everything", "--out", "x"}, "unknown export kind 'everything'"},
        {{"--neighbourhood", "127.0.0.1"}, "missing --size N for --neighbourhood"},
        {{"--neighbourhood", "127.0.0.1", "--size", "3"}, "--size wants an even number"},
        {{"--neighbourhood", "127.0.x.1", "--size", "4"}, "'x' is not a valid integer value"},
        {{"--neighbourhood", "127.0.0.300", "--size", "4"}, "Please enter the correct IP address!"},
        {{"--neighbourhood", "0.0.0.1", "--size", "4"}, "below 0.0.0.0: nothing pinged"},
        {{"--range", "127.0.0", "1"}, "missing TO after --range"},
        {{"--range", "127.0.0", "1", "256"}, "Please insert number 0-255!\n"},
        {{"--range", "127.0.0", "x", "2"}, "Please insert number 0-255!\n"},
        {{"--range", "127.0.0", "5", "1"}, "the list is empty"},
        {{dir.filePath("missing.txt")}, "Cannot open file \""},
        {{writeList("", "empty.txt")}, "the list is empty"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.arguments.join(' ').toStdString());
        const test::CliRun run = test::RunCli("ping", c.arguments);
        EXPECT_EQ(run.status, 2);
        EXPECT_TRUE(run.out.isEmpty());
        EXPECT_TRUE(QString::fromLocal8Bit(run.err).contains(c.message)) << run.err.toStdString();
    }

    const test::CliRun help = test::RunCli("ping", {"--help"});
    EXPECT_EQ(help.status, 0);
    for (const char* kind : {"running-txt", "nonrunning-txt", "running-htm", "running-csv",
                             "nonrunning-htm", "nonrunning-csv", "all-htm", "all-csv"}) {
        EXPECT_TRUE(help.out.contains(QByteArray("  ") + kind + "\n")) << kind;
    }
}

}  // namespace
}  // namespace quendrix
