// The main window: nine tool pages behind the "Function View" menu and the navigation bar,
// the File and Help menus, settings.ini, and the close sequence.
#pragma once

#include "app/settings.h"
#include "core/page_host.h"

#include <QMainWindow>

#include <functional>
#include <memory>

class QAction;
class QCheckBox;
class QLineEdit;
class QStackedWidget;
class QToolButton;

namespace quendrix {

namespace net {
class IcmpEcho;
}
class Prompts;

struct MainWindowOptions {
    QString executableDirectory;
    QString settingsPath;
    Prompts* prompts = nullptr;  // nullptr: real dialogs
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

    // The shown page index, -1 when none.
    int activePage() const;
    void showPage(int index);
    QWidget* page(int index) const;
    QWidget* navigationBar() const { return m_navigation; }
    QAction* menuItem(int index) const { return m_pageActions.at(index); }

    // Asked on close: true while the website scanner is working and not stopping.
    void setScannerWorking(std::function<bool()> working) { m_scannerWorking = std::move(working); }

    // Menu handlers.
    void Show1Click() { showPage(0); }
    void BatchPing1Click() { showPage(1); }
    void raceroute1Click() { showPage(2); }
    void Whois5Click() { showPage(3); }
    void IPtoCountryConverter1Click() { showPage(4); }
    void WebsiteScanner5Click() { showPage(5); }
    void ConnectionMonitor1Click() { showPage(6); }
    void LocalInformation1Click() { showPage(7); }
    void IPLocator1Click() { showPage(8); }
    void Exit1Click();
    void Help2Click();
    void About1Click();

  protected:
    void closeEvent(QCloseEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    void buildMenus();
    void buildPages();
    void applySettings();
    bool FormCloseQuery();
    void FormClose();

    MainWindowOptions m_options;
    std::unique_ptr<Prompts> m_ownPrompts;
    Prompts* m_prompts;
    QString m_openDirectory;
    QStackedWidget* m_mainpage = nullptr;
    QWidget* m_noPage = nullptr;
    QWidget* m_navigation = nullptr;
    QList<QAction*> m_pageActions;
    QList<QWidget*> m_pages;
    QCheckBox* m_customized = nullptr;  // CheckBox7 on the whois page
    QLineEdit* m_server = nullptr;      // edit10 on the whois page
    std::function<bool()> m_scannerWorking;
    std::shared_ptr<net::IcmpEcho> m_echo;
};

}  // namespace quendrix
