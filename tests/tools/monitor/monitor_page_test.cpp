// The Connection Monitor page over a table the test fills: the controls and their texts, rows
// appearing tick by tick under the key rules, the two questions, Clear, the row limit's
// warning and clear, and both export files byte for byte.
#include "tools/monitor/monitor_page.h"

#include "core/result_table_model.h"
#include "core/widgets/export_dialog.h"
#include "core/widgets/grid_view.h"
#include "monitor_test_source.h"
#include "support/fake_host.h"
#include "support/find_child.h"
#include "support/test_files.h"
#include "tools/monitor/monitor_export.h"

#include <QAccessible>
#include <QCheckBox>
#include <QHeaderView>
#include <QLabel>
#include <QRadioButton>
#include <QRegularExpression>
#include <QScrollBar>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QToolButton>

#include <gtest/gtest.h>

#include <functional>

namespace quendrix {
namespace {

using monitor::test::established;
using monitor::test::listener;
using monitor::test::TableDouble;

class MonitorPageTest : public ::testing::Test {
  protected:
    template <typename T>
    T* child(const char* name) {
        return test::Child<T>(page, name);
    }
    // Waits for the ticks that follow to have read the table as it is now.
    void settle() {
        const int reads = table->reads();
        ASSERT_TRUE(QTest::qWaitFor([&] { return table->reads() >= reads + 2; }, 30000));
        ASSERT_TRUE(page.engine().waitForTick(30000));
        QCoreApplication::processEvents();
        page.history().flush();
    }
    QStringList keyColumns() {
        QStringList rows;
        for (int row = 0; row < page.history().resultCount(); ++row) {
            QStringList cells;
            for (int column = 2; column < 8; ++column) {
                cells << page.history().cell(row, column);
            }
            rows << cells.join(QLatin1Char('|'));
        }
        return rows;
    }
    void click(const char* box) { child<QCheckBox>(box)->click(); }

    test::FakeHost host;
    std::shared_ptr<TableDouble> table = std::make_shared<TableDouble>();
    MonitorPage page{host, nullptr, table};
};

TEST_F(MonitorPageTest, ControlsAndTexts) {
    EXPECT_EQ(page.objectName(), "connection_monitor_tab");
    EXPECT_EQ(child<QLabel>("StaticText1")->text(),
              "       Date           Time              Local IP          Local Port       Remote "
              "IP       Rem.Service     Status           Remote Host Name");
    // The system's short date and long time without the zone, pinned by the test's locale.
    EXPECT_TRUE(QRegularExpression("^TCP connection history since : \\d\\d? [A-Z][a-z][a-z] "
                                   "\\d{4} \\d\\d:\\d\\d:\\d\\d$")
                    .match(child<QLabel>("stStart")->text())
                    .hasMatch())
        << child<QLabel>("stStart")->text().toStdString();
    EXPECT_EQ(child<QCheckBox>("cbShowListeners")->text(), "Show Listening Ports");
    EXPECT_FALSE(child<QCheckBox>("cbShowListeners")->isChecked());
    EXPECT_EQ(child<QCheckBox>("CheckBox2")->text(), "Host Revolve");
    EXPECT_EQ(child<QToolButton>("sbClear")->text(), "Clear");
    EXPECT_EQ(child<QToolButton>("SpeedButton14")->toolTip(), "Export the result to a file");
    EXPECT_TRUE(page.engine().timerActive());
    ASSERT_NE(page.findChild<QTimer*>("Timer"), nullptr);
    EXPECT_TRUE(page.findChild<QTimer*>("Timer")->isActive());

    auto* grid = child<GridView>("sgConnHist");
    EXPECT_TRUE(grid->horizontalHeader()->isHidden());
    EXPECT_EQ(grid->model()->columnCount(), 8);
    EXPECT_EQ(grid->model()->rowCount(), 1);  // the empty row
    // No cell text clipped in the font in use.
    const QFontMetrics metrics(grid->font());
    const QStringList widest = {"28 Dec 2000",     "00:00:00", "255.255.255.255", "NBDGRAM",
                                "255.255.255.255", "NBDGRAM",  "established"};
    for (int column = 0; column < widest.size(); ++column) {
        EXPECT_GT(grid->columnWidth(column), metrics.horizontalAdvance(widest[column])) << column;
    }
    EXPECT_GE(grid->columnWidth(7), 2000);
}

// The header line keeps its text, yet each title stands over its column: drawn from where the
// column's cells begin, never over the line between two columns.
TEST_F(MonitorPageTest, EachTitleStandsOverItsColumn) {
    page.resize(1000, 400);
    page.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&page));
    auto* header = child<QLabel>("StaticText1");
    auto* grid = child<GridView>("sgConnHist");
    const QImage image = header->grab().toImage();
    const QRect band = header->contentsRect();
    const QRgb paper = image.pixel(band.right() - 1, band.center().y());
    const auto inkBetween = [&](int from, int to) {
        for (int x = std::max(from, 0); x < std::min(to, image.width()); ++x) {
            for (int y = band.top(); y <= band.bottom(); ++y) {
                if (image.pixel(x, y) != paper) {
                    return true;
                }
            }
        }
        return false;
    };
    const int titleLeft = header->mapTo(&page, QPoint(0, 0)).x();
    for (int column = 0; column < 8; ++column) {
        const int start =
            grid->viewport()->mapTo(&page, QPoint(grid->columnViewportPosition(column), 0)).x() -
            titleLeft;
        EXPECT_TRUE(inkBetween(start + 1, start + 12)) << "no title at column " << column;
        if (column > 0) {
            EXPECT_FALSE(inkBetween(start - 1, start + 1)) << "a title crosses into " << column;
        }
    }
}

// New rows scroll the grid down to them but leave it where the user scrolled it sideways, so
// the host names stay in sight.
TEST_F(MonitorPageTest, NewRowsKeepTheGridScrolledSideways) {
    page.resize(700, 300);
    page.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&page));
    auto* grid = child<GridView>("sgConnHist");
    grid->horizontalScrollBar()->setValue(grid->columnViewportPosition(7));
    const int sideways = grid->horizontalScrollBar()->value();
    ASSERT_GT(sideways, 0);
    std::vector<monitor::TTcpConnStatus> rows;
    for (int port = 1024; port < 1074; ++port) {
        rows.push_back(established("127.  0.  0.  1", "8080", "127.  0.  0.  2",
                                   QString::number(port).toLatin1().constData()));
    }
    table->set(std::move(rows));
    settle();
    ASSERT_EQ(page.history().resultCount(), 50);
    EXPECT_EQ(grid->horizontalScrollBar()->value(), sideways);
    EXPECT_GT(grid->verticalScrollBar()->value(), 0);
    EXPECT_EQ(grid->currentIndex().row(), 49);
}

TEST_F(MonitorPageTest, RowsAppearTickByTickUnderTheKeyRules) {
    table->set({
        listener("  0.  0.  0.  0", "HTTP"),
        established(" 10.250.  0.  1", "FTP ", " 10.250.  0.  2", "8080"),
        established("127.  0.  0.  1", "FTP ", " 10.250.  0.  2", "8080"),
    });
    settle();
    EXPECT_EQ(keyColumns(), QStringList{" 10.250.  0.  1|FTP | 10.250.  0.  2|8080|established|"});
    EXPECT_EQ(page.history().rowCount(), 2);  // the row and the empty one below it
    // The system's short date and long time (without the zone), pinned by the test's locale.
    EXPECT_TRUE(QRegularExpression("^\\d\\d? [A-Z][a-z][a-z] \\d{4}$")
                    .match(page.history().cell(0, 0))
                    .hasMatch())
        << page.history().cell(0, 0).toStdString();
    EXPECT_TRUE(
        QRegularExpression("^\\d\\d:\\d\\d:\\d\\d$").match(page.history().cell(0, 1)).hasMatch())
        << page.history().cell(0, 1).toStdString();
    auto* grid = child<GridView>("sgConnHist");
    EXPECT_EQ(grid->currentIndex().row(), 0);  // the row just written is selected

    // Listeners after Yes; Host Revolve after Yes fills only rows written from then on.
    host.recording.answers = {Prompts::Answer::Yes, Prompts::Answer::Yes};
    click("cbShowListeners");
    click("CheckBox2");
    ASSERT_EQ(host.recording.recorded.size(), 2);
    EXPECT_EQ(host.recording.recorded[0].kind, "yescancel");
    EXPECT_EQ(host.recording.recorded[0].text,
              "Show Listening Ports may cause this application to\rbe no response! Continue or "
              "not?");
    EXPECT_EQ(host.recording.recorded[1].text,
              "Host Revolve may cause this application to\rbe no response! Continue or not?");
    settle();
    EXPECT_EQ(keyColumns(), (QStringList{" 10.250.  0.  1|FTP | 10.250.  0.  2|8080|established|",
                                         "  0.  0.  0.  0|HTTP|...|...|listening|X"}));
    EXPECT_EQ(grid->currentIndex().row(), 1);

    // Clear: the history starts again with what is open now.
    const int before = host.recording.recorded.size();
    child<QToolButton>("sbClear")->click();
    EXPECT_EQ(page.history().rowCount(), 1);
    settle();
    EXPECT_EQ(keyColumns().size(), 2);
    EXPECT_EQ(host.recording.recorded.size(), before);  // Clear asks nothing
}

TEST_F(MonitorPageTest, CancelLeavesEitherBoxUnchecked) {
    host.recording.answers = {Prompts::Answer::Cancel, Prompts::Answer::Cancel};
    click("cbShowListeners");
    click("CheckBox2");
    EXPECT_FALSE(child<QCheckBox>("cbShowListeners")->isChecked());
    EXPECT_FALSE(child<QCheckBox>("CheckBox2")->isChecked());
    EXPECT_FALSE(page.engine().showListeners());
    EXPECT_FALSE(page.engine().resolveHosts());
    table->set({listener("  0.  0.  0.  0", "HTTP")});
    settle();
    EXPECT_EQ(page.history().resultCount(), 0);

    // Unchecking asks nothing.
    host.recording.answers = {Prompts::Answer::Yes};
    click("cbShowListeners");
    click("cbShowListeners");
    EXPECT_EQ(host.recording.recorded.size(), 3);
    EXPECT_FALSE(page.engine().showListeners());
}

// The boxes act on their state, however it changes: a screen reader's Toggle action or a
// setChecked asks the question as a click does, and the monitor records accordingly.
TEST_F(MonitorPageTest, BothBoxesActOnTheirStateHoweverItChanges) {
    const auto toggleAccessibly = [](QCheckBox* box) {
        QAccessibleInterface* accessible = QAccessible::queryAccessibleInterface(box);
        ASSERT_NE(accessible, nullptr);
        ASSERT_NE(accessible->actionInterface(), nullptr);
        accessible->actionInterface()->doAction(QAccessibleActionInterface::toggleAction());
    };
    const struct {
        const char* name;
        const char* question;
        std::function<bool()> effect;
    } boxes[] = {
        {"cbShowListeners", "Show Listening Ports may cause",
         [this] { return page.engine().showListeners(); }},
        {"CheckBox2", "Host Revolve may cause", [this] { return page.engine().resolveHosts(); }},
    };
    for (const auto& box : boxes) {
        SCOPED_TRACE(box.name);
        auto* check = child<QCheckBox>(box.name);
        host.recording.recorded.clear();
        host.recording.answers = {Prompts::Answer::Yes, Prompts::Answer::Cancel};
        ASSERT_NO_FATAL_FAILURE(toggleAccessibly(check));
        EXPECT_TRUE(check->isChecked());
        EXPECT_TRUE(box.effect());
        ASSERT_EQ(host.recording.recorded.size(), 1);
        EXPECT_TRUE(host.recording.recorded[0].text.startsWith(box.question));

        // Unticking asks nothing; ticking through setChecked asks, and Cancel unticks it again
        // without a second question.
        ASSERT_NO_FATAL_FAILURE(toggleAccessibly(check));
        EXPECT_FALSE(check->isChecked());
        EXPECT_FALSE(box.effect());
        check->setChecked(true);
        EXPECT_FALSE(check->isChecked());
        EXPECT_FALSE(box.effect());
        EXPECT_EQ(host.recording.recorded.size(), 2);
    }

    // Ticked through the accessible interface, both change what is recorded: the listener,
    // with its host name looked up (six dots: "X").
    host.recording.answers = {Prompts::Answer::Yes, Prompts::Answer::Yes};
    ASSERT_NO_FATAL_FAILURE(toggleAccessibly(child<QCheckBox>("cbShowListeners")));
    ASSERT_NO_FATAL_FAILURE(toggleAccessibly(child<QCheckBox>("CheckBox2")));
    table->set({listener("  0.  0.  0.  0", "HTTP")});
    settle();
    EXPECT_EQ(keyColumns(), QStringList{"  0.  0.  0.  0|HTTP|...|...|listening|X"});
}

TEST_F(MonitorPageTest, PastTheRowLimitTheWarningClearsOnlyWithOk) {
    std::vector<monitor::TTcpConnStatus> rows;
    for (int i = 0; i < monitor::ConnectionMonitor::kHistoryLimit; ++i) {
        rows.push_back({"127.  0.  0.  1", QString::number(1024 + i % 60000), "127.  0.  0.  2",
                        QString::number(i / 60000), "established"});
    }
    table->set(std::move(rows));
    // The first box is closed without OK, the second answered with OK. Once the history is
    // full the table empties, so only a history that was kept can bring the second warning.
    QList<int> rowsAtWarning;
    host.recording.closeMessage = [&] {
        rowsAtWarning << page.history().resultCount();
        table->set({});
        return rowsAtWarning.size() > 1;
    };
    ASSERT_TRUE(QTest::qWaitFor([&] { return host.recording.messages().size() >= 2; }, 120000))
        << "history rows after the box was closed: " << page.history().resultCount();
    EXPECT_EQ(host.recording.messages().first(),
              "| There are more than 100000 items have been recorded!\r To avoid resource "
              "problems, the records will be cleared");
    EXPECT_EQ(host.recording.recorded.last().icon, Prompts::Icon::Warning);
    const int full = monitor::ConnectionMonitor::kHistoryLimit;
    EXPECT_EQ(rowsAtWarning, (QList<int>{full, full}));
    EXPECT_EQ(page.history().resultCount(), 0);
    settle();
    EXPECT_EQ(host.recording.messages().size(), 2);
    EXPECT_EQ(page.history().resultCount(), 0);
    page.engine().stop();
}

TEST_F(MonitorPageTest, ExportsBothFormatsByteForByte) {
    page.engine().stop();
    page.history().writeRow(
        {"10 Dec 2026", "15:14:34", " 10.  0.  0.  1", "HTTP", "...", "...", "listening", ""});
    page.history().writeRow({"10 Dec 2026", "15:14:35", "127.  0.  0.  1", "FTP ",
                             "127.  0.  0.  1", "  81", "established", "localhost"});
    QTemporaryDir dir;
    ExportDialog& dialog = page.exportDialog();
    EXPECT_EQ(dialog.objectName(), "Tmonitor_export");
    EXPECT_EQ(dialog.radio(0)->objectName(), "RadioButton3");
    EXPECT_EQ(dialog.radio(0)->text(), "The TCP Connection History (*.txt)");
    EXPECT_EQ(dialog.radio(1)->text(), "The TCP Connection History (*.csv)");
    EXPECT_EQ(monitor::MonitorExportKinds()[0].saveDialog, "SaveDialog1");
    EXPECT_EQ(monitor::MonitorExportKinds()[1].saveDialog, "SaveDialog2");
    EXPECT_EQ(dialog.chosenKind(), 0);

    const QString txt = dir.filePath("history.txt");
    host.recording.files = {txt};
    dialog.Button1Click();
    EXPECT_EQ(host.recording.lastSaveSuffix, "txt");
    EXPECT_EQ(test::ReadBytes(txt),
              QByteArray("\r\n"
                         "10 Dec 2026   15:14:34     10.  0.  0.  1    HTTP    ...    ...    "
                         "listening    \r\n"
                         "10 Dec 2026   15:14:35    127.  0.  0.  1    FTP     127.  0.  0.  1  "
                         "    81    established    localhost\r\n"));

    const QString csv = dir.filePath("history.csv");
    dialog.choose(1);
    host.recording.files = {csv};
    dialog.Button1Click();
    EXPECT_EQ(host.recording.lastSaveSuffix, "csv");
    EXPECT_EQ(test::ReadBytes(csv),
              QByteArray("10 Dec 2026,15:14:34, 10.  0.  0.  1,HTTP,...,...,listening,\r\n"
                         "10 Dec 2026,15:14:35,127.  0.  0.  1,FTP ,127.  0.  0.  1,  "
                         "81,established,localhost\r\n"));

    // Declining the replace question leaves the file as it was.
    test::WriteBytes(csv, "kept");
    host.recording.files = {csv};
    host.recording.answers = {Prompts::Answer::No};
    dialog.Button1Click();
    EXPECT_EQ(host.recording.recorded.last().text,
              csv + " already exists.\rDo you want to replace it?");
    EXPECT_EQ(test::ReadBytes(csv), "kept");
}

TEST(MonitorExport, AnEmptyHistory) {
    ResultTableModel grid({"a", "b", "c", "d", "e", "f", "g", "h"});
    EXPECT_EQ(monitor::MonitorExportLines(grid, monitor::MonitorExportId::Txt), QStringList{""});
    EXPECT_TRUE(monitor::MonitorExportLines(grid, monitor::MonitorExportId::Csv).isEmpty());
}

}  // namespace
}  // namespace quendrix
