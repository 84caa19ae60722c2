// The main window: the tool pages of the page registry behind the "Function View" menu and
// the navigation bar, the File and Help menus, settings.ini, the hand-off between pages and
// the close sequence.
#pragma once

#include "app/page_registry.h"
#include "app/settings.h"
#include "core/browser_address.h"
#include "core/hand_off.h"
#include "core/page_host.h"

#include <QList>
#include <QMainWindow>

#include <functional>

#include <memory>
#include <vector>

class QAction;
class QButtonGroup;
class QStackedWidget;

namespace quendrix {

namespace net {
class IcmpEcho;
}
class BrowserPrefill;
class Prompts;

struct MainWindowOptions {
    QString executableDirectory;
    // Where the help page shipped with the program is; empty: executableDirectory.
    QString helpDirectory;
    SettingsFiles settingsFiles;
    Prompts* prompts = nullptr;  // nullptr: real dialogs
    // The pages; empty: the program's own registry.
    std::vector<PageEntry> pages;
    // How the program ends at once (Exit, the scanner's shut-down); empty: the application
    // leaves its event loop.
    std::function<void()> endProgram;
    // Where the browser buttons find the browser's page; nullptr: the system's browser.
    std::shared_ptr<BrowserAddressSource> browser;
};

class Tmain : public QMainWindow, public PageHost {
    Q_OBJECT
  public:
    static constexpr int kPageCount = 9;

    explicit Tmain(const MainWindowOptions& options, QWidget* parent = nullptr);
    ~Tmain() override;

    // PageHost
    Prompts& prompts() override { return *m_prompts; }
    void setNavigationEnabled(bool enabled) override;
    QString openDialogDirectory() const override { return m_openDirectory; }
    void setOpenDialogDirectory(const QString& directory) override { m_openDirectory = directory; }
    QString setting(const QString& key) const override { return m_settings.value(key); }
    void setSetting(const QString& key, const QString& value) override;
    HandOffRouter& handOff() override { return m_router; }
    void endProgramWithoutSettings() override;
    BrowserAddressSource& browserAddress() override { return *m_browser; }

    // The shown page index, -1 when none.
    int activePage() const;
    // An index outside 0..8 shows no page.
    void showPage(int index);
    // Shows the page of that object name; false when there is none.
    bool showPage(const QString& objectName);
    QWidget* page(int index) const;
    QWidget* navigationBar() const { return m_navigation; }
    QAction* menuItem(int index) const { return m_pageActions.at(index); }
    // The start-up prefill of the target boxes from the browser.
    BrowserPrefill* browserPrefill() const { return m_prefill; }

    void Exit1Click();
    void Help2Click();
    void About1Click();

  protected:
    void closeEvent(QCloseEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    void buildPages(const std::vector<PageEntry>& pages);
    void buildMenus(const std::vector<PageEntry>& pages);
    void startBrowserPrefill();
    bool FormCloseQuery();
    void FormClose();
    void endProgram();

    MainWindowOptions m_options;
    std::unique_ptr<Prompts> m_ownPrompts;
    Prompts* m_prompts;
    QString m_openDirectory;
    SettingValues m_settings;
    std::shared_ptr<BrowserAddressSource> m_browser;
    HandOffRouter m_router;
    QStackedWidget* m_mainpage = nullptr;
    QWidget* m_noPage = nullptr;
    QWidget* m_navigation = nullptr;
    QButtonGroup* m_barButtons = nullptr;
    QList<QAction*> m_pageActions;
    QList<ToolPage*> m_pages;
    std::shared_ptr<net::IcmpEcho> m_echo;
    BrowserPrefill* m_prefill = nullptr;
    // Set when the program ends without the settings write: a close after it writes nothing.
    bool m_endingWithoutSettings = false;
};

}  // namespace quendrix
