// quendrix-cli country, run as a user runs it, on literal addresses and localhost: the rows on
// standard output, the counters on standard error, the export files, --address and bad usage.
#include "core/export_writer.h"
#include "support/cli_runner.h"
#include "support/test_files.h"
#include "tools/country/country_export.h"
#include "tools/country/country_grid_model.h"

#include <QDateTime>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace quendrix::whereis {
namespace {

class CountryCliTest : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(dir.isValid());
        // Windows line ends and a last line without one, as imports accept them.
        list = test::WriteBytes(dir.filePath(QStringLiteral("list.txt")),
                                "52.0.0.1\r\n175.1.1.1\r\n http://3.0.0.1/index.htm\r\nlocalhost");
    }
    QTemporaryDir dir;
    QString list;
};

TEST_F(CountryCliTest, RowsGoToStandardOutputAsTheAllCsvKind) {
    const test::CliRun run = test::RunCli(QStringLiteral("country"), {list});
    EXPECT_EQ(run.status, 0);
    EXPECT_EQ(run.out, QByteArray("Domain Name/IP Address,Country\n"
                                  "52.0.0.1,Germany\n"
                                  "175.1.1.1,X\n"
                                  " http://3.0.0.1/index.htm,General Electric Company, NJ "
                                  "(NET-GE-INTERNET)\n"
                                  "localhost,United States\n"));
    EXPECT_EQ(run.err, QByteArray("Finished 4, Successful 3, Failed 1\n"));
}

TEST_F(CountryCliTest, ExportKindsWriteThePageBytes) {
    // The page's export of the same rows; only the HTML creation time may differ.
    CountryGridModel grid;
    grid.writeResult(QStringLiteral("52.0.0.1"), QStringLiteral("Germany"));
    grid.writeResult(QStringLiteral("175.1.1.1"), QStringLiteral("X"));
    grid.writeResult(QStringLiteral(" http://3.0.0.1/index.htm"),
                     QStringLiteral("General Electric Company, NJ (NET-GE-INTERNET)"));
    grid.writeResult(QStringLiteral("localhost"), QStringLiteral("United States"));
    const struct {
        const char* name;
        CountryExportKind kind;
    } kinds[] = {{"ok-htm", CountryExportKind::SuccessfulHtm},
                 {"ok-csv", CountryExportKind::SuccessfulCsv},
                 {"all-htm", CountryExportKind::AllHtm},
                 {"all-csv", CountryExportKind::AllCsv}};
    for (const auto& k : kinds) {
        const QString out = dir.filePath(QString::fromLatin1(k.name));
        const test::CliRun run = test::RunCli(
            QStringLiteral("country"), {list, QStringLiteral("--export"),
                                        QString::fromLatin1(k.name), QStringLiteral("--out"), out});
        EXPECT_EQ(run.status, 0) << k.name;
        EXPECT_TRUE(run.out.isEmpty());
        EXPECT_EQ(run.err, QByteArray("Finished 4, Successful 3, Failed 1\n"));
        const QString expectedPath = out + QStringLiteral(".expected");
        QStringList lines = CountryExportLines(grid, k.kind, QDateTime::currentDateTime());
        QByteArray written = test::ReadBytes(out);
        if (k.kind == CountryExportKind::SuccessfulHtm || k.kind == CountryExportKind::AllHtm) {
            // Take the creation line from the written file.
            const QList<QByteArray> writtenLines = written.split('\n');
            lines[lines.size() - 3] =
                QString::fromUtf8(writtenLines.at(writtenLines.size() - 4).chopped(1));
        }
        ASSERT_FALSE(WriteExportFile(expectedPath, lines).has_value());
        EXPECT_EQ(written, test::ReadBytes(expectedPath)) << k.name;
    }
}

TEST_F(CountryCliTest, AddressIsLookedUpInTheTableAlone) {
    // X is the one answer asked for failing, as with resolve.
    const struct {
        const char* address;
        const char* out;
        int status;
    } cases[] = {
        {"13.1.1.1", "Xerox Palo Alto Research Center, CA (NET-XEROX-NET) \n", 0},
        {"200.17.0.1", "Brazilian\n", 0},
        {"61.08.0.1", "X\n", 1},
        {"localhost", "X\n", 1},  // a name is not resolved
    };
    for (const auto& c : cases) {
        const test::CliRun run =
            test::RunCli(QStringLiteral("country"),
                         {QStringLiteral("--address"), QString::fromLatin1(c.address)});
        EXPECT_EQ(run.status, c.status) << c.address;
        EXPECT_EQ(run.out, QByteArray(c.out)) << c.address;
    }
}

TEST_F(CountryCliTest, BadUsageAndUnreadableFilesExitWithTwo) {
    const QStringList bad[] = {
        {},
        {QStringLiteral("--address")},
        {list, QStringLiteral("--export"), QStringLiteral("all-txt"), QStringLiteral("--out"),
         QStringLiteral("x")},
        {list, QStringLiteral("--export"), QStringLiteral("all-csv")},
        {list, list},
        {QStringLiteral("--address"), QStringLiteral("1.2.3.4"), list},
    };
    for (const QStringList& arguments : bad) {
        const test::CliRun run = test::RunCli(QStringLiteral("country"), arguments);
        EXPECT_EQ(run.status, 2) << arguments.join(QLatin1Char(' ')).toStdString();
        EXPECT_TRUE(run.out.isEmpty());
        EXPECT_FALSE(run.err.isEmpty());
    }
    const QString missing = dir.filePath(QStringLiteral("missing.txt"));
    const test::CliRun run = test::RunCli(QStringLiteral("country"), {missing});
    EXPECT_EQ(run.status, 2);
    EXPECT_TRUE(run.err.startsWith(
        QStringLiteral("quendrix-cli country: Cannot open file \"%1\". ").arg(missing).toUtf8()))
        << run.err.data();
}

TEST_F(CountryCliTest, AnExportThatCannotBeWrittenFails) {
    const test::CliRun run =
        test::RunCli(QStringLiteral("country"),
                     {list, QStringLiteral("--export"), QStringLiteral("ok-csv"),
                      QStringLiteral("--out"), dir.filePath(QStringLiteral("no/such/dir.csv"))});
    EXPECT_EQ(run.status, 1);
    EXPECT_TRUE(run.err.endsWith(": File not found\n")) << run.err.data();
}

}  // namespace
}  // namespace quendrix::whereis
