// The right-click menus of every page, walked item by item through the main window built from
// the page registry: each menu on its control, its items in order, and what each item does
// (page shown, box set, actions asked for). The target pages' actions are recorded, not run,
// so no item sends anything anywhere; the edge cases that need a real action run it.
#include "app/main_window.h"
#include "core/result_table_model.h"
#include "core/target.h"
#include "core/target_list_model.h"
#include "core/widgets/grid_view.h"
#include "core/widgets/target_list_panel.h"
#include "core/widgets/tool_page.h"
#include "support/event_loop.h"
#include "support/fake_host.h"
#include "support/http_global_init.h"
#include "support/recording_prompts.h"
#include "tools/monitor/monitor_page.h"

#include <QAbstractButton>
#include <QAction>
#include <QContextMenuEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListView>
#include <QMenu>
#include <QMouseEvent>
#include <QTemporaryDir>
#include <QTreeWidget>

#include <gtest/gtest.h>

namespace quendrix {
namespace {

// The column of the cell each grid hands over.
int HandedColumn(const QString& grid) {
    if (grid == "StringGrid1") {
        return 1;  // "IP or Domain/Host Name"
    }
    if (grid == "sgConnHist") {
        return 4;  // "Remote IP"
    }
    return 0;
}

class HandOffMenusTest : public ::testing::Test {
  protected:
    HandOffMenusTest() {
        MainWindowOptions options;
        options.executableDirectory = dir.path();
        options.settingsFiles = {dir.filePath("settings.ini"), dir.filePath("settings.ini")};
        options.prompts = &prompts;
        // Not the user's own browser: its page would fill the target boxes at start-up.
        options.browser = std::make_shared<test::FakeBrowser>();
        window = std::make_unique<Tmain>(options);
        // The monitor's own rows would come between the test's.
        qobject_cast<MonitorPage*>(page("connection_monitor_tab"))->engine().stop();
        window->handOff().setActionHook([this](const QString& page, const QString& action) {
            actions << page + "/" + action;
            return false;
        });
    }
    ToolPage* page(const QString& name) { return window->findChild<ToolPage*>(name); }
    QString activePage() { return window->page(window->activePage())->objectName(); }
    // The menu shown on control: the list's own menu for a list.
    QMenu* menuOf(ToolPage* on, const HandOffMenu& menu) {
        for (QMenu* candidate : on->findChildren<QMenu*>(menu.name)) {
            return candidate;
        }
        return nullptr;
    }
    // Puts value where the control's menu takes it from, and selects it.
    void setSource(ToolPage* on, const QString& control, const QString& value) {
        QWidget* widget = on->findChild<QWidget*>(control);
        ASSERT_NE(widget, nullptr) << control.toStdString();
        if (auto* box = qobject_cast<QLineEdit*>(widget)) {
            box->setText(value);
        } else if (auto* grid = qobject_cast<GridView*>(widget)) {
            grid->resultModel()->clearResults();
            QStringList cells(grid->model()->columnCount(), QStringLiteral("other"));
            cells[HandedColumn(control)] = value;
            grid->resultModel()->writeRow(cells);
            grid->resultModel()->flush();
            grid->selectRow(0);
        } else if (auto* hops = qobject_cast<QTreeWidget*>(widget)) {
            hops->clear();
            auto* hop = new QTreeWidgetItem(hops, {"1", value, "other", "other"});
            hops->setCurrentItem(hop);
        } else if (auto* list = qobject_cast<QListView*>(widget)) {
            auto* panel = on->findChild<TargetListPanel*>();
            panel->model()->replaceAll({"other", value});
            list->setCurrentIndex(list->model()->index(1, 0));
        } else {
            FAIL() << "no source kind for " << control.toStdString();
        }
    }

    QTemporaryDir dir;
    test::RecordingPrompts prompts;
    std::unique_ptr<Tmain> window;
    QStringList actions;
};

TEST_F(HandOffMenusTest, EveryItemOfEveryMenuSendsItsSourceToItsTarget) {
    const QString localName = ResolveAddress("127.0.0.1");
    int items = 0;
    for (const HandOffMenu& menu : HandOffMenus()) {
        for (const HandOffPlace& place : menu.places) {
            SCOPED_TRACE((menu.name + " on " + place.control).toStdString());
            ToolPage* from = page(place.page);
            ASSERT_NE(from, nullptr);
            QMenu* shown = menuOf(from, menu);
            ASSERT_NE(shown, nullptr);

            // The menu opens on its control (over the viewport of a list or grid).
            auto* control = from->findChild<QWidget*>(place.control);
            ASSERT_NE(control, nullptr);
            auto* area = qobject_cast<QAbstractScrollArea*>(control);
            QWidget* receiver = area != nullptr ? area->viewport() : control;
            QContextMenuEvent open(QContextMenuEvent::Mouse, QPoint(2, 2),
                                   receiver->mapToGlobal(QPoint(2, 2)));
            QCoreApplication::sendEvent(receiver, &open);
            EXPECT_TRUE(shown->isVisible());
            shown->hide();

            // The table's items close the menu, after the list's editing items and a line.
            const QList<QAction*> all = shown->actions();
            ASSERT_GE(all.size(), menu.items.size());
            const qsizetype first = all.size() - menu.items.size();
            EXPECT_EQ(first, menu.afterListItems ? 5 : 0);
            if (menu.afterListItems) {
                EXPECT_TRUE(all.at(first - 1)->isSeparator());
            }

            // Every source gets a value of its own; an address where a name is looked up.
            const bool address = menu.name == "pop_ip" || menu.name == "pop_monitor";
            const QString value = address ? "127.0.0.1" : "walk-" + place.control + ".example";
            const QString stored = menu.name == "pop_monitor" ? "127.  0.  0.  1" : value;

            for (qsizetype i = 0; i < menu.items.size(); ++i) {
                const HandOffMenuItem& item = menu.items.at(i);
                QAction* action = all.at(first + i);
                SCOPED_TRACE(item.caption.toStdString());
                EXPECT_EQ(action->text(), item.caption);
                EXPECT_EQ(action->objectName(), item.objectName());
                if (item.kind == HandOffMenuItem::Kind::Separator) {
                    EXPECT_TRUE(action->isSeparator());
                    continue;
                }
                setSource(from, place.control, stored);
                window->showPage(place.page);
                actions.clear();
                prompts.recorded.clear();
                ++items;

                if (item.kind == HandOffMenuItem::Kind::OpenAsWebAddress) {
                    action->trigger();
                    EXPECT_EQ(activePage(), place.page);
                    ASSERT_EQ(prompts.recorded.size(), 1);
                    EXPECT_EQ(prompts.recorded.at(0).kind, "shell");
                    EXPECT_EQ(prompts.recorded.at(0).text, "http://" + value);
                    continue;
                }

                auto* box = page(item.target.page)->findChild<QLineEdit*>(item.target.box);
                ASSERT_NE(box, nullptr);
                box->setText("before");
                action->trigger();
                EXPECT_EQ(activePage(), item.target.page);
                ASSERT_TRUE(
                    test::WaitUntil([&] { return !window->handOff().hasPending(); }, 30000));
                const bool resolves = item.conversion == HandOffConversion::ResolveAddress;
                EXPECT_EQ(resolves, address && item.caption == "Whois");
                EXPECT_EQ(box->text(), resolves ? localName : value);
                QStringList expected;
                for (const QString& name : item.target.actions) {
                    expected << item.target.page + "/" + name;
                }
                EXPECT_EQ(actions, expected);
                EXPECT_TRUE(prompts.recorded.isEmpty());
            }
        }
    }
    EXPECT_GT(items, 0);
}

// Every grid menu on the grid's final empty row, and every list menu with nothing selected:
// no item does anything at all.
TEST_F(HandOffMenusTest, NothingHappensOnAnEmptyRowOrWithoutASelection) {
    for (const HandOffMenu& menu : HandOffMenus()) {
        const HandOffPlace& place = menu.places.constFirst();
        ToolPage* from = page(place.page);
        auto* view = from->findChild<QAbstractItemView*>(place.control);
        if (view == nullptr) {
            continue;  // a box: there is always a value
        }
        SCOPED_TRACE(menu.name.toStdString());
        setSource(from, place.control, "walk.example");
        if (auto* grid = qobject_cast<GridView*>(view)) {
            grid->selectRow(grid->model()->rowCount() - 1);  // the empty last row
        } else {
            view->clearSelection();
            view->setCurrentIndex({});
        }
        window->showPage(place.page);
        actions.clear();
        // The hand-off items only: they close the menu, after any editing items.
        const QList<QAction*> all = menuOf(from, menu)->actions();
        for (QAction* action : all.mid(all.size() - menu.items.size())) {
            action->trigger();
        }
        EXPECT_EQ(activePage(), place.page);
        EXPECT_TRUE(actions.isEmpty()) << actions.join(", ").toStdString();
        EXPECT_TRUE(prompts.recorded.isEmpty());
        EXPECT_FALSE(window->handOff().hasPending());
    }
}

// "Whois" on the converter's address box with an address that has no name: the whois box
// shows "X" and the query is asked for; "Brower" on a cell that is no host name opens nothing.
TEST_F(HandOffMenusTest, AFailedLookUpHandsOverXAndTheBrowserIgnoresNonAddresses) {
    ToolPage* converter = page("ip_to_domain_converter_tab");
    converter->findChild<QLineEdit*>("ip_edit")->setText("10.0.0.300");
    converter->findChild<QAction*>("MenuItem3")->trigger();
    ASSERT_TRUE(test::WaitUntil([&] { return !window->handOff().hasPending(); }, 30000));
    EXPECT_EQ(activePage(), "whois_tab");
    EXPECT_EQ(page("whois_tab")->findChild<QLineEdit*>("edDomain")->text(), "X");
    EXPECT_EQ(actions,
              (QStringList{"whois_tab/Button3Click", "whois_tab/whois_start_buttonClick"}));

    for (const char* text : {"Unknown", "not a host", "10.0.0.1/x"}) {
        setSource(converter, "StringGrid2", text);
        converter->findChild<QAction*>("Brower1")->trigger();
    }
    EXPECT_TRUE(prompts.recorded.isEmpty());
    EXPECT_EQ(activePage(), "whois_tab");
}

// A right-button press on a list or a grid leaves its current row and selection alone, so
// the menu acts on the row the user chose before; a left press still chooses.
TEST_F(HandOffMenusTest, ARightClickDoesNotMoveTheCurrentRow) {
    struct Case {
        const char* page;
        const char* view;
    };
    for (const Case& c :
         {Case{"ip_to_domain_converter_tab", "StringGrid2"},
          Case{"ip_to_domain_converter_tab", "ListBox1"}, Case{"tracert_tab", "lvTrace"},
          Case{"connection_monitor_tab", "sgConnHist"}}) {
        SCOPED_TRACE(c.view);
        ToolPage* on = page(c.page);
        window->showPage(c.page);
        window->show();
        auto* view = on->findChild<QAbstractItemView*>(c.view);
        ASSERT_NE(view, nullptr);
        // The monitor's cell holds a padded address and hands it over compacted.
        const bool monitor = c.view == QString("sgConnHist");
        const QString chosenValue = monitor ? "127.0.0.1" : "chosen.example";
        setSource(on, c.view, monitor ? "127.  0.  0.  1" : chosenValue);
        // A second row under the first.
        if (auto* grid = qobject_cast<GridView*>(view)) {
            QStringList cells(grid->model()->columnCount(), "second");
            grid->resultModel()->writeRow(cells);
            grid->resultModel()->flush();
            grid->selectRow(0);
        } else if (auto* hops = qobject_cast<QTreeWidget*>(view)) {
            new QTreeWidgetItem(hops, {"2", "second"});
        } else {
            on->findChild<TargetListPanel*>()->model()->append("second");
        }
        const QModelIndex chosen = view->currentIndex();
        ASSERT_TRUE(chosen.isValid());
        const QModelIndex other = view->model()->index(chosen.row() == 0 ? 1 : 0, 0);
        const QPoint at = view->visualRect(other).center();
        ASSERT_FALSE(view->visualRect(other).isEmpty());

        for (const QEvent::Type type :
             {QEvent::MouseButtonPress, QEvent::MouseButtonRelease, QEvent::MouseButtonDblClick}) {
            QMouseEvent event(type, at, view->viewport()->mapToGlobal(at), Qt::RightButton,
                              type == QEvent::MouseButtonRelease ? Qt::NoButton : Qt::RightButton,
                              Qt::NoModifier);
            QCoreApplication::sendEvent(view->viewport(), &event);
        }
        EXPECT_EQ(view->currentIndex().row(), chosen.row());
        EXPECT_EQ(view->selectionModel()->selectedRows().constFirst().row(), chosen.row());
        EXPECT_EQ(on->handOffPoints().read(c.view), std::optional<QString>(chosenValue));
        if (auto* panel = on->findChild<TargetListPanel*>();
            panel && c.view == QString("ListBox1")) {
            EXPECT_FALSE(panel->updateDialog()->isVisible())
                << "a right double click is no double click";
        }

        QMouseEvent left(QEvent::MouseButtonPress, at, view->viewport()->mapToGlobal(at),
                         Qt::LeftButton, Qt::LeftButton, Qt::NoModifier);
        QCoreApplication::sendEvent(view->viewport(), &left);
        EXPECT_EQ(view->currentIndex().row(), other.row());
    }
}

// "Ping" on a converter list entry, the actions really run: the entry becomes the ping
// list's only entry, the running batch ping is stopped and a new one pings that entry alone.
TEST_F(HandOffMenusTest, PingOnAListEntryRestartsThePingWithThatEntryAlone) {
    window->handOff().setActionHook({});
    ToolPage* ping = page("batch_ping_tab");
    auto* pingList = ping->findChild<TargetListPanel*>();
    pingList->model()->replaceAll({"127.0.0.2", "127.0.0.3", "127.0.0.4"});
    ping->findChild<QAbstractButton*>("ping_start_button")->click();
    ASSERT_FALSE(ping->findChild<QAbstractButton*>("ping_start_button")->isEnabled());

    ToolPage* converter = page("ip_to_domain_converter_tab");
    setSource(converter, "ListBox1", "127.0.0.1");
    window->showPage("ip_to_domain_converter_tab");
    converter->findChild<QAction*>("Ping2")->trigger();
    EXPECT_EQ(activePage(), "batch_ping_tab");
    EXPECT_EQ(pingList->model()->entries(), QStringList{"127.0.0.1"});
    EXPECT_EQ(pingList->countLabel()->text(), "1");
    ASSERT_TRUE(test::WaitUntil(
        [&] { return ping->findChild<QAbstractButton*>("ping_start_button")->isEnabled(); },
        60000));
    const auto* grid = ping->findChild<GridView*>("StringGrid1")->resultModel();
    ASSERT_GE(grid->resultCount(), 1);
    for (int row = 0; row < grid->resultCount(); ++row) {
        EXPECT_EQ(grid->cell(row, 1), "127.0.0.1") << "only the handed entry is pinged";
    }
}

}  // namespace
}  // namespace quendrix
