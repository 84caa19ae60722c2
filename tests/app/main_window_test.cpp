#include "app/main_window.h"
#include "support/recording_prompts.h"

#include <QAction>
#include <QCheckBox>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
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
        options.settingsPath = settingsPath();
        options.prompts = &prompts;
        return std::make_unique<Tmain>(options);
    }
    QString settingsPath() const { return dir.filePath(QStringLiteral("settings.ini")); }
    void writeSettings(const QByteArray& text) {
        QFile file(settingsPath());
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
        auto* header = page->findChild<QLabel*>(QStringLiteral("header"));
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
    buttons.at(2)->click();
    EXPECT_EQ(window->activePage(), 4);
    window->setNavigationEnabled(false);
    EXPECT_FALSE(buttons.at(0)->isEnabled());
}

TEST_F(MainWindowTest, FirstStartDefaults) {
    auto window = open();
    EXPECT_EQ(window->activePage(), 0);
    auto* customized = window->findChild<QCheckBox*>(QStringLiteral("CheckBox7"));
    auto* server = window->findChild<QLineEdit*>(QStringLiteral("edit10"));
    ASSERT_NE(customized, nullptr);
    ASSERT_NE(server, nullptr);
    EXPECT_FALSE(customized->isChecked());
    EXPECT_TRUE(server->text().isEmpty());
    EXPECT_FALSE(server->isEnabled());
}

TEST_F(MainWindowTest, ClosingKeepsThePageAndTheWhoisServer) {
    {
        auto window = open();
        window->show();
        window->findChild<QCheckBox*>(QStringLiteral("CheckBox7"))->setChecked(true);
        window->findChild<QLineEdit*>(QStringLiteral("edit10"))
            ->setText(QStringLiteral(" whois.lab "));
        window->Whois5Click();
        EXPECT_TRUE(window->close());
    }
    EXPECT_TRUE(readSettings().contains("[tab]\ntab=3")) << readSettings().toStdString();
    auto window = open();
    EXPECT_EQ(window->activePage(), 3);
    EXPECT_TRUE(window->findChild<QCheckBox*>(QStringLiteral("CheckBox7"))->isChecked());
    EXPECT_TRUE(window->findChild<QLineEdit*>(QStringLiteral("edit10"))->isEnabled());
    EXPECT_EQ(window->findChild<QLineEdit*>(QStringLiteral("edit10"))->text(),
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
    window->BatchPing1Click();
    EXPECT_EQ(window->activePage(), 1);
}

TEST_F(MainWindowTest, AWorkingScannerIsAskedAboutAndSettingsStayAsTheyWere) {
    writeSettings("[tab]\ntab=2\n");
    auto window = open();
    window->show();
    window->Whois5Click();
    window->setScannerWorking([] { return true; });
    prompts.answers = {Prompts::Answer::Cancel};
    EXPECT_FALSE(window->close());
    EXPECT_TRUE(window->isVisible());
    ASSERT_EQ(prompts.recorded.size(), 1);
    EXPECT_EQ(prompts.recorded.at(0).kind, QStringLiteral("yescancel"));
    EXPECT_EQ(prompts.recorded.at(0).text,
              QStringLiteral("Website Scanner is working, exit or not?"));
    EXPECT_EQ(readSettings(), QByteArray("[tab]\ntab=2\n"));
    window->setScannerWorking({});
}

TEST_F(MainWindowTest, HelpOpensTheShippedPageWhenTheDocumentIsMissing) {
    auto window = open();
    window->Help2Click();
    ASSERT_EQ(prompts.recorded.size(), 1);
    EXPECT_EQ(prompts.recorded.at(0).kind, QStringLiteral("shell"));
    EXPECT_EQ(prompts.recorded.at(0).text, dir.filePath(QStringLiteral("quendrix-help.html")));
}

}  // namespace
}  // namespace quendrix
