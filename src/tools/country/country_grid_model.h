// The Country Lookup result grid: the shared result model plus the entry that the batch is
// looking up, shown in the grid's extra last row until its owner is known. That row is not a
// result: cell() and resultCount() (and so every export) never see it.
#pragma once

#include "core/result_table_model.h"

namespace quendrix::whereis {

class CountryGridModel : public ResultTableModel {
    Q_OBJECT
  public:
    explicit CountryGridModel(QObject* parent = nullptr);

    // The two header texts of the grid.
    static QStringList headerTexts();

    // The entry shown in column 0 of the extra last row; empty for none.
    QString pendingEntry() const { return m_pending; }
    void setPendingEntry(const QString& entry);
    // A finished row: written into the extra row, which is empty again afterwards.
    int writeResult(const QString& entry, const QString& owner);
    // Back to the header and one empty extra row.
    void clearAll();

    QVariant data(const QModelIndex& index, int role) const override;

  private:
    QString m_pending;
};

}  // namespace quendrix::whereis
