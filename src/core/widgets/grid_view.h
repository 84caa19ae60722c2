// The result grid: a table view over a ResultTableModel that selects whole rows and follows
// each written row, with the initial column widths a page gives. A column is never narrower
// than its header text, nor than the usual texts a page names for it, in the font in use.
#pragma once

#include <QHash>
#include <QStringList>
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
    // Texts the column usually shows (a status word, a typical address): it widens to fit.
    void fitColumn(int column, const QStringList& usualTexts);
    // The cell of the row the user last selected; nothing when that cell is empty.
    std::optional<QString> currentRowCell(int column) const;

  protected:
    void changeEvent(QEvent* event) override;

  private:
    // Widens every column that its header or its usual texts would not fit.
    void fitColumns();

    ResultTableModel* m_model;
    QList<int> m_widths;  // the starting widths
    QHash<int, QStringList> m_usualTexts;
};

}  // namespace quendrix
