#include "tools/country/country_page.h"

#include "core/browser_buttons.h"
#include "core/job_runner.h"
#include "core/page_host.h"
#include "core/prompts.h"
#include "core/target_list_model.h"
#include "core/widgets/browser_button.h"
#include "core/widgets/export_dialog.h"
#include "core/widgets/grid_view.h"
#include "core/widgets/hand_off_menu.h"
#include "core/widgets/page_controls.h"
#include "core/widgets/target_list_panel.h"
#include "tools/country/country_batch.h"
#include "tools/country/country_export.h"
#include "tools/country/country_grid_model.h"
#include "tools/country/country_lookup.h"

#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QToolButton>
#include <QVBoxLayout>

namespace quendrix {
namespace {

TargetListConfig countryListConfig() {
    TargetListConfig config;
    config.listName = QStringLiteral("ListBox3");
    config.importButtonName = QStringLiteral("SpeedButton10");
    config.importHint = QStringLiteral("Import an domain name or IP address file (*.txt)");
    config.countLabelName = QStringLiteral("Label45");
    config.totalLabelName = QStringLiteral("Label44");
    config.menuName = QStringLiteral("PopupMenu3");
    config.showHint = false;
    config.add = {QStringLiteral("Add1"), QStringLiteral("Add")};
    config.update = {QStringLiteral("Update1"), QStringLiteral("Update")};
    config.remove = {QStringLiteral("Delete1"), QStringLiteral("Delete")};
    config.clear = {QStringLiteral("ClearAll2"), QStringLiteral("Clear All")};
    const QString label = QStringLiteral("IP Address ");
    config.addDialog = {QStringLiteral("Twhereis_add"), QStringLiteral("Add"), label,
                        QStringLiteral("Edit1"),        QStringLiteral("Add"), true};
    config.updateDialog = {QStringLiteral("Twhereis_update"), QStringLiteral("Update"), label,
                           QStringLiteral("edit1"),           QStringLiteral("Update"), false};
    return config;
}

}  // namespace

CountryPage::CountryPage(PageHost& host, QWidget* parent)
    : ToolPage(QStringLiteral("country_lookup_tab"), QStringLiteral("IP Country Converter"),
               parent),
      m_host(host),
      m_single(std::make_unique<JobRunner<QString>>(
          [this](JobId, std::span<QString> owners) { Edit6->setText(owners.back()); })) {
    connect(m_single.get(), &JobRunnerBase::ended, this, [this](JobId, const JobOutcome& outcome) {
        ShowJobFailure(m_host.prompts(), outcome);
    });
    buildUpperPanel();
    buildBatchPanel();
    declareHandOffPoints();

    m_export = new ExportDialog(
        QStringLiteral("Tcountry_export"), whereis::CountryExportKinds(), m_host.prompts(),
        [this](const ExportKind& kind) {
            return whereis::CountryExportLines(*m_gridModel, kind, QDateTime::currentDateTime());
        },
        this);
}

CountryPage::~CountryPage() {
    // Workers read the list and hand over to this page: end them before any control goes.
    m_batch.reset();
    m_single.reset();
}

void CountryPage::declareHandOffPoints() {
    HandOffPoints& points = declareHandOff();
    points.addBox(
        QStringLiteral("Edit3"), [this] { return Edit3->text(); },
        [this](const QString& text) { Edit3->setText(text); });
    points.addSource(QStringLiteral("ListBox3"), [this] { return m_list->selectedEntry(); });
    // The "Domain Name / IP Address" cell of the row last selected.
    points.addSource(QStringLiteral("StringGrid3"),
                     [this] { return StringGrid3->currentRowCell(0); });
    points.addAction(QStringLiteral("SpeedButton9Click"), [this] { SpeedButton9Click(); });

    AttachHandOffMenu(*this, m_host, QStringLiteral("Pop_country_lookup"), Edit3);
    AppendHandOffItems(m_list->contextMenu(), *this, m_host, QStringLiteral("PopupMenu3"),
                       QStringLiteral("ListBox3"));
    AttachHandOffMenu(*this, m_host, QStringLiteral("pop_country_results"), StringGrid3);
}

void CountryPage::SpeedButton24Click() {
    PressBrowserButton(m_host, objectName());
}

void CountryPage::buildUpperPanel() {
    auto* panel = new QGroupBox(this);
    auto* grid = new QGridLayout(panel);

    Edit3 = MakeEdit(QStringLiteral("Edit3"), QString(), panel);
    Edit3->setToolTip(QStringLiteral("Right Click to Get More"));
    SpeedButton24 = MakeBrowserButton(objectName(), panel);
    SpeedButton9 = MakeSpeedButton(QStringLiteral("SpeedButton9"), QStringLiteral("Resolve"),
                                   QStringLiteral("Resolve"), panel);
    Edit6 = MakeEdit(QStringLiteral("Edit6"), QString(), panel);

    grid->addWidget(
        MakeLabel(QStringLiteral("Label38"), QStringLiteral("Domain Name / IP Address"), panel), 0,
        0);
    grid->addWidget(Edit3, 0, 1);
    grid->addWidget(SpeedButton24, 0, 2);
    grid->addWidget(SpeedButton9, 0, 3);
    grid->addWidget(MakeLabel(QStringLiteral("Label39"), QStringLiteral("Country"), panel), 1, 0);
    grid->addWidget(Edit6, 1, 1, 1, 3);
    grid->setColumnStretch(1, 1);
    body()->addWidget(panel);

    connect(SpeedButton9, &QToolButton::clicked, this, &CountryPage::SpeedButton9Click);
    connect(SpeedButton24, &QToolButton::clicked, this, &CountryPage::SpeedButton24Click);
    connect(Edit3, &QLineEdit::returnPressed, this, &CountryPage::SpeedButton9Click);
}

void CountryPage::buildBatchPanel() {
    auto* panel = new QWidget(this);
    auto* layout = new QHBoxLayout(panel);
    layout->setContentsMargins(0, 0, 0, 0);

    m_list = new TargetListPanel(countryListConfig(), m_host, panel);
    m_list->setMaximumWidth(230);
    layout->addWidget(m_list);

    auto* right = new QVBoxLayout;
    auto* controls = new QHBoxLayout;
    whereis_start = MakeSpeedButton(QStringLiteral("whereis_start"), QStringLiteral("Start"),
                                    QStringLiteral("Start"), panel);
    whereis_stop = MakeSpeedButton(QStringLiteral("whereis_stop"), QStringLiteral("Stop"),
                                   QStringLiteral("Stop"), panel);
    SpeedButton11 = MakeSpeedButton(QStringLiteral("SpeedButton11"), QStringLiteral("Export"),
                                    QStringLiteral("Export the result to a file"), panel);
    Label56 = MakeLabel(QStringLiteral("Label56"), QString(), panel);
    Label56->setMinimumWidth(80);
    controls->addWidget(
        MakeLabel(QStringLiteral("Label40"), QStringLiteral("Batch Lookup"), panel));
    controls->addWidget(whereis_start);
    controls->addWidget(whereis_stop);
    controls->addWidget(Label56);
    controls->addStretch();
    controls->addWidget(SpeedButton11);
    right->addLayout(controls);

    m_gridModel = new whereis::CountryGridModel(this);
    StringGrid3 =
        new GridView(QStringLiteral("StringGrid3"), m_gridModel, {160, 2000}, true, panel);
    StringGrid3->fitColumn(0, {QStringLiteral("255.255.255.255")});
    right->addWidget(StringGrid3, 1);

    auto* counters = new QHBoxLayout;
    // Counter colours that read on light and dark palettes alike.
    Label49 = MakeValueLabel(QStringLiteral("Label49"), panel, QColor(0x2E, 0xA0, 0x43));
    Label51 = MakeValueLabel(QStringLiteral("Label51"), panel, QColor(0xE0, 0x30, 0x30));
    counters->addStretch();
    counters->addWidget(MakeLabel(QStringLiteral("Label48"), QStringLiteral("Successful"), panel));
    counters->addWidget(Label49);
    counters->addWidget(MakeLabel(QStringLiteral("Label50"), QStringLiteral("Failed"), panel));
    counters->addWidget(Label51);
    right->addLayout(counters);
    layout->addLayout(right, 1);
    body()->addWidget(panel, 1);

    connect(whereis_start, &QToolButton::clicked, this, &CountryPage::whereis_startClick);
    connect(whereis_stop, &QToolButton::clicked, this, &CountryPage::whereis_stopClick);
    connect(SpeedButton11, &QToolButton::clicked, this, &CountryPage::SpeedButton11Click);

    m_batch = std::make_unique<whereis::CountryBatch>(*m_list->model(), *m_gridModel);
    connect(m_batch.get(), &whereis::CountryBatch::countersChanged, this, [this] {
        // Each label stays blank until the first row of its kind.
        const BatchCounters& counts = m_batch->counters();
        if (counts.successful > 0) {
            Label49->setText(QString::number(counts.successful));
        }
        if (counts.failed > 0) {
            Label51->setText(QString::number(counts.failed));
        }
    });
    connect(m_batch.get(), &whereis::CountryBatch::finished, this, [this] {
        ShowJobFailure(m_host.prompts(), m_batch->outcome());
        whereis_batch_active();
    });
}

bool CountryPage::batchRunning() const {
    return m_batch->isRunning();
}

void CountryPage::SpeedButton9Click() {
    const QString text = Edit3->text();
    if (text.isEmpty()) {
        return;
    }
    // whereis_single_thread: several may run at once; the one that ends last is shown.
    m_single->start(
        [text](JobRunner<QString>::Context& job) { job.push(whereis::LookupTarget(text)); });
}

void CountryPage::whereis_startClick() {
    if (m_batch->isRunning()) {
        return;  // the start button is disabled while a batch works
    }
    TargetListModel* list = m_list->model();
    if (list->count() == 0) {
        m_host.prompts().message(
            QString(),
            QStringLiteral(" Please import the domain names or IP addresses list(*.txt)! "),
            Prompts::Icon::Warning);
        return;
    }
    Label49->clear();
    Label51->clear();
    whereis_start->setEnabled(false);
    Label56->setText(QStringLiteral("Working..."));
    m_host.setNavigationEnabled(false);
    // whereis_batch_thread: the grid starts again from its header and one empty row.
    m_batch->start();
}

void CountryPage::whereis_stopClick() {
    if (!m_batch->isRunning()) {
        return;  // nothing to stop: nothing the user sees changes
    }
    // Nothing the worker hands over after this reaches the page; the row it was looking up
    // keeps its entry with an empty owner cell.
    m_batch->stop();
    whereis_batch_active();
}

void CountryPage::whereis_batch_active() {
    whereis_start->setEnabled(true);
    Label56->setText(QStringLiteral("Done!"));
    m_host.setNavigationEnabled(true);
}

void CountryPage::SpeedButton11Click() {
    m_export->showModal();
}

}  // namespace quendrix
