// The connection history's two export files: TXT (an empty first line, then one line per row
// with the cells set apart by blanks) and CSV (the eight cells joined by commas, no header).
// Cells are written as the grid holds them: nothing is escaped, quoted or trimmed. The page's
// export dialog and the command line write exactly these lines.
#pragma once

#include "core/export_kind.h"

#include <QList>
#include <QString>
#include <QStringList>

namespace quendrix {
class ResultTableModel;
}

namespace quendrix::monitor {

// In the dialog's order, top to bottom.
enum class MonitorExportId { Txt, Csv };

const QList<ExportKind>& MonitorExportKinds();

// One history row (its eight cells) as a line of each format.
QString MonitorTxtLine(const QStringList& cells);
QString MonitorCsvLine(const QStringList& cells);

// Every line of the file (without line ends) for the history rows, each its eight cells.
QStringList MonitorExportLines(const QList<QStringList>& rows, MonitorExportId kind);
// The same for the grid's history rows.
QStringList MonitorExportLines(const ResultTableModel& grid, MonitorExportId kind);

}  // namespace quendrix::monitor
