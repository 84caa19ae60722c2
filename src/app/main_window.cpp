#include "app/main_window.h"

#include "core/browser_buttons.h"
#include "core/prompts.h"
#include "core/widgets/browser_button.h"
#include "core/widgets/tool_page.h"
#include "core/widgets/widget_prompts.h"
#include "net/icmp_echo.h"

#include <QAbstractButton>
#include <QAbstractItemView>
#include <QAbstractSlider>
#include <QAction>
#include <QButtonGroup>
#include <QCloseEvent>
#include <QCoreApplication>
#include <QDialog>
#include <QDir>
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

#include <algorithm>
#include <mutex>

namespace quendrix {
namespace {

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

// One query at a time: the start-up prefill asks from a job, a button from the window, and a
// source need not take two calls at once.
class OneQueryAtATime : public BrowserAddressSource {
  public:
    explicit OneQueryAtATime(std::shared_ptr<BrowserAddressSource> source)
        : m_source(std::move(source)) {}
    std::optional<QString> windowInfo() override {
        const std::lock_guard lock(m_mutex);
        return m_source->windowInfo();
    }

  private:
    std::shared_ptr<BrowserAddressSource> m_source;
    std::mutex m_mutex;
};

}  // namespace

Tmain::Tmain(const MainWindowOptions& options, QWidget* parent)
    : QMainWindow(parent),
      m_options(options),
      m_browser(std::make_shared<OneQueryAtATime>(
          options.browser
              ? options.browser
              : std::shared_ptr<BrowserAddressSource>(MakeSystemBrowserAddressSource()))),
      m_router([this](const QString& name) { return showPage(name); }) {
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
    // The pages read their settings while they are made.
    m_settings = ReadSettings(options.settingsFiles.read);
    const std::vector<PageEntry> pages = options.pages.empty() ? PageRegistry() : options.pages;
    resize(882, 645);
    buildPages(pages);
    buildMenus(pages);
    startBrowserPrefill();
    showPage(PageIndexSetting(setting(QStringLiteral("tab/tab"))));
    CentreOnScreen(this);
    qApp->installEventFilter(this);
}

Tmain::~Tmain() {
    qApp->removeEventFilter(this);
}

void Tmain::buildPages(const std::vector<PageEntry>& pages) {
    auto* central = new QWidget(this);
    central->setObjectName(QStringLiteral("central"));
    auto* layout = new QHBoxLayout(central);
    layout->setContentsMargins(4, 4, 4, 4);

    m_mainpage = new QStackedWidget(central);
    m_mainpage->setObjectName(QStringLiteral("mainpage"));
    m_pages.fill(nullptr, kPageCount);
    const PageServices services{*this, m_echo};
    for (const PageEntry& entry : pages) {
        Q_ASSERT(entry.index >= 0 && entry.index < kPageCount && !m_pages.at(entry.index));
        ToolPage* page = entry.factory(services, m_mainpage);
        page->setObjectName(entry.objectName);
        page->setWindowTitle(entry.caption);
        m_pages[entry.index] = page;
        m_router.addPage(entry.objectName, &page->handOffPoints());
    }
    // The stack's positions are the page indexes.
    for (ToolPage* page : std::as_const(m_pages)) {
        Q_ASSERT(page != nullptr);
        m_mainpage->addWidget(page);
    }
    // Shown when the stored page index is out of range: no page at all.
    m_noPage = new QWidget(m_mainpage);
    m_noPage->setObjectName(QStringLiteral("no_page"));
    m_mainpage->addWidget(m_noPage);

    // The navigation bar: the tools, then Local Information in a group of its own. The
    // button of the page shown stays pressed.
    m_navigation = new QWidget(central);
    m_navigation->setObjectName(QStringLiteral("navigation_bar"));
    m_barButtons = new QButtonGroup(m_navigation);
    auto* bar = new QVBoxLayout(m_navigation);
    bar->setContentsMargins(0, 0, 0, 0);
    const auto addGroup = [&](PageEntry::Bar which, const QString& title) {
        auto* group = new QGroupBox(title, m_navigation);
        auto* groupLayout = new QVBoxLayout(group);
        for (const PageEntry& entry : pages) {
            if (entry.bar != which) {
                continue;
            }
            auto* button = new QToolButton(group);
            button->setText(entry.barCaption);
            button->setObjectName(QStringLiteral("nav_%1").arg(entry.index));
            button->setToolButtonStyle(Qt::ToolButtonTextOnly);
            button->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
            button->setMinimumHeight(34);
            button->setCheckable(true);
            // Room for the caption in bold, so the bar keeps its width whichever page is shown.
            QFont bold = button->font();
            bold.setBold(true);
            button->setFont(bold);
            button->setMinimumWidth(button->sizeHint().width());
            button->setFont(QFont());
            groupLayout->addWidget(button);
            m_barButtons->addButton(button, entry.index);
        }
        bar->addWidget(group);
    };
    // Pressed and in bold: the mark reads in every style and palette.
    // A button that becomes pressed shows its page, however it was pressed: a click, the
    // keyboard, or a screen reader's toggle action, which changes the state without a click.
    // showPage presses the button again, which is then no change and so no second call.
    connect(m_barButtons, &QButtonGroup::idToggled, this, [this](int id, bool checked) {
        QAbstractButton* button = m_barButtons->button(id);
        QFont font = button->font();
        font.setBold(checked);
        button->setFont(font);
        if (checked) {
            showPage(id);
        }
    });
    addGroup(PageEntry::Bar::Tools, QStringLiteral("Tools"));
    addGroup(PageEntry::Bar::Information, QStringLiteral("Information"));
    bar->addStretch();
    // At least the bar's given width, and never narrower than its buttons need: an explicit
    // minimum on a widget with a layout would otherwise let the bar shrink below its buttons.
    m_navigation->setMinimumWidth(std::max(170, m_navigation->minimumSizeHint().width()));
    m_navigation->setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Preferred);

    layout->addWidget(m_navigation);
    layout->addWidget(m_mainpage, 1);
    setCentralWidget(central);
}

void Tmain::startBrowserPrefill() {
    // The target boxes get the browser's host once the pages are there; the browser is asked
    // on a job, so the window shows at once however long the answer takes.
    QList<QLineEdit*> boxes;
    for (const BrowserButton& row : BrowserButtons()) {
        if (!row.prefilled) {
            continue;
        }
        for (ToolPage* page : std::as_const(m_pages)) {
            if (page->objectName() != row.page) {
                continue;
            }
            if (auto* box = page->findChild<QLineEdit*>(row.box)) {
                boxes.append(box);
            }
        }
    }
    m_prefill = new BrowserPrefill(m_browser, boxes, this);
    m_prefill->setObjectName(QStringLiteral("browser_prefill"));
    m_prefill->start();
}

void Tmain::buildMenus(const std::vector<PageEntry>& pages) {
    QMenu* file = menuBar()->addMenu(QStringLiteral("  File  "));
    QAction* exitAction = file->addAction(QStringLiteral("     Exit     "));
    exitAction->setObjectName(QStringLiteral("Exit1"));
    connect(exitAction, &QAction::triggered, this, &Tmain::Exit1Click);

    QMenu* view = menuBar()->addMenu(QStringLiteral("Function View"));
    m_pageActions.fill(nullptr, kPageCount);
    for (const PageEntry& entry : pages) {
        if (entry.separatorBefore) {
            view->addSeparator();
        }
        QAction* action = view->addAction(entry.menuCaption);
        action->setObjectName(entry.menuName);
        const int index = entry.index;
        connect(action, &QAction::triggered, this, [this, index] { showPage(index); });
        m_pageActions[index] = action;
    }

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

void Tmain::setSetting(const QString& key, const QString& value) {
    m_settings.insert(key, value);
}

int Tmain::activePage() const {
    const int index = m_mainpage->currentIndex();
    return index >= 0 && index < kPageCount ? index : -1;
}

void Tmain::showPage(int index) {
    const bool inRange = index >= 0 && index < kPageCount;
    if (inRange) {
        m_mainpage->setCurrentIndex(index);
    } else {
        m_mainpage->setCurrentWidget(m_noPage);
    }
    // Mark the bar button of the page shown; none for a page without one, or no page.
    QAbstractButton* current = inRange ? m_barButtons->button(index) : nullptr;
    if (current != nullptr) {
        current->setChecked(true);
    } else if (QAbstractButton* checked = m_barButtons->checkedButton()) {
        m_barButtons->setExclusive(false);
        checked->setChecked(false);
        m_barButtons->setExclusive(true);
    }
}

bool Tmain::showPage(const QString& objectName) {
    for (int index = 0; index < kPageCount; ++index) {
        if (m_pages.at(index)->objectName() == objectName) {
            showPage(index);
            return true;
        }
    }
    return false;
}

QWidget* Tmain::page(int index) const {
    return m_pages.at(index);
}

void Tmain::setNavigationEnabled(bool enabled) {
    m_navigation->setEnabled(enabled);
}

bool Tmain::FormCloseQuery() {
    // Any page may keep the window open (the website scanner while it works).
    for (ToolPage* page : std::as_const(m_pages)) {
        if (!page->queryClose()) {
            return false;
        }
    }
    return true;
}

void Tmain::FormClose() {
    for (ToolPage* page : std::as_const(m_pages)) {
        page->saveSettings(*this);
    }
    setSetting(QStringLiteral("tab/tab"), QString::number(activePage()));
    const QString path = m_options.settingsFiles.write;
    if (!WriteSettings(path, m_settings)) {
        m_prompts->message(QStringLiteral("Quendrix"),
                           QStringLiteral("Cannot write \"%1\".").arg(path), Prompts::Icon::Error);
    }
}

void Tmain::closeEvent(QCloseEvent* event) {
    if (m_endingWithoutSettings) {
        event->accept();
        return;
    }
    if (!FormCloseQuery()) {
        event->ignore();
        return;
    }
    FormClose();
    event->accept();
}

void Tmain::Exit1Click() {
    // The program ends whatever the close query answered; a refused close wrote no settings
    // and none are written now.
    if (!close()) {
        endProgramWithoutSettings();
        return;
    }
    endProgram();
}

void Tmain::endProgramWithoutSettings() {
    m_endingWithoutSettings = true;
    endProgram();
}

void Tmain::endProgram() {
    if (m_options.endProgram) {
        m_options.endProgram();
        return;
    }
    // Straight out of every event loop: a quit request would ask the windows to close first,
    // and so the close query again.
    QCoreApplication::exit(0);
}

void Tmain::Help2Click() {
    // The help document is looked for in the current directory first, as a relative name;
    // the page shipped with the program stands in when it is not there.
    const QString document = QStringLiteral("Quendrix.chm");
    if (QFileInfo::exists(document)) {
        m_prompts->openWithShell(QFileInfo(document).absoluteFilePath());
        return;
    }
    const QString shipped =
        m_options.helpDirectory.isEmpty() ? m_options.executableDirectory : m_options.helpDirectory;
    m_prompts->openWithShell(QDir(shipped).filePath(QStringLiteral("quendrix-help.html")));
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
