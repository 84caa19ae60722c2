// Reads a result grid the way tests compare it: every result row as its cells joined by '|'
// ("Status|entry|Bytes|Time|Reason"), or one column of every result row. Rows a grid shows
// beyond its results (the country page's trailing row) are not read.
#pragma once

#include "core/result_table_model.h"

#include <QStringList>

namespace quendrix::test {

inline QStringList GridRows(const ResultTableModel& grid) {
    QStringList rows;
    for (int row = 0; row < grid.resultCount(); ++row) {
        QStringList cells;
        for (int column = 0; column < grid.columns(); ++column) {
            cells.append(grid.cell(row, column));
        }
        rows.append(cells.join(QLatin1Char('|')));
    }
    return rows;
}

inline QStringList GridColumn(const ResultTableModel& grid, int column) {
    QStringList cells;
    for (int row = 0; row < grid.resultCount(); ++row) {
        cells.append(grid.cell(row, column));
    }
    return cells;
}

}  // namespace quendrix::test
