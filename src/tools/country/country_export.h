// The lines of the four country export files, produced from the result grid's rows. The page's
// export dialog and the command line both write exactly these lines.
#pragma once

#include "core/export_kind.h"

#include <QDateTime>
#include <QStringList>

namespace quendrix {
class ResultTableModel;
}

namespace quendrix::whereis {

// In the order the export dialog offers them.
enum class CountryExportKind { SuccessfulHtm, SuccessfulCsv, AllHtm, AllCsv };

// The kinds as the dialog, the page and the command line know them; each kind's id is its
// CountryExportKind value.
const QList<ExportKind>& CountryExportKinds();

// A result row is successful when its owner cell is not exactly "X".
bool IsSuccessfulOwner(const QString& owner);

// Every line of the file (without line ends) for the grid's result rows; the HTML creation
// line is dated now.
QStringList CountryExportLines(const ResultTableModel& grid, const ExportKind& kind,
                               const QDateTime& now);
QStringList CountryExportLines(const ResultTableModel& grid, CountryExportKind kind,
                               const QDateTime& now);

// The CSV header line and one row line, for writers that stream rows as they come.
QString CountryCsvHeader();
QString CountryCsvLine(const QString& entry, const QString& owner);

}  // namespace quendrix::whereis
