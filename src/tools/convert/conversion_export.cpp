#include "tools/convert/conversion_export.h"

#include "core/export_writer.h"
#include "core/result_table_model.h"
#include "tools/convert/conversion.h"

namespace quendrix {
namespace {

constexpr int kLeft = 0;   // "Domain / Host Name"
constexpr int kRight = 1;  // "IP Address"

QStringList textLines(const ResultTableModel& grid, int column) {
    QStringList lines;
    for (int row = 0; row < grid.resultCount(); ++row) {
        if (IsRunningRow(grid, row)) {
            lines.append(grid.cell(row, column));
        }
    }
    return lines;
}

QStringList csvLines(const ResultTableModel& grid, bool all) {
    // Cells go out as they stand: a comma in a cell is not quoted.
    QStringList lines{QStringLiteral("Domain / Host Name,IP Address")};
    for (int row = 0; row < grid.resultCount(); ++row) {
        if (all || IsRunningRow(grid, row)) {
            lines.append(grid.cell(row, kLeft) + QLatin1Char(',') + grid.cell(row, kRight));
        }
    }
    return lines;
}

QStringList htmlLines(const ResultTableModel& grid, bool all, const QDateTime& now) {
    HtmlFrame frame;
    frame.title = all ? QStringLiteral("Corvanel") : QString();
    frame.heading = all ? QStringLiteral("All the IP Addresses and Domain / Host Names")
                        : QStringLiteral("The Running IP Addresses and Domain / Host Names");
    frame.tableWidth = QStringLiteral("68%");
    QStringList lines = HtmlPageHead(frame);
    lines.append(
        QStringLiteral("<tr bgcolor=\"#6699CC\"><td height=\"35\" width=\"5%\"></td><td "
                       "height=\"35\" width=\"45%\"><div align=\"center\"><b>%1</b></"
                       "div></td><td height=\"29\" width=\"45%\"><div "
                       "align=\"center\"><b>IP Address</b></div></td></tr>")
            .arg(all ? QStringLiteral("Domain / Hos Name") : QStringLiteral("Domain / Host Name")));
    const QString numberWidth = QStringLiteral("5%");
    const QString cellWidth = QStringLiteral("45%");
    int exported = 0;
    for (int row = 0; row < grid.resultCount(); ++row) {
        const bool running = IsRunningRow(grid, row);
        if (!all && !running) {
            continue;
        }
        const bool red = !running;
        lines.append(HtmlRowStart(exported));
        ++exported;
        lines.append(HtmlCell(numberWidth, QString::number(exported), red));
        lines.append(HtmlCell(cellWidth, grid.cell(row, kLeft), red));
        lines.append(HtmlCell(cellWidth, grid.cell(row, kRight), red) + QStringLiteral("</tr>"));
    }
    lines.append(QStringLiteral(
        "<tr bgcolor=\"#6699CC\"><td height=\"21\" width=\"5%\"><div align=\"center\"> "
        "<div></td><td height=\"21\" width=\"45%\"><div align=\"center\"> <div></td><td "
        "height=\"21\" width=\"45%\"><div align=\"center\"> <div></td></tr>"));
    lines.append(HtmlPageTail(now));
    return lines;
}

}  // namespace

const QList<ExportKind>& ConversionExportKinds() {
    const auto kind = [](ConversionExport id, const char* radio, const char* caption,
                         ExportFormat format, ExportRows rows, const char* cliName,
                         int column = -1) {
        return ExportKind{static_cast<int>(id),
                          QLatin1String(radio),
                          QLatin1String(caption),
                          format,
                          rows,
                          QLatin1String(cliName),
                          column};
    };
    // The last two captions end in a blank: that is what the dialog shows.
    static const QList<ExportKind> kinds = {
        kind(ConversionExport::RunningIpsTxt, "RadioButton1",
             "The Running IP Addresses List (*.txt)", ExportFormat::Txt, ExportRows::Answered,
             "running-ips-txt", kRight),
        kind(ConversionExport::RunningNamesTxt, "RadioButton2",
             "The Running Domain / Host Names List (*.txt)", ExportFormat::Txt,
             ExportRows::Answered, "running-names-txt", kLeft),
        kind(ConversionExport::RunningHtm, "RadioButton3",
             "The Running IP Address and Domain / Host Names (*.htm)", ExportFormat::Htm,
             ExportRows::Answered, "running-htm"),
        kind(ConversionExport::RunningCsv, "RadioButton5",
             "The Running IP Address and Domain / Host Names (*.csv)", ExportFormat::Csv,
             ExportRows::Answered, "running-csv"),
        kind(ConversionExport::AllHtm, "RadioButton4",
             "All the IP Addresses and Domain / Host Names (*.htm) ", ExportFormat::Htm,
             ExportRows::All, "all-htm"),
        kind(ConversionExport::AllCsv, "RadioButton6",
             "All the IP Addresses and Domain / Host Names (*.csv) ", ExportFormat::Csv,
             ExportRows::All, "all-csv"),
    };
    return kinds;
}

bool IsRunningRow(const ResultTableModel& grid, int row) {
    return grid.cell(row, kLeft) != kUnknown && grid.cell(row, kRight) != kUnknown;
}

QStringList ConversionExportLines(const ResultTableModel& grid, const ExportKind& kind,
                                  const QDateTime& now) {
    const bool all = kind.rows == ExportRows::All;
    switch (kind.format) {
        case ExportFormat::Txt:
            return textLines(grid, kind.column);
        case ExportFormat::Htm:
            return htmlLines(grid, all, now);
        case ExportFormat::Csv:
            return csvLines(grid, all);
    }
    return {};
}

QStringList ConversionExportLines(const ResultTableModel& grid, ConversionExport kind,
                                  const QDateTime& now) {
    const ExportKind* described = ExportKindWithId(ConversionExportKinds(), static_cast<int>(kind));
    return described != nullptr ? ConversionExportLines(grid, *described, now) : QStringList{};
}

}  // namespace quendrix
