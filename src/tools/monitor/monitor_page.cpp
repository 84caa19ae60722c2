#include "tools/monitor/monitor_page.h"

#include "core/page_host.h"
#include "core/prompts.h"
#include "core/result_table_model.h"
#include "core/widgets/export_dialog.h"
#include "core/widgets/grid_view.h"
#include "core/widgets/hand_off_menu.h"
#include "core/widgets/page_controls.h"
#include "tools/monitor/monitor_export.h"
#include "tools/monitor/tcp_conn_status.h"

#include <QCheckBox>
#include <QFontMetrics>
#include <QFrame>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPainter>
#include <QScrollArea>
#include <QScrollBar>
#include <QStyle>
#include <QTableView>
#include <QToolButton>

#include <algorithm>

namespace quendrix {
namespace {

const QStringList kTitles = {
    QStringLiteral("Date"),      QStringLiteral("Time"),
    QStringLiteral("Local IP"),  QStringLiteral("Local Port"),
    QStringLiteral("Remote IP"), QStringLiteral("Rem.Service"),
    QStringLiteral("Status"),    QStringLiteral("Remote Host Name"),
};
const QList<int> kWidths = {62, 60, 85, 50, 85, 60, 60, 2000};
constexpr int kRemoteAddressColumn = 4;  // "Remote IP"

QString confirmText(const QString& firstLine) {
    return firstLine + QLatin1Char('\r') + QStringLiteral("be no response! Continue or not?");
}

// The header line above the grid. Its text stays exactly as it is; each title is painted
// where its column's cell texts begin, since the blanks of the text cannot know the widths
// the grid's columns need in the font in use.
class ColumnTitles : public QLabel {
  public:
    ColumnTitles(QTableView* grid, QWidget* parent) : QLabel(parent), m_grid(grid) {
        setObjectName(QStringLiteral("StaticText1"));
        setFrameStyle(QFrame::Panel | QFrame::Sunken);
    }

    QSize sizeHint() const override {
        // As wide as the grid's columns, so both scroll alike.
        return {std::max(QLabel::sizeHint().width(),
                         cellsLeft() + m_grid->horizontalHeader()->length() + 2 * frameWidth()),
                QLabel::sizeHint().height()};
    }
    QSize minimumSizeHint() const override { return sizeHint(); }

  protected:
    void paintEvent(QPaintEvent* event) override {
        QFrame::paintEvent(event);  // the sunken frame only
        QPainter painter(this);
        const QRect area = contentsRect();
        const QHeaderView* columns = m_grid->horizontalHeader();
        const int margin = style()->pixelMetric(QStyle::PM_FocusFrameHMargin, nullptr, m_grid) + 1;
        for (int column = 0; column < kTitles.size(); ++column) {
            const QRect box(cellsLeft() + columns->sectionPosition(column) + margin, area.top(),
                            columns->sectionSize(column) - 2 * margin, area.height());
            style()->drawItemText(&painter, box, Qt::AlignLeft | Qt::AlignVCenter, palette(),
                                  isEnabled(), kTitles[column], foregroundRole());
        }
    }

  private:
    // Where the grid's first column begins, from the grid's left edge.
    int cellsLeft() const { return m_grid->viewport()->geometry().left(); }

    QTableView* m_grid;
};

}  // namespace

const QString MonitorPage::kColumnTitles = QStringLiteral(
    "       Date           Time              Local IP          Local Port       Remote IP    "
    "   Rem.Service     Status           Remote Host Name");

MonitorPage::MonitorPage(PageHost& host, QWidget* parent,
                         std::shared_ptr<monitor::ConnectionSource> source)
    : ToolPage(QStringLiteral("connection_monitor_tab"), QStringLiteral("Connection Monitor"),
               parent),
      m_host(host) {
    if (!source) {
        source = std::make_shared<monitor::SystemConnectionSource>();
    }

    stStart = MakeLabel(QStringLiteral("stStart"), QString(), this);
    cbShowListeners = MakeCheckBox(QStringLiteral("cbShowListeners"),
                                   QStringLiteral("Show Listening Ports"), this);
    CheckBox2 = MakeCheckBox(QStringLiteral("CheckBox2"), QStringLiteral("Host Revolve"), this);
    sbClear = MakeSpeedButton(QStringLiteral("sbClear"), QStringLiteral("Clear"), QString(), this);
    SpeedButton14 = MakeSpeedButton(QStringLiteral("SpeedButton14"), QStringLiteral("Export"),
                                    QStringLiteral("Export the result to a file"), this);
    body()->addWidget(stStart);
    auto* controls = new QHBoxLayout;
    controls->addWidget(cbShowListeners);
    controls->addWidget(CheckBox2);
    controls->addStretch();
    controls->addWidget(sbClear);
    controls->addWidget(SpeedButton14);
    body()->addLayout(controls);

    m_history = new ResultTableModel(kTitles, this);
    sgConnHist = new GridView(QStringLiteral("sgConnHist"), m_history, kWidths, false, this);
    // 18 pixels a row, or more where the font needs it.
    sgConnHist->verticalHeader()->setDefaultSectionSize(
        std::max(18, sgConnHist->fontMetrics().height() + 4));
    sgConnHist->setHorizontalScrollMode(QAbstractItemView::ScrollPerPixel);

    // The header line scrolls sideways with the grid, so each title stays over its column
    // however narrow the window: the line sits on a strip as wide as the grid's columns, the
    // strip in a view the grid scrolls.
    auto* strip = new QWidget(this);
    auto* stripLayout = new QHBoxLayout(strip);
    stripLayout->setContentsMargins(0, 0, 0, 0);
    auto* header = new ColumnTitles(sgConnHist, strip);
    header->setText(kColumnTitles);
    StaticText1 = header;
    stripLayout->addWidget(StaticText1);
    auto* titles = new QScrollArea(this);
    titles->setFrameShape(QFrame::NoFrame);
    titles->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    titles->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    titles->setWidget(strip);
    titles->setFixedHeight(strip->sizeHint().height());
    connect(sgConnHist->horizontalScrollBar(), &QScrollBar::valueChanged,
            titles->horizontalScrollBar(), &QScrollBar::setValue);
    // Whenever a column changes width (a font or style change refits them), the titles follow.
    connect(sgConnHist->horizontalHeader(), &QHeaderView::sectionResized, strip, [strip, header] {
        header->updateGeometry();
        strip->resize(strip->sizeHint());
        header->update();
    });
    body()->addWidget(titles);
    body()->addWidget(sgConnHist, 1);
    sizeColumns();

    m_export = new ExportDialog(
        QStringLiteral("Tmonitor_export"), monitor::MonitorExportKinds(), m_host.prompts(),
        [this](const ExportKind& kind) {
            return monitor::MonitorExportLines(*m_history,
                                               static_cast<monitor::MonitorExportId>(kind.id));
        },
        this);

    // A child of the page, so its `Timer` is found among the page's objects; the page still
    // ends it first (its destructor).
    m_monitor = std::make_unique<monitor::ConnectionMonitor>(
        std::move(source), [this](std::span<monitor::HistoryRow> rows) { applyRows(rows); }, this);
    connect(m_monitor.get(), &monitor::ConnectionMonitor::tickEnded, this, &MonitorPage::tickEnded);

    connect(sbClear, &QToolButton::clicked, this, &MonitorPage::sbClearClick);
    connect(SpeedButton14, &QToolButton::clicked, this, &MonitorPage::SpeedButton14Click);
    // On the state change, however it comes: a click, a key, a screen reader's Toggle.
    connect(cbShowListeners, &QCheckBox::toggled, this, &MonitorPage::cbShowListenersClick);
    connect(CheckBox2, &QCheckBox::toggled, this, &MonitorPage::CheckBox2Click);

    // The "Remote IP" cell of the row last selected, compacted to dotted text; nothing when
    // that cell is empty.
    declareHandOff().addSource(QStringLiteral("sgConnHist"), [this]() -> std::optional<QString> {
        const std::optional<QString> padded = sgConnHist->currentRowCell(kRemoteAddressColumn);
        if (!padded) {
            return std::nullopt;
        }
        return monitor::compactAddress(*padded);
    });
    AttachHandOffMenu(*this, m_host, QStringLiteral("pop_monitor"), sgConnHist);

    // The first clearing starts the monitor.
    sbClearClick();
}

MonitorPage::~MonitorPage() {
    // The ticks hand their rows to this page: end them before any control goes.
    m_monitor.reset();
}

void MonitorPage::sizeColumns() {
    // Each column as wide as its usual texts and its title need in the font in use.
    const QString address = QStringLiteral("255.255.255.255");
    const QDateTime late(QDate(2000, 12, 28), QTime(23, 59, 59));
    const QList<QStringList> usual = {
        {monitor::HistoryDateText(late)},
        {monitor::HistoryTimeText(late)},
        {address},
        {QStringLiteral("NBDGRAM"), QStringLiteral("65535")},
        {address},
        {QStringLiteral("NBDGRAM"), QStringLiteral("65535")},
        {QStringLiteral("established")},
        {},
    };
    for (int column = 0; column < kTitles.size(); ++column) {
        sgConnHist->fitColumn(column, usual[column] + QStringList{kTitles[column]});
    }
}

void MonitorPage::applyRows(std::span<monitor::HistoryRow> rows) {
    for (const monitor::HistoryRow& row : rows) {
        m_history->writeRow(monitor::HistoryCells(row));
    }
}

void MonitorPage::tickEnded(bool full) {
    if (!full || m_warning) {
        return;
    }
    // Ticks go on while the box is open; one box at a time.
    m_warning = true;
    const bool ok = m_host.prompts().message(
        QString(),
        QStringLiteral(" There are more than ") +
            QString::number(monitor::ConnectionMonitor::kHistoryLimit) +
            QStringLiteral(" items have been recorded!") + QLatin1Char('\r') +
            QStringLiteral(" To avoid resource problems, the records will be "
                           "cleared"),
        Prompts::Icon::Warning);
    m_warning = false;
    // Closed without OK: the history stays, and the next tick warns again.
    if (ok) {
        sbClearClick();
    }
}

void MonitorPage::sbClearClick() {
    m_monitor->clear();
    m_history->clearResults();
    stStart->setText(monitor::HistorySinceText(QDateTime::currentDateTime()));
}

bool MonitorPage::confirmBox(QCheckBox* box, const QString& firstLine) {
    if (!box->isChecked()) {
        return false;
    }
    if (m_host.prompts().askYesCancel(QStringLiteral("Confirm"), confirmText(firstLine)) !=
        Prompts::Answer::Yes) {
        // Its own state change comes back here unchecked, and asks nothing.
        box->setChecked(false);
        return false;
    }
    // Still checked: while the question was open, the box may have been unticked again.
    return box->isChecked();
}

void MonitorPage::cbShowListenersClick() {
    m_monitor->setShowListeners(confirmBox(
        cbShowListeners, QStringLiteral("Show Listening Ports may cause this application to")));
}

void MonitorPage::CheckBox2Click() {
    m_monitor->setResolveHosts(
        confirmBox(CheckBox2, QStringLiteral("Host Revolve may cause this application to")));
}

void MonitorPage::SpeedButton14Click() {
    m_export->showModal();
}

}  // namespace quendrix
