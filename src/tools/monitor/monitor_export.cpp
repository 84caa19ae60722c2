// The connection history's export lines.
#include "tools/monitor/monitor_export.h"

#include "core/result_table_model.h"

namespace quendrix::monitor {
namespace {

constexpr int kCells = 8;

QString cellAt(const QStringList& cells, int index) {
    return index < cells.size() ? cells.at(index) : QString();
}

}  // namespace

const QList<ExportKind>& MonitorExportKinds() {
    static const QList<ExportKind> kinds = {
        {static_cast<int>(MonitorExportId::Txt), QStringLiteral("RadioButton3"),
         QStringLiteral("The TCP Connection History (*.txt)"), ExportFormat::Txt, ExportRows::All,
         QStringLiteral("txt"), -1, QStringLiteral("SaveDialog1")},
        {static_cast<int>(MonitorExportId::Csv), QStringLiteral("RadioButton1"),
         QStringLiteral("The TCP Connection History (*.csv)"), ExportFormat::Csv, ExportRows::All,
         QStringLiteral("csv"), -1, QStringLiteral("SaveDialog2")},
    };
    return kinds;
}

QString MonitorTxtLine(const QStringList& cells) {
    // Three blanks after the date, four between the others; an empty host name leaves the
    // line ending in four blanks.
    QString line = cellAt(cells, 0) + QStringLiteral("   ") + cellAt(cells, 1);
    for (int index = 2; index < kCells; ++index) {
        line += QStringLiteral("    ") + cellAt(cells, index);
    }
    return line;
}

QString MonitorCsvLine(const QStringList& cells) {
    QString line = cellAt(cells, 0);
    for (int index = 1; index < kCells; ++index) {
        line += QLatin1Char(',') + cellAt(cells, index);
    }
    return line;
}

QStringList MonitorExportLines(const QList<QStringList>& rows, MonitorExportId kind) {
    QStringList lines;
    lines.reserve(rows.size() + 1);
    if (kind == MonitorExportId::Txt) {
        lines.append(QString());
    }
    for (const QStringList& cells : rows) {
        lines.append(kind == MonitorExportId::Txt ? MonitorTxtLine(cells) : MonitorCsvLine(cells));
    }
    return lines;
}

QStringList MonitorExportLines(const ResultTableModel& grid, MonitorExportId kind) {
    QList<QStringList> rows;
    rows.reserve(grid.resultCount());
    for (int row = 0; row < grid.resultCount(); ++row) {
        QStringList cells;
        cells.reserve(kCells);
        for (int column = 0; column < kCells; ++column) {
            cells.append(grid.cell(row, column));
        }
        rows.append(std::move(cells));
    }
    return MonitorExportLines(rows, kind);
}

}  // namespace quendrix::monitor
