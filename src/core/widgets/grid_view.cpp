#include "core/widgets/grid_view.h"

#include "core/result_table_model.h"

#include <QEvent>
#include <QFontMetrics>
#include <QHeaderView>
#include <QStyle>
#include <QStyledItemDelegate>

#include <algorithm>

namespace quendrix {
namespace {

// Failed rows in a red that reads on light and dark palettes alike.
class FailedRowDelegate : public QStyledItemDelegate {
  public:
    using QStyledItemDelegate::QStyledItemDelegate;

  protected:
    void initStyleOption(QStyleOptionViewItem* option, const QModelIndex& index) const override {
        QStyledItemDelegate::initStyleOption(option, index);
        if (index.data(ResultTableModel::kFailedRole).toBool()) {
            option->palette.setColor(QPalette::Text, QColor(0xE0, 0x30, 0x30));
            option->palette.setColor(QPalette::HighlightedText, QColor(0xFF, 0xB0, 0xB0));
        }
    }
};

}  // namespace

GridView::GridView(const QString& objectName, ResultTableModel* model, const QList<int>& widths,
                   bool showHeader, QWidget* parent)
    : QTableView(parent), m_model(model), m_widths(widths) {
    setObjectName(objectName);
    setModel(model);
    setItemDelegate(new FailedRowDelegate(this));
    setSelectionBehavior(QAbstractItemView::SelectRows);
    setSelectionMode(QAbstractItemView::SingleSelection);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setWordWrap(false);
    setAlternatingRowColors(false);
    verticalHeader()->hide();
    // Fixed row heights keep inserting and scrolling cheap with 100,000 rows.
    verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    verticalHeader()->setDefaultSectionSize(18);
    horizontalHeader()->setVisible(showHeader);
    horizontalHeader()->setHighlightSections(false);
    // The last column is very wide; a centred header text would sit out of sight.
    horizontalHeader()->setDefaultAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    fitColumns();
    connect(model, &ResultTableModel::rowsWritten, this, [this](int row) {
        selectRow(row);
        // Down to the row, but sideways only where the user left the grid: a column scrolled
        // into view (the monitor's host names) stays in view as rows come.
        scrollTo(m_model->index(row, std::max(0, columnAt(0))));
    });
}

void GridView::fitColumn(int column, const QStringList& usualTexts) {
    m_usualTexts[column] = usualTexts;
    fitColumns();
}

void GridView::fitColumns() {
    const QFontMetrics metrics(font());
    // The cell's text margins: the focus frame's on either side, and a little air.
    const int margins =
        2 * (style()->pixelMetric(QStyle::PM_FocusFrameHMargin, nullptr, this) + 1) + 8;
    for (int column = 0; column < m_widths.size(); ++column) {
        int width = m_widths.at(column);
        if (!horizontalHeader()->isHidden()) {
            width = std::max(width, horizontalHeader()->sectionSizeHint(column));
        }
        for (const QString& text : m_usualTexts.value(column)) {
            width = std::max(width, metrics.horizontalAdvance(text) + margins);
        }
        setColumnWidth(column, width);
    }
}

void GridView::changeEvent(QEvent* event) {
    QTableView::changeEvent(event);
    if (event->type() == QEvent::FontChange || event->type() == QEvent::StyleChange) {
        fitColumns();
    }
}

std::optional<QString> GridView::currentRowCell(int column) const {
    const QModelIndex current = currentIndex();
    if (!current.isValid()) {
        return std::nullopt;
    }
    const QString text = m_model->index(current.row(), column).data().toString();
    if (text.isEmpty()) {
        return std::nullopt;
    }
    return text;
}

}  // namespace quendrix
