#include "tools/ping/ping_page.h"

#include "core/browser_buttons.h"
#include "core/errors.h"
#include "core/page_host.h"
#include "core/prompts.h"
#include "core/result_table_model.h"
#include "core/target.h"
#include "core/target_list_model.h"
#include "core/widgets/browser_button.h"
#include "core/widgets/export_dialog.h"
#include "core/widgets/grid_view.h"
#include "core/widgets/hand_off_menu.h"
#include "core/widgets/page_controls.h"
#include "core/widgets/target_list_panel.h"
#include "tools/ping/ping_export.h"
#include "tools/ping/ping_list.h"
#include "tools/ping/ping_run.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDateTime>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QTimer>
#include <QToolButton>
#include <QVBoxLayout>

#include <algorithm>
#include <climits>

namespace quendrix {
namespace {

TargetListConfig pingListConfig() {
    TargetListConfig config;
    config.listName = QStringLiteral("ListBox2");
    config.importButtonName = QStringLiteral("SpeedButton2");
    config.importHint = QStringLiteral("Import an IP address or domain/host name file (*.txt)");
    config.countLabelName = QStringLiteral("Label19");
    config.menuName = QStringLiteral("PopupMenu2");
    config.showHint = true;
    config.add = {QStringLiteral("A2"), QStringLiteral("Add")};
    config.update = {QStringLiteral("UpdateItem2"), QStringLiteral("Update")};
    config.remove = {QStringLiteral("DeleteItem2"), QStringLiteral("Delete")};
    config.clear = {QStringLiteral("ClearAll1"), QStringLiteral("Clear All")};
    const QString label = QStringLiteral("IP Address or Domain/Computer Name");
    config.addDialog = {QStringLiteral("Tping_add"), QStringLiteral("Add"), label,
                        QStringLiteral("Edit1"),     QStringLiteral("Add"), false};
    config.updateDialog = {QStringLiteral("Tping_update"), QStringLiteral("Update"), label,
                           QStringLiteral("Edit1"),        QStringLiteral("Update"), false};
    return config;
}

const QString kPerWarning = QStringLiteral(" Please enter the integer! ");
const QString kPerDefault = QStringLiteral("3");

}  // namespace

PingPage::PingPage(PageHost& host, std::shared_ptr<net::IcmpEcho> echo, QWidget* parent)
    : ToolPage(QStringLiteral("batch_ping_tab"), QStringLiteral("Batch Ping"), parent),
      m_host(host) {
    buildGenerationPanel();
    buildRunPanel();
    declareHandOffPoints();
    m_run = std::make_unique<PingRun>(*m_list->model(), *m_gridModel, std::move(echo));
    m_run->setTimeout(std::chrono::milliseconds(ComboBox2->currentText().toInt()));

    // The worker reads the time-out before each entry: keep its copy current.
    connect(ComboBox2, &QComboBox::currentTextChanged, this, [this](const QString& text) {
        m_run->setTimeout(std::chrono::milliseconds(text.toInt()));
    });
    connect(m_run.get(), &PingRun::countersChanged, this, &PingPage::showCounters);
    connect(m_run.get(), &PingRun::finished, this, [this] {
        ShowJobFailure(m_host.prompts(), m_run->outcome());
        ping_button_active();
    });
    connect(m_run.get(), &PingRun::echoUnavailable, this, [this](const QString& notice) {
        // Shown after the rows of this turn, not from inside the hand-over.
        QMetaObject::invokeMethod(
            this, [this, notice] { showEchoUnavailable(notice); }, Qt::QueuedConnection);
    });
}

PingPage::~PingPage() = default;

void PingPage::declareHandOffPoints() {
    HandOffPoints& points = declareHandOff();
    points.addBox(
        QStringLiteral("Edit7"), [this] { return Edit7->text(); },
        [this](const QString& text) { Edit7->setText(text); });
    points.addBox(
        QStringLiteral("Edit8"), [this] { return Edit8->text(); },
        [this](const QString& text) { Edit8->setText(text); });
    points.addSource(QStringLiteral("ListBox2"), [this] { return m_list->selectedEntry(); });
    // The "IP or Domain/Host Name" cell of the row last selected.
    points.addSource(QStringLiteral("StringGrid1"),
                     [this] { return StringGrid1->currentRowCell(1); });
    points.addAction(QStringLiteral("SpeedButton7Click"), [this] { SpeedButton7Click(); });
    points.addAction(QStringLiteral("SpeedButton18Click"), [this] { SpeedButton18Click(); });
    points.addAction(QStringLiteral("ping_start_buttonClick"),
                     [this] { ping_start_buttonClick(); });
    points.addAction(QStringLiteral("ping_stop_buttonClick"), [this] { ping_stop_buttonClick(); });

    AttachHandOffMenu(*this, m_host, QStringLiteral("Pop_domain_ping"), Edit7);
    AttachHandOffMenu(*this, m_host, QStringLiteral("pop_ip_ping"), Edit8);
    AppendHandOffItems(m_list->contextMenu(), *this, m_host, QStringLiteral("PopupMenu2"),
                       QStringLiteral("ListBox2"));
    AttachHandOffMenu(*this, m_host, QStringLiteral("pop_ping_results"), StringGrid1);
}

void PingPage::buildGenerationPanel() {
    auto* panel = new QGroupBox(this);
    auto* grid = new QGridLayout(panel);

    Edit7 = MakeEdit(QStringLiteral("Edit7"), QString(), panel);
    SpeedButton21 = MakeBrowserButton(objectName(), panel);
    SpeedButton7 = MakeSpeedButton(QStringLiteral("SpeedButton7"), QStringLiteral("Ping"),
                                   QStringLiteral("Convert"), panel);
    Edit8 = MakeEdit(QStringLiteral("Edit8"), QString(), panel);
    SpeedButton18 = MakeSpeedButton(QStringLiteral("SpeedButton18"), QStringLiteral("Ping"),
                                    QStringLiteral("Convert"), panel);
    CheckBox4 = MakeCheckBox(QStringLiteral("CheckBox4"), QStringLiteral("IP Neighborhood"), panel);
    ComboBox4 = MakeChoice(QStringLiteral("ComboBox4"), 10, 250, 10, 20, panel);
    Edit2 = MakeEdit(QStringLiteral("Edit2"), QStringLiteral("66.218.71"), panel);
    Edit4 = MakeEdit(QStringLiteral("Edit4"), QStringLiteral("0"), panel);
    Edit5 = MakeEdit(QStringLiteral("Edit5"), QStringLiteral("255"), panel);
    Edit4->setMaximumWidth(50);
    Edit5->setMaximumWidth(50);
    SpeedButton8 = MakeSpeedButton(QStringLiteral("SpeedButton8"), QStringLiteral("Create"),
                                   QStringLiteral("Create"), panel);

    grid->addWidget(new QLabel(QStringLiteral("Domain  Name"), panel), 0, 0);
    grid->addWidget(Edit7, 0, 1);
    auto* nameButtons = new QHBoxLayout;
    nameButtons->addWidget(SpeedButton21);
    nameButtons->addWidget(SpeedButton7);
    grid->addLayout(nameButtons, 0, 2);
    grid->addWidget(new QLabel(QStringLiteral("IP Address"), panel), 0, 3);
    grid->addWidget(Edit8, 0, 4);
    grid->addWidget(SpeedButton18, 0, 5);
    auto* neighbourhood = new QHBoxLayout;
    neighbourhood->addWidget(CheckBox4);
    neighbourhood->addWidget(ComboBox4);
    neighbourhood->addWidget(new QLabel(QStringLiteral("IPs"), panel));
    neighbourhood->addStretch();
    grid->addLayout(neighbourhood, 1, 3, 1, 3);
    auto* range = new QHBoxLayout;
    range->addWidget(new QLabel(QStringLiteral("Create an IP Address List "), panel));
    range->addWidget(Edit2, 1);
    range->addWidget(new QLabel(QStringLiteral("From"), panel));
    range->addWidget(Edit4);
    range->addWidget(new QLabel(QStringLiteral("To"), panel));
    range->addWidget(Edit5);
    range->addWidget(SpeedButton8);
    grid->addLayout(range, 2, 0, 1, 6);
    grid->setColumnStretch(1, 1);
    grid->setColumnStretch(4, 1);
    body()->addWidget(panel);

    connect(SpeedButton21, &QToolButton::clicked, this, &PingPage::SpeedButton21Click);
    connect(SpeedButton7, &QToolButton::clicked, this, &PingPage::SpeedButton7Click);
    connect(Edit7, &QLineEdit::returnPressed, this, &PingPage::SpeedButton7Click);
    connect(SpeedButton18, &QToolButton::clicked, this, &PingPage::SpeedButton18Click);
    connect(Edit8, &QLineEdit::returnPressed, this, &PingPage::SpeedButton18Click);
    connect(SpeedButton8, &QToolButton::clicked, this, &PingPage::SpeedButton8Click);
    // Enter in "From" does nothing; in the prefix and in "To" it creates the list.
    connect(Edit2, &QLineEdit::returnPressed, this, &PingPage::SpeedButton8Click);
    connect(Edit5, &QLineEdit::returnPressed, this, &PingPage::SpeedButton8Click);
}

void PingPage::buildRunPanel() {
    auto* panel = new QWidget(this);
    auto* layout = new QHBoxLayout(panel);
    layout->setContentsMargins(0, 0, 0, 0);

    m_list = new TargetListPanel(pingListConfig(), m_host, panel);
    m_list->setMaximumWidth(230);
    layout->addWidget(m_list);

    auto* right = new QVBoxLayout;
    auto* controls = new QHBoxLayout;
    ping_start_button = MakeSpeedButton(QStringLiteral("ping_start_button"),
                                        QStringLiteral("Start"), QStringLiteral("Start"), panel);
    ping_stop_button = MakeSpeedButton(QStringLiteral("ping_stop_button"), QStringLiteral("Stop"),
                                       QStringLiteral("Stop"), panel);
    SpeedButton12 = MakeSpeedButton(QStringLiteral("SpeedButton12"), QStringLiteral("Export"),
                                    QStringLiteral("Export the result to a file"), panel);
    ComboBox1 = MakeChoice(QStringLiteral("ComboBox1"), 1, 6, 1, 2, panel);
    ComboBox2 = MakeChoice(QStringLiteral("ComboBox2"), 1000, 5000, 500, 2500, panel);
    CheckBox6 = MakeCheckBox(QStringLiteral("CheckBox6"), QStringLiteral("Continuous"), panel);
    Edit9 = MakeEdit(QStringLiteral("Edit9"), kPerDefault, panel);
    Edit9->setEnabled(false);
    Edit9->setMaximumWidth(40);
    Label54 = MakeLabel(QStringLiteral("Label54"), QString(), panel);
    Label54->setMinimumWidth(70);
    // Two rows, so the page fits the window's 882 pixels beside the list.
    controls->addWidget(ping_start_button);
    controls->addWidget(ping_stop_button);
    controls->addWidget(SpeedButton12);
    controls->addSpacing(8);
    controls->addWidget(Label54);
    controls->addStretch();
    auto* settings = new QHBoxLayout;
    settings->addWidget(new QLabel(QStringLiteral("Ping Count"), panel));
    settings->addWidget(ComboBox1);
    settings->addWidget(new QLabel(QStringLiteral("Time out (ms)"), panel));
    settings->addWidget(ComboBox2);
    settings->addWidget(CheckBox6);
    settings->addWidget(new QLabel(QStringLiteral("Per"), panel));
    settings->addWidget(Edit9);
    settings->addWidget(new QLabel(QStringLiteral("s"), panel));
    settings->addStretch();
    right->addLayout(settings);
    right->addLayout(controls);

    // The cycle timer; armed only between continuous cycles.
    Timer1 = new QTimer(this);
    Timer1->setObjectName(QStringLiteral("Timer1"));
    Timer1->setInterval(1000);

    m_gridModel = new ResultTableModel(PingGridHeaders(), this);
    StringGrid1 = new GridView(QStringLiteral("StringGrid1"), m_gridModel, {50, 150, 40, 65, 2000},
                               true, panel);
    StringGrid1->fitColumn(0, {kPingRunning});
    StringGrid1->fitColumn(1, {QStringLiteral("255.255.255.255")});
    right->addWidget(StringGrid1, 1);

    auto* counters = new QHBoxLayout;
    Label60 = MakeLabel(QStringLiteral("Label60"), QStringLiteral("Total Count"), panel);
    Label59 = MakeValueLabel(QStringLiteral("Label59"), panel);
    Label33 = MakeValueLabel(QStringLiteral("Label33"), panel);
    Label20 = MakeValueLabel(QStringLiteral("Label20"), panel);
    // A red that reads on light and dark backgrounds alike.
    Label30 = MakeValueLabel(QStringLiteral("Label30"), panel, QColor(230, 50, 50));
    counters->addWidget(Label60);
    counters->addWidget(Label59);
    counters->addStretch();
    counters->addWidget(new QLabel(QStringLiteral("Finished"), panel));
    counters->addWidget(Label33);
    counters->addWidget(new QLabel(QStringLiteral("Successful"), panel));
    counters->addWidget(Label20);
    counters->addWidget(new QLabel(QStringLiteral("Failed"), panel));
    counters->addWidget(Label30);
    right->addLayout(counters);
    layout->addLayout(right, 1);
    body()->addWidget(panel, 1);

    connect(ping_start_button, &QToolButton::clicked, this, &PingPage::ping_start_buttonClick);
    connect(ping_stop_button, &QToolButton::clicked, this, &PingPage::ping_stop_buttonClick);
    connect(SpeedButton12, &QToolButton::clicked, this, &PingPage::SpeedButton12Click);
    connect(Timer1, &QTimer::timeout, this, &PingPage::Timer1Timer);
    connect(CheckBox6, &QCheckBox::toggled, this, &PingPage::CheckBox6Click);
    connect(Edit9, &QLineEdit::textChanged, this, &PingPage::Edit9Change);
}

void PingPage::ping_start_buttonClick() {
    if (m_list->model()->count() == 0) {
        m_host.prompts().message(QString(),
                                 QStringLiteral(" Please add the IP address or domain/host name "),
                                 Prompts::Icon::Warning);
        return;
    }
    Timer1->stop();
    m_gridModel->clearResults();
    // "Total Count" keeps its value until the new run's first row.
    Label33->clear();
    Label20->clear();
    Label30->clear();
    ping_start_button->setEnabled(false);
    Label54->setText(QStringLiteral("Working..."));
    m_host.setNavigationEnabled(false);
    m_run->start(ComboBox1->currentText().toInt());
}

void PingPage::ping_stop_buttonClick() {
    Timer1->stop();
    if (!m_run->hasStarted()) {
        return;
    }
    // Nothing the worker still produces reaches the grid, and its end is not reported.
    m_run->stop();
    ping_start_button->setEnabled(true);
    Label54->setText(QStringLiteral("Done!"));
    m_host.setNavigationEnabled(true);
}

void PingPage::ping_button_active() {
    ping_start_button->setEnabled(true);
    Label54->setText(QStringLiteral("Done!"));
    if (CheckBox6->isChecked()) {
        const auto seconds = ReadWholeNumber(Edit9->text());
        if (!seconds) {
            // The timer keeps the interval it had.
            m_host.prompts().message(QString(), kPerWarning, Prompts::Icon::Warning);
        } else {
            // A "Per" of 0 or less (which "00" or "-2" give) waits one second rather than
            // spinning through cycles; the timer takes at most INT_MAX ms.
            const long long ms =
                std::clamp(*seconds * 1000LL, 1000LL, static_cast<long long>(INT_MAX));
            Timer1->setInterval(static_cast<int>(ms));
        }
        Timer1->start();
    }
    m_host.setNavigationEnabled(true);
}

void PingPage::Timer1Timer() {
    // One continuous cycle: the grid grows, the counts start again with its first row.
    ping_start_button->setEnabled(false);
    Label54->setText(QStringLiteral("Working..."));
    m_run->start(ComboBox1->currentText().toInt());
    Timer1->stop();
}

void PingPage::CheckBox6Click() {
    const bool continuous = CheckBox6->isChecked();
    Edit9->setEnabled(continuous);
    Label60->setVisible(continuous);
    Label59->setVisible(continuous);
}

void PingPage::Edit9Change() {
    const QString text = Edit9->text();
    if (text.contains(QLatin1Char('.')) || text == QLatin1String("0")) {
        m_host.prompts().message(QString(), kPerWarning, Prompts::Icon::Warning);
        // Setting the text checks it again; "3" passes.
        Edit9->setText(kPerDefault);
    }
    if (!ReadWholeNumber(Edit9->text())) {
        m_host.prompts().message(QString(), kPerWarning, Prompts::Icon::Warning);
        Edit9->setText(kPerDefault);
    }
}

void PingPage::showCounters() {
    // A count without a row of its kind in this run stays blank.
    const BatchCounters& counters = m_run->counters();
    const auto show = [](QLabel* label, int value) {
        label->setText(value > 0 ? QString::number(value) : QString());
    };
    show(Label33, counters.finished);
    show(Label20, counters.successful);
    show(Label30, counters.failed);
    Label59->setText(QString::number(m_gridModel->resultCount()));
}

void PingPage::showEchoUnavailable(const QString& notice) {
    m_host.prompts().message(QStringLiteral("Batch Ping"), notice, Prompts::Icon::Warning);
}

void PingPage::fillList(const QStringList& entries) {
    m_list->model()->replaceAll(entries);
    m_list->showCount();
}

void PingPage::restartRun() {
    ping_stop_buttonClick();
    ping_start_buttonClick();
}

void PingPage::SpeedButton7Click() {
    // The name goes in exactly as typed; an empty box gives one empty entry.
    fillList({Edit7->text()});
    restartRun();
}

void PingPage::SpeedButton21Click() {
    PressBrowserButton(m_host, objectName());
}

void PingPage::SpeedButton18Click() {
    // A part that is not a whole number ends here with the general error report.
    const PingListFill fill =
        PingAddressList(Edit8->text(), CheckBox4->isChecked(), ComboBox4->currentText().toInt());
    switch (fill.outcome) {
        case PingListFill::Outcome::NothingTyped:
            return;
        case PingListFill::Outcome::NotANumber:
            throw UserError(fill.message);
        case PingListFill::Outcome::BadAddress:
            m_host.prompts().message(QString(), kBadAddressMessage, Prompts::Icon::Warning);
            return;
        case PingListFill::Outcome::BelowZero:
        case PingListFill::Outcome::PastTheEnd:
            // Emptied or cut off at 255.255.255.255, and nothing is pinged; the count still
            // tells what the list holds.
            fillList(fill.entries);
            return;
        default:
            break;
    }
    fillList(fill.entries);
    restartRun();
}

void PingPage::SpeedButton8Click() {
    const PingListFill fill = PingRangeList(Edit2->text(), Edit4->text(), Edit5->text());
    switch (fill.outcome) {
        case PingListFill::Outcome::NotWholeNumber:
            m_host.prompts().message(QStringLiteral("Error"), kRangeNotNumberMessage,
                                     Prompts::Icon::Error);
            return;
        case PingListFill::Outcome::NumberOutside:
            m_host.prompts().message(QStringLiteral("Error"), kRangeOutsideMessage,
                                     Prompts::Icon::Error);
            return;
        default:
            break;
    }
    // Only fills the list: a run is started by hand.
    fillList(fill.entries);
}

ExportDialog* PingPage::exportDialog() {
    if (m_exportDialog == nullptr) {
        m_exportDialog = new ExportDialog(
            QStringLiteral("Tping_export"), PingExportKinds(), m_host.prompts(),
            [this](const ExportKind& kind) {
                return PingExportLines(*m_gridModel, kind, m_run->lastPingCount(),
                                       QDateTime::currentDateTime());
            },
            this);
    }
    return m_exportDialog;
}

void PingPage::SpeedButton12Click() {
    exportDialog()->showModal();
}

}  // namespace quendrix
