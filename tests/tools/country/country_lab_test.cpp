// The Country Lookup with names, through the DNS lab's resolver (tests/lab/): the batch and
// the single look-up on the page, and quendrix-cli country. SlowDns.* run in a lab whose DNS
// answers after 300 ms (see CMakeLists.txt). Never run outside the lab.
#include "core/target_list_model.h"
#include "core/widgets/target_list_panel.h"
#include "support/fake_host.h"
#include "tools/country/country_grid_model.h"
#include "tools/country/country_page.h"

#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>
#include <QToolButton>

#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <iterator>
#include <string>

namespace quendrix {
namespace {

// The lab marks its resolv.conf; the real one must never be used here.
bool insideDnsLab() {
    const char* lab = std::getenv("QUENDRIX_LAB");
    if (lab == nullptr || std::string(lab) != "dns") {
        return false;
    }
    std::ifstream resolvConf("/etc/resolv.conf");
    const std::string text{std::istreambuf_iterator<char>(resolvConf), {}};
    return text.find("# quendrix dns lab") != std::string::npos;
}

class CountryLab : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(insideDnsLab())
            << "not inside the DNS lab: run through tests/lab/lab-run dns (ctest -L lab)";
    }
    QString text(const char* label) {
        return page.findChild<QLabel*>(QString::fromLatin1(label))->text();
    }
    QStringList column(int c) {
        QStringList cells;
        for (int row = 0; row < page.grid()->resultCount(); ++row) {
            cells << page.grid()->cell(row, c);
        }
        return cells;
    }
    QString extraRowCell(int c) {
        const auto* model = page.grid();
        return model->data(model->index(model->rowCount() - 1, c), Qt::DisplayRole).toString();
    }
    test::FakeHost host;
    CountryPage page{host};
};

using LabNames = CountryLab;
using SlowDns = CountryLab;

TEST_F(LabNames, BatchLooksUpTheReducedHostOfEachEntry) {
    // Every lab address is under 10.x, which the table gives to "United States".
    const QStringList entries{
        "one.lab.test",       "missing.lab.test", "  http://two.lab.test/index.html",
        "alias.lab.test/a/b", "57.0.0.1",         "HTTP://three.lab.test"};
    page.list()->model()->replaceAll(entries);
    page.whereis_startClick();
    ASSERT_TRUE(QTest::qWaitFor([&] { return !page.batchRunning(); }, 30000));
    QTest::qWait(20);
    EXPECT_EQ(column(0), entries);
    EXPECT_EQ(column(1), (QStringList{"United States", "X", "United States", "United States",
                                      "France", "United States"}));
    EXPECT_EQ(text("Label49"), QStringLiteral("5"));
    EXPECT_EQ(text("Label51"), QStringLiteral("1"));
    EXPECT_EQ(text("Label56"), QStringLiteral("Done!"));
}

TEST_F(LabNames, SingleLookUpOfANameThatDoesNotResolveShowsX) {
    auto* input = page.inputBox();
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
    const QString list = dir.filePath(QStringLiteral("names.txt"));
    QFile file(list);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write("two.lab.test\nmissing.lab.test\nhttp://one.lab.test/x\n");
    file.close();
    QProcess process;
    process.start(QStringLiteral(QUENDRIX_CLI_PATH), {QStringLiteral("country"), list});
    ASSERT_TRUE(process.waitForFinished(60000));
    EXPECT_EQ(process.exitCode(), 0);
    EXPECT_EQ(process.readAllStandardOutput(),
              QByteArray("Domain Name/IP Address,Country\ntwo.lab.test,United States\n"
                         "missing.lab.test,X\nhttp://one.lab.test/x,United States\n"));
    EXPECT_EQ(process.readAllStandardError(), QByteArray("Successful: 2, Failed: 1\n"));
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
    auto* input = page.inputBox();
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
