// The one model behind every result grid: text cells under header texts, always ending with
// one empty row into which the next result is written. Rows written in quick succession are
// inserted into views together, once per event-loop turn, so 100,000 rows stay fluid.
#pragma once

#include <QAbstractTableModel>
#include <QStringList>

#include <vector>

namespace quendrix {

class ResultTableModel : public QAbstractTableModel {
    Q_OBJECT
  public:
    enum class RowStyle { Normal, Failed };
    // data() of this role is true for a row written as failed; the view paints it red.
    static constexpr int kFailedRole = Qt::UserRole + 1;

    explicit ResultTableModel(QStringList headers, QObject* parent = nullptr);

    // Result rows, without the trailing empty row.
    int resultCount() const { return static_cast<int>(m_rows.size()); }
    QString cell(int row, int column) const;
    const QStringList& headers() const { return m_headers; }
    int columns() const { return static_cast<int>(m_headers.size()); }

    // Back to the header and one empty row.
    void clearResults();
    // Writes cells into the trailing empty row and appends a new empty one; returns the
    // row written. Missing cells are empty.
    int writeRow(const QStringList& cells, RowStyle style = RowStyle::Normal);
    void setCell(int row, int column, const QString& text);
    // Inserts rows written since the last flush into attached views now (normally done
    // at the end of the event-loop turn).
    void flush();

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;

  Q_SIGNALS:
    // Rows up to lastRow are now in the views; views select and scroll to it.
    void rowsWritten(int lastRow);

  private:
    struct Row {
        QStringList cells;
        RowStyle style = RowStyle::Normal;
    };
    QStringList m_headers;
    std::vector<Row> m_rows;
    int m_shownRows = 0;  // rows the views know of (without the empty row)
    bool m_flushScheduled = false;
};

}  // namespace quendrix
