#include "tools/country/country_grid_model.h"

namespace quendrix::whereis {

CountryGridModel::CountryGridModel(QObject* parent) : ResultTableModel(headerTexts(), parent) {}

QStringList CountryGridModel::headerTexts() {
    return {QStringLiteral("Domain Name / IP Address"), QStringLiteral("Country")};
}

void CountryGridModel::setPendingEntry(const QString& entry) {
    m_pending = entry;
    const int extraRow = rowCount() - 1;
    Q_EMIT dataChanged(index(extraRow, 0), index(extraRow, 0), {Qt::DisplayRole});
}

int CountryGridModel::writeResult(const QString& entry, const QString& owner) {
    m_pending.clear();
    return writeRow({entry, owner});
}

void CountryGridModel::clearAll() {
    m_pending.clear();
    clearResults();
}

QVariant CountryGridModel::data(const QModelIndex& index, int role) const {
    // Rows written this turn reach the views at the end of it; until then the extra row the
    // views show is not yet the one the pending entry belongs in, so it stays empty.
    if (role == Qt::DisplayRole && index.isValid() && index.column() == 0 &&
        index.row() == rowCount() - 1 && index.row() == resultCount()) {
        return m_pending;
    }
    return ResultTableModel::data(index, role);
}

}  // namespace quendrix::whereis
