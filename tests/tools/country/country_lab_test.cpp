// The Country Lookup with names, through the DNS lab's resolver (tests/lab/): the batch and
// the single look-up on the page, and quendrix-cli country. SlowDns.* run in a lab whose DNS
// answers after 300 ms (see CMakeLists.txt). Never run outside the lab.
#include "core/target_list_model.h"
#include "core/widgets/target_list_panel.h"
#include "support/cli_runner.h"
#include "support/dns_lab.h"
#include "support/test_files.h"
#include "tools/country/country_page_fixture.h"

#include <QLabel>
#include <QLineEdit>
#include <QTemporaryDir>
#include <QTest>
#include <QToolButton>

#include <gtest/gtest.h>

namespace quendrix {
namespace {

class CountryLab : public test::CountryPageFixture {
  protected:
    void SetUp() override { ASSERT_TRUE(test::InsideDnsLab()) << test::kOutsideDnsLab; }
};

using LabNames = CountryLab;
using SlowDns = CountryLab;

TEST_F(LabNames, BatchLooksUpTheReducedHostOfEachEntry) {
    // Every lab address is under 10.x, which the table gives to "United States".
    const QStringList entries{
        "one.lab.test",       "missing.lab.test", "  http://two.lab.test/index.html",
        "alias.lab.test/a/b", "57.0.0.1",         "HTTP://three.lab.test"};
    runBatch(entries, 30000);
    EXPECT_EQ(column(0), entries);
    EXPECT_EQ(column(1), (QStringList{"United States", "X", "United States", "United States",
                                      "France", "United States"}));
    EXPECT_EQ(text("Label49"), QStringLiteral("5"));
    EXPECT_EQ(text("Label51"), QStringLiteral("1"));
    EXPECT_EQ(text("Label56"), QStringLiteral("Done!"));
}

TEST_F(LabNames, SingleLookUpOfANameThatDoesNotResolveShowsX) {
    auto* input = page.findChild<QLineEdit*>(QStringLiteral("Edit3"));
    auto* result = page.findChild<QLineEdit*>(QStringLiteral("Edit6"));
    input->setText(QStringLiteral("http://three.lab.test/page"));
    QTest::keyClick(input, Qt::Key_Return);
    ASSERT_TRUE(QTest::qWaitFor([&] { return !result->text().isEmpty(); }, 10000));
    EXPECT_EQ(result->text(), QStringLiteral("United States"));
    input->setText(QStringLiteral("missing.lab.test"));
    QTest::keyClick(input, Qt::Key_Return);
    ASSERT_TRUE(QTest::qWaitFor([&] { return result->text() == QStringLiteral("X"); }, 10000));
}

TEST_F(LabNames, CommandLineResolvesTheListEntries) {
    QTemporaryDir dir;
    const QString list =
        test::WriteBytes(dir.filePath(QStringLiteral("names.txt")),
                         "two.lab.test\nmissing.lab.test\nhttp://one.lab.test/x\n");
    const test::CliRun run = test::RunCli(QStringLiteral("country"), {list});
    EXPECT_EQ(run.status, 0);
    EXPECT_EQ(run.out, QByteArray("Domain Name/IP Address,Country\ntwo.lab.test,United States\n"
                                  "missing.lab.test,X\nhttp://one.lab.test/x,United States\n"));
    EXPECT_EQ(run.err, QByteArray("Finished 3, Successful 2, Failed 1\n"));
}

TEST_F(SlowDns, StopWhileANameIsResolvedKeepsItsEntryAndWritesNothingMore) {
    page.list()->model()->replaceAll({"57.0.0.1", "one.lab.test", "two.lab.test"});
    page.whereis_startClick();
    ASSERT_TRUE(QTest::qWaitFor(
        [&] {
            return page.grid()->resultCount() == 1 &&
                   extraRowCell(0) == QStringLiteral("one.lab.test");
        },
        5000));
    page.whereis_stopClick();
    EXPECT_EQ(text("Label56"), QStringLiteral("Done!"));
    EXPECT_TRUE(host.navigationEnabled);
    QTest::qWait(1000);  // both names have answered by now
    EXPECT_EQ(column(0), QStringList{"57.0.0.1"});
    EXPECT_EQ(column(1), QStringList{"France"});
    EXPECT_EQ(extraRowCell(0), QStringLiteral("one.lab.test"));
    EXPECT_EQ(extraRowCell(1), QString());
    EXPECT_EQ(text("Label49"), QStringLiteral("1"));
    EXPECT_EQ(text("Label51"), QString());
    EXPECT_EQ(page.grid()->rowCount(), 2);
}

TEST_F(SlowDns, TheSingleLookUpThatEndsLastIsShown) {
    auto* input = page.findChild<QLineEdit*>(QStringLiteral("Edit3"));
    auto* result = page.findChild<QLineEdit*>(QStringLiteral("Edit6"));
    input->setText(QStringLiteral("one.lab.test"));
    page.SpeedButton9Click();
    input->setText(QStringLiteral("57.0.0.1"));
    page.SpeedButton9Click();
    ASSERT_TRUE(QTest::qWaitFor([&] { return result->text() == QStringLiteral("France"); }, 5000));
    ASSERT_TRUE(
        QTest::qWaitFor([&] { return result->text() == QStringLiteral("United States"); }, 5000));
}

}  // namespace
}  // namespace quendrix
