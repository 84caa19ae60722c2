#include "app/main_window.h"

#include "core/prompts.h"
#include "core/widgets/tool_page.h"
#include "core/widgets/widget_prompts.h"
#include "net/icmp_echo.h"
#include "tools/convert/converter_page.h"
#include "tools/country/country_page.h"
#include "tools/ping/ping_page.h"

#include <QAbstractButton>
#include <QAbstractItemView>
#include <QAbstractSlider>
#include <QAction>
#include <QCheckBox>
#include <QCloseEvent>
#include <QCoreApplication>
#include <QDialog>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMenuBar>
#include <QMouseEvent>
#include <QPushButton>
#include <QStackedWidget>
#include <QToolButton>
#include <QVBoxLayout>
#include <QWindow>

#include "core/widgets/centre_on_screen.h"

namespace quendrix {
namespace {

struct PageInfo {
    const char* objectName;
    const char* caption;
    const char* header;
};

// Index = position in mainpage = what settings.ini stores.
constexpr PageInfo kPages[Tmain::kPageCount] = {
    {"ip_to_domain_converter_tab", "IP-to-Domain Converter", "IP Domain Converter"},
    {"batch_ping_tab", "Batch Ping", "Batch Ping"},
    {"tracert_tab", "Tracert", "Traceroute"},
    {"whois_tab", "Whois", "Whois"},
    {"country_lookup_tab", "Country Lookup", "IP Country Converter"},
    {"website_scanner_tab", "Website Scanner", "Website Scanner"},
    {"connection_monitor_tab", "Connection Monitor", "Connection Monitor"},
    {"local_information_tab", "Local Infomation", ""},
    {"ip_locator_tab", "IP Locator", "IP Locator"},
};

// Widgets a press on which drags the window: plain containers and labels, not controls.
bool isFreeArea(const QWidget* widget) {
    if (qobject_cast<const QAbstractButton*>(widget) != nullptr ||
        qobject_cast<const QAbstractSlider*>(widget) != nullptr ||
        qobject_cast<const QMenuBar*>(widget) != nullptr) {
        return false;
    }
    const QMetaObject* meta = widget->metaObject();
    if (meta == &QLabel::staticMetaObject || meta == &QGroupBox::staticMetaObject ||
        meta == &QStackedWidget::staticMetaObject || meta == &QWidget::staticMetaObject) {
        // A viewport of a list or grid is a plain QWidget too, but it is a control.
        return qobject_cast<const QAbstractItemView*>(widget->parentWidget()) == nullptr;
    }
    return qobject_cast<const ToolPage*>(widget) != nullptr;
}

}  // namespace

Tmain::Tmain(const MainWindowOptions& options, QWidget* parent)
    : QMainWindow(parent), m_options(options) {
    setObjectName(QStringLiteral("Tmain"));
    setWindowTitle(QStringLiteral("Quendrix"));
    if (options.prompts != nullptr) {
        m_prompts = options.prompts;
    } else {
        m_ownPrompts = std::make_unique<WidgetPrompts>(this);
        m_prompts = m_ownPrompts.get();
    }
    m_openDirectory = options.executableDirectory;
    // One ICMP echo service for the whole program, shared with the ping worker.
    m_echo = std::make_shared<net::IcmpEcho>();
    resize(882, 645);
    buildPages();
    buildMenus();
    applySettings();
    CentreOnScreen(this);
    qApp->installEventFilter(this);
}

Tmain::~Tmain() {
    qApp->removeEventFilter(this);
}

void Tmain::buildPages() {
    auto* central = new QWidget(this);
    central->setObjectName(QStringLiteral("central"));
    auto* layout = new QHBoxLayout(central);
    layout->setContentsMargins(4, 4, 4, 4);

    m_mainpage = new QStackedWidget(central);
    m_mainpage->setObjectName(QStringLiteral("mainpage"));
    for (int index = 0; index < kPageCount; ++index) {
        const PageInfo& info = kPages[index];
        const QString name = QString::fromLatin1(info.objectName);
        const QString header = QString::fromLatin1(info.header);
        QWidget* page = nullptr;
        if (index == 0) {
            page = new ConverterPage(*this, m_mainpage);
        } else if (index == 1) {
            page = new PingPage(*this, m_echo, m_mainpage);
        } else if (index == 4) {
            page = new CountryPage(*this, m_mainpage);
        } else {
            auto* plain = new ToolPage(name, header, m_mainpage);
            if (index == 3) {
                // The whois server choice is kept in settings.ini from the first build on.
                m_customized =
                    new QCheckBox(QStringLiteral("Using a Customized Whois Server"), plain);
                m_customized->setObjectName(QStringLiteral("CheckBox7"));
                m_server = new QLineEdit(plain);
                m_server->setObjectName(QStringLiteral("edit10"));
                auto* row = new QHBoxLayout;
                row->addWidget(m_customized);
                row->addWidget(m_server, 1);
                plain->body()->addLayout(row);
                connect(m_customized, &QCheckBox::toggled, m_server, &QWidget::setEnabled);
            }
            plain->body()->addStretch();
            page = plain;
        }
        page->setWindowTitle(QString::fromLatin1(info.caption));
        m_pages.append(page);
        m_mainpage->addWidget(page);
    }
    // Shown when the stored page index is out of range: no page at all.
    m_noPage = new QWidget(m_mainpage);
    m_noPage->setObjectName(QStringLiteral("no_page"));
    m_mainpage->addWidget(m_noPage);

    // The navigation bar: seven tools, then Local Information in a group of its own.
    m_navigation = new QWidget(central);
    m_navigation->setObjectName(QStringLiteral("navigation_bar"));
    auto* bar = new QVBoxLayout(m_navigation);
    bar->setContentsMargins(0, 0, 0, 0);
    const auto addGroup = [this, bar](const QString& title,
                                      const QList<std::pair<QString, int>>& buttons) {
        auto* group = new QGroupBox(title, m_navigation);
        auto* groupLayout = new QVBoxLayout(group);
        for (const auto& [caption, index] : buttons) {
            auto* button = new QToolButton(group);
            button->setText(caption);
            button->setObjectName(QStringLiteral("nav_%1").arg(index));
            button->setToolButtonStyle(Qt::ToolButtonTextOnly);
            button->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
            button->setMinimumHeight(34);
            groupLayout->addWidget(button);
            connect(button, &QToolButton::clicked, this, [this, index] { showPage(index); });
        }
        bar->addWidget(group);
    };
    addGroup(QStringLiteral("Tools"), {{QStringLiteral("IP Domain Converter"), 0},
                                       {QStringLiteral("Batch Ping"), 1},
                                       {QStringLiteral("IP Country Converter"), 4},
                                       {QStringLiteral("Traceroute"), 2},
                                       {QStringLiteral("Whois"), 3},
                                       {QStringLiteral("Website Scanner"), 5},
                                       {QStringLiteral("Connection Monitor"), 6}});
    addGroup(QStringLiteral("Information"), {{QStringLiteral("Local Information"), 7}});
    bar->addStretch();
    m_navigation->setFixedWidth(170);

    layout->addWidget(m_navigation);
    layout->addWidget(m_mainpage, 1);
    setCentralWidget(central);
}

void Tmain::buildMenus() {
    QMenu* file = menuBar()->addMenu(QStringLiteral("  File  "));
    QAction* exitAction = file->addAction(QStringLiteral("     Exit     "));
    exitAction->setObjectName(QStringLiteral("Exit1"));
    connect(exitAction, &QAction::triggered, this, &Tmain::Exit1Click);

    QMenu* view = menuBar()->addMenu(QStringLiteral("Function View"));
    m_pageActions.resize(kPageCount);
    const auto addPage = [this, view](const QString& caption, const QString& name, int index) {
        QAction* action = view->addAction(caption);
        action->setObjectName(name);
        connect(action, &QAction::triggered, this, [this, index] { showPage(index); });
        m_pageActions[index] = action;
    };
    addPage(QStringLiteral("IP-to-Domain Converter   "), QStringLiteral("Show1"), 0);
    addPage(QStringLiteral("Batch Ping"), QStringLiteral("BatchPing1"), 1);
    addPage(QStringLiteral("IP-to-Country Converter"), QStringLiteral("IPtoCountryConverter1"), 4);
    addPage(QStringLiteral("IP Locator"), QStringLiteral("IPLocator1"), 8);
    addPage(QStringLiteral("Traceroute"), QStringLiteral("raceroute1"), 2);
    addPage(QStringLiteral("Whois"), QStringLiteral("Whois5"), 3);
    addPage(QStringLiteral("Website Scanner"), QStringLiteral("WebsiteScanner5"), 5);
    addPage(QStringLiteral("Connection Monitor"), QStringLiteral("ConnectionMonitor1"), 6);
    view->addSeparator();
    addPage(QStringLiteral("Local Information"), QStringLiteral("LocalInformation1"), 7);

    QMenu* help = menuBar()->addMenu(QStringLiteral("  Help  "));
    QAction* topic = help->addAction(QStringLiteral("Help Topic"));
    topic->setObjectName(QStringLiteral("Help2"));
    topic->setShortcut(QKeySequence(Qt::Key_F1));
    connect(topic, &QAction::triggered, this, &Tmain::Help2Click);
    help->addSeparator();
    QAction* about = help->addAction(QStringLiteral("About"));
    about->setObjectName(QStringLiteral("About1"));
    connect(about, &QAction::triggered, this, &Tmain::About1Click);
}

void Tmain::applySettings() {
    const Settings settings = ReadSettings(m_options.settingsPath);
    m_customized->setChecked(settings.customized);
    m_server->setEnabled(settings.customized);
    m_server->setText(settings.server);
    showPage(settings.tab);
}

int Tmain::activePage() const {
    const int index = m_mainpage->currentIndex();
    return index >= 0 && index < kPageCount ? index : -1;
}

void Tmain::showPage(int index) {
    if (index >= 0 && index < kPageCount) {
        m_mainpage->setCurrentIndex(index);
    } else {
        m_mainpage->setCurrentWidget(m_noPage);
    }
}

QWidget* Tmain::page(int index) const {
    return m_pages.at(index);
}

void Tmain::setNavigationEnabled(bool enabled) {
    m_navigation->setEnabled(enabled);
}

bool Tmain::FormCloseQuery() {
    if (!m_scannerWorking || !m_scannerWorking()) {
        return true;
    }
    m_prompts->askYesCancel(QStringLiteral("Confirm"),
                            QStringLiteral("Website Scanner is working, exit or not?"));
    // The scanner's own shutdown ends the program on Yes; either way this attempt ends here.
    return false;
}

void Tmain::FormClose() {
    Settings settings;
    settings.customized = m_customized->isChecked();
    settings.server = m_server->text();
    settings.tab = activePage();
    if (!WriteSettings(m_options.settingsPath, settings)) {
        m_prompts->message(QStringLiteral("Quendrix"),
                           QStringLiteral("Cannot write \"%1\".").arg(m_options.settingsPath),
                           Prompts::Icon::Error);
    }
}

void Tmain::closeEvent(QCloseEvent* event) {
    if (!FormCloseQuery()) {
        event->ignore();
        return;
    }
    FormClose();
    event->accept();
}

void Tmain::Exit1Click() {
    close();
    // The program ends whatever the close query answered.
    QCoreApplication::quit();
}

void Tmain::Help2Click() {
    // The help document is looked for in the current directory first, as a relative name;
    // the page shipped beside the program stands in when it is not there.
    const QString document = QStringLiteral("Quendrix.chm");
    if (QFileInfo::exists(document)) {
        m_prompts->openWithShell(QFileInfo(document).absoluteFilePath());
        return;
    }
    m_prompts->openWithShell(
        QDir(m_options.executableDirectory).filePath(QStringLiteral("quendrix-help.html")));
}

void Tmain::About1Click() {
    QDialog about(this);
    about.setObjectName(QStringLiteral("Tabout"));
    about.setWindowTitle(QStringLiteral("About"));
    auto* layout = new QVBoxLayout(&about);
    auto* name = new QLabel(QStringLiteral("<b>Quendrix</b><br>Version %1<br>A network toolkit")
                                .arg(QCoreApplication::applicationVersion()),
                            &about);
    name->setAlignment(Qt::AlignCenter);
    auto* close = new QPushButton(QStringLiteral("Close"), &about);
    connect(close, &QPushButton::clicked, &about, &QDialog::accept);
    layout->addWidget(name);
    layout->addWidget(close);
    about.exec();
}

bool Tmain::eventFilter(QObject* watched, QEvent* event) {
    // A press on a free spot of the window drags it, as a press on the title bar would.
    if (event->type() == QEvent::MouseButtonPress) {
        auto* widget = qobject_cast<QWidget*>(watched);
        auto* mouse = static_cast<QMouseEvent*>(event);
        if (widget != nullptr && widget->window() == this && mouse->button() == Qt::LeftButton &&
            isFreeArea(widget) && windowHandle() != nullptr) {
            windowHandle()->startSystemMove();
            return true;
        }
    }
    return QMainWindow::eventFilter(watched, event);
}

}  // namespace quendrix
