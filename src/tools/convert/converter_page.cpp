#include "tools/convert/converter_page.h"

#include "core/browser_buttons.h"
#include "core/errors.h"
#include "core/neighbourhood.h"
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
#include "tools/convert/batch_conversion.h"
#include "tools/convert/conversion_export.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDateTime>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QToolButton>
#include <QVBoxLayout>

#include <algorithm>

namespace quendrix {
namespace {

TargetListConfig converterListConfig() {
    TargetListConfig config;
    config.listName = QStringLiteral("ListBox1");
    config.importButtonName = QStringLiteral("SpeedButton1");
    config.importHint = QStringLiteral("Import an IP address or domain/host name file (*.txt)");
    config.countLabelName = QStringLiteral("Label15");
    config.menuName = QStringLiteral("PopupMenu1");
    config.showHint = true;
    config.add = {QStringLiteral("A1"), QStringLiteral("Add ")};
    config.update = {QStringLiteral("UpdateItem1"), QStringLiteral("Update ")};
    config.remove = {QStringLiteral("DeleteItem1"), QStringLiteral("Delete ")};
    config.clear = {QStringLiteral("DeleteAllItem1"), QStringLiteral("Clear All")};
    const QString label = QStringLiteral("IP Address or Domain/Computer Name");
    config.addDialog = {QStringLiteral("Tip_add"), QStringLiteral("Add"), label,
                        QStringLiteral("Edit1"),   QStringLiteral("Add"), true};
    config.updateDialog = {QStringLiteral("Tip_update"), QStringLiteral("Update"), label,
                           QStringLiteral("edit1"),      QStringLiteral("Update"), false};
    return config;
}

}  // namespace

ConverterPage::ConverterPage(PageHost& host, QWidget* parent)
    : ToolPage(QStringLiteral("ip_to_domain_converter_tab"), QStringLiteral("IP Domain Converter"),
               parent),
      m_host(host) {
    buildUpperPanel();
    buildBatchPanel();
    // findip_thread: several may run at once; each writes its own answer when it ends.
    m_findIp = std::make_unique<JobRunner<Result<ResolvedHost>>>(
        [this](JobId, std::span<Result<ResolvedHost>> answers) {
            for (const Result<ResolvedHost>& found : answers) {
                if (!found) {
                    m_host.prompts().message(QStringLiteral("Error"),
                                             QStringLiteral("Host does not exist!  "),
                                             Prompts::Icon::Error);
                    continue;
                }
                // Added to what is there: two conversions that overlap both show their
                // addresses.
                for (const QString& address : found->addresses) {
                    Memo1->appendPlainText(address);
                }
                host_edit->setText(found->officialName);
            }
        });
    // findname_thread
    m_findName = std::make_unique<JobRunner<QString>>([this](JobId, std::span<QString> names) {
        for (const QString& name : names) {
            if (name == kLookupFailed) {
                m_host.prompts().message(QStringLiteral("Error"),
                                         QStringLiteral("Can't get the domain/host name!  "),
                                         Prompts::Icon::Error);
                continue;
            }
            Edit1->setText(name);
        }
    });
    connect(m_findIp.get(), &JobRunnerBase::ended, this, [this](JobId, const JobOutcome& outcome) {
        ShowJobFailure(m_host.prompts(), outcome);
    });
    connect(m_findName.get(), &JobRunnerBase::ended, this,
            [this](JobId id, const JobOutcome& outcome) {
                ShowJobFailure(m_host.prompts(), outcome);
                const auto it = std::find(m_findNameEnabling.begin(), m_findNameEnabling.end(), id);
                if (it != m_findNameEnabling.end()) {
                    m_findNameEnabling.erase(it);
                    ip_to_domain_active();
                }
            });
    declareHandOffPoints();
}

void ConverterPage::declareHandOffPoints() {
    HandOffPoints& points = declareHandOff();
    points.addBox(
        QStringLiteral("domain_edit"), [this] { return domain_edit->text(); },
        [this](const QString& text) { domain_edit->setText(text); });
    points.addBox(
        QStringLiteral("ip_edit"), [this] { return ip_edit->text(); },
        [this](const QString& text) { ip_edit->setText(text); });
    points.addSource(QStringLiteral("ListBox1"), [this] { return m_list->selectedEntry(); });
    // The "Domain / Host Name" cell of the row last selected.
    points.addSource(QStringLiteral("StringGrid2"),
                     [this] { return StringGrid2->currentRowCell(0); });
    points.addAction(QStringLiteral("nametoip_buttonClick"), [this] { nametoip_buttonClick(); });
    points.addAction(QStringLiteral("iptoname_buttonClick"), [this] { iptoname_buttonClick(); });

    AttachHandOffMenu(*this, m_host, QStringLiteral("pop_domain"), domain_edit);
    AttachHandOffMenu(*this, m_host, QStringLiteral("pop_ip"), ip_edit);
    AppendHandOffItems(m_list->contextMenu(), *this, m_host, QStringLiteral("PopupMenu1"),
                       QStringLiteral("ListBox1"));
    AttachHandOffMenu(*this, m_host, QStringLiteral("Pop_iptodomain_results"), StringGrid2);
}

ConverterPage::~ConverterPage() {
    // Workers hand over to this page's controls: end them before any control goes.
    m_batch.reset();
    m_findIp.reset();
    m_findName.reset();
}

void ConverterPage::buildUpperPanel() {
    auto* panel = new QGroupBox(this);
    auto* grid = new QGridLayout(panel);

    domain_edit = MakeEdit(QStringLiteral("domain_edit"), QStringLiteral("localhost"), panel);
    domain_edit->setToolTip(QStringLiteral("Right Click to Get More"));
    nametoip_button = MakeSpeedButton(QStringLiteral("nametoip_button"), QStringLiteral("Convert"),
                                      QStringLiteral("Convert"), panel);
    SpeedButton20 = MakeBrowserButton(objectName(), panel);
    Memo1 = new QPlainTextEdit(panel);
    Memo1->setObjectName(QStringLiteral("Memo1"));
    Memo1->setReadOnly(true);
    Memo1->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    Memo1->setMaximumHeight(70);
    host_edit = MakeEdit(QStringLiteral("host_edit"), QString(), panel);

    ip_edit = MakeEdit(QStringLiteral("ip_edit"), QStringLiteral("127.0.0.1"), panel);
    ip_edit->setToolTip(QStringLiteral("Right Click to Get More"));
    iptoname_button = MakeSpeedButton(QStringLiteral("iptoname_button"), QStringLiteral("Convert"),
                                      QStringLiteral("Convert"), panel);
    Edit1 = MakeEdit(QStringLiteral("Edit1"), QString(), panel);
    CheckBox3 = MakeCheckBox(QStringLiteral("CheckBox3"), QStringLiteral("IP Neighborhood"), panel);
    ComboBox3 = MakeChoice(QStringLiteral("ComboBox3"), 10, 250, 10, 20, panel);
    auto* explanation = MakeLabel(
        QStringLiteral("Label35"),
        QStringLiteral("IP Neighborhood will take an IP address and do a resolve for the last and "
                       "next number IPs. This is not often found, but can be very useful to see "
                       "what other website domains are hosted by the same ISP"),
        panel);
    explanation->setWordWrap(true);

    grid->addWidget(new QLabel(QStringLiteral("Domain  Name"), panel), 0, 0);
    grid->addWidget(domain_edit, 0, 1);
    auto* nameButtons = new QHBoxLayout;
    nameButtons->addWidget(SpeedButton20);
    nameButtons->addWidget(nametoip_button);
    grid->addLayout(nameButtons, 0, 2);
    grid->addWidget(new QLabel(QStringLiteral("IP Address"), panel), 1, 0, Qt::AlignTop);
    grid->addWidget(Memo1, 1, 1, 1, 2);
    grid->addWidget(new QLabel(QStringLiteral("Host Name"), panel), 2, 0);
    grid->addWidget(host_edit, 2, 1, 1, 2);

    grid->addWidget(new QLabel(QStringLiteral("IP Address"), panel), 0, 3);
    grid->addWidget(ip_edit, 0, 4);
    grid->addWidget(iptoname_button, 0, 5);
    grid->addWidget(new QLabel(QStringLiteral("Domain / Host Name"), panel), 1, 3, Qt::AlignTop);
    grid->addWidget(Edit1, 1, 4, 1, 2, Qt::AlignTop);
    auto* neighbourhood = new QHBoxLayout;
    neighbourhood->addWidget(CheckBox3);
    neighbourhood->addWidget(ComboBox3);
    neighbourhood->addWidget(new QLabel(QStringLiteral("IPs"), panel));
    neighbourhood->addStretch();
    grid->addLayout(neighbourhood, 2, 3, 1, 3);
    grid->addWidget(explanation, 3, 0, 1, 6);
    grid->setColumnStretch(1, 1);
    grid->setColumnStretch(4, 1);
    body()->addWidget(panel);

    connect(nametoip_button, &QToolButton::clicked, this, &ConverterPage::nametoip_buttonClick);
    connect(SpeedButton20, &QToolButton::clicked, this, &ConverterPage::SpeedButton20Click);
    connect(domain_edit, &QLineEdit::returnPressed, this, &ConverterPage::nametoip_buttonClick);
    connect(iptoname_button, &QToolButton::clicked, this, &ConverterPage::iptoname_buttonClick);
    connect(ip_edit, &QLineEdit::returnPressed, this, &ConverterPage::iptoname_buttonClick);
}

void ConverterPage::buildBatchPanel() {
    auto* panel = new QWidget(this);
    auto* layout = new QHBoxLayout(panel);
    layout->setContentsMargins(0, 0, 0, 0);

    m_list = new TargetListPanel(converterListConfig(), m_host, panel);
    m_list->setMaximumWidth(230);
    layout->addWidget(m_list);

    auto* right = new QVBoxLayout;
    auto* controls = new QGridLayout;
    B_nametoip_start_button =
        MakeSpeedButton(QStringLiteral("B_nametoip_start_button"), QStringLiteral("Start"),
                        QStringLiteral("Start"), panel);
    B_nametoip_end_button = MakeSpeedButton(QStringLiteral("B_nametoip_end_button"),
                                            QStringLiteral("Stop"), QStringLiteral("Stop"), panel);
    b_iptoname_start_button =
        MakeSpeedButton(QStringLiteral("b_iptoname_start_button"), QStringLiteral("Start"),
                        QStringLiteral("Start"), panel);
    SpeedButton5 = MakeSpeedButton(QStringLiteral("SpeedButton5"), QStringLiteral("Stop"),
                                   QStringLiteral("Stop"), panel);
    SpeedButton6 = MakeSpeedButton(QStringLiteral("SpeedButton6"), QStringLiteral("Export"),
                                   QStringLiteral("Export the result to a file"), panel);
    controls->addWidget(new QLabel(QStringLiteral("From Domain / Host Name to IP Address"), panel),
                        0, 0);
    controls->addWidget(B_nametoip_start_button, 0, 1);
    controls->addWidget(B_nametoip_end_button, 0, 2);
    controls->addWidget(new QLabel(QStringLiteral("From IP Address to Domain / Host Name"), panel),
                        1, 0);
    controls->addWidget(b_iptoname_start_button, 1, 1);
    controls->addWidget(SpeedButton5, 1, 2);
    controls->addWidget(SpeedButton6, 0, 3, 2, 1);
    controls->setColumnStretch(4, 1);
    right->addLayout(controls);

    m_gridModel = new ResultTableModel(
        {QStringLiteral("Domain / Host Name"), QStringLiteral("IP Address")}, this);
    StringGrid2 =
        new GridView(QStringLiteral("StringGrid2"), m_gridModel, {200, 2000}, true, panel);
    right->addWidget(StringGrid2, 1);
    m_batch = std::make_unique<BatchConversion>(*m_list->model(), *m_gridModel);

    auto* counters = new QHBoxLayout;
    Label52 = MakeValueLabel(QStringLiteral("Label52"), panel);
    Label18 = MakeValueLabel(QStringLiteral("Label18"), panel);
    Label16 = MakeValueLabel(QStringLiteral("Label16"), panel);
    Label17 = MakeValueLabel(QStringLiteral("Label17"), panel);
    counters->addWidget(Label52);
    counters->addStretch();
    counters->addWidget(new QLabel(QStringLiteral("Finished"), panel));
    counters->addWidget(Label18);
    counters->addWidget(new QLabel(QStringLiteral("Successful"), panel));
    counters->addWidget(Label16);
    counters->addWidget(new QLabel(QStringLiteral("Failed"), panel));
    counters->addWidget(Label17);
    right->addLayout(counters);
    layout->addLayout(right, 1);
    body()->addWidget(panel, 1);

    connect(B_nametoip_start_button, &QToolButton::clicked, this,
            &ConverterPage::B_nametoip_start_buttonClick);
    connect(b_iptoname_start_button, &QToolButton::clicked, this,
            &ConverterPage::b_iptoname_start_buttonClick);
    connect(B_nametoip_end_button, &QToolButton::clicked, this,
            &ConverterPage::B_nametoip_end_buttonClick);
    connect(SpeedButton5, &QToolButton::clicked, this, &ConverterPage::B_nametoip_end_buttonClick);
    connect(SpeedButton6, &QToolButton::clicked, this, &ConverterPage::SpeedButton6Click);
    connect(m_batch.get(), &BatchConversion::countersChanged, this, &ConverterPage::showCounters);
    connect(m_batch.get(), &BatchConversion::finished, this, [this] {
        ShowJobFailure(m_host.prompts(), m_batch->outcome());
        ip_button_active();
    });
}

void ConverterPage::nametoip_buttonClick() {
    Memo1->clear();
    host_edit->clear();
    const QString typed = domain_edit->text();
    const QString host = ReduceTarget(typed);
    if (host != TrimBlanks(typed)) {
        // Show what is looked up when a prefix or a path was taken off (not for blanks).
        domain_edit->setText(host);
    }
    // findip_thread: several may run at once; each writes its own answer when it ends.
    m_findIp->start(
        [host](JobRunner<Result<ResolvedHost>>::Context& job) { job.push(ResolveHost(host)); });
}

void ConverterPage::SpeedButton20Click() {
    PressBrowserButton(m_host, objectName());
}

void ConverterPage::iptoname_buttonClick() {
    const QString text = ip_edit->text();
    const auto startFindName = [this](const QString& address, bool disable) {
        Edit1->clear();
        const JobId id = m_findName->start(
            [address](JobRunner<QString>::Context& job) { job.push(ResolveAddress(address)); });
        if (disable) {
            m_findNameEnabling.push_back(id);
        }
    };
    if (text.isEmpty()) {
        startFindName(text, false);
        return;
    }
    const auto octets = ParseDottedAddress(text);
    if (!octets && octets.code() == ErrorCode::InvalidInput) {
        throw UserError(QString::fromStdString(octets.error().text));
    }
    if (!octets) {
        m_host.prompts().message(QString(), QStringLiteral("Please enter the correct IP address!"),
                                 Prompts::Icon::Warning);
        return;
    }
    iptoname_button->setEnabled(false);
    m_host.setNavigationEnabled(false);
    startFindName(text, true);
    // Without waiting for the single look-up.
    if (CheckBox3->isChecked()) {
        buildNeighbourhood(*octets);
    }
}

void ConverterPage::ip_to_domain_active() {
    iptoname_button->setEnabled(true);
    m_host.setNavigationEnabled(true);
}

void ConverterPage::buildNeighbourhood(const std::array<int, 4>& octets) {
    const Neighbourhood hood = BuildNeighbourhood(octets, ComboBox3->currentText().toInt());
    // Emptied and refilled at once: nothing else runs on this thread in between.
    m_list->model()->replaceAll(hood.addresses);
    // The count always tells what the list holds, also when the range is cut off.
    m_list->showCount();
    if (hood.outcome != Neighbourhood::Outcome::Complete) {
        return;
    }
    B_nametoip_end_buttonClick();
    b_iptoname_start_buttonClick();
}

void ConverterPage::B_nametoip_start_buttonClick() {
    startBatch(ConvertMode::NameToIp);
}

void ConverterPage::b_iptoname_start_buttonClick() {
    startBatch(ConvertMode::IpToName);
}

void ConverterPage::startBatch(ConvertMode mode) {
    if (m_list->model()->count() == 0) {
        if (mode == ConvertMode::NameToIp) {
            m_host.prompts().message(
                QString(), QStringLiteral(" Please import the domain/host names list(*.txt)! "),
                Prompts::Icon::Warning);
        } else {
            m_host.prompts().message(
                QStringLiteral("Vantrell"),
                QStringLiteral(" Please import the IP addresses list(*.txt)! "),
                Prompts::Icon::Warning);
        }
        return;
    }
    Label18->clear();
    Label16->clear();
    Label17->clear();
    B_nametoip_start_button->setEnabled(false);
    b_iptoname_start_button->setEnabled(false);
    Label52->setText(QStringLiteral("Working..."));
    m_host.setNavigationEnabled(false);
    // nametoip_thread: the grid starts again from its header and one empty row.
    m_batch->start(mode);
}

void ConverterPage::showCounters() {
    // Each label stays blank until the first row of its kind.
    const BatchCounters& counters = m_batch->counters();
    if (counters.finished > 0) {
        Label18->setText(QString::number(counters.finished));
    }
    if (counters.successful > 0) {
        Label16->setText(QString::number(counters.successful));
    }
    if (counters.failed > 0) {
        Label17->setText(QString::number(counters.failed));
    }
}

void ConverterPage::B_nametoip_end_buttonClick() {
    if (!m_batch->hasStarted()) {
        return;
    }
    m_batch->stop();
    ip_button_active();
}

void ConverterPage::ip_button_active() {
    B_nametoip_start_button->setEnabled(true);
    b_iptoname_start_button->setEnabled(true);
    Label52->setText(QStringLiteral("Done!"));
    m_host.setNavigationEnabled(true);
}

ExportDialog* ConverterPage::exportDialog() {
    if (m_exportDialog == nullptr) {
        m_exportDialog = new ExportDialog(
            QStringLiteral("Tnametoip_export"), ConversionExportKinds(), m_host.prompts(),
            [this](const ExportKind& kind) {
                return ConversionExportLines(*m_gridModel, kind, QDateTime::currentDateTime());
            },
            this);
    }
    return m_exportDialog;
}

void ConverterPage::SpeedButton6Click() {
    exportDialog()->showModal();
}

}  // namespace quendrix
