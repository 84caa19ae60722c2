#include "tools/whois/whois_reply_view.h"

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QFontDatabase>
#include <QStyledItemDelegate>

#include <algorithm>

namespace quendrix::whois {
namespace {

constexpr int kTabWidth = 8;

// Every row has the size of the widest line: the view asks one row only, and never makes
// the long line's text to measure it.
class UniformLineDelegate : public QStyledItemDelegate {
  public:
    UniformLineDelegate(const WhoisReplyModel& model, QObject* parent)
        : QStyledItemDelegate(parent), m_model(model) {}

    QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex&) const override {
        const QFontMetrics metrics(option.font);
        const int characters = static_cast<int>(std::max<qsizetype>(m_model.widestShown(), 1));
        return {metrics.horizontalAdvance(QLatin1Char('M')) * characters + 8, metrics.height() + 2};
    }

  private:
    const WhoisReplyModel& m_model;
};

}  // namespace

QString ShownLine(const QByteArray& line) {
    qsizetype size = line.size();
    if (size > 0 && line.at(size - 1) == '\r') {
        --size;
    }
    QString shown;
    shown.reserve(std::min(size, kShownLineLimit) + 1);
    for (qsizetype i = 0; i < size; ++i) {
        if (shown.size() >= kShownLineLimit) {
            shown += QChar(0x2026);
            break;
        }
        const auto byte = static_cast<unsigned char>(line.at(i));
        if (byte == '\t') {
            shown += QString(kTabWidth - shown.size() % kTabWidth, QLatin1Char(' '));
        } else if (byte < 0x20) {
            shown += QChar(static_cast<char16_t>(0x2400 + byte));
        } else if (byte == 0x7F) {
            shown += QChar(0x2421);
        } else if (byte >= 0x80 && byte < 0xA0) {
            shown += QChar(0xFFFD);  // the C1 controls; NEL would break the line
        } else {
            shown += QChar(static_cast<char16_t>(byte));
        }
    }
    return shown;
}

void WhoisReplyModel::setLines(QByteArrayList lines) {
    beginResetModel();
    m_lines = std::move(lines);
    m_widestShown = 0;
    for (const QByteArray& line : m_lines) {
        // Tabs may widen a line up to eightfold; the bound keeps the measure cheap.
        const qsizetype tabs = std::min<qsizetype>(line.count('\t'), kShownLineLimit);
        m_widestShown = std::max(
            m_widestShown, std::min(line.size() + tabs * (kTabWidth - 1), kShownLineLimit + 1));
    }
    endResetModel();
}

int WhoisReplyModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : static_cast<int>(m_lines.size());
}

QVariant WhoisReplyModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid() || index.row() >= m_lines.size()) {
        return {};
    }
    const QByteArray& line = m_lines.at(index.row());
    switch (role) {
        case Qt::DisplayRole:
            return ShownLine(line);
        case kStoredTextRole:
            return QString::fromLatin1(line);
        default:
            return {};
    }
}

WhoisReplyView::WhoisReplyView(QWidget* parent)
    : QListView(parent), m_model(new WhoisReplyModel(this)) {
    setModel(m_model);
    setItemDelegate(new UniformLineDelegate(*m_model, this));
    setUniformItemSizes(true);
    setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setSelectionMode(QAbstractItemView::ExtendedSelection);
    setTextElideMode(Qt::ElideNone);
    setWordWrap(false);
    setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    setHorizontalScrollMode(QAbstractItemView::ScrollPerPixel);

    auto* copyAction = new QAction(QStringLiteral("&Copy"), this);
    copyAction->setShortcut(QKeySequence::Copy);
    copyAction->setShortcutContext(Qt::WidgetShortcut);
    connect(copyAction, &QAction::triggered, this, &WhoisReplyView::copy);
    auto* selectAllAction = new QAction(QStringLiteral("Select &All"), this);
    selectAllAction->setShortcut(QKeySequence::SelectAll);
    selectAllAction->setShortcutContext(Qt::WidgetShortcut);
    connect(selectAllAction, &QAction::triggered, this, &QAbstractItemView::selectAll);
    addAction(copyAction);
    addAction(selectAllAction);
    setContextMenuPolicy(Qt::ActionsContextMenu);
}

void WhoisReplyView::setLines(QByteArrayList lines) {
    m_model->setLines(std::move(lines));
}

QString WhoisReplyView::selectedText() const {
    QModelIndexList rows = selectionModel()->selectedRows();
    std::sort(rows.begin(), rows.end(),
              [](const QModelIndex& a, const QModelIndex& b) { return a.row() < b.row(); });
    QStringList texts;
    texts.reserve(rows.size());
    for (const QModelIndex& row : rows) {
        texts.append(QString::fromLatin1(m_model->lines().at(row.row())));
    }
    return texts.join(QLatin1Char('\n'));
}

void WhoisReplyView::copy() const {
    if (const QString text = selectedText(); !text.isEmpty() || selectionModel()->hasSelection()) {
        QApplication::clipboard()->setText(text);
    }
}

}  // namespace quendrix::whois
