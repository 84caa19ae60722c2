// The converter page's batch part and its export, on literal addresses and localhost only
// (the resolver answers those without a query). Names with several addresses, missing names,
// slow answers and the neighbourhood run in converter_lab_test.
#include "core/export_writer.h"
#include "core/widgets/export_dialog.h"
#include "support/loopback_targets.h"
#include "support/test_files.h"
#include "tools/convert/converter_page_fixture.h"

#include <QCheckBox>
#include <QCoreApplication>
#include <QRadioButton>
#include <QTableView>
#include <QTemporaryDir>

namespace quendrix {
namespace {

using ConverterPageTest = test::ConverterPageFixture;

TEST_F(ConverterPageTest, EmptyListWarnsAndLeavesEverythingAsItWas) {
    page.grid()->writeRow({"old", "10.0.0.1"});
    page.B_nametoip_start_buttonClick();
    page.b_iptoname_start_buttonClick();
    EXPECT_EQ(host.recording.messages(),
              (QStringList{"| Please import the domain/host names list(*.txt)! ",
                           "Vantrell| Please import the IP addresses list(*.txt)! "}));
    for (const auto& prompt : host.recording.recorded) {
        EXPECT_EQ(prompt.icon, Prompts::Icon::Warning);
    }
    EXPECT_EQ(rows(), QStringList{"old|10.0.0.1"});
    EXPECT_EQ(label("Label52"), "");
    EXPECT_FALSE(page.batch()->hasStarted());
    EXPECT_TRUE(host.navigationEnabled);

    // Stop before any start does nothing at all.
    host.navigationEnabled = false;
    page.B_nametoip_end_buttonClick();
    EXPECT_EQ(label("Label52"), "");
    EXPECT_FALSE(host.navigationEnabled);
}

TEST_F(ConverterPageTest, ConvertsTheListBothWaysWithConsistentCounters) {
    // At every change the labels add up and match the grid.
    int changes = 0;
    QObject::connect(page.batch(), &BatchConversion::countersChanged, &page, [&] {
        ++changes;
        const int finished = label("Label18").toInt();
        EXPECT_EQ(finished, label("Label16").toInt() + label("Label17").toInt());
        EXPECT_EQ(finished, page.grid()->resultCount());
    });

    setList({"127.0.0.1", " http://localhost/index.html", "127.0.0.2"});
    page.B_nametoip_start_buttonClick();
    EXPECT_EQ(label("Label52"), "Working...");
    EXPECT_FALSE(host.navigationEnabled);
    EXPECT_FALSE(button("B_nametoip_start_button")->isEnabled());
    EXPECT_FALSE(button("b_iptoname_start_button")->isEnabled());
    waitForBatch();
    EXPECT_EQ(rows(), (QStringList{"127.0.0.1|127.0.0.1", " http://localhost/index.html|127.0.0.1",
                                   "127.0.0.2|127.0.0.2"}));
    // No failure yet: its label stays blank.
    EXPECT_EQ(counters(), "3/3/");
    EXPECT_EQ(label("Label52"), "Done!");
    EXPECT_TRUE(host.navigationEnabled);
    EXPECT_TRUE(button("B_nametoip_start_button")->isEnabled());
    EXPECT_TRUE(button("b_iptoname_start_button")->isEnabled());
    // The grid ends with its empty row, and the last row written is the selected one.
    QCoreApplication::processEvents();
    EXPECT_EQ(page.grid()->rowCount(), 4);
    auto* grid = page.findChild<QTableView*>(QStringLiteral("StringGrid2"));
    ASSERT_NE(grid, nullptr);
    EXPECT_EQ(grid->selectionModel()->selectedRows().value(0).row(), 2);

    // A new job starts from an empty grid; a text that is no address is an "Unknown" row.
    setList({"127.0.0.1", "not an address", ""});
    page.b_iptoname_start_buttonClick();
    EXPECT_EQ(counters(), "//");
    waitForBatch();
    EXPECT_EQ(rows(), (QStringList{"localhost|127.0.0.1", "Unknown|not an address", "Unknown|"}));
    EXPECT_EQ(counters(), "3/1/2");
    EXPECT_GE(changes, 2);
}

TEST_F(ConverterPageTest, StopEndsTheJobAtOnce) {
    setList(test::LoopbackTargets(60000));
    page.B_nametoip_start_buttonClick();
    while (page.grid()->resultCount() == 0) {
        QCoreApplication::processEvents();
    }
    page.B_nametoip_end_buttonClick();
    EXPECT_EQ(label("Label52"), "Done!");
    EXPECT_TRUE(host.navigationEnabled);
    EXPECT_TRUE(button("B_nametoip_start_button")->isEnabled());
    EXPECT_TRUE(button("b_iptoname_start_button")->isEnabled());
    const QStringList atStop = rows();
    const QString countersAtStop = counters();
    ASSERT_LT(atStop.size(), 60000);
    EXPECT_EQ(countersAtStop, QStringLiteral("%1/%1/").arg(atStop.size()));

    test::ProcessEventsFor(300);
    EXPECT_EQ(rows(), atStop);
    EXPECT_EQ(counters(), countersAtStop);

    // Stop after the end only enables again.
    host.navigationEnabled = false;
    button("SpeedButton5")->click();
    EXPECT_TRUE(host.navigationEnabled);
    EXPECT_EQ(rows(), atStop);

    // The next start begins afresh and runs to its end.
    setList({"127.0.0.9"});
    page.B_nametoip_start_buttonClick();
    waitForBatch();
    EXPECT_EQ(rows(), QStringList{"127.0.0.9|127.0.0.9"});
    EXPECT_EQ(counters(), "1/1/");
}

TEST_F(ConverterPageTest, RowsReachTheGridInBatches) {
    // However fast the rows come, the view hears of them at most once per applied batch,
    // never once per row.
    int inserts = 0;
    int batches = 0;
    QObject::connect(page.grid(), &QAbstractItemModel::rowsInserted, &page, [&] { ++inserts; });
    QObject::connect(page.batch(), &BatchConversion::countersChanged, &page, [&] { ++batches; });
    setList(test::LoopbackTargets(20000));
    page.B_nametoip_start_buttonClick();
    waitForBatch();
    QCoreApplication::processEvents();
    EXPECT_EQ(page.grid()->resultCount(), 20000);
    EXPECT_EQ(page.grid()->rowCount(), 20001);
    EXPECT_GT(inserts, 0);
    EXPECT_LE(inserts, batches);
}

// The grid the export tests write out: a name with two addresses (and a comma), a missing
// name, a failed reverse look-up.
class ConverterExportTest : public test::ConverterPageFixture {
  protected:
    void SetUp() override {
        page.grid()->writeRow({"one.example", "10.0.0.1"});
        page.grid()->writeRow({"missing.example", "Unknown"});
        page.grid()->writeRow({"two,comma", "10.0.0.2"});
        page.grid()->writeRow({"two,comma", "10.0.0.3"});
        page.grid()->writeRow({"Unknown", "10.0.0.9"});
    }
    // Writes kind through the dialog; returns the file's lines (split at CR LF).
    QStringList exportKind(int kind, const QString& name) {
        const QString path = dir.filePath(name);
        ExportDialog* dialog = page.exportDialog();
        dialog->choose(kind);
        host.recording.files = {path};
        dialog->Button1Click();
        const QByteArray bytes = test::ReadBytes(path);
        EXPECT_TRUE(bytes.isEmpty() || bytes.endsWith("\r\n"));
        QStringList lines = QString::fromLocal8Bit(bytes).split(QStringLiteral("\r\n"));
        lines.removeLast();  // after the last CR LF
        return lines;
    }
    QTemporaryDir dir;
};

const char* const kHtmlHeadLines =
    R"(<body bgcolor="#FFFFFF" text="#000000">
<table width="98%" border="0" cellspacing="0" cellpadding="0" bordercolor="#CCCCCC" bgcolor="#003399">
<tr bgcolor="#003399"><td width="9%">&nbsp;</td><td width="81%">&nbsp;</td><td width="10%">&nbsp;</td></tr>
<tr bgcolor="#003399"><td width="9%">&nbsp;</td><td width="81%">)";

const char* const kHtmlBannerEnd =
    R"(</td><td width="10%">&nbsp;</td></tr><tr bgcolor="#003399"><td width="9%">&nbsp;</td><td width="81%">&nbsp;</td><td width="10%">&nbsp;</td></tr></table><br>
<table width="68%" border="0" cellspacing="2" cellpadding="0" align="center">)";

const char* const kHtmlEnd =
    R"(<tr bgcolor="#6699CC"><td height="21" width="5%"><div align="center"> <div></td><td height="21" width="45%"><div align="center"> <div></td><td height="21" width="45%"><div align="center"> <div></td></tr>
</table><br><table width="80%" border="0" cellspacing="0" cellpadding="0" align="center">
CREATED
</td></tr><tr><td><div align="center"><a href="https://quendrix.org/" target="_blank"><font color="#6699CC"><b><font size="2">Quendrix Home Page</font></b></font></a></div>
</td></tr></table></body></html> )";

QStringList lines(const QString& text) {
    return text.split(QLatin1Char('\n'));
}

// The created line carries the date and time: checked for its frame, then set aside.
QStringList withoutCreatedLine(QStringList page) {
    const int created = static_cast<int>(page.size()) - 3;
    EXPECT_GE(created, 0);
    if (created >= 0) {
        const QString& line = page.at(created);
        EXPECT_TRUE(line.startsWith(
            R"(<tr><td><div align="center"><font size="2"><b><font color="#003399">Created by Quendrix )"))
            << line.toStdString();
        EXPECT_TRUE(line.endsWith(" </font></b></font></div>")) << line.toStdString();
        page[created] = "CREATED";
    }
    return page;
}

TEST_F(ConverterExportTest, DialogListsTheSixKinds) {
    ExportDialog* dialog = page.exportDialog();
    EXPECT_EQ(dialog->objectName(), "Tnametoip_export");
    EXPECT_EQ(dialog->windowTitle(), "Choose");
    const QList<QPair<QString, QString>> expected = {
        {"RadioButton1", "The Running IP Addresses List (*.txt)"},
        {"RadioButton2", "The Running Domain / Host Names List (*.txt)"},
        {"RadioButton3", "The Running IP Address and Domain / Host Names (*.htm)"},
        {"RadioButton5", "The Running IP Address and Domain / Host Names (*.csv)"},
        {"RadioButton4", "All the IP Addresses and Domain / Host Names (*.htm) "},
        {"RadioButton6", "All the IP Addresses and Domain / Host Names (*.csv) "},
    };
    for (int i = 0; i < expected.size(); ++i) {
        EXPECT_EQ(dialog->radio(i)->objectName(), expected.at(i).first);
        EXPECT_EQ(dialog->radio(i)->text(), expected.at(i).second);
    }
    EXPECT_TRUE(dialog->radio(0)->isChecked());
    EXPECT_FALSE(dialog->openCheck()->isChecked());
    // The same dialog each time: it keeps its choices.
    dialog->choose(4);
    dialog->openCheck()->setChecked(true);
    EXPECT_EQ(page.exportDialog(), dialog);
    EXPECT_EQ(page.exportDialog()->chosenKind(), 4);
    EXPECT_TRUE(page.exportDialog()->openCheck()->isChecked());
    // The button shows it modally and returns at once (no nested event loop to block on).
    page.SpeedButton6Click();
    EXPECT_TRUE(dialog->isVisible());
    EXPECT_EQ(dialog->windowModality(), Qt::ApplicationModal);
    EXPECT_EQ(dialog->chosenKind(), 4);
    dialog->Button2Click();
    EXPECT_FALSE(dialog->isVisible());
}

TEST_F(ConverterExportTest, TextAndCsvKindsByteForByte) {
    EXPECT_EQ(exportKind(0, "ips.txt"), (QStringList{"10.0.0.1", "10.0.0.2", "10.0.0.3"}));
    EXPECT_EQ(host.recording.lastSaveFilter, "*.txt (*.txt)");
    EXPECT_EQ(host.recording.lastSaveSuffix, "txt");
    EXPECT_EQ(exportKind(1, "names.txt"), (QStringList{"one.example", "two,comma", "two,comma"}));
    EXPECT_EQ(exportKind(3, "running.csv"),
              (QStringList{"Domain / Host Name,IP Address", "one.example,10.0.0.1",
                           "two,comma,10.0.0.2", "two,comma,10.0.0.3"}));
    EXPECT_EQ(host.recording.lastSaveFilter, "*.csv (*.csv)");
    EXPECT_EQ(exportKind(5, "all.csv"),
              (QStringList{"Domain / Host Name,IP Address", "one.example,10.0.0.1",
                           "missing.example,Unknown", "two,comma,10.0.0.2", "two,comma,10.0.0.3",
                           "Unknown,10.0.0.9"}));
    // Nothing but the fixed lines from an empty grid; an empty TXT file.
    page.grid()->clearResults();
    EXPECT_EQ(exportKind(0, "empty.txt"), QStringList{});
    EXPECT_EQ(test::ReadBytes(dir.filePath("empty.txt")), QByteArray());
    EXPECT_EQ(exportKind(5, "empty.csv"), QStringList{"Domain / Host Name,IP Address"});
}

TEST_F(ConverterExportTest, RunningHtmlByteForByte) {
    const QString expected = QStringLiteral("<html><head><title></title></head>\n") +
                             kHtmlHeadLines +
                             R"(
<div align="center"><font color="#003366" size="3" face="Arial, Helvetica, sans-serif"><b><font size="5" face="Times New Roman, Times, serif" color="#FFFFFF">The Running IP Addresses and Domain / Host Names</font></b></font></div>
)" + kHtmlBannerEnd +
                             R"(
<tr bgcolor="#6699CC"><td height="35" width="5%"></td><td height="35" width="45%"><div align="center"><b>Domain / Host Name</b></div></td><td height="29" width="45%"><div align="center"><b>IP Address</b></div></td></tr>
<tr>
<td height="21" width="5%"><div align="center">1<div></td>
<td height="21" width="45%"><div align="center">one.example<div></td>
<td height="21" width="45%"><div align="center">10.0.0.1<div></td></tr>
<tr bgcolor="#E4E4E4">
<td height="21" width="5%"><div align="center">2<div></td>
<td height="21" width="45%"><div align="center">two,comma<div></td>
<td height="21" width="45%"><div align="center">10.0.0.2<div></td></tr>
<tr>
<td height="21" width="5%"><div align="center">3<div></td>
<td height="21" width="45%"><div align="center">two,comma<div></td>
<td height="21" width="45%"><div align="center">10.0.0.3<div></td></tr>
)" + kHtmlEnd;
    EXPECT_EQ(withoutCreatedLine(exportKind(2, "running.htm")), lines(expected));
    EXPECT_EQ(host.recording.lastSaveFilter, "*.htm (*.htm)");
    EXPECT_EQ(host.recording.lastSaveSuffix, "htm");
}

TEST_F(ConverterExportTest, AllHtmlByteForByte) {
    const QString expected = QStringLiteral("<html><head><title>Corvanel</title></head>\n") +
                             kHtmlHeadLines +
                             R"(
<div align="center"><font color="#003366" size="3" face="Arial, Helvetica, sans-serif"><b><font size="5" face="Times New Roman, Times, serif" color="#FFFFFF">All the IP Addresses and Domain / Host Names</font></b></font></div>
)" + kHtmlBannerEnd +
                             R"(
<tr bgcolor="#6699CC"><td height="35" width="5%"></td><td height="35" width="45%"><div align="center"><b>Domain / Hos Name</b></div></td><td height="29" width="45%"><div align="center"><b>IP Address</b></div></td></tr>
<tr>
<td height="21" width="5%"><div align="center">1<div></td>
<td height="21" width="45%"><div align="center">one.example<div></td>
<td height="21" width="45%"><div align="center">10.0.0.1<div></td></tr>
<tr bgcolor="#E4E4E4">
<td height="21" width="5%"><div align="center"><font color="#FF0000">2</font><div></td>
<td height="21" width="45%"><div align="center"><font color="#FF0000">missing.example</font><div></td>
<td height="21" width="45%"><div align="center"><font color="#FF0000">Unknown</font><div></td></tr>
<tr>
<td height="21" width="5%"><div align="center">3<div></td>
<td height="21" width="45%"><div align="center">two,comma<div></td>
<td height="21" width="45%"><div align="center">10.0.0.2<div></td></tr>
<tr bgcolor="#E4E4E4">
<td height="21" width="5%"><div align="center">4<div></td>
<td height="21" width="45%"><div align="center">two,comma<div></td>
<td height="21" width="45%"><div align="center">10.0.0.3<div></td></tr>
<tr>
<td height="21" width="5%"><div align="center"><font color="#FF0000">5</font><div></td>
<td height="21" width="45%"><div align="center"><font color="#FF0000">Unknown</font><div></td>
<td height="21" width="45%"><div align="center"><font color="#FF0000">10.0.0.9</font><div></td></tr>
)" + kHtmlEnd;
    EXPECT_EQ(withoutCreatedLine(exportKind(4, "all.htm")), lines(expected));
}

TEST_F(ConverterExportTest, DecliningTheReplaceQuestionLeavesTheFileUntouched) {
    const QString path = dir.filePath("kept.csv");
    {
        QFile old(path);
        ASSERT_TRUE(old.open(QIODevice::WriteOnly));
        old.write("old content");
    }
    ExportDialog* dialog = page.exportDialog();
    dialog->choose(5);
    host.recording.files = {path};
    host.recording.answers = {Prompts::Answer::No};
    dialog->Button1Click();
    EXPECT_EQ(test::ReadBytes(path), QByteArray("old content"));
    EXPECT_EQ(host.recording.recorded.constLast().kind, "yesno");
    EXPECT_EQ(host.recording.recorded.constLast().text, ReplaceQuestionText(path));
}

}  // namespace
}  // namespace quendrix
