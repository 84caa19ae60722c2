// The lines of the four country export files, produced from the result grid's rows. The page's
// export dialog and the command line both write exactly these lines.
#pragma once

#include <QDateTime>
#include <QStringList>

namespace quendrix {
class ResultTableModel;
}

namespace quendrix::whereis {

// In the order the export dialog offers them.
enum class CountryExportKind { SuccessfulHtm, SuccessfulCsv, AllHtm, AllCsv };

// The dialog's option for each kind: radio button name and caption (some end in a blank).
struct CountryExportOption {
    QString radioName;
    QString caption;
    QString fileType;  // "htm" or "csv"
};
QList<CountryExportOption> CountryExportOptions();

// A result row is successful when its owner cell is not exactly "X".
bool IsSuccessfulOwner(const QString& owner);

// Every line of the file (without line ends) for the grid's result rows; the HTML creation
// line is dated now.
QStringList CountryExportLines(const ResultTableModel& grid, CountryExportKind kind,
                               const QDateTime& now);

// The CSV header line and one row line, for writers that stream rows as they come.
QString CountryCsvHeader();
QString CountryCsvLine(const QString& entry, const QString& owner);

}  // namespace quendrix::whereis
