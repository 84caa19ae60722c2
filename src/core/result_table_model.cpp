#include "core/result_table_model.h"

#include <QTimer>

namespace quendrix {

ResultTableModel::ResultTableModel(QStringList headers, QObject* parent)
    : QAbstractTableModel(parent), m_headers(std::move(headers)) {}

QString ResultTableModel::cell(int row, int column) const {
    if (row < 0 || row >= resultCount() || column < 0) {
        return {};
    }
    const QStringList& cells = m_rows[static_cast<size_t>(row)].cells;
    return column < cells.size() ? cells.at(column) : QString();
}

void ResultTableModel::clearResults() {
    beginResetModel();
    m_rows.clear();
    m_shownRows = 0;
    endResetModel();
}

int ResultTableModel::writeRow(const QStringList& cells, RowStyle style) {
    m_rows.push_back({cells, style});
    if (!m_flushScheduled) {
        m_flushScheduled = true;
        QTimer::singleShot(0, this, &ResultTableModel::flush);
    }
    return resultCount() - 1;
}

void ResultTableModel::setCell(int row, int column, const QString& text) {
    if (row < 0 || row >= resultCount() || column < 0 || column >= columns()) {
        return;
    }
    QStringList& cells = m_rows[static_cast<size_t>(row)].cells;
    while (cells.size() <= column) {
        cells.append(QString());
    }
    cells[column] = text;
    if (row < m_shownRows) {
        Q_EMIT dataChanged(index(row, column), index(row, column));
    }
}

void ResultTableModel::flush() {
    m_flushScheduled = false;
    const int total = resultCount();
    if (total <= m_shownRows) {
        return;
    }
    // The new rows take the place of the empty row, which moves to the end again.
    beginInsertRows({}, m_shownRows, total - 1);
    m_shownRows = total;
    endInsertRows();
    Q_EMIT rowsWritten(total - 1);
}

int ResultTableModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : m_shownRows + 1;
}

int ResultTableModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : columns();
}

QVariant ResultTableModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid() || index.row() >= m_shownRows) {
        return {};
    }
    if (role == Qt::DisplayRole) {
        return cell(index.row(), index.column());
    }
    if (role == kFailedRole) {
        return m_rows[static_cast<size_t>(index.row())].style == RowStyle::Failed;
    }
    return {};
}

QVariant ResultTableModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (role != Qt::DisplayRole) {
        return {};
    }
    if (orientation == Qt::Horizontal) {
        return section < m_headers.size() ? m_headers.at(section) : QString();
    }
    return QString();
}

}  // namespace quendrix
