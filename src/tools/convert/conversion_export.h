// The six export kinds of the batch conversion grid and the lines of each, as pure functions
// over the grid's model, so that the page's dialog and the command line write the same bytes.
#pragma once

#include "core/export_kind.h"

#include <QDateTime>
#include <QList>
#include <QString>
#include <QStringList>

namespace quendrix {

class ResultTableModel;

enum class ConversionExport {
    RunningIpsTxt,    // the addresses of the rows with an answer
    RunningNamesTxt,  // the names of the rows with an answer
    RunningHtm,
    RunningCsv,
    AllHtm,
    AllCsv,
};

// The kinds in the order the dialog lists them, top to bottom; each kind's id is its
// ConversionExport value.
const QList<ExportKind>& ConversionExportKinds();

// A row has an answer when neither of its cells is exactly "Unknown".
bool IsRunningRow(const ResultTableModel& grid, int row);

// The lines of the kind for the grid's result rows (the trailing empty row is never
// exported); HTML pages are dated now.
QStringList ConversionExportLines(const ResultTableModel& grid, const ExportKind& kind,
                                  const QDateTime& now);
QStringList ConversionExportLines(const ResultTableModel& grid, ConversionExport kind,
                                  const QDateTime& now);

}  // namespace quendrix
