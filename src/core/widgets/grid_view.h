// The result grid: a table view over a ResultTableModel that selects whole rows and follows
// each written row, with the initial column widths a page gives.
#pragma once

#include <QTableView>

#include <optional>

namespace quendrix {

class ResultTableModel;

class GridView : public QTableView {
    Q_OBJECT
  public:
    GridView(const QString& objectName, ResultTableModel* model, const QList<int>& widths,
             bool showHeader, QWidget* parent = nullptr);
    ResultTableModel* resultModel() const { return m_model; }
    // The cell of the row the user last selected; nothing when that cell is empty.
    std::optional<QString> currentRowCell(int column) const;

  private:
    ResultTableModel* m_model;
};

}  // namespace quendrix
