#include "tools/country/country_export.h"

#include "core/export_writer.h"
#include "core/result_table_model.h"
#include "core/target.h"

namespace quendrix::whereis {
namespace {

QStringList htmlLines(const ResultTableModel& grid, bool all, const QDateTime& now) {
    HtmlFrame frame;
    frame.title = QStringLiteral("Corvanel");
    frame.heading = all ? QStringLiteral("All the Domain Names/IP Addresses and Countries")
                        : QStringLiteral("Country Lookup Successfully");
    frame.tableWidth = QStringLiteral("68%");
    QStringList lines = HtmlPageHead(frame);
    // The third header cell is 29 high, the others 35: the page has always looked that way.
    lines << QStringLiteral(
        "<tr bgcolor=\"#6699CC\"><td height=\"35\" width=\"5%\"></td><td height=\"35\" "
        "width=\"45%\"><div align=\"center\"><b>Domain Name/IP Address</b></div></td><td "
        "height=\"29\" width=\"45%\"><div align=\"center\"><b>Country</b></div></td></tr>");

    int written = 0;
    for (int row = 0; row < grid.resultCount(); ++row) {
        const QString entry = grid.cell(row, 0);
        const QString owner = grid.cell(row, 1);
        const bool successful = IsSuccessfulOwner(owner);
        if (!all && !successful) {
            continue;
        }
        // Numbered and shaded among the rows written: every row in the all kind.
        const bool red = !successful;
        lines << HtmlRowStart(written)
              << HtmlCell(QStringLiteral("5%"), QString::number(written + 1), red)
              << HtmlCell(QStringLiteral("45%"), entry, red)
              << HtmlCell(QStringLiteral("45%"), owner, red) + QStringLiteral("</tr>");
        ++written;
    }

    const QString emptyCell =
        QStringLiteral("<td height=\"21\" width=\"%1\"><div align=\"center\"> <div></td>");
    lines << QStringLiteral("<tr bgcolor=\"#6699CC\">") + emptyCell.arg(QStringLiteral("5%")) +
                 emptyCell.arg(QStringLiteral("45%")) + emptyCell.arg(QStringLiteral("45%")) +
                 QStringLiteral("</tr>");
    lines << HtmlPageTail(now);
    return lines;
}

QStringList csvLines(const ResultTableModel& grid, bool all) {
    QStringList lines{CountryCsvHeader()};
    for (int row = 0; row < grid.resultCount(); ++row) {
        const QString owner = grid.cell(row, 1);
        if (all || IsSuccessfulOwner(owner)) {
            lines << CountryCsvLine(grid.cell(row, 0), owner);
        }
    }
    return lines;
}

}  // namespace

const QList<ExportKind>& CountryExportKinds() {
    const auto kind = [](CountryExportKind id, const char* radio, const char* caption,
                         ExportFormat format, ExportRows rows, const char* cliName) {
        return ExportKind{
            static_cast<int>(id),  QLatin1String(radio), QLatin1String(caption), format, rows,
            QLatin1String(cliName)};
    };
    // The two "All" captions end in a blank: that is what the dialog shows.
    static const QList<ExportKind> kinds = {
        kind(CountryExportKind::SuccessfulHtm, "RadioButton3", "Lookup Successfully (*.htm)",
             ExportFormat::Htm, ExportRows::Answered, "ok-htm"),
        kind(CountryExportKind::SuccessfulCsv, "RadioButton1", "Lookup Successfully (*.csv)",
             ExportFormat::Csv, ExportRows::Answered, "ok-csv"),
        kind(CountryExportKind::AllHtm, "RadioButton4",
             "All the Domain Names/IP Addresses and Countries (*.htm) ", ExportFormat::Htm,
             ExportRows::All, "all-htm"),
        kind(CountryExportKind::AllCsv, "RadioButton2",
             "All the Domain Names/IP Addresses and Countries (*.csv) ", ExportFormat::Csv,
             ExportRows::All, "all-csv"),
    };
    return kinds;
}

bool IsSuccessfulOwner(const QString& owner) {
    return owner != kLookupFailed;
}

QString CountryCsvHeader() {
    return QStringLiteral("Domain Name/IP Address,Country");
}

// Cells go out as they stand: an owner text with commas gives a line with more fields.
QString CountryCsvLine(const QString& entry, const QString& owner) {
    return entry + QLatin1Char(',') + owner;
}

QStringList CountryExportLines(const ResultTableModel& grid, const ExportKind& kind,
                               const QDateTime& now) {
    const bool all = kind.rows == ExportRows::All;
    return kind.format == ExportFormat::Htm ? htmlLines(grid, all, now) : csvLines(grid, all);
}

QStringList CountryExportLines(const ResultTableModel& grid, CountryExportKind kind,
                               const QDateTime& now) {
    const ExportKind* described = ExportKindWithId(CountryExportKinds(), static_cast<int>(kind));
    return described != nullptr ? CountryExportLines(grid, *described, now) : QStringList{};
}

}  // namespace quendrix::whereis
