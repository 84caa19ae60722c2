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

const QList<ConversionExportKind>& ConversionExportKinds() {
    static const QList<ConversionExportKind> kinds = {
        {ConversionExport::RunningIpsTxt, QStringLiteral("RadioButton1"),
         QStringLiteral("The Running IP Addresses List (*.txt)"), QStringLiteral("txt"),
         QStringLiteral("running-ips-txt")},
        {ConversionExport::RunningNamesTxt, QStringLiteral("RadioButton2"),
         QStringLiteral("The Running Domain / Host Names List (*.txt)"), QStringLiteral("txt"),
         QStringLiteral("running-names-txt")},
        {ConversionExport::RunningHtm, QStringLiteral("RadioButton3"),
         QStringLiteral("The Running IP Address and Domain / Host Names (*.htm)"),
         QStringLiteral("htm"), QStringLiteral("running-htm")},
        {ConversionExport::RunningCsv, QStringLiteral("RadioButton5"),
         QStringLiteral("The Running IP Address and Domain / Host Names (*.csv)"),
         QStringLiteral("csv"), QStringLiteral("running-csv")},
        {ConversionExport::AllHtm, QStringLiteral("RadioButton4"),
         QStringLiteral("All the IP Addresses and Domain / Host Names (*.htm) "),
         QStringLiteral("htm"), QStringLiteral("all-htm")},
        {ConversionExport::AllCsv, QStringLiteral("RadioButton6"),
         QStringLiteral("All the IP Addresses and Domain / Host Names (*.csv) "),
         QStringLiteral("csv"), QStringLiteral("all-csv")},
    };
    return kinds;
}

std::optional<ConversionExport> ConversionExportFromCliName(const QString& name) {
    for (const ConversionExportKind& kind : ConversionExportKinds()) {
        if (kind.cliName == name) {
            return kind.kind;
        }
    }
    return std::nullopt;
}

bool IsRunningRow(const ResultTableModel& grid, int row) {
    return grid.cell(row, kLeft) != kUnknown && grid.cell(row, kRight) != kUnknown;
}

QStringList ConversionExportLines(const ResultTableModel& grid, ConversionExport kind,
                                  const QDateTime& now) {
    switch (kind) {
        case ConversionExport::RunningIpsTxt:
            return textLines(grid, kRight);
        case ConversionExport::RunningNamesTxt:
            return textLines(grid, kLeft);
        case ConversionExport::RunningHtm:
            return htmlLines(grid, false, now);
        case ConversionExport::RunningCsv:
            return csvLines(grid, false);
        case ConversionExport::AllHtm:
            return htmlLines(grid, true, now);
        case ConversionExport::AllCsv:
            return csvLines(grid, true);
    }
    return {};
}

}  // namespace quendrix
