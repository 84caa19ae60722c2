// The Country Lookup page on literal addresses and localhost (names belong in the lab test):
// its controls, the single look-up, the batch with its counters and stop, and the four export
// files of the worked example, byte for byte.
#include "core/result_table_model.h"
#include "core/target_list_model.h"
#include "core/widgets/export_dialog.h"
#include "core/widgets/grid_view.h"
#include "core/widgets/target_list_panel.h"
#include "tools/country/country_page_fixture.h"

#include <QAction>
#include <QCheckBox>
#include <QFile>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QListView>
#include <QMenu>
#include <QPushButton>
#include <QRadioButton>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>
#include <QToolButton>

#include <gtest/gtest.h>

namespace quendrix {
namespace {

using CountryPageTest = test::CountryPageFixture;

TEST_F(CountryPageTest, ControlsCarryTheirNamesAndTexts) {
    EXPECT_EQ(page.objectName(), QStringLiteral("country_lookup_tab"));
    EXPECT_EQ(page.headerLabel()->text(), QStringLiteral("IP Country Converter"));
    EXPECT_EQ(child<QLineEdit>("Edit3")->toolTip(), QStringLiteral("Right Click to Get More"));
    EXPECT_TRUE(child<QLineEdit>("Edit3")->text().isEmpty());
    child<QLineEdit>("Edit6");
    const struct {
        const char* name;
        const char* hint;
    } buttons[] = {
        {"SpeedButton24", "Query the domain currently open in the Internet Explorer"},
        {"SpeedButton9", "Resolve"},
        {"whereis_start", "Start"},
        {"whereis_stop", "Stop"},
        {"SpeedButton10", "Import an domain name or IP address file (*.txt)"},
        {"SpeedButton11", "Export the result to a file"},
    };
    for (const auto& button : buttons) {
        EXPECT_EQ(child<QToolButton>(button.name)->toolTip(), QString::fromUtf8(button.hint));
    }
    const struct {
        const char* name;
        const char* caption;
    } labels[] = {{"Label38", "Domain Name / IP Address"},
                  {"Label39", "Country"},
                  {"Label40", "Batch Lookup"},
                  {"Label44", "Total"},
                  {"Label48", "Successful"},
                  {"Label50", "Failed"},
                  {"Label45", ""},
                  {"Label49", ""},
                  {"Label51", ""},
                  {"Label56", ""}};
    for (const auto& label : labels) {
        EXPECT_EQ(text(label.name), QString::fromUtf8(label.caption)) << label.name;
    }

    auto* grid = child<GridView>("StringGrid3");
    EXPECT_EQ(grid->model()->headerData(0, Qt::Horizontal).toString(),
              QStringLiteral("Domain Name / IP Address"));
    EXPECT_EQ(grid->model()->headerData(1, Qt::Horizontal).toString(), QStringLiteral("Country"));
    // 160 to start with, wider where the header needs it.
    EXPECT_GE(grid->columnWidth(0), 160);
    EXPECT_GE(grid->columnWidth(0), grid->horizontalHeader()->sectionSizeHint(0));
    EXPECT_EQ(grid->columnWidth(1), 2000);
    EXPECT_EQ(grid->model()->rowCount(), 1);  // the empty extra row

    EXPECT_TRUE(child<QListView>("ListBox3")->toolTip().isEmpty());
    QStringList items;
    // The editing items; the hand-off items follow a separator.
    for (QAction* action : child<QMenu>("PopupMenu3")->actions()) {
        if (action->isSeparator()) {
            break;
        }
        items << action->objectName() + QLatin1Char('=') + action->text();
    }
    EXPECT_EQ(items,
              (QStringList{"Add1=Add", "Update1=Update", "Delete1=Delete", "ClearAll2=Clear All"}));
    const struct {
        TargetEntryDialog* dialog;
        const char* name;
        const char* caption;
        const char* edit;
        const char* button;
        bool onTop;
    } dialogs[] = {
        {page.list()->addDialog(), "Twhereis_add", "Add", "Edit1", "Add", true},
        {page.list()->updateDialog(), "Twhereis_update", "Update", "edit1", "Update", false},
    };
    for (const auto& d : dialogs) {
        EXPECT_EQ(d.dialog->objectName(), QString::fromUtf8(d.name));
        EXPECT_EQ(d.dialog->windowTitle(), QString::fromUtf8(d.caption));
        EXPECT_EQ(d.dialog->edit()->objectName(), QString::fromUtf8(d.edit));
        EXPECT_EQ(d.dialog->button1()->text(), QString::fromUtf8(d.button));
        EXPECT_NE(d.dialog->findChild<QLabel*>(), nullptr);
        EXPECT_EQ(d.dialog->findChild<QLabel*>()->text(), QStringLiteral("IP Address "));
        EXPECT_EQ(d.dialog->windowFlags().testFlag(Qt::WindowStaysOnTopHint), d.onTop);
    }

    ExportDialog* dialog = page.exportDialog();
    EXPECT_EQ(dialog->objectName(), QStringLiteral("Tcountry_export"));
    page.SpeedButton11Click();
    EXPECT_TRUE(dialog->isVisible());
    EXPECT_EQ(dialog->windowModality(), Qt::ApplicationModal);
    dialog->Button2Click();
    const QStringList radios[] = {
        {"RadioButton3", "Lookup Successfully (*.htm)"},
        {"RadioButton1", "Lookup Successfully (*.csv)"},
        {"RadioButton4", "All the Domain Names/IP Addresses and Countries (*.htm) "},
        {"RadioButton2", "All the Domain Names/IP Addresses and Countries (*.csv) "},
    };
    for (int kind = 0; kind < 4; ++kind) {
        EXPECT_EQ(dialog->radio(kind)->objectName(), radios[kind].at(0));
        EXPECT_EQ(dialog->radio(kind)->text(), radios[kind].at(1));
    }
    EXPECT_TRUE(dialog->radio(0)->isChecked());
    EXPECT_FALSE(dialog->openCheck()->isChecked());
}

// With no browser address to take, the browser button says so and looks nothing up.
TEST_F(CountryPageTest, BrowserButtonSaysTheBrowserIsNotRunning) {
    child<QLineEdit>("Edit3")->setText(QStringLiteral("10.0.0.1"));
    QTest::mouseClick(child<QToolButton>("SpeedButton24"), Qt::LeftButton);
    EXPECT_EQ(host.recording.messages(), QStringList{"|Internet Explorer is not running!"});
    ASSERT_EQ(host.recording.recorded.size(), 1);
    EXPECT_EQ(host.recording.recorded.at(0).icon, Prompts::Icon::Warning);
    EXPECT_EQ(child<QLineEdit>("Edit3")->text(), QStringLiteral("10.0.0.1"));
    EXPECT_TRUE(child<QLineEdit>("Edit6")->text().isEmpty());
}

TEST_F(CountryPageTest, SingleLookUpShowsTheOwnerOfTheReducedTarget) {
    auto* input = child<QLineEdit>("Edit3");
    auto* result = child<QLineEdit>("Edit6");
    input->setText(QStringLiteral("  http://57.1.2.3/index.htm"));
    QTest::keyClick(input, Qt::Key_Return);
    ASSERT_TRUE(QTest::qWaitFor([&] { return result->text() == QStringLiteral("France"); }));

    input->setText(QStringLiteral("175.16.0.1"));
    QTest::mouseClick(child<QToolButton>("SpeedButton9"), Qt::LeftButton);
    ASSERT_TRUE(QTest::qWaitFor([&] { return result->text() == QStringLiteral("X"); }));

    // An empty box starts nothing and changes nothing.
    input->clear();
    QTest::keyClick(input, Qt::Key_Return);
    page.SpeedButton9Click();
    QTest::qWait(100);
    EXPECT_EQ(result->text(), QStringLiteral("X"));
    EXPECT_TRUE(host.recording.recorded.isEmpty());
    EXPECT_EQ(text("Label56"), QString());
}

TEST_F(CountryPageTest, BatchWritesEachEntryAsWrittenWithItsOwner) {
    const QStringList entries{"52.0.0.1", "175.1.1.1", " http://57.0.0.1/x.htm ", "localhost",
                              "61.9.0.1"};
    page.list()->model()->replaceAll(entries);
    page.whereis_startClick();
    EXPECT_EQ(text("Label56"), QStringLiteral("Working..."));
    EXPECT_FALSE(child<QToolButton>("whereis_start")->isEnabled());
    EXPECT_FALSE(host.navigationEnabled);
    ASSERT_TRUE(QTest::qWaitFor([&] { return !page.batchRunning(); }, 20000));
    QTest::qWait(20);

    EXPECT_EQ(column(0), entries);
    EXPECT_EQ(column(1), (QStringList{"Germany", "X", "France", "United States", "X"}));
    EXPECT_EQ(text("Label49"), QStringLiteral("3"));
    EXPECT_EQ(text("Label51"), QStringLiteral("2"));
    EXPECT_EQ(text("Label56"), QStringLiteral("Done!"));
    EXPECT_TRUE(child<QToolButton>("whereis_start")->isEnabled());
    EXPECT_TRUE(host.navigationEnabled);
    // n result rows and the empty extra row (the header is the view's), the last row selected.
    EXPECT_EQ(page.grid()->rowCount(), 6);
    EXPECT_EQ(extraRowCell(0), QString());
    EXPECT_EQ(page.findChild<GridView*>(QStringLiteral("StringGrid3"))->currentIndex().row(), 4);

    // The next batch empties the grid and both counters before its first row; a counter that
    // never changes stays blank.
    page.list()->model()->replaceAll({"57.0.0.1", "127.0.0.1"});
    page.whereis_startClick();
    EXPECT_EQ(page.grid()->resultCount(), 0);
    EXPECT_EQ(text("Label49"), QString());
    EXPECT_EQ(text("Label51"), QString());
    ASSERT_TRUE(QTest::qWaitFor([&] { return !page.batchRunning(); }, 20000));
    EXPECT_EQ(column(1), (QStringList{"France", "United States"}));
    EXPECT_EQ(text("Label49"), QStringLiteral("2"));
    EXPECT_EQ(text("Label51"), QString());
}

TEST_F(CountryPageTest, AnEmptyListWarnsAndLeavesThePreviousResults) {
    runBatch({"52.0.0.1", "175.1.1.1"});
    page.list()->clearAllClick();
    page.whereis_startClick();
    EXPECT_EQ(host.recording.messages(),
              QStringList{"| Please import the domain names or IP addresses list(*.txt)! "});
    EXPECT_EQ(host.recording.recorded.constLast().icon, Prompts::Icon::Warning);
    EXPECT_FALSE(page.batchRunning());
    EXPECT_EQ(column(1), (QStringList{"Germany", "X"}));
    EXPECT_EQ(text("Label49"), QStringLiteral("1"));
    EXPECT_EQ(text("Label51"), QStringLiteral("1"));
    EXPECT_EQ(text("Label56"), QStringLiteral("Done!"));
    EXPECT_TRUE(host.navigationEnabled);
}

TEST_F(CountryPageTest, StopKeepsWhatWasWrittenAndWritesNothingMore) {
    // Nothing running: nothing visible changes.
    page.whereis_stopClick();
    EXPECT_EQ(text("Label56"), QString());
    EXPECT_TRUE(child<QToolButton>("whereis_start")->isEnabled());

    QStringList entries;
    for (int i = 0; i < 20000; ++i) {
        entries << QStringLiteral("%1.%2.0.1").arg(i % 256).arg(i / 256);
    }
    page.list()->model()->replaceAll(entries);
    bool stopped = false;
    QObject::connect(page.grid(), &ResultTableModel::rowsWritten, &page, [&] {
        if (!stopped) {
            stopped = true;
            page.whereis_stopClick();
        }
    });
    page.whereis_startClick();
    ASSERT_TRUE(QTest::qWaitFor([&] { return stopped; }, 20000));
    EXPECT_EQ(text("Label56"), QStringLiteral("Done!"));
    EXPECT_TRUE(child<QToolButton>("whereis_start")->isEnabled());
    EXPECT_TRUE(host.navigationEnabled);
    EXPECT_FALSE(page.batchRunning());

    const int rows = page.grid()->resultCount();
    const QString successful = text("Label49");
    const QString failed = text("Label51");
    const QString pending = extraRowCell(0);
    QTest::qWait(300);
    EXPECT_EQ(page.grid()->resultCount(), rows);
    EXPECT_EQ(text("Label49"), successful);
    EXPECT_EQ(text("Label51"), failed);
    EXPECT_EQ(extraRowCell(0), pending);
    ASSERT_GT(rows, 0);
    ASSERT_LT(rows, entries.size());
    EXPECT_EQ(column(0), entries.mid(0, rows));
    // The counters belong to the rows shown; the row being looked up shows its entry only.
    const qsizetype xs = column(1).count(QStringLiteral("X"));
    EXPECT_EQ(successful.toInt() + failed.toInt(), rows);
    EXPECT_EQ(failed.toInt(), xs);
    EXPECT_TRUE(pending.isEmpty() || pending == entries.at(rows)) << pending.toStdString();
    const auto* model = page.grid();
    EXPECT_EQ(model->data(model->index(model->rowCount() - 1, 1), Qt::DisplayRole).toString(),
              QString());
}

// The worked example: Germany, X, France.
QByteArray expectedExport(int kind) {
    const QString head = QStringLiteral(
        R"x(<html><head><title>Corvanel</title></head>
<body bgcolor="#FFFFFF" text="#000000">
<table width="98%" border="0" cellspacing="0" cellpadding="0" bordercolor="#CCCCCC" bgcolor="#003399">
<tr bgcolor="#003399"><td width="9%">&nbsp;</td><td width="81%">&nbsp;</td><td width="10%">&nbsp;</td></tr>
<tr bgcolor="#003399"><td width="9%">&nbsp;</td><td width="81%">
<div align="center"><font color="#003366" size="3" face="Arial, Helvetica, sans-serif"><b><font size="5" face="Times New Roman, Times, serif" color="#FFFFFF">TITLE</font></b></font></div>
</td><td width="10%">&nbsp;</td></tr><tr bgcolor="#003399"><td width="9%">&nbsp;</td><td width="81%">&nbsp;</td><td width="10%">&nbsp;</td></tr></table><br>
<table width="68%" border="0" cellspacing="2" cellpadding="0" align="center">
<tr bgcolor="#6699CC"><td height="35" width="5%"></td><td height="35" width="45%"><div align="center"><b>Domain Name/IP Address</b></div></td><td height="29" width="45%"><div align="center"><b>Country</b></div></td></tr>
)x");
    const QString tail = QStringLiteral(
        R"x(<tr bgcolor="#6699CC"><td height="21" width="5%"><div align="center"> <div></td><td height="21" width="45%"><div align="center"> <div></td><td height="21" width="45%"><div align="center"> <div></td></tr>
</table><br><table width="80%" border="0" cellspacing="0" cellpadding="0" align="center">
CREATED
</td></tr><tr><td><div align="center"><a href="https://quendrix.org/" target="_blank"><font color="#6699CC"><b><font size="2">Quendrix Home Page</font></b></font></a></div>
</td></tr></table></body></html> 
)x");
    const QString successfulRows = QStringLiteral(
        R"x(<tr>
<td height="21" width="5%"><div align="center">1<div></td>
<td height="21" width="45%"><div align="center">52.0.0.1<div></td>
<td height="21" width="45%"><div align="center">Germany<div></td></tr>
<tr bgcolor="#E4E4E4">
<td height="21" width="5%"><div align="center">2<div></td>
<td height="21" width="45%"><div align="center">57.0.0.1<div></td>
<td height="21" width="45%"><div align="center">France<div></td></tr>
)x");
    const QString allRows = QStringLiteral(
        R"x(<tr>
<td height="21" width="5%"><div align="center">1<div></td>
<td height="21" width="45%"><div align="center">52.0.0.1<div></td>
<td height="21" width="45%"><div align="center">Germany<div></td></tr>
<tr bgcolor="#E4E4E4">
<td height="21" width="5%"><div align="center"><font color="#FF0000">2</font><div></td>
<td height="21" width="45%"><div align="center"><font color="#FF0000">175.1.1.1</font><div></td>
<td height="21" width="45%"><div align="center"><font color="#FF0000">X</font><div></td></tr>
<tr>
<td height="21" width="5%"><div align="center">3<div></td>
<td height="21" width="45%"><div align="center">57.0.0.1<div></td>
<td height="21" width="45%"><div align="center">France<div></td></tr>
)x");
    QString text;
    switch (kind) {
        case 0:
            text = QString(head).replace(QStringLiteral("TITLE"),
                                         QStringLiteral("Country Lookup Successfully")) +
                   successfulRows + tail;
            break;
        case 1:
            text = QStringLiteral(
                "Domain Name/IP Address,Country\n52.0.0.1,Germany\n"
                "57.0.0.1,France\n");
            break;
        case 2:
            text = QString(head).replace(
                       QStringLiteral("TITLE"),
                       QStringLiteral("All the Domain Names/IP Addresses and Countries")) +
                   allRows + tail;
            break;
        default:
            text = QStringLiteral(
                "Domain Name/IP Address,Country\n52.0.0.1,Germany\n"
                "175.1.1.1,X\n57.0.0.1,France\n");
    }
    return text.replace(QLatin1Char('\n'), QStringLiteral("\r\n")).toUtf8();
}

TEST_F(CountryPageTest, ExportWritesTheWorkedExampleByteForByte) {
    runBatch({"52.0.0.1", "175.1.1.1", "57.0.0.1"});
    ASSERT_EQ(column(1), (QStringList{"Germany", "X", "France"}));
    QTemporaryDir dir;
    ExportDialog* dialog = page.exportDialog();
    page.SpeedButton11Click();
    EXPECT_TRUE(dialog->isVisible());
    EXPECT_TRUE(dialog->isModal());
    // The creation line: "Created by Quendrix <date> <time> ".
    const QRegularExpression created(QStringLiteral(
        "^<tr><td><div align=\"center\"><font size=\"2\"><b><font color=\"#003399\">Created by "
        "Quendrix \\S.* \\S.* </font></b></font></div>$"));
    for (int kind = 0; kind < 4; ++kind) {
        const QString path = dir.filePath(QStringLiteral("out%1").arg(kind));
        dialog->choose(kind);
        dialog->openCheck()->setChecked(kind == 3);
        host.recording.files = {path};
        dialog->Button1Click();
        const QString type = kind % 2 == 0 ? QStringLiteral("htm") : QStringLiteral("csv");
        EXPECT_EQ(host.recording.lastSaveFilter, QStringLiteral("*.%1 (*.%1)").arg(type));
        EXPECT_EQ(host.recording.lastSaveSuffix, type);

        QFile file(path);
        ASSERT_TRUE(file.open(QIODevice::ReadOnly)) << kind;
        QList<QByteArray> lines = file.readAll().split('\n');
        if (type == QStringLiteral("htm")) {
            ASSERT_GT(lines.size(), 13);
            QByteArray& line = lines[lines.size() - 4];
            EXPECT_TRUE(created.match(QString::fromUtf8(line.chopped(1))).hasMatch())
                << line.data();
            line = "CREATED\r";
        }
        EXPECT_EQ(lines.join('\n'), expectedExport(kind)) << "kind " << kind;
    }
    EXPECT_EQ(host.recording.recorded.constLast().kind, QStringLiteral("shell"));
    EXPECT_EQ(host.recording.recorded.constLast().text, dir.filePath(QStringLiteral("out3")));
    EXPECT_TRUE(host.recording.messages().isEmpty());
    dialog->Button2Click();
    // The dialog keeps its choice between openings.
    page.SpeedButton11Click();
    EXPECT_TRUE(dialog->radio(3)->isChecked());
    dialog->Button2Click();
}

}  // namespace
}  // namespace quendrix
