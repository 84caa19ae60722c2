#include "tools/scanner/scanner_page.h"

#include "core/browser_buttons.h"
#include "core/export_kind.h"
#include "core/export_writer.h"
#include "core/hand_off.h"
#include "core/page_host.h"
#include "core/prompts.h"
#include "core/result_table_model.h"
#include "core/target.h"
#include "core/widgets/browser_button.h"
#include "core/widgets/grid_view.h"
#include "core/widgets/hand_off_menu.h"
#include "core/widgets/page_controls.h"
#include "tools/scanner/filter_help.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPlainTextEdit>
#include <QRadioButton>
#include <QToolButton>
#include <QUrl>
#include <QVBoxLayout>

#include <limits>
#include <optional>
#include <utility>

namespace quendrix {
namespace {

// The spinner of the status line: one for the whole program, never reset.
QString g_spinner;

// "/" -> "-" -> "\" -> "|" -> "/"; an empty spinner starts at "/".
QString NextSpinner(const QString& spinner) {
    if (spinner == QStringLiteral("/")) {
        return QStringLiteral("-");
    }
    if (spinner == QStringLiteral("-")) {
        return QStringLiteral("\\");
    }
    if (spinner == QStringLiteral("\\")) {
        return QStringLiteral("|");
    }
    return QStringLiteral("/");
}

// The scanner's texts are bytes; the list holds them one byte a character, so an export
// writes exactly the bytes found.
QString Bytes(const std::string& text) {
    return QString::fromLatin1(text.data(), static_cast<qsizetype>(text.size()));
}

// A response head as lines: its CR LF line ends as plain line ends.
QString HeadText(const std::string& head) {
    QString text = Bytes(head);
    text.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    return text;
}

// A settings.ini number: a whole number from min to max, else the default.
int SettingNumber(const QString& text, int min, int max, int fallback) {
    bool ok = false;
    const int value = text.trimmed().toInt(&ok);
    return ok && value >= min && value <= max ? value : fallback;
}

// What the double click may hand to the desktop: web and mail addresses only. The link
// texts come from pages on the network; anything else (a file path, another scheme, the
// empty last row) is not opened.
std::optional<QString> OpenableAddress(const QString& type, const QString& address) {
    if (address.isEmpty()) {
        return std::nullopt;
    }
    // Back to the bytes found; bytes beyond ASCII (and blanks) go on percent-encoded, as found.
    const QByteArray found = type == QStringLiteral("mail")
                                 ? QByteArrayLiteral("mailto:") + address.toLatin1()
                                 : address.toLatin1();
    QByteArray bytes;
    for (const char c : found) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte <= 0x20 || byte >= 0x7F) {
            bytes.append('%').append(QByteArray::number(byte, 16).toUpper().rightJustified(2, '0'));
        } else {
            bytes.append(c);
        }
    }
    const QUrl url = QUrl::fromEncoded(bytes, QUrl::TolerantMode);
    const QString scheme = url.scheme().toLower();
    const bool web = scheme == QStringLiteral("http") || scheme == QStringLiteral("https");
    if (!url.isValid() || (!web && scheme != QStringLiteral("mailto")) ||
        (web && url.host().isEmpty())) {
        return std::nullopt;
    }
    return QString::fromLatin1(url.toEncoded(QUrl::FullyEncoded));
}

const ExportKind& ScanExportKind() {
    static const ExportKind kind{0,
                                 QString(),
                                 QString(),
                                 ExportFormat::Txt,
                                 ExportRows::All,
                                 QStringLiteral("txt"),
                                 1,
                                 QStringLiteral("SaveDialog4")};
    return kind;
}

}  // namespace

ScannerPage::ScannerPage(PageHost& host, QWidget* parent)
    : ToolPage(QStringLiteral("website_scanner_tab"), QStringLiteral("Website Scanner"), parent),
      m_host(host),
      m_scan(new THttpScan(this)),
      m_grid(new ResultTableModel({QString(), QString()}, this)) {
    headerLabel()->setObjectName(QStringLiteral("Label65"));
    m_scan->setObjectName(QStringLiteral("HttpScan1"));

    Label53 = MakeLabel(QStringLiteral("Label53"), QStringLiteral("Http://"), this);
    Edit111 = MakeEdit(QStringLiteral("Edit111"), QString(), this);
    Edit111->setToolTip(QStringLiteral("Right Click to Get More"));
    Label53->setBuddy(Edit111);
    SpeedButton17 = MakeBrowserButton(objectName(), this);
    button22 = MakeSpeedButton(QStringLiteral("button22"), QStringLiteral("Start"),
                               QStringLiteral("Start"), this);
    button11 = MakeSpeedButton(QStringLiteral("button11"), QStringLiteral("Stop"),
                               QStringLiteral("Stop"), this);
    SpeedButton15 = MakeSpeedButton(QStringLiteral("SpeedButton15"), QStringLiteral("Export"),
                                    QStringLiteral("Export the results to a file"), this);
    auto* address = new QHBoxLayout;
    address->addWidget(Label53);
    address->addWidget(Edit111, 1);
    address->addWidget(SpeedButton17);
    address->addWidget(button22);
    address->addWidget(button11);
    address->addStretch();
    address->addWidget(SpeedButton15);
    body()->addLayout(address);

    Label55 = MakeLabel(QStringLiteral("Label55"), QString(), this);
    // The status keeps a line of its own even while blank.
    Label55->setMinimumHeight(Label55->fontMetrics().height());
    body()->addWidget(Label55);

    // The two choices; a button's position in its group is the scanner's option value.
    const auto radioGroup = [this](const char* name, const QString& title, const QStringList& items,
                                   QButtonGroup*& buttons) {
        auto* group = new QGroupBox(title, this);
        group->setObjectName(QString::fromLatin1(name));
        buttons = new QButtonGroup(group);
        auto* layout = new QVBoxLayout(group);
        for (int i = 0; i < items.size(); ++i) {
            auto* radio = new QRadioButton(items.at(i), group);
            radio->setObjectName(QStringLiteral("%1_%2").arg(QString::fromLatin1(name)).arg(i));
            buttons->addButton(radio, i);
            layout->addWidget(radio);
        }
        buttons->button(1)->setChecked(true);
        return group;
    };
    RadioGroup2 = radioGroup("RadioGroup2", QStringLiteral("Page Scan"),
                             {QStringLiteral("All Links"), QStringLiteral("In the WebSite"),
                              QStringLiteral("In the Same Path")},
                             m_radioGroup2);
    RadioGroup3 = radioGroup("RadioGroup3", QStringLiteral("Links Type"),
                             {QStringLiteral("All Links"), QStringLiteral("In the Website"),
                              QStringLiteral("In the Same Path")},
                             m_radioGroup3);

    CheckBox5 = MakeCheckBox(QStringLiteral("CheckBox5"), QStringLiteral("Filter"), this);
    SpeedButton16 = MakeSpeedButton(QStringLiteral("SpeedButton16"), QStringLiteral("?"),
                                    QStringLiteral("Filter Help"), this);
    Memo11 = new QPlainTextEdit(this);
    Memo11->setObjectName(QStringLiteral("Memo11"));
    Memo11->setLineWrapMode(QPlainTextEdit::NoWrap);
    Memo11->setTabChangesFocus(true);
    Memo11->setMaximumWidth(120);
    // The memos take the height of the row the choices make, so the list below gets the rest.
    const int memoHeight = Memo11->fontMetrics().lineSpacing() * 6 + 2 * Memo11->frameWidth() + 8;
    Memo11->setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Ignored);
    Memo11->setMinimumHeight(memoHeight);
    auto* filterHead = new QHBoxLayout;
    filterHead->addWidget(CheckBox5);
    filterHead->addWidget(SpeedButton16);
    filterHead->addStretch();
    auto* filter = new QVBoxLayout;
    filter->addLayout(filterHead);
    filter->addWidget(Memo11, 1);

    Label36 = MakeLabel(QStringLiteral("Label36"), QStringLiteral("Http Head"), this);
    Memo222 = new QPlainTextEdit(this);
    Memo222->setObjectName(QStringLiteral("Memo222"));
    Memo222->setReadOnly(true);
    Memo222->setLineWrapMode(QPlainTextEdit::NoWrap);
    Memo222->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Ignored);
    Memo222->setMinimumHeight(memoHeight);
    Label36->setBuddy(Memo222);
    auto* head = new QVBoxLayout;
    head->addWidget(Label36);
    head->addWidget(Memo222, 1);

    auto* options = new QHBoxLayout;
    options->addWidget(RadioGroup2);
    options->addWidget(RadioGroup3);
    options->addLayout(filter);
    options->addLayout(head, 1);
    body()->addLayout(options);

    // No header row; the type column, then the address filling the rest.
    StringGrid4 = new GridView(QStringLiteral("StringGrid4"), m_grid, {40, 2000}, false, this);
    StringGrid4->setToolTip(QStringLiteral("Double click to open it "));
    StringGrid4->fitColumn(0, {QStringLiteral("mail"), QStringLiteral("html")});
    body()->addWidget(StringGrid4, 1);

    m_filterHelp = new Tfilter_help(this);

    connect(button22, &QToolButton::clicked, this, &ScannerPage::Button22Click);
    connect(button11, &QToolButton::clicked, this, &ScannerPage::Button11Click);
    connect(SpeedButton15, &QToolButton::clicked, this, &ScannerPage::SpeedButton15Click);
    connect(SpeedButton16, &QToolButton::clicked, this, &ScannerPage::SpeedButton16Click);
    connect(SpeedButton17, &QToolButton::clicked, this, &ScannerPage::SpeedButton17Click);
    // State changes, however they come: a click, the keyboard, a screen reader's action.
    connect(m_radioGroup2, &QButtonGroup::idToggled, this, [this](int, bool checked) {
        if (checked) {
            RadioGroup2Click();
        }
    });
    connect(m_radioGroup3, &QButtonGroup::idToggled, this, [this](int, bool checked) {
        if (checked) {
            RadioGroup3Click();
        }
    });
    connect(CheckBox5, &QCheckBox::toggled, this, &ScannerPage::CheckBox5Click);
    connect(Memo11, &QPlainTextEdit::textChanged, this, &ScannerPage::Memo11Change);
    connect(StringGrid4, &QAbstractItemView::doubleClicked, this,
            &ScannerPage::StringGrid4DblClick);
    Edit111->installEventFilter(this);
    StringGrid4->installEventFilter(this);

    // The window's scanner: the site's pages are followed and the site's links listed; the
    // page never writes a results file.
    m_scan->SetLinkScan(scanInitialSite);
    m_scan->SetLinkReport(reportCurrentSiteLinks);
    m_scan->SetFileOfResults(std::string());
    applySettings();
    m_scan->OnLinkFound = [this](const std::string& UrlFound, const std::string& TypeLink,
                                 const std::string&, const std::string&, const std::string&,
                                 const std::string&, const std::string&, std::string&, char, int,
                                 bool&) { HttpScan1LinkFound(UrlFound, TypeLink); };
    m_scan->OnPageReceived = [this](const std::string&, const std::string&, const std::string& Head,
                                    const std::string&) { HttpScan1PageReceived(Head); };
    m_scan->OnWorking = [this](bool working) { HttpScan1Working(working); };
    m_scan->ShowMessage = [this](const std::string& text) {
        m_host.prompts().message(QStringLiteral("Quendrix"), Bytes(text), Prompts::Icon::None);
    };
    m_scan->EndProgram = [this] { m_host.endProgramWithoutSettings(); };

    HandOffPoints& points = declareHandOff();
    points.addBox(
        QStringLiteral("Edit111"), [this] { return Edit111->text(); },
        [this](const QString& text) { Edit111->setText(text); });
    points.addAction(QStringLiteral("Button11Click"), [this] { Button11Click(); });
    points.addAction(QStringLiteral("Button22Click"), [this] { Button22Click(); });
    pop_scanner = AttachHandOffMenu(*this, m_host, QStringLiteral("pop_scanner"), Edit111);
}

ScannerPage::~ScannerPage() {
    // No event of the component reaches the controls while they go.
    m_scan->OnLinkFound = nullptr;
    m_scan->OnPageReceived = nullptr;
    m_scan->OnWorking = nullptr;
    m_scan->ShowMessage = nullptr;
    m_scan->EndProgram = nullptr;
    m_scan->Timer().stop();
}

void ScannerPage::applySettings() {
    m_scan->SetConcurrentDownloads(
        SettingNumber(m_host.setting(QStringLiteral("scanner/ConcurrentDownloads")), 1,
                      kMaxConcurrentDownloads, kDefaultConcurrentDownloads));
    m_scan->SetDepthSearchLevel(
        SettingNumber(m_host.setting(QStringLiteral("scanner/DepthSearchLevel")), 1,
                      std::numeric_limits<int>::max(), kDefaultDepthSearchLevel));
}

QString ScannerPage::spinner() {
    return g_spinner;
}

bool ScannerPage::queryClose() {
    // Shutting down already: the program ends by itself in a moment.
    if (m_scan->ShutdownCountdown() > 0) {
        return false;
    }
    if (!m_scan->IsWorking() || m_scan->IsStopping()) {
        return true;
    }
    if (m_host.prompts().askYesCancel(QStringLiteral("Confirm"),
                                      QStringLiteral("Website Scanner is working, exit or not?")) ==
        Prompts::Answer::Yes) {
        m_scan->ShutDown();
    }
    return false;
}

void ScannerPage::Button22Click() {
    if (Edit111->text().isEmpty()) {
        m_host.prompts().message(QString(), QStringLiteral("Please enter the URL!   "),
                                 Prompts::Icon::Warning);
        return;
    }
    m_scan->SetFileOfResults(std::string());
    button22->setEnabled(false);
    m_scan->SetTypeFilterText(Memo11->toPlainText().toLocal8Bit().toStdString());
    // The box keeps what was typed; the scan starts at the bare host.
    const QString start = QStringLiteral("http://") + ReduceTarget(Edit111->text());
    if (m_scan->StartScan(start.toLocal8Bit().toStdString())) {
        m_linksFound = 0;
        m_grid->clearResults();
        Memo222->clear();
    } else {
        button22->setEnabled(true);
    }
}

void ScannerPage::Button11Click() {
    if (m_scan->StopScan()) {
        Label55->setText(Label55->text() + QStringLiteral("    stopping..."));
    }
}

bool ScannerPage::Edit111KeyPress(int key) {
    if (key != Qt::Key_Return && key != Qt::Key_Enter) {
        return false;
    }
    Button22Click();
    return true;
}

bool ScannerPage::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::KeyPress) {
        const int key = static_cast<QKeyEvent*>(event)->key();
        if (watched == Edit111 && Edit111KeyPress(key)) {
            return true;
        }
        // Enter on the list opens the selected row, as a double click does.
        if (watched == StringGrid4 && (key == Qt::Key_Return || key == Qt::Key_Enter)) {
            StringGrid4DblClick();
            return true;
        }
    }
    return ToolPage::eventFilter(watched, event);
}

void ScannerPage::RadioGroup2Click() {
    m_scan->SetLinkScan(static_cast<TLinkScan>(m_radioGroup2->checkedId()));
}

void ScannerPage::RadioGroup3Click() {
    m_scan->SetLinkReport(static_cast<TLinkReport>(m_radioGroup3->checkedId()));
}

void ScannerPage::CheckBox5Click() {
    m_scan->SetTypeFilterEnabled(CheckBox5->isChecked());
}

void ScannerPage::Memo11Change() {
    m_scan->SetTypeFilterText(Memo11->toPlainText().toLocal8Bit().toStdString());
}

void ScannerPage::SpeedButton16Click() {
    m_filterHelp->showModal();
}

void ScannerPage::SpeedButton17Click() {
    PressBrowserButton(m_host, objectName());
}

void ScannerPage::StringGrid4DblClick() {
    const QModelIndex current = StringGrid4->currentIndex();
    if (!current.isValid()) {
        return;
    }
    const QString type = m_grid->cell(current.row(), 0);
    const QString address = m_grid->cell(current.row(), 1);
    if (const std::optional<QString> url = OpenableAddress(type, address)) {
        m_host.prompts().openWithShell(*url);
    }
}

bool ScannerPage::SaveDialog4CanClose(const QString& path) {
    return ConfirmReplace(m_host.prompts(), path, HasExistedQuestion());
}

void ScannerPage::SpeedButton15Click() {
    SaveExportAs(
        m_host.prompts(), ScanExportKind(),
        [this](const QString& path) { return SaveDialog4CanClose(path); },
        [this] {
            QStringList lines;
            lines.reserve(m_grid->resultCount());
            for (int row = 0; row < m_grid->resultCount(); ++row) {
                lines.append(m_grid->cell(row, 1));
            }
            return lines;
        },
        TextEncoding::Latin1);
}

void ScannerPage::HttpScan1LinkFound(const std::string& UrlFound, const std::string& TypeLink) {
    ++m_linksFound;
    m_grid->writeRow({Bytes(TypeLink), Bytes(UrlFound)});
    g_spinner = NextSpinner(g_spinner);
    Label55->setText(QStringLiteral("   (") + g_spinner + QStringLiteral(")        ") +
                     QString::number(m_linksFound) + QStringLiteral(" links found."));
}

void ScannerPage::HttpScan1PageReceived(const std::string& Head) {
    Memo222->setPlainText(HeadText(Head));
}

void ScannerPage::HttpScan1Working(bool working) {
    if (working) {
        Label55->setText(QStringLiteral("   Working ...."));
        m_host.setNavigationEnabled(false);
        return;
    }
    Label55->setText(Label55->text() + QStringLiteral("     Done."));
    m_host.prompts().message(QStringLiteral("Information"), QStringLiteral("Scanning is finished."),
                             Prompts::Icon::Information);
    button22->setEnabled(true);
    m_host.setNavigationEnabled(true);
}

}  // namespace quendrix
