// quendrix-cli convert against the converter page: for the same list, every export kind the
// command writes has the page's bytes (the date line of the HTML pages aside), standard
// output is the page's all-csv, and the counts and exit statuses are right. Outside the lab
// the lists hold literal addresses and localhost only; inside it (converter_cli_lab_test)
// they add the lab's names and a neighbourhood.
#include "core/widgets/export_dialog.h"
#include "support/cli_runner.h"
#include "support/dns_lab.h"
#include "support/test_files.h"
#include "tools/convert/conversion_export.h"
#include "tools/convert/converter_page_fixture.h"

#include <QTemporaryDir>

namespace quendrix {
namespace {

// The bytes with the HTML date line taken out (there is one, and only in HTML pages).
QByteArray withoutDateLine(QByteArray bytes) {
    const qsizetype start = bytes.indexOf("Created by Quendrix ");
    if (start >= 0) {
        const qsizetype lineStart = bytes.lastIndexOf("\r\n", start) + 2;
        const qsizetype lineEnd = bytes.indexOf("\r\n", start);
        bytes.replace(lineStart, lineEnd - lineStart, "DATE");
    }
    return bytes;
}

class ConvertCommandTest : public test::ConverterPageFixture {
  protected:
    QString writeList(const QString& name, const QByteArray& bytes) {
        return test::WriteBytes(dir.filePath(name), bytes);
    }
    // The page's export of every kind of its current grid, by kind.
    QList<QByteArray> pageExports(const QString& tag) {
        QList<QByteArray> files;
        ExportDialog* dialog = page.exportDialog();
        for (int kind = 0; kind < ConversionExportKinds().size(); ++kind) {
            const QString path = dir.filePath(QStringLiteral("page-%1-%2").arg(tag).arg(kind));
            dialog->choose(kind);
            host.recording.files = {path};
            dialog->Button1Click();
            files.append(test::ReadBytes(path));
        }
        return files;
    }
    // Runs the command for each kind with the given list arguments and compares with the
    // page's files.
    void expectSameBytes(const QStringList& listArgs, const QString& tag) {
        const QList<QByteArray> expected = pageExports(tag);
        const QString counts = QStringLiteral("Finished %1, Successful %2, Failed %3\n")
                                   .arg(page.batch()->counters().finished)
                                   .arg(page.batch()->counters().successful)
                                   .arg(page.batch()->counters().failed);
        for (int kind = 0; kind < ConversionExportKinds().size(); ++kind) {
            const QString name = ConversionExportKinds().at(kind).cliName;
            SCOPED_TRACE(name.toStdString());
            const QString out = dir.filePath(QStringLiteral("cli-%1-%2").arg(tag).arg(kind));
            const test::CliRun run =
                test::RunCli("convert", listArgs + QStringList{"--export", name, "--out", out});
            EXPECT_EQ(run.status, 0) << run.err.toStdString();
            EXPECT_EQ(QString::fromLocal8Bit(run.err), counts);
            EXPECT_TRUE(run.out.isEmpty());
            EXPECT_EQ(withoutDateLine(test::ReadBytes(out)), withoutDateLine(expected.at(kind)));
        }
        // Without --out: the all-csv lines on standard output, with LF line ends.
        const test::CliRun run = test::RunCli("convert", listArgs);
        EXPECT_EQ(run.status, 0);
        EXPECT_EQ(run.out, QByteArray(expected.at(5)).replace("\r\n", "\n"));
        EXPECT_EQ(QString::fromLocal8Bit(run.err), counts);
    }
    QTemporaryDir dir;
};

TEST_F(ConvertCommandTest, WritesThePagesBytesForEveryKind) {
    QByteArray names = "127.0.0.1\r\nhttp://localhost/index.html\r\n 127.0.0.2 \r\n";
    QByteArray addresses = "127.0.0.1\nnot an address\n\n127.0.0.1,comma\n";
    if (test::InsideDnsLab()) {
        names += "one.lab.test\r\nmissing.lab.test\r\ntwo.lab.test\r\nalias.lab.test\r\n";
        addresses += "10.250.1.13\n10.250.1.99\n";
    }
    const QString nameList = writeList("names.txt", names);
    page.list()->importFile(nameList);
    page.B_nametoip_start_buttonClick();
    waitForBatch();
    expectSameBytes({"--to-ip", nameList}, "names");

    const QString addressList = writeList("addresses.txt", addresses);
    page.list()->importFile(addressList);
    page.b_iptoname_start_buttonClick();
    waitForBatch();
    expectSameBytes({"--to-name", addressList}, "addresses");
}

TEST_F(ConvertCommandTest, NeighbourhoodAsTheList) {
    if (!test::InsideDnsLab()) {
        GTEST_SKIP() << "reverse look-ups of a neighbourhood need the DNS lab";
    }
    convertNeighbourhood("10.250.1.12", "20");
    ASSERT_EQ(page.grid()->resultCount(), 21);
    expectSameBytes({"--neighbourhood", "10.250.1.12", "--size", "20"}, "hood");
}

TEST_F(ConvertCommandTest, BadUsageAndUnreadableFilesExitWithTwo) {
    const QString list = writeList("list.txt", "127.0.0.1\n");
    const QString empty = writeList("empty.txt", "");
    struct Case {
        QStringList args;
        int exitCode;
        QString errorPart;
    };
    const QList<Case> cases = {
        {{"--to-ip", dir.filePath("missing.txt")},
         2,
         QStringLiteral("Cannot open file \"%1\". ").arg(dir.filePath("missing.txt"))},
        {{}, 2, "missing the list: --to-ip FILE, --to-name FILE or --neighbourhood"},
        {{"--to-ip"}, 2, "missing FILE after --to-ip"},
        {{"one.txt"}, 2, "'one.txt' needs its direction: --to-ip FILE"},
        {{"--to-ip", list, "--to-name", list}, 2, "give one list"},
        {{"--to-ip", list, "--export", "all-xls", "--out", dir.filePath("x")}, 2, "all-xls"},
        {{"--to-ip", list, "--export", "all-htm"}, 2, "missing --out PATH for --export"},
        {{"--to-ip", list, "--frobnicate", "1"}, 2, "--frobnicate"},
        {{"--to-ip", empty}, 2, "the list is empty"},
        {{"--neighbourhood", "127.0.0.1"}, 2, "missing --size N for --neighbourhood"},
        {{"--neighbourhood", "127.0.0.1", "--size", "15"}, 2, "even"},
        {{"--neighbourhood", "127.0.0.x", "--size", "20"}, 2, "'x' is not a valid integer value"},
        {{"--neighbourhood", "127.0.0.300", "--size", "20"},
         2,
         "Please enter the correct IP address!"},
        {{"--neighbourhood", "0.0.0.10", "--size", "20"}, 2, "below 0.0.0.0"},
        {{"--neighbourhood", "255.255.255.250", "--size", "20"}, 2, "past 255.255.255.255"},
        // The run itself completed; the file could not be written.
        {{"--to-ip", list, "--export", "all-csv", "--out", dir.filePath("no/such/dir.csv")},
         1,
         "File not found"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.args.join(' ').toStdString());
        const test::CliRun run = test::RunCli("convert", c.args);
        EXPECT_EQ(run.status, c.exitCode);
        EXPECT_TRUE(QString::fromLocal8Bit(run.err).contains(c.errorPart)) << run.err.toStdString();
    }
}

}  // namespace
}  // namespace quendrix
