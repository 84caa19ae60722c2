#include "tools/ping/ping_export.h"

#include "core/export_writer.h"
#include "core/result_table_model.h"
#include "tools/ping/ping_run.h"

namespace quendrix {
namespace {

constexpr int kStatus = 0;
constexpr int kHost = 1;
constexpr int kReason = 4;
constexpr int kColumns = 5;

bool isRunning(const ResultTableModel& grid, int row) {
    return grid.cell(row, kStatus) == kPingRunning;
}

bool isUnknownHost(const ResultTableModel& grid, int row) {
    return grid.cell(row, kReason) == kPingUnknownHost;
}

// True when one of the rows from `row` on, `count` of them, has replied. Rows past the end
// of the results have no status.
bool anyRunning(const ResultTableModel& grid, int row, int count) {
    for (int i = row; i < row + count && i < grid.resultCount(); ++i) {
        if (isRunning(grid, i)) {
            return true;
        }
    }
    return false;
}

// The hosts walk: one group of pingCount rows per host, except that an "Unknown host" row
// stands alone (its entry's other attempts were never made).
QStringList hostLines(const ResultTableModel& grid, bool running, int pingCount) {
    const int group = pingCount > 0 ? pingCount : 1;
    QStringList lines;
    int row = 0;
    while (row < grid.resultCount()) {
        if (isUnknownHost(grid, row)) {
            if (!running) {
                lines.append(grid.cell(row, kHost));
            }
            ++row;
            continue;
        }
        if (running) {
            if (isRunning(grid, row) || (group > 1 && anyRunning(grid, row, group))) {
                lines.append(grid.cell(row, kHost));
            }
        } else if (grid.cell(row, kStatus) == kPingFailedStatus &&
                   (group == 1 || !anyRunning(grid, row, group))) {
            lines.append(grid.cell(row, kHost));
        }
        row += group;
    }
    return lines;
}

bool selected(const ResultTableModel& grid, int row, ExportRows rows) {
    const bool failed = grid.cell(row, kStatus) == kPingFailedStatus;
    switch (rows) {
        case ExportRows::Answered:
            return !failed;
        case ExportRows::Unanswered:
            return failed;
        case ExportRows::All:
            return true;
    }
    return true;
}

QStringList csvLines(const ResultTableModel& grid, ExportRows rows) {
    QStringList lines{PingCsvHeader()};
    for (int row = 0; row < grid.resultCount(); ++row) {
        if (selected(grid, row, rows)) {
            lines.append(PingCsvLine(grid, row));
        }
    }
    return lines;
}

QStringList htmlLines(const ResultTableModel& grid, ExportRows rows, const QDateTime& now) {
    HtmlFrame frame;
    frame.title = QStringLiteral("Corvanel");
    frame.centreOuterTable = true;
    switch (rows) {
        case ExportRows::Answered:
            frame.heading = QStringLiteral("All Records of the Running IP Addresses");
            break;
        case ExportRows::Unanswered:
            frame.heading = QStringLiteral("All Records of Non-Running IP Addresses");
            break;
        case ExportRows::All:
            frame.heading = QStringLiteral("All Records of all the IP Addresses");
            break;
    }
    frame.tableWidth = QStringLiteral("93%");
    QStringList lines = HtmlPageHead(frame);
    lines.append({
        QStringLiteral("<tr bgcolor=\"#6699CC\">"),
        QStringLiteral("<td height=\"35\" width=\"5%\"><div align=\"center\"><b></b></div></td>"),
        QStringLiteral(
            "<td height=\"35\" width=\"12%\"><div align=\"center\"><b>Status</b></div></td>"),
        QStringLiteral("<td height=\"29\" width=\"39%\"><div align=\"center\"><b>IP or "
                       "Domain/Host Name</b></div></td>"),
        QStringLiteral(
            "<td height=\"29\" width=\"9%\"><div align=\"center\"><b>Bytes</b></div></td>"),
        QStringLiteral(
            "<td height=\"29\" width=\"16%\"><div align=\"center\"><b>Time(ms)</b></div></td>"),
        QStringLiteral("<td height=\"29\" width=\"19%\"><div align=\"center\"><b>Failed "
                       "Reason</b></div></td>"),
        QStringLiteral("</tr>"),
    });
    static const QString widths[] = {QStringLiteral("12%"), QStringLiteral("39%"),
                                     QStringLiteral("9%"), QStringLiteral("16%"),
                                     QStringLiteral("19%")};
    int exported = 0;
    for (int row = 0; row < grid.resultCount(); ++row) {
        if (!selected(grid, row, rows)) {
            continue;
        }
        // Only the all-rows page marks the failed rows.
        const bool red = rows == ExportRows::All && grid.cell(row, kStatus) == kPingFailedStatus;
        lines.append(HtmlRowStart(exported));
        ++exported;
        lines.append(HtmlCell(QStringLiteral("5%"), QString::number(exported), red));
        for (int column = 0; column < kColumns; ++column) {
            lines.append(HtmlCell(widths[column], grid.cell(row, column), red));
        }
        lines.append(QStringLiteral("</tr>"));
    }
    lines.append(
        QStringLiteral("<tr bgcolor=\"#6699CC\"><td height=\"21\"></td><td height=\"21\"></td><td "
                       "height=\"21\"></td><td height=\"21\"></td><td height=\"21\"></td><td "
                       "height=\"21\"></td></tr>"));
    lines.append(HtmlPageTail(now));
    return lines;
}

}  // namespace

QString PingCsvHeader() {
    return PingGridHeaders().join(QLatin1Char(','));
}

QString PingCsvLine(const ResultTableModel& grid, int row) {
    QString line;
    AppendPingCsvLine(line, grid, row);
    return line;
}

void AppendPingCsvLine(QString& text, const ResultTableModel& grid, int row) {
    // Cells go out as they stand: nothing is quoted or escaped.
    for (int column = 0; column < kColumns; ++column) {
        if (column > 0) {
            text += QLatin1Char(',');
        }
        text += grid.cell(row, column);
    }
}

const QList<ExportKind>& PingExportKinds() {
    const auto kind = [](PingExport id, const char* radio, const char* caption, ExportFormat format,
                         ExportRows rows, const char* cliName) {
        return ExportKind{
            static_cast<int>(id),  QLatin1String(radio), QLatin1String(caption), format, rows,
            QLatin1String(cliName)};
    };
    // The captions keep their odd blanks: they are what the dialog shows.
    static const QList<ExportKind> kinds = {
        kind(PingExport::RunningTxt, "RadioButton1", "The Running  IP Addresses List (*.txt)",
             ExportFormat::Txt, ExportRows::Answered, "running-txt"),
        kind(PingExport::NonRunningTxt, "RadioButton2", " Non-Running IP Addresses List (*.txt)",
             ExportFormat::Txt, ExportRows::Unanswered, "nonrunning-txt"),
        kind(PingExport::RunningHtm, "RadioButton3",
             "All Records of the Running IP Addresses (*.htm) ", ExportFormat::Htm,
             ExportRows::Answered, "running-htm"),
        kind(PingExport::RunningCsv, "RadioButton6",
             "All Records of the Running IP Addresses (*.csv) ", ExportFormat::Csv,
             ExportRows::Answered, "running-csv"),
        kind(PingExport::NonRunningHtm, "RadioButton4",
             "All Records of Non-Running IP Addresses (*.htm)", ExportFormat::Htm,
             ExportRows::Unanswered, "nonrunning-htm"),
        kind(PingExport::NonRunningCsv, "RadioButton7",
             "All Records of Non-Running IP Addresses (*.csv)", ExportFormat::Csv,
             ExportRows::Unanswered, "nonrunning-csv"),
        kind(PingExport::AllHtm, "RadioButton5", "All Records of all the IP Addresses (*.htm)",
             ExportFormat::Htm, ExportRows::All, "all-htm"),
        kind(PingExport::AllCsv, "RadioButton8", "All Records of all the IP Addresses (*.csv)",
             ExportFormat::Csv, ExportRows::All, "all-csv"),
    };
    return kinds;
}

QStringList PingExportLines(const ResultTableModel& grid, const ExportKind& kind, int pingCount,
                            const QDateTime& now) {
    switch (kind.format) {
        case ExportFormat::Txt:
            // A host list: running hosts, or the hosts that never answered.
            return hostLines(grid, kind.rows == ExportRows::Answered, pingCount);
        case ExportFormat::Htm:
            return htmlLines(grid, kind.rows, now);
        case ExportFormat::Csv:
            return csvLines(grid, kind.rows);
    }
    return {};
}

QStringList PingExportLines(const ResultTableModel& grid, PingExport kind, int pingCount,
                            const QDateTime& now) {
    const ExportKind* described = ExportKindWithId(PingExportKinds(), static_cast<int>(kind));
    return described != nullptr ? PingExportLines(grid, *described, pingCount, now) : QStringList{};
}

}  // namespace quendrix
