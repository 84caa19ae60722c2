// The eight export kinds of the batch ping grid and the lines of each, as pure functions
// over the grid's model, so that the page's dialog and the command line write the same bytes.
#pragma once

#include "core/export_kind.h"

#include <QDateTime>
#include <QList>
#include <QString>
#include <QStringList>

namespace quendrix {

class ResultTableModel;

enum class PingExport {
    RunningTxt,     // hosts with a reply among their attempts, one a line
    NonRunningTxt,  // hosts without any reply, and hosts that did not resolve
    RunningHtm,     // rows whose Status is not "X"
    RunningCsv,
    NonRunningHtm,  // rows whose Status is "X"
    NonRunningCsv,
    AllHtm,  // every row, "X" rows in red
    AllCsv,
};

// The kinds in the order the dialog lists them, top to bottom; each kind's id is its
// PingExport value.
const QList<ExportKind>& PingExportKinds();

// The CSV kinds' first line, and the CSV line of one result row (the command line streams
// rows with these as they are written).
QString PingCsvHeader();
QString PingCsvLine(const ResultTableModel& grid, int row);
// The same line added to the end of text.
void AppendPingCsvLine(QString& text, const ResultTableModel& grid, int row);

// The lines of the kind for the grid's result rows (the trailing empty row is never
// exported). The TXT kinds walk the rows in host groups of pingCount rows, the ping count
// of the run that wrote them; HTML pages are dated now.
QStringList PingExportLines(const ResultTableModel& grid, const ExportKind& kind, int pingCount,
                            const QDateTime& now);
QStringList PingExportLines(const ResultTableModel& grid, PingExport kind, int pingCount,
                            const QDateTime& now);

}  // namespace quendrix
