// The Batch Ping page on loopback: its controls, the run and its counters, continuous cycles,
// Stop, the "Per" check, the list fills and the export dialog. Unknown hosts, lost echoes,
// other users and a missing ICMP socket run in the labs (ping_dns_lab_test, ping_icmp_lab_test).
#include "core/errors.h"
#include "core/widgets/export_dialog.h"
#include "tools/ping/ping_page_fixture.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDialog>
#include <QHeaderView>
#include <QLineEdit>
#include <QListView>
#include <QMenu>
#include <QRadioButton>
#include <QSignalBlocker>
#include <QTableView>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

namespace quendrix {
namespace {

QStringList itemsOf(const QComboBox* box) {
    QStringList items;
    for (int i = 0; i < box->count(); ++i) {
        items.append(box->itemText(i));
    }
    return items;
}

QStringList numbers(int first, int last, int step) {
    QStringList out;
    for (int value = first; value <= last; value += step) {
        out.append(QString::number(value));
    }
    return out;
}

class PingPageTest : public test::PingPageFixture {
  protected:
    void SetUp() override {
        if (!haveSocket()) {
            GTEST_SKIP() << "no ICMP socket here: " << *echo->unavailableReason();
        }
    }
    // Continuous mode with "Per" 1.
    void goContinuous() {
        child<QCheckBox>("CheckBox6")->setChecked(true);
        child<QLineEdit>("Edit9")->setText("1");
    }
    QTimer* timer() const { return page.timer(); }
};

TEST_F(PingPageTest, ControlsWithTheirNamesItemsAndDefaults) {
    EXPECT_EQ(page.objectName(), "batch_ping_tab");
    EXPECT_EQ(page.headerLabel()->text(), "Batch Ping");

    const struct {
        const char* name;
        QString hint;
    } buttons[] = {{"ping_start_button", "Start"},
                   {"ping_stop_button", "Stop"},
                   {"SpeedButton7", "Convert"},
                   {"SpeedButton18", "Convert"},
                   {"SpeedButton8", "Create"},
                   {"SpeedButton12", "Export the result to a file"},
                   {"SpeedButton2", "Import an IP address or domain/host name file (*.txt)"}};
    for (const auto& button : buttons) {
        EXPECT_EQ(child<QToolButton>(button.name)->toolTip(), button.hint) << button.name;
    }
    EXPECT_EQ(itemsOf(child<QComboBox>("ComboBox1")), numbers(1, 6, 1));
    EXPECT_EQ(child<QComboBox>("ComboBox1")->currentText(), "2");
    EXPECT_EQ(itemsOf(child<QComboBox>("ComboBox2")), numbers(1000, 5000, 500));
    EXPECT_EQ(child<QComboBox>("ComboBox2")->currentText(), "2500");
    EXPECT_EQ(page.run()->timeout(), std::chrono::milliseconds(2500));
    EXPECT_EQ(itemsOf(child<QComboBox>("ComboBox4")), numbers(10, 250, 10));
    EXPECT_EQ(child<QComboBox>("ComboBox4")->currentText(), "20");
    for (const char* box : {"ComboBox1", "ComboBox2", "ComboBox4"}) {
        EXPECT_FALSE(child<QComboBox>(box)->isEditable()) << box;
    }
    EXPECT_EQ(child<QCheckBox>("CheckBox6")->text(), "Continuous");
    EXPECT_FALSE(child<QCheckBox>("CheckBox6")->isChecked());
    EXPECT_EQ(child<QCheckBox>("CheckBox4")->text(), "IP Neighborhood");
    EXPECT_FALSE(child<QCheckBox>("CheckBox4")->isChecked());
    EXPECT_EQ(child<QLineEdit>("Edit9")->text(), "3");
    EXPECT_FALSE(child<QLineEdit>("Edit9")->isEnabled());
    EXPECT_EQ(child<QLineEdit>("Edit2")->text(), "66.218.71");
    EXPECT_EQ(child<QLineEdit>("Edit4")->text(), "0");
    EXPECT_EQ(child<QLineEdit>("Edit5")->text(), "255");
    EXPECT_EQ(child<QLineEdit>("Edit7")->text(), "");
    EXPECT_EQ(child<QLineEdit>("Edit8")->text(), "");
    EXPECT_EQ(label("Label54"), "");
    EXPECT_EQ(label("Label60"), "Total Count");
    EXPECT_FALSE(child<QLabel>("Label60")->isHidden());
    EXPECT_FALSE(child<QLabel>("Label59")->isHidden());
    EXPECT_EQ(counters(), "//");
    EXPECT_FALSE(timer()->isActive());
    EXPECT_EQ(timer()->objectName(), "Timer1");

    auto* grid = child<QTableView>("StringGrid1");
    ASSERT_NE(grid, nullptr);
    QStringList headers;
    QList<int> widths;
    for (int column = 0; column < page.grid()->columnCount(); ++column) {
        headers.append(page.grid()->headerData(column, Qt::Horizontal, Qt::DisplayRole).toString());
        widths.append(grid->horizontalHeader()->sectionSize(column));
    }
    EXPECT_EQ(headers, (QStringList{"Status", "IP or Domain/Host Name", "Bytes", "Time(ms)",
                                    "Failed Reason"}));
    // The given starting widths, widened where the header or the status word needs it.
    const QList<int> starting{50, 150, 40, 65, 2000};
    for (int column = 0; column < widths.size(); ++column) {
        EXPECT_GE(widths.at(column), starting.at(column)) << column;
        EXPECT_GE(widths.at(column), grid->horizontalHeader()->sectionSizeHint(column)) << column;
    }
    EXPECT_GT(widths.at(0), grid->fontMetrics().horizontalAdvance("Running"));
    EXPECT_EQ(page.grid()->rowCount(), 1) << "the grid starts with its empty row";

    // The list: ListBox2 with its count, menu and the two entry dialogs.
    EXPECT_EQ(child<QListView>("ListBox2")->toolTip(), "Right Click to Get More");
    EXPECT_NE(child<QLabel>("Label19"), nullptr);
    EXPECT_NE(child<QMenu>("PopupMenu2"), nullptr);
    auto* add = child<QDialog>("Tping_add");
    auto* update = child<QDialog>("Tping_update");
    ASSERT_TRUE(add != nullptr && update != nullptr);
    EXPECT_EQ(add->windowTitle(), "Add");
    EXPECT_EQ(update->windowTitle(), "Update");
    EXPECT_NE(add->findChild<QLineEdit*>("Edit1"), nullptr);
    EXPECT_NE(update->findChild<QLineEdit*>("Edit1"), nullptr);
    EXPECT_FALSE(add->windowFlags().testFlag(Qt::WindowStaysOnTopHint));
}

TEST_F(PingPageTest, EmptyListWarnsAndStopBeforeAnyRunDoesNothing) {
    page.grid()->writeRow({"old"});
    page.ping_start_buttonClick();
    EXPECT_EQ(host.recording.messages(),
              QStringList{"| Please add the IP address or domain/host name "});
    EXPECT_EQ(host.recording.recorded.at(0).icon, Prompts::Icon::Warning);
    EXPECT_EQ(page.grid()->resultCount(), 1);
    EXPECT_FALSE(page.run()->hasStarted());

    host.navigationEnabled = false;
    page.ping_stop_buttonClick();
    EXPECT_EQ(label("Label54"), "");
    EXPECT_FALSE(host.navigationEnabled);
}

TEST_F(PingPageTest, ThreeEntriesTwiceGiveSixRowsAndTheCounters) {
    page.grid()->writeRow({"old"});
    setList({"127.0.0.1", " http://Localhost/a/b ", "127.0.0.2"});
    page.ping_start_buttonClick();
    EXPECT_EQ(label("Label54"), "Working...");
    EXPECT_FALSE(startEnabled());
    EXPECT_FALSE(host.navigationEnabled);
    EXPECT_EQ(page.grid()->resultCount(), 0) << "Start clears the grid";
    waitForRun();

    EXPECT_EQ(
        outcomes(),
        (QStringList{"Running|127.0.0.1", "Running|127.0.0.1", "Running| http://Localhost/a/b ",
                     "Running| http://Localhost/a/b ", "Running|127.0.0.2", "Running|127.0.0.2"}));
    for (int row = 0; row < 6; ++row) {
        EXPECT_EQ(page.grid()->cell(row, 2), "34");
        EXPECT_EQ(page.grid()->cell(row, 4), " ");
    }
    EXPECT_EQ(counters(), "6/6/");
    EXPECT_EQ(label("Label59"), "6");
    EXPECT_EQ(label("Label54"), "Done!");
    EXPECT_TRUE(startEnabled());
    EXPECT_TRUE(host.navigationEnabled);
    EXPECT_FALSE(timer()->isActive());
    QCoreApplication::processEvents();
    EXPECT_EQ(page.grid()->rowCount(), 7) << "six rows and the empty row";
    auto* grid = child<QTableView>("StringGrid1");
    EXPECT_EQ(grid->selectionModel()->selectedRows().value(0).row(), 5);

    // A new run blanks the three counts; "Total Count" keeps its value until its first row.
    setList({"127.0.0.3"});
    page.ping_start_buttonClick();
    EXPECT_EQ(counters(), "//");
    EXPECT_EQ(label("Label59"), "6");
    waitForRun();
    EXPECT_EQ(counters(), "2/2/");
    EXPECT_EQ(label("Label59"), "2");
}

TEST_F(PingPageTest, ContinuousCyclesAppendAndCountPerCycle) {
    int ends = 0;
    QObject::connect(page.run(), &PingRun::finished, [&] { ++ends; });
    const auto waitForEnd = [&](int count) {
        return test::WaitUntil([&] { return ends == count; }, 10000);
    };
    goContinuous();
    EXPECT_TRUE(child<QLineEdit>("Edit9")->isEnabled());
    setList({"127.0.0.1", "127.0.0.2"});
    child<QComboBox>("ComboBox1")->setCurrentText("1");
    page.ping_start_buttonClick();
    ASSERT_TRUE(waitForEnd(1));
    EXPECT_EQ(counters(), "2/2/");
    EXPECT_EQ(label("Label59"), "2");
    EXPECT_EQ(label("Label54"), "Done!");
    ASSERT_TRUE(timer()->isActive()) << "the next cycle is scheduled";
    EXPECT_EQ(timer()->interval(), 1000);

    // The cycle runs on the grid as it is, with the ping count chosen now; its counts start
    // again, "Total Count" goes on.
    child<QComboBox>("ComboBox1")->setCurrentText("2");
    ASSERT_TRUE(waitForEnd(2));
    EXPECT_EQ(outcomes(),
              (QStringList{"Running|127.0.0.1", "Running|127.0.0.2", "Running|127.0.0.1",
                           "Running|127.0.0.1", "Running|127.0.0.2", "Running|127.0.0.2"}));
    EXPECT_EQ(counters(), "4/4/");
    EXPECT_EQ(label("Label59"), "6");
    EXPECT_EQ(label("Label54"), "Done!");
    EXPECT_EQ(page.run()->lastPingCount(), 2);
    ASSERT_TRUE(timer()->isActive());

    // A cycle over an emptied list ends at once and schedules the next one.
    setList({});
    ASSERT_TRUE(waitForEnd(3));
    EXPECT_TRUE(timer()->isActive());
    EXPECT_EQ(label("Label54"), "Done!");
    EXPECT_EQ(page.grid()->resultCount(), 6);

    // Unchecking "Continuous" while waiting: the scheduled cycle still runs, no more after it.
    setList({"127.0.0.4"});
    child<QCheckBox>("CheckBox6")->setChecked(false);
    EXPECT_TRUE(child<QLabel>("Label60")->isHidden());
    EXPECT_TRUE(child<QLabel>("Label59")->isHidden());
    EXPECT_FALSE(child<QLineEdit>("Edit9")->isEnabled());
    EXPECT_TRUE(timer()->isActive());
    ASSERT_TRUE(waitForEnd(4));
    EXPECT_EQ(page.grid()->resultCount(), 8);
    EXPECT_FALSE(timer()->isActive());
    test::ProcessEventsFor(1500);
    EXPECT_EQ(ends, 4);
    EXPECT_EQ(page.grid()->resultCount(), 8);
    EXPECT_TRUE(host.recording.messages().isEmpty());
}

TEST_F(PingPageTest, StopWhileWaitingOrRunningEndsContinuousMode) {
    goContinuous();
    setList({"127.0.0.1"});
    int ends = 0;
    QObject::connect(page.run(), &PingRun::finished, [&] { ++ends; });
    page.ping_start_buttonClick();
    waitForRun();
    ASSERT_TRUE(timer()->isActive());
    host.navigationEnabled = false;
    page.ping_stop_buttonClick();
    EXPECT_FALSE(timer()->isActive());
    EXPECT_EQ(label("Label54"), "Done!");
    EXPECT_TRUE(host.navigationEnabled);
    test::ProcessEventsFor(1500);
    EXPECT_EQ(page.grid()->resultCount(), 2) << "no cycle after Stop";

    // Stop while a long run goes on: its rows stop at once, it never ends "normally".
    QStringList many;
    for (int i = 0; i < 40000; ++i) {
        many.append(QStringLiteral("127.1.%1.%2").arg(i / 256).arg(i % 256));
    }
    setList(many);
    page.ping_start_buttonClick();
    ASSERT_TRUE(test::WaitUntil([&] { return page.grid()->resultCount() >= 5; }, 10000));
    child<QToolButton>("ping_stop_button")->click();
    const int atStop = page.grid()->resultCount();
    const QString countersAtStop = counters();
    EXPECT_EQ(label("Label54"), "Done!");
    EXPECT_TRUE(startEnabled());
    EXPECT_TRUE(host.navigationEnabled);
    test::ProcessEventsFor(1500);
    EXPECT_EQ(page.grid()->resultCount(), atStop);
    EXPECT_LT(atStop, 2 * 40000);
    EXPECT_EQ(counters(), countersAtStop);
    EXPECT_FALSE(timer()->isActive()) << "a stopped run arms no cycle";
    EXPECT_EQ(ends, 1) << "only the first run ended by itself";
}

TEST_F(PingPageTest, PerAcceptsOnlyWholeNumbers) {
    auto* per = child<QLineEdit>("Edit9");
    const struct {
        QString typed;
        QString after;
        bool warned;
    } cases[] = {
        {"12", "12", false}, {"3.", "3", true},   {"0", "3", true},    {"", "3", true},
        {"x", "3", true},    {"-2", "-2", false}, {"00", "00", false}, {" 4", " 4", false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.typed.toStdString());
        per->setText("5");
        host.recording.recorded.clear();
        per->setText(c.typed);
        EXPECT_EQ(per->text(), c.after);
        EXPECT_EQ(host.recording.messages(),
                  c.warned ? QStringList{"| Please enter the integer! "} : QStringList{});
    }
    // Deleting the last digit by key gives the warning and restores "3".
    per->setEnabled(true);
    per->setText("7");
    host.recording.recorded.clear();
    per->setFocus();
    per->end(false);
    QTest::keyClick(per, Qt::Key_Backspace);
    EXPECT_EQ(per->text(), "3");
    EXPECT_EQ(host.recording.messages(), QStringList{"| Please enter the integer! "});

    // A "Per" that is no number when a cycle ends (it cannot be typed, only set while the
    // check is off): the warning, and the interval the timer had.
    child<QCheckBox>("CheckBox6")->setChecked(true);
    {
        const QSignalBlocker quiet(per);
        per->setText("soon");
    }
    host.recording.recorded.clear();
    setList({"127.0.0.1"});
    page.ping_start_buttonClick();
    waitForRun();
    EXPECT_EQ(host.recording.messages(), QStringList{"| Please enter the integer! "});
    EXPECT_TRUE(timer()->isActive());
    EXPECT_EQ(timer()->interval(), 1000);
    page.ping_stop_buttonClick();
}

TEST_F(PingPageTest, RangeFillsTheListOnly) {
    page.SpeedButton8Click();
    ASSERT_EQ(entries().size(), 256);
    EXPECT_EQ(entries().first(), "66.218.71.0");
    EXPECT_EQ(entries().last(), "66.218.71.255");
    EXPECT_EQ(label("Label19"), "256");
    EXPECT_FALSE(page.run()->hasStarted());

    // Enter in the prefix or "To" creates the list; Enter in "From" does not.
    child<QLineEdit>("Edit2")->setText("127.0.0");
    child<QLineEdit>("Edit4")->setText("10");
    child<QLineEdit>("Edit5")->setText("12");
    QTest::keyClick(child<QLineEdit>("Edit4"), Qt::Key_Return);
    EXPECT_EQ(entries().size(), 256);
    QTest::keyClick(child<QLineEdit>("Edit5"), Qt::Key_Return);
    EXPECT_EQ(entries(), (QStringList{"127.0.0.10", "127.0.0.11", "127.0.0.12"}));
    EXPECT_EQ(label("Label19"), "3");
    child<QLineEdit>("Edit2")->setText("127.0.1");
    QTest::keyClick(child<QLineEdit>("Edit2"), Qt::Key_Return);
    EXPECT_EQ(entries().first(), "127.0.1.10");

    child<QLineEdit>("Edit4")->setText("10");
    child<QLineEdit>("Edit5")->setText("5");
    page.SpeedButton8Click();
    EXPECT_TRUE(entries().isEmpty());
    EXPECT_EQ(label("Label19"), "0");
    EXPECT_FALSE(page.run()->hasStarted());

    setList({"keep"});
    for (const auto& [from, message] : {std::pair{"256", "Error|Please insert number 0-255!  "},
                                        std::pair{"x", "Error|Please insert number 0-255! "}}) {
        host.recording.recorded.clear();
        child<QLineEdit>("Edit4")->setText(from);
        page.SpeedButton8Click();
        EXPECT_EQ(host.recording.messages(), QStringList{message});
        EXPECT_EQ(host.recording.recorded.at(0).icon, Prompts::Icon::Error);
        EXPECT_EQ(entries(), QStringList{"keep"});
    }
}

TEST_F(PingPageTest, AddressNeighbourhoodAndNameFillsPingAtOnce) {
    auto* address = child<QLineEdit>("Edit8");
    // Empty: nothing; a part that is not a number: the general error report; a number
    // outside 0..255: the warning. The list stays as it was.
    setList({"keep"});
    page.SpeedButton18Click();
    address->setText("127.0.x.1");
    try {
        page.SpeedButton18Click();
        ADD_FAILURE() << "no error report";
    } catch (const UserError& error) {
        EXPECT_EQ(error.message(), "'x' is not a valid integer value");
    }
    address->setText("127.0.0.256");
    page.SpeedButton18Click();
    EXPECT_EQ(host.recording.messages(), QStringList{"|Please enter the correct IP address!"});
    EXPECT_EQ(entries(), QStringList{"keep"});
    EXPECT_FALSE(page.run()->hasStarted());

    // A single address with a blank before it goes in as typed and is pinged at once.
    address->setText(" 127.0.0.1");
    QTest::keyClick(address, Qt::Key_Return);
    EXPECT_EQ(entries(), QStringList{" 127.0.0.1"});
    EXPECT_EQ(label("Label19"), "1");
    EXPECT_EQ(label("Label54"), "Working...");
    waitForRun();
    EXPECT_EQ(outcomes(), (QStringList{"Running| 127.0.0.1", "Running| 127.0.0.1"}));

    // The neighbourhood: 21 addresses around the typed one, pinged at once.
    child<QCheckBox>("CheckBox4")->setChecked(true);
    child<QComboBox>("ComboBox1")->setCurrentText("1");
    address->setText("127.0.1.5");
    page.SpeedButton18Click();
    ASSERT_EQ(entries().size(), 21);
    EXPECT_EQ(entries().first(), "127.0.0.251");
    EXPECT_EQ(entries().last(), "127.0.1.15");
    EXPECT_EQ(label("Label19"), "21");
    waitForRun();
    EXPECT_EQ(page.grid()->resultCount(), 21);
    EXPECT_EQ(counters(), "21/21/");

    // Cut off at either end: the list as far as it goes, and no run.
    const int rowsBefore = page.grid()->resultCount();
    for (const auto& [typed, count] :
         {std::pair{"0.0.0.10", 0}, std::pair{"255.255.255.250", 16}}) {
        address->setText(typed);
        page.SpeedButton18Click();
        EXPECT_EQ(entries().size(), count) << typed;
        EXPECT_EQ(label("Label19"), QString::number(count));
        EXPECT_EQ(label("Label54"), "Done!");
        EXPECT_FALSE(page.run()->isRunning());
    }
    EXPECT_EQ(page.grid()->resultCount(), rowsBefore);

    // A name replaces the whole list and is pinged at once (Enter in its box).
    auto* name = child<QLineEdit>("Edit7");
    name->setText("localhost");
    QTest::keyClick(name, Qt::Key_Return);
    EXPECT_EQ(entries(), QStringList{"localhost"});
    EXPECT_EQ(label("Label19"), "1");
    waitForRun();
    EXPECT_EQ(outcomes(), QStringList{"Running|localhost"});
}

TEST_F(PingPageTest, ExportDialogWritesTheGridWithTheLastRunsPingCount) {
    ExportDialog* dialog = page.exportDialog();
    EXPECT_EQ(dialog->objectName(), "Tping_export");
    EXPECT_EQ(dialog->windowTitle(), "Choose");
    EXPECT_EQ(page.exportDialog(), dialog) << "kept between uses";
    // The button shows it modally and returns at once (no nested event loop to block on).
    page.SpeedButton12Click();
    EXPECT_TRUE(dialog->isVisible());
    EXPECT_EQ(dialog->windowModality(), Qt::ApplicationModal);
    dialog->Button2Click();
    const QStringList names{"RadioButton1", "RadioButton2", "RadioButton3", "RadioButton6",
                            "RadioButton4", "RadioButton7", "RadioButton5", "RadioButton8"};
    for (int kind = 0; kind < names.size(); ++kind) {
        EXPECT_EQ(dialog->radio(kind)->objectName(), names.at(kind));
    }
    EXPECT_EQ(dialog->radio(0)->text(), "The Running  IP Addresses List (*.txt)");
    EXPECT_TRUE(dialog->radio(0)->isChecked());
    EXPECT_FALSE(dialog->openCheck()->isChecked());

    setList({"127.0.0.5", "127.0.0.6"});
    page.ping_start_buttonClick();
    waitForRun();
    // "Ping Count" changed after the run: the hosts are still groups of the run's 2 rows.
    child<QComboBox>("ComboBox1")->setCurrentText("1");
    QTemporaryDir dir;
    const QString txt = dir.filePath("running.txt");
    const QString csv = dir.filePath("all.csv");
    host.recording.files = {txt, csv};
    dialog->Button1Click();
    EXPECT_EQ(host.recording.lastSaveFilter, "*.txt (*.txt)");
    EXPECT_EQ(host.recording.lastSaveSuffix, "txt");
    dialog->choose(7);
    dialog->Button1Click();
    EXPECT_EQ(host.recording.lastSaveFilter, "*.csv (*.csv)");

    QFile running(txt);
    ASSERT_TRUE(running.open(QIODevice::ReadOnly));
    EXPECT_EQ(running.readAll(), "127.0.0.5\r\n127.0.0.6\r\n");
    QFile all(csv);
    ASSERT_TRUE(all.open(QIODevice::ReadOnly));
    const QList<QByteArray> lines = all.readAll().split('\n');
    ASSERT_EQ(lines.size(), 6);
    EXPECT_EQ(lines.at(0), "Status,IP or Domain/Host Name,Bytes,Time(ms),Failed Reason\r");
    EXPECT_TRUE(lines.at(4).startsWith("Running,127.0.0.6,34,")) << lines.at(4).toStdString();
    EXPECT_TRUE(lines.at(4).endsWith(", \r"));
}

}  // namespace
}  // namespace quendrix
