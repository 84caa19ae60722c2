#include "tools/trace/trace_page.h"

#include "core/browser_buttons.h"
#include "core/export_writer.h"
#include "core/hand_off.h"
#include "core/page_host.h"
#include "core/prompts.h"
#include "core/widgets/browser_button.h"
#include "core/widgets/hand_off_menu.h"
#include "core/widgets/page_controls.h"
#include "tools/trace/trace_export.h"

#include <QCheckBox>
#include <QEvent>
#include <QFontMetrics>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QSpinBox>
#include <QSplitter>
#include <QStyle>
#include <QToolButton>
#include <QTreeWidget>
#include <QVBoxLayout>

#include <algorithm>
#include <utility>

namespace quendrix {
namespace {

using trace::HopRow;
using trace::TraceEvent;

enum Column { kHop, kIp, kHost, kNote };

// The engine's texts are the system's bytes.
std::string SystemText(const QString& text) {
    return text.toLocal8Bit().toStdString();
}

// Starting widths of Hop, IP, Host and Note; each column grows to fit its header and the
// texts it usually shows in the font in use.
constexpr int kColumnWidths[] = {31, 95, 152, 58};

QStringList UsualTexts(int column) {
    switch (column) {
        case kHop:
            return {QStringLiteral("255")};
        case kIp:
            return {QStringLiteral("255.255.255.255"), QStringLiteral("?.?.?.?")};
        case kNote:
            return {QStringLiteral("Destination network unreachable"), QStringLiteral("Timed out."),
                    QStringLiteral("TTL=255"), QStringLiteral("5000 ms")};
        default:
            return {};
    }
}

}  // namespace

TracePage::TracePage(PageHost& host, QWidget* parent, std::chrono::milliseconds wait)
    : ToolPage(QStringLiteral("tracert_tab"), QStringLiteral("Traceroute"), parent),
      m_host(host),
      m_wait(wait),
      m_controls(std::make_shared<trace::TraceControls>()),
      m_runner(new JobRunner<TraceEvent>(
          [this](JobId, std::span<TraceEvent> events) { apply(events); }, this)) {
    m_targetLabel =
        MakeLabel(QStringLiteral("edTargetLabel"), QStringLiteral("IP / Domain Name:"), this);
    edTarget = MakeEdit(QStringLiteral("edTarget"), QString(), this);
    edTarget->setToolTip(QStringLiteral("Right Click to Get More"));
    m_targetLabel->setBuddy(edTarget);
    SpeedButton22 = MakeBrowserButton(objectName(), this);
    button1 = MakeSpeedButton(QStringLiteral("button1"), QStringLiteral("Start"),
                              QStringLiteral("Start"), this);
    button2 = MakeSpeedButton(QStringLiteral("button2"), QStringLiteral("Stop"),
                              QStringLiteral("Stop"), this);
    m_maxHopsLabel = MakeLabel(QStringLiteral("seMaxHopsLabel"), QStringLiteral("Max Hops:"), this);
    seMaxHops = new QSpinBox(this);
    seMaxHops->setObjectName(QStringLiteral("seMaxHops"));
    seMaxHops->setRange(trace::TraceControls::kMinMaxHops, trace::TraceControls::kMaxMaxHops);
    seMaxHops->setValue(trace::TraceControls::kDefaultMaxHops);
    m_maxHopsLabel->setBuddy(seMaxHops);
    CheckBox1 = MakeCheckBox(QStringLiteral("CheckBox1"), QStringLiteral("Host Revolve"), this);
    SpeedButton13 = MakeSpeedButton(QStringLiteral("SpeedButton13"), QStringLiteral("Export"),
                                    QStringLiteral("Export the results a to a file"), this);

    // The target and its buttons on one row, the trace's options and the export on the next,
    // so that the target box has room for a whole web address.
    auto* target = new QHBoxLayout;
    target->addWidget(m_targetLabel);
    target->addWidget(edTarget, 1);
    target->addWidget(SpeedButton22);
    target->addWidget(button1);
    target->addWidget(button2);
    body()->addLayout(target);
    auto* options = new QHBoxLayout;
    options->addWidget(m_maxHopsLabel);
    options->addWidget(seMaxHops);
    options->addSpacing(12);
    options->addWidget(CheckBox1);
    options->addStretch();
    options->addWidget(SpeedButton13);
    body()->addLayout(options);

    lvTrace = new QTreeWidget(this);
    lvTrace->setObjectName(QStringLiteral("lvTrace"));
    lvTrace->setHeaderLabels({QStringLiteral("Hop"), QStringLiteral("IP"), QStringLiteral("Host"),
                              QStringLiteral("Note")});
    lvTrace->setRootIsDecorated(false);
    lvTrace->setItemsExpandable(false);
    lvTrace->setUniformRowHeights(true);
    lvTrace->setAllColumnsShowFocus(true);
    lvTrace->setSelectionBehavior(QAbstractItemView::SelectRows);
    lvTrace->setSelectionMode(QAbstractItemView::SingleSelection);
    lvTrace->header()->setSectionsMovable(false);
    lvTrace->header()->setDefaultAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    fitColumns();

    lbLog = new QListWidget(this);
    lbLog->setObjectName(QStringLiteral("lbLog"));
    lbLog->setSelectionMode(QAbstractItemView::SingleSelection);

    // The log under the hop list rather than beside it: side by side, at the window's size,
    // neither the hop list's columns nor the log's lines would fit.
    auto* results = new QSplitter(Qt::Vertical, this);
    results->setObjectName(QStringLiteral("traceSplitter"));
    results->setChildrenCollapsible(false);
    results->addWidget(lvTrace);
    results->addWidget(lbLog);
    results->setStretchFactor(0, 3);
    results->setStretchFactor(1, 1);
    body()->addWidget(results, 1);

    pop_tracert = AttachHandOffMenu(*this, m_host, QStringLiteral("pop_tracert"), edTarget);
    Pop_tracert_results =
        AttachHandOffMenu(*this, m_host, QStringLiteral("Pop_tracert_results"), lvTrace);

    connect(button1, &QToolButton::clicked, this, &TracePage::acGoExecute);
    connect(button2, &QToolButton::clicked, this, &TracePage::acStopExecute);
    connect(SpeedButton13, &QToolButton::clicked, this, &TracePage::SpeedButton13Click);
    connect(SpeedButton22, &QToolButton::clicked, this, &TracePage::SpeedButton22Click);
    edTarget->installEventFilter(this);
    // The running trace reads both anew for every hop.
    connect(seMaxHops, &QSpinBox::valueChanged, this,
            [this](int hops) { m_controls->setMaxHops(hops); });
    connect(CheckBox1, &QCheckBox::toggled, this,
            [this](bool on) { m_controls->setHostRevolve(on); });
    connect(m_runner, &JobRunnerBase::ended, this, &TracePage::traceEnded);

    HandOffPoints& points = declareHandOff();
    points.addBox(
        QStringLiteral("edTarget"), [this] { return edTarget->text(); },
        [this](const QString& text) { edTarget->setText(text); });
    // The "IP" text of the selected hop row; nothing without a selected row.
    points.addSource(QStringLiteral("lvTrace"), [this]() -> std::optional<QString> {
        const QList<QTreeWidgetItem*> selected = lvTrace->selectedItems();
        if (selected.isEmpty()) {
            return std::nullopt;
        }
        return selected.constFirst()->text(kIp);
    });
    points.addAction(QStringLiteral("acStopExecute"), [this] { acStopExecute(); });
    points.addAction(QStringLiteral("acGoExecute"), [this] { acGoExecute(); });
}

TracePage::~TracePage() {
    // Closing the window ends the trace at once: the wait is woken and nothing more is shown.
    m_runner->shutdown();
}

void TracePage::fitColumns() {
    const QFontMetrics metrics(lvTrace->font());
    const int margins =
        2 * (lvTrace->style()->pixelMetric(QStyle::PM_FocusFrameHMargin, nullptr, lvTrace) + 1) + 8;
    for (int column = 0; column < static_cast<int>(std::size(kColumnWidths)); ++column) {
        int width = std::max(kColumnWidths[column], lvTrace->header()->sectionSizeHint(column));
        for (const QString& text : UsualTexts(column)) {
            width = std::max(width, metrics.horizontalAdvance(text) + margins);
        }
        lvTrace->setColumnWidth(column, width);
    }
}

bool TracePage::eventFilter(QObject* watched, QEvent* event) {
    if (watched == edTarget && event->type() == QEvent::KeyPress &&
        edTargetKeyPress(static_cast<QKeyEvent*>(event)->key())) {
        return true;
    }
    return ToolPage::eventFilter(watched, event);
}

bool TracePage::edTargetKeyPress(int key) {
    if (key != Qt::Key_Return && key != Qt::Key_Enter) {
        return false;
    }
    acGoExecute();
    return true;
}

void TracePage::changeEvent(QEvent* event) {
    ToolPage::changeEvent(event);
    if (event->type() == QEvent::FontChange || event->type() == QEvent::StyleChange) {
        fitColumns();
    }
}

bool TracePage::tracing() const {
    return m_trace != 0;
}

std::vector<HopRow> TracePage::hopRows() const {
    std::vector<HopRow> rows;
    rows.reserve(static_cast<std::size_t>(lvTrace->topLevelItemCount()));
    for (int i = 0; i < lvTrace->topLevelItemCount(); ++i) {
        const QTreeWidgetItem* item = lvTrace->topLevelItem(i);
        rows.push_back({item->text(kHop).toInt(), SystemText(item->text(kIp)),
                        SystemText(item->text(kHost)), SystemText(item->text(kNote))});
    }
    return rows;
}

QStringList TracePage::logLines() const {
    QStringList lines;
    for (int i = 0; i < lbLog->count(); ++i) {
        lines.append(lbLog->item(i)->text());
    }
    return lines;
}

void TracePage::acGoExecute() {
    if (m_trace == 0) {
        startTrace();
        return;
    }
    // Never two traces at once: they would share the client, the hop list and the log. The
    // start waits: the running trace is asked to stop, the hop it waits for runs to its end
    // and its row is written, and the new trace starts when the old one has ended. A trace
    // still waiting for its target's look-up (which may never return) is abandoned instead,
    // and the new one starts at once. Only the latest start waits; it reads the target box
    // and the controls when it begins.
    m_startPending = true;
    button1->setEnabled(false);
    if (m_controls->resolving()) {
        m_runner->stop(m_trace);  // ends it now; traceEnded runs the waiting start
    } else {
        m_controls->requestStop();
    }
}

void TracePage::startTrace() {
    m_startPending = false;
    button1->setEnabled(false);
    m_host.setNavigationEnabled(false);
    // A trace of its own: a stop sent to the one before never reaches this one.
    m_controls = std::make_shared<trace::TraceControls>();
    m_controls->setMaxHops(seMaxHops->value());
    m_controls->setHostRevolve(CheckBox1->isChecked());
    m_trace = m_runner->start([client = &m_client, controls = m_controls,
                               request = trace::TraceRequest{SystemText(edTarget->text()), m_wait}](
                                  JobRunner<TraceEvent>::Context& job) {
        const std::function<void(TraceEvent)> emit = [&job](TraceEvent event) {
            job.push(std::move(event));
        };
        trace::TraceSteps run{*client, request, *controls, job.stopToken(), emit, {}};
        Result<trace::TraceEnd> end = trace::TraceEnd::Traced;
        if (auto resolved = acResolveExecute(run); !resolved || resolved->has_value()) {
            end = resolved ? Result<trace::TraceEnd>(**resolved)
                           : Result<trace::TraceEnd>(resolved.error());
        } else if (auto pinged = acPingExecute(run); !pinged || pinged->has_value()) {
            end = pinged ? Result<trace::TraceEnd>(**pinged)
                         : Result<trace::TraceEnd>(pinged.error());
        } else {
            end = acTraceExecute(run);
        }
        if (!end) {
            job.fail(end.error());
        }
    });
}

void TracePage::traceEnded(JobId id, const JobOutcome& outcome) {
    if (id != m_trace) {
        return;  // a trace abandoned for a newer one
    }
    m_trace = 0;
    button1->setEnabled(true);
    m_host.setNavigationEnabled(true);
    ShowJobFailure(m_host.prompts(), outcome);
    if (m_startPending) {
        startTrace();
    }
}

Result<std::optional<trace::TraceEnd>> TracePage::acResolveExecute(trace::TraceSteps& run) {
    return trace::ResolveStep(run);
}

Result<std::optional<trace::TraceEnd>> TracePage::acPingExecute(trace::TraceSteps& run) {
    return PingHost(run, run.address, run.controls.maxHops());
}

Result<trace::TraceEnd> TracePage::acTraceExecute(trace::TraceSteps& run) {
    return trace::TraceStep(run);
}

Result<std::optional<trace::TraceEnd>> TracePage::PingHost(trace::TraceSteps& run,
                                                           const std::string& address,
                                                           int maxHops) {
    return trace::PingHost(run, address, maxHops);
}

void TracePage::acStopExecute() {
    // The hop being waited for runs to its end and its row is written; the trace then ends.
    // A start waiting for the running trace is dropped.
    m_startPending = false;
    button1->setEnabled(true);
    if (m_trace == 0) {
        return;
    }
    if (m_controls->resolving()) {
        // A look-up may never return, and there is no hop to finish: the trace ends now.
        m_runner->stop(m_trace);
    } else {
        m_controls->requestStop();
    }
}

void TracePage::apply(std::span<TraceEvent> events) {
    for (TraceEvent& event : events) {
        switch (event.kind) {
            case TraceEvent::Kind::Log:
                for (const std::string& line : event.lines) {
                    lbLog->addItem(QString::fromLocal8Bit(line));
                }
                lbLog->scrollToBottom();
                break;
            case TraceEvent::Kind::ClearHops:
                lvTrace->clear();
                break;
            case TraceEvent::Kind::Hop:
                writeHop(event.row);
                break;
            case TraceEvent::Kind::HopAnswered:
                break;  // the row comes with its host name
        }
    }
}

void TracePage::writeHop(const HopRow& row) {
    const QString hop = QString::number(row.hop);
    QTreeWidgetItem* item = nullptr;
    for (int i = 0; i < lvTrace->topLevelItemCount() && item == nullptr; ++i) {
        if (lvTrace->topLevelItem(i)->text(kHop) == hop) {
            item = lvTrace->topLevelItem(i);
        }
    }
    const QString ip = QString::fromLocal8Bit(row.ip);
    const QString host = QString::fromLocal8Bit(row.host);
    const QString note = QString::fromLocal8Bit(row.note);
    if (item == nullptr) {
        // Filled before it joins the list, so the list never shows a row without its texts.
        item = new QTreeWidgetItem({hop, ip, host, note});
        lvTrace->addTopLevelItem(item);
    } else {
        item->setText(kIp, ip);
        item->setText(kHost, host);
        item->setText(kNote, note);
    }
    // Shown, not chosen: the hop list's menu acts on the row the user selects.
    lvTrace->scrollToItem(item);
}

void TracePage::SpeedButton22Click() {
    PressBrowserButton(m_host, objectName());
}

void TracePage::SpeedButton13Click() {
    const ExportKind kind = trace::TraceExportKinds().front();
    const QString path = m_host.prompts().saveFile(QString(), kind.saveFilter(), kind.fileType());
    if (path.isEmpty() || !SaveDialog2CanClose(path)) {
        return;
    }
    // The rows present when the file is written: during a trace, those shown so far.
    if (const auto error = WriteExportFile(path, trace::TraceExportLines(hopRows()))) {
        m_host.prompts().message(QStringLiteral("Quendrix"), *error, Prompts::Icon::Error);
    }
}

bool TracePage::SaveDialog2CanClose(const QString& path) {
    return ConfirmReplace(m_host.prompts(), path, HasExistedQuestion());
}

}  // namespace quendrix
