#include "app/main_window.h"
#include "core/result_table_model.h"
#include "core/widgets/grid_view.h"
#include "core/widgets/target_list_panel.h"
#include "core/widgets/tool_page.h"
#include "support/fake_host.h"
#include "support/http_global_init.h"
#include "support/recording_prompts.h"

#include <QAccessible>
#include <QAction>
#include <QButtonGroup>
#include <QCheckBox>
#include <QComboBox>
#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QListView>
#include <QMenuBar>
#include <QTemporaryDir>
#include <QToolButton>

#include <gtest/gtest.h>

namespace quendrix {
namespace {

class MainWindowTest : public ::testing::Test {
  protected:
    std::unique_ptr<Tmain> open() {
        MainWindowOptions options;
        options.executableDirectory = dir.path();
        options.settingsFiles = {settingsPath(), settingsPath()};
        options.prompts = &prompts;
        options.pages = pages;
        options.browser = std::make_shared<test::FakeBrowser>();  // no browser running
        return std::make_unique<Tmain>(options);
    }
    QString settingsPath() const { return dir.filePath(QStringLiteral("settings.ini")); }
    void writeSettings(const QByteArray& text) {
        QFile file(settingsPath());
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(text);
    }
    void writeFile(const QString& name, const QByteArray& text) {
        QFile file(dir.filePath(name));
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(text);
    }
    QByteArray readSettings() {
        QFile file(settingsPath());
        EXPECT_TRUE(file.open(QIODevice::ReadOnly));
        return file.readAll();
    }
    QTemporaryDir dir;
    test::RecordingPrompts prompts;
    std::vector<PageEntry> pages;  // empty: the program's own
};

TEST_F(MainWindowTest, NinePagesBehindTheMenuAndTheBar) {
    auto window = open();
    EXPECT_EQ(window->windowTitle(), QStringLiteral("Quendrix"));
    EXPECT_EQ(window->size(), QSize(882, 645));
    // Every page fits the window's size: none forces it wider or taller.
    EXPECT_LE(window->minimumSizeHint().width(), 882);
    EXPECT_LE(window->minimumSizeHint().height(), 645);
    const char* names[] = {"ip_to_domain_converter_tab",
                           "batch_ping_tab",
                           "tracert_tab",
                           "whois_tab",
                           "country_lookup_tab",
                           "website_scanner_tab",
                           "connection_monitor_tab",
                           "local_information_tab",
                           "ip_locator_tab"};
    const char* captions[] = {"IP-to-Domain Converter",
                              "Batch Ping",
                              "Tracert",
                              "Whois",
                              "Country Lookup",
                              "Website Scanner",
                              "Connection Monitor",
                              "Local Infomation",
                              "IP Locator"};
    const char* headers[] = {"IP Domain Converter",
                             "Batch Ping",
                             "Traceroute",
                             "Whois",
                             "IP Country Converter",
                             "Website Scanner",
                             "Connection Monitor",
                             nullptr,
                             "IP Locator"};
    for (int i = 0; i < Tmain::kPageCount; ++i) {
        QWidget* page = window->page(i);
        EXPECT_EQ(page->objectName(), QString::fromLatin1(names[i]));
        EXPECT_EQ(page->windowTitle(), QString::fromLatin1(captions[i]));
        // A header the page names after its control (Label63 on Whois, Label65 on the
        // Website Scanner, Label67 on the IP Locator), or "header".
        auto* header = page->findChild<QLabel*>(QStringLiteral("header"));
        for (const char* named : {"Label63", "Label65", "Label67"}) {
            if (header == nullptr) {
                header = page->findChild<QLabel*>(QString::fromLatin1(named));
            }
        }
        if (headers[i] == nullptr) {
            EXPECT_EQ(header, nullptr);
        } else {
            ASSERT_NE(header, nullptr) << names[i];
            EXPECT_EQ(header->text(), QString::fromLatin1(headers[i]));
        }
        window->menuItem(i)->trigger();
        EXPECT_EQ(window->activePage(), i);
    }

    // The "Function View" menu, in its order, with its blanks.
    QMenu* view = nullptr;
    QStringList menus;
    for (QAction* action : window->menuBar()->actions()) {
        menus << action->text();
        if (action->text() == QStringLiteral("Function View")) {
            view = action->menu();
        }
    }
    EXPECT_EQ(menus, (QStringList{"  File  ", "Function View", "  Help  "}));
    ASSERT_NE(view, nullptr);
    QStringList items;
    for (QAction* action : view->actions()) {
        items << (action->isSeparator() ? QStringLiteral("-") : action->text());
    }
    EXPECT_EQ(items,
              (QStringList{"IP-to-Domain Converter   ", "Batch Ping", "IP-to-Country Converter",
                           "IP Locator", "Traceroute", "Whois", "Website Scanner",
                           "Connection Monitor", "-", "Local Information"}));

    // The bar: seven tools, then Local Information; each shows its page.
    const QList<QToolButton*> buttons = window->navigationBar()->findChildren<QToolButton*>();
    QStringList bar;
    for (QToolButton* button : buttons) {
        bar << button->text();
    }
    EXPECT_EQ(
        bar, (QStringList{"IP Domain Converter", "Batch Ping", "IP Country Converter", "Traceroute",
                          "Whois", "Website Scanner", "Connection Monitor", "Local Information"}));
    // The button of the page shown is marked, whichever way the page was chosen; a page
    // without a button (or no page) leaves none marked.
    const auto marked = [&buttons] {
        QStringList on;
        for (QToolButton* button : buttons) {
            if (button->isChecked()) {
                on << button->text();
            }
            EXPECT_EQ(button->font().bold(), button->isChecked()) << button->text().toStdString();
        }
        return on;
    };
    buttons.at(2)->click();
    EXPECT_EQ(window->activePage(), 4);
    EXPECT_EQ(marked(), QStringList{"IP Country Converter"});
    window->menuItem(3)->trigger();
    EXPECT_EQ(marked(), QStringList{"Whois"});
    window->menuItem(8)->trigger();
    EXPECT_EQ(marked(), QStringList{});
    window->showPage(7);
    EXPECT_EQ(marked(), QStringList{"Local Information"});
    window->showPage(-1);
    EXPECT_EQ(marked(), QStringList{});
    // A screen reader presses a button through its toggle action, which sets the state
    // without a click: the page follows all the same.
    QAccessibleInterface* access = QAccessible::queryAccessibleInterface(buttons.at(4));
    ASSERT_NE(access, nullptr);
    ASSERT_NE(access->actionInterface(), nullptr);
    ASSERT_TRUE(access->actionInterface()->actionNames().contains(
        QAccessibleActionInterface::toggleAction()));
    access->actionInterface()->doAction(QAccessibleActionInterface::toggleAction());
    EXPECT_EQ(window->activePage(), 3);
    EXPECT_EQ(marked(), QStringList{"Whois"});
    buttons.at(0)->setChecked(true);
    EXPECT_EQ(window->activePage(), 0);
    EXPECT_EQ(marked(), QStringList{"IP Domain Converter"});
    window->setNavigationEnabled(false);
    EXPECT_FALSE(buttons.at(0)->isEnabled());
}

// What the window and the whois page read from settings.ini; only "true" checks the box.
TEST_F(MainWindowTest, StartsFromTheSettings) {
    const struct {
        QByteArray text;
        bool customized;
        QString server;
        int page;
    } cases[] = {
        {"", false, "", 0},
        {"[whois]\ncustomized=true\nserver=whois.example\n[tab]\ntab=3\n", true, "whois.example",
         3},
        {"[whois]\ncustomized=True\n[tab]\ntab=x\n", false, "", 0},
        {"[tab]\ntab=12\n", false, "", -1},
    };
    for (const auto& c : cases) {
        writeSettings(c.text);
        auto window = open();
        auto* customized = window->findChild<QCheckBox*>(QStringLiteral("CheckBox7"));
        auto* server = window->findChild<QComboBox*>(QStringLiteral("edit10"));
        ASSERT_NE(customized, nullptr);
        ASSERT_NE(server, nullptr);
        EXPECT_EQ(customized->parent()->objectName(), "whois_tab");
        EXPECT_EQ(customized->isChecked(), c.customized) << c.text.toStdString();
        EXPECT_EQ(server->isEnabled(), c.customized) << c.text.toStdString();
        EXPECT_EQ(server->currentText(), c.server) << c.text.toStdString();
        EXPECT_EQ(window->activePage(), c.page) << c.text.toStdString();
    }
}

TEST_F(MainWindowTest, ClosingKeepsThePageAndTheWhoisServer) {
    {
        auto window = open();
        window->show();
        window->findChild<QCheckBox*>(QStringLiteral("CheckBox7"))->setChecked(true);
        window->findChild<QComboBox*>(QStringLiteral("edit10"))
            ->setEditText(QStringLiteral(" whois.lab "));
        window->showPage(3);
        EXPECT_TRUE(window->close());
    }
    EXPECT_TRUE(readSettings().contains("[tab]\ntab=3")) << readSettings().toStdString();
    auto window = open();
    EXPECT_EQ(window->activePage(), 3);
    EXPECT_TRUE(window->findChild<QCheckBox*>(QStringLiteral("CheckBox7"))->isChecked());
    EXPECT_TRUE(window->findChild<QComboBox*>(QStringLiteral("edit10"))->isEnabled());
    EXPECT_EQ(window->findChild<QComboBox*>(QStringLiteral("edit10"))->currentText(),
              QStringLiteral("whois.lab"));
}

TEST_F(MainWindowTest, OutOfRangePageShowsNoneAndStoresMinusOne) {
    writeSettings("[tab]\ntab=12\n");
    {
        auto window = open();
        EXPECT_EQ(window->activePage(), -1);
        window->show();
        window->close();
    }
    EXPECT_TRUE(readSettings().contains("tab=-1")) << readSettings().toStdString();
    auto window = open();
    EXPECT_EQ(window->activePage(), -1);
    window->menuItem(1)->trigger();
    EXPECT_EQ(window->activePage(), 1);
}

// A page that refuses the close after asking, as the website scanner does while it works.
class RefusingPage : public ToolPage {
  public:
    RefusingPage(Prompts& prompts, QWidget* parent)
        : ToolPage(QStringLiteral("website_scanner_tab"), QString(), parent), m_prompts(prompts) {}
    bool queryClose() override {
        m_prompts.askYesCancel(QStringLiteral("Confirm"),
                               QStringLiteral("Website Scanner is working, exit or not?"));
        return !refuse;
    }
    bool refuse = true;

  private:
    Prompts& m_prompts;
};

TEST_F(MainWindowTest, APageThatRefusesTheCloseKeepsTheWindowAndTheSettings) {
    writeSettings("[tab]\ntab=2\n");
    pages = PageRegistry();
    RefusingPage* scanner = nullptr;
    for (PageEntry& entry : pages) {
        if (entry.index == 5) {
            entry.factory = [this, &scanner](const PageServices&, QWidget* parent) {
                scanner = new RefusingPage(prompts, parent);
                return scanner;
            };
        }
    }
    auto window = open();
    window->show();
    window->showPage(3);
    EXPECT_FALSE(window->close());
    EXPECT_TRUE(window->isVisible());
    ASSERT_EQ(prompts.recorded.size(), 1);
    EXPECT_EQ(prompts.recorded.at(0).kind, QStringLiteral("yescancel"));
    EXPECT_EQ(readSettings(), QByteArray("[tab]\ntab=2\n"));
    ASSERT_NE(scanner, nullptr);
    scanner->refuse = false;
    EXPECT_TRUE(window->close());
    EXPECT_TRUE(readSettings().contains("[tab]\ntab=3")) << readSettings().toStdString();
}

TEST_F(MainWindowTest, HelpOpensTheShippedPageWhenTheDocumentIsMissing) {
    auto window = open();
    window->Help2Click();
    ASSERT_EQ(prompts.recorded.size(), 1);
    EXPECT_EQ(prompts.recorded.at(0).kind, QStringLiteral("shell"));
    EXPECT_EQ(prompts.recorded.at(0).text, dir.filePath(QStringLiteral("quendrix-help.html")));
}

// The pages of the registry offer every box and action that the hand-off items aim at them.
TEST_F(MainWindowTest, RegisteredPagesOfferTheHandOffTargets) {
    auto window = open();
    QStringList registered;
    for (const PageEntry& entry : PageRegistry()) {
        registered << entry.objectName;
    }
    for (const char* caption : {"Convert Domain to IP", "Convert IP to Domain", "Ping", "Tracert",
                                "Whois", "Country Lookup", "Website Scanner"}) {
        for (const bool address : {false, true}) {
            const auto target = HandOffTargetFor(QString::fromLatin1(caption), address);
            ASSERT_TRUE(target) << caption;
            EXPECT_TRUE(registered.contains(target->page)) << caption;
            const HandOffPoints* points = window->handOff().points(target->page);
            ASSERT_NE(points, nullptr) << caption;
            EXPECT_TRUE(points->hasBox(target->box)) << caption;
            for (const QString& action : target->actions) {
                EXPECT_TRUE(points->hasAction(action)) << caption << " " << action.toStdString();
            }
        }
    }
    // And every menu's source is declared by the page it is shown on.
    for (const HandOffMenu& menu : HandOffMenus()) {
        for (const HandOffPlace& place : menu.places) {
            EXPECT_TRUE(registered.contains(place.page)) << menu.name.toStdString();
            const HandOffPoints* points = window->handOff().points(place.page);
            ASSERT_NE(points, nullptr) << menu.name.toStdString();
            EXPECT_TRUE(points->hasSource(place.control)) << menu.name.toStdString();
        }
    }
}

// Hand-off between two pages that know nothing of each other: the guard of the source, the
// page switch, the box, the actions in order.
TEST_F(MainWindowTest, HandOffSwitchesSetsTheBoxAndRunsTheActionsInOrder) {
    auto window = open();
    window->showPage(1);
    HandOffRouter& router = window->handOff();
    auto* converter = window->page(0);
    auto* list = converter->findChild<TargetListPanel*>();
    ASSERT_NE(list, nullptr);

    // No entry selected in the converter list: nothing at all happens.
    const HandOffTarget toCountryBox{"country_lookup_tab", "Edit3", {}};
    EXPECT_FALSE(router.handOff("ip_to_domain_converter_tab", "ListBox1", toCountryBox));
    EXPECT_EQ(window->activePage(), 1);

    // A selected entry goes over exactly as it stands; the page switches.
    writeFile("list.txt", " first \nsecond\n");
    list->importFile(dir.filePath("list.txt"));
    list->view()->setCurrentIndex(list->view()->model()->index(0, 0));
    EXPECT_TRUE(router.handOff("ip_to_domain_converter_tab", "ListBox1", toCountryBox));
    EXPECT_EQ(window->activePage(), 4);
    EXPECT_EQ(window->page(4)->findChild<QLineEdit*>("Edit3")->text(), QString(" first "));

    // A target page without the box: nothing happens.
    EXPECT_FALSE(router.deliver({"whois_tab", "edNoSuchBox", {}}, "x"));
    EXPECT_EQ(window->activePage(), 4);

    // A grid hands over the cell of the row last selected, never the empty last row.
    auto* grid = converter->findChild<GridView*>("StringGrid2");
    ASSERT_NE(grid, nullptr);
    EXPECT_FALSE(router.handOff("ip_to_domain_converter_tab", "StringGrid2", toCountryBox));
    grid->resultModel()->writeRow({"host.example", "10.0.0.1"});
    grid->resultModel()->flush();
    grid->selectRow(1);
    EXPECT_FALSE(router.handOff("ip_to_domain_converter_tab", "StringGrid2", toCountryBox));
    grid->selectRow(0);
    EXPECT_TRUE(router.handOff("ip_to_domain_converter_tab", "StringGrid2", toCountryBox));
    EXPECT_EQ(window->page(4)->findChild<QLineEdit*>("Edit3")->text(), QString("host.example"));

    // An empty box is handed over as it is, and replaces the target's text.
    window->page(0)->findChild<QLineEdit*>("domain_edit")->clear();
    EXPECT_TRUE(router.handOff("ip_to_domain_converter_tab", "domain_edit", toCountryBox));
    EXPECT_EQ(window->page(4)->findChild<QLineEdit*>("Edit3")->text(), QString());
}

// At the smallest size the window allows, no button, label or drop-down list on any page is
// cut, and every grid column is as wide as its header.
TEST_F(MainWindowTest, NothingIsClippedAtTheMinimumSize) {
    auto window = open();
    window->show();
    window->resize(1, 1);
    EXPECT_EQ(window->size(), window->minimumSize());
    EXPECT_LE(window->minimumWidth(), 882);
    EXPECT_LE(window->minimumHeight(), 645);
    for (int index = 0; index < Tmain::kPageCount; ++index) {
        window->showPage(index);
        QCoreApplication::processEvents();
        for (QWidget* widget : window->findChildren<QWidget*>()) {
            const bool control = qobject_cast<QComboBox*>(widget) != nullptr ||
                                 qobject_cast<QAbstractButton*>(widget) != nullptr ||
                                 qobject_cast<QLabel*>(widget) != nullptr;
            if (!control || !widget->isVisible()) {
                continue;
            }
            // A drop-down list must show its whole value; others need their minimum.
            const QSize needed = qobject_cast<QComboBox*>(widget) != nullptr
                                     ? widget->sizeHint()
                                     : widget->minimumSizeHint();
            EXPECT_GE(widget->width(), needed.width())
                << index << " " << widget->metaObject()->className() << " "
                << widget->objectName().toStdString();
            EXPECT_GE(widget->height(), needed.height())
                << index << " " << widget->objectName().toStdString();
            // ... and stands whole inside the box that holds it.
            EXPECT_TRUE(widget->parentWidget()->rect().contains(widget->geometry()))
                << index << " " << widget->objectName().toStdString();
        }
        for (GridView* grid : window->page(index)->findChildren<GridView*>()) {
            for (int column = 0; column < grid->model()->columnCount(); ++column) {
                EXPECT_GE(grid->columnWidth(column),
                          grid->horizontalHeader()->sectionSizeHint(column))
                    << grid->objectName().toStdString() << " " << column;
            }
        }
    }
    // The ping status column fits its longest status.
    auto* ping = window->page(1)->findChild<GridView*>("StringGrid1");
    ASSERT_NE(ping, nullptr);
    EXPECT_GT(ping->columnWidth(0), ping->fontMetrics().horizontalAdvance("Running"));
}

// The help page shipped with the program has a section for every page that is built.
TEST_F(MainWindowTest, TheHelpPageCoversEveryBuiltPage) {
    QFile help(qEnvironmentVariable("QUENDRIX_SOURCE_DIR") + "/docs/quendrix-help.html");
    ASSERT_TRUE(help.open(QIODevice::ReadOnly)) << help.fileName().toStdString();
    const QString text = QString::fromUtf8(help.readAll());
    auto window = open();
    for (int index = 0; index < Tmain::kPageCount; ++index) {
        if (window->page(index)->metaObject() == &ToolPage::staticMetaObject) {
            continue;  // a page that shows its header only
        }
        const QString caption = window->menuItem(index)->text().trimmed();
        EXPECT_TRUE(text.contains("<h2>" + caption + "</h2>")) << caption.toStdString();
    }
}

}  // namespace
}  // namespace quendrix
