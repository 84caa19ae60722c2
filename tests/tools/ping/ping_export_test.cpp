// The eight ping export kinds over a grid written by hand: the host-group walk of the TXT
// kinds, the selection and the exact bytes of the CSV and HTML kinds.
#include "tools/ping/ping_export.h"
#include "core/export_writer.h"
#include "core/result_table_model.h"
#include "tools/ping/ping_run.h"

#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace quendrix {
namespace {

const QDateTime kNow(QDate(2024, 3, 9), QTime(14, 5, 6));

// Ping count 2: the first host fails then replies, the second fails twice, the third does
// not resolve (one row).
void writeExample(ResultTableModel& grid) {
    grid.writeRow({"X", "127.0.0.5", "0", "0", "Timed out"});
    grid.writeRow({"Running", "127.0.0.5", "34", "1", " "});
    grid.writeRow({"X", "127.0.0.6", "0", "0", "Timed out"});
    grid.writeRow({"X", "127.0.0.6", "0", "0", "Timed out"});
    grid.writeRow({"X", "missing.lab.test", " ", " ", "Unknown host"});
}

QStringList lines(const ResultTableModel& grid, PingExport kind, int pingCount = 2) {
    return PingExportLines(grid, kind, pingCount, kNow);
}

// The file bytes of the lines, as the writer puts them on disk.
QByteArray fileBytes(const QStringList& lines) {
    QTemporaryDir dir;
    const QString path = dir.filePath("export");
    EXPECT_EQ(WriteExportFile(path, lines), std::nullopt);
    QFile file(path);
    EXPECT_TRUE(file.open(QIODevice::ReadOnly));
    return file.readAll();
}

TEST(PingExportTest, KindsInDialogOrderWithTheirCaptionsAndFileTypes) {
    QStringList shown;
    for (const ExportKind& kind : PingExportKinds()) {
        shown.append(kind.radioName + "|" + kind.caption + "|" + kind.fileType() + "|" +
                     kind.cliName);
        EXPECT_EQ(ExportIdFromCliName<PingExport>(PingExportKinds(), kind.cliName),
                  static_cast<PingExport>(kind.id));
    }
    EXPECT_EQ(shown,
              (QStringList{
                  "RadioButton1|The Running  IP Addresses List (*.txt)|txt|running-txt",
                  "RadioButton2| Non-Running IP Addresses List (*.txt)|txt|nonrunning-txt",
                  "RadioButton3|All Records of the Running IP Addresses (*.htm) |htm|running-htm",
                  "RadioButton6|All Records of the Running IP Addresses (*.csv) |csv|running-csv",
                  "RadioButton4|All Records of Non-Running IP Addresses (*.htm)|htm|nonrunning-htm",
                  "RadioButton7|All Records of Non-Running IP Addresses (*.csv)|csv|nonrunning-csv",
                  "RadioButton5|All Records of all the IP Addresses (*.htm)|htm|all-htm",
                  "RadioButton8|All Records of all the IP Addresses (*.csv)|csv|all-csv",
              }));
    EXPECT_EQ(ExportIdFromCliName<PingExport>(PingExportKinds(), "all"), std::nullopt);
}

TEST(PingExportTest, HostListsJudgeEachHostOverItsAttempts) {
    ResultTableModel grid(PingGridHeaders());
    writeExample(grid);
    EXPECT_EQ(fileBytes(lines(grid, PingExport::RunningTxt)), "127.0.0.5\r\n");
    EXPECT_EQ(fileBytes(lines(grid, PingExport::NonRunningTxt)),
              "127.0.0.6\r\nmissing.lab.test\r\n");

    // With one attempt per host every row is a host of its own.
    ResultTableModel single(PingGridHeaders());
    single.writeRow({"X", "127.0.0.5", "0", "0", "Timed out"});
    single.writeRow({"Running", "127.0.0.6", "34", "0", " "});
    single.writeRow({"X", "nowhere", " ", " ", "Unknown host"});
    EXPECT_EQ(lines(single, PingExport::RunningTxt, 1), QStringList{"127.0.0.6"});
    EXPECT_EQ(lines(single, PingExport::NonRunningTxt, 1), (QStringList{"127.0.0.5", "nowhere"}));

    // Continuous cycles append the same hosts again: each is listed once per cycle.
    ResultTableModel cycles(PingGridHeaders());
    for (int cycle = 0; cycle < 2; ++cycle) {
        cycles.writeRow({"Running", "127.0.0.1", "34", "0", " "});
        cycles.writeRow({"X", "127.0.0.1", "0", "0", "Timed out"});
        cycles.writeRow({"X", "127.0.0.7", "0", "0", "Timed out"});
        cycles.writeRow({"X", "127.0.0.7", "0", "0", "Timed out"});
    }
    EXPECT_EQ(lines(cycles, PingExport::RunningTxt), (QStringList{"127.0.0.1", "127.0.0.1"}));
    EXPECT_EQ(lines(cycles, PingExport::NonRunningTxt), (QStringList{"127.0.0.7", "127.0.0.7"}));
}

TEST(PingExportTest, CsvKindsWriteTheCellsAsTheyStand) {
    ResultTableModel grid(PingGridHeaders());
    writeExample(grid);
    const QByteArray header = "Status,IP or Domain/Host Name,Bytes,Time(ms),Failed Reason\r\n";
    EXPECT_EQ(fileBytes(lines(grid, PingExport::NonRunningCsv)),
              header +
                  "X,127.0.0.5,0,0,Timed out\r\n"
                  "X,127.0.0.6,0,0,Timed out\r\n"
                  "X,127.0.0.6,0,0,Timed out\r\n"
                  "X,missing.lab.test, , ,Unknown host\r\n");
    // A reply row ends with "," and the blank of its empty Failed Reason.
    EXPECT_EQ(fileBytes(lines(grid, PingExport::RunningCsv)),
              header + "Running,127.0.0.5,34,1, \r\n");
    EXPECT_EQ(lines(grid, PingExport::AllCsv).size(), 6);
    EXPECT_EQ(PingCsvLine(grid, 4), "X,missing.lab.test, , ,Unknown host");

    // An empty grid: the fixed lines only, and empty host lists.
    ResultTableModel empty(PingGridHeaders());
    EXPECT_EQ(fileBytes(lines(empty, PingExport::AllCsv)), header);
    EXPECT_EQ(fileBytes(lines(empty, PingExport::RunningTxt)), "");
    EXPECT_EQ(fileBytes(lines(empty, PingExport::NonRunningTxt)), "");
}

TEST(PingExportTest, RunningPageByteForByte) {
    ResultTableModel grid(PingGridHeaders());
    writeExample(grid);
    const QByteArray expected =
        "<html><head><title>Corvanel</title></head>\r\n"
        "<body bgcolor=\"#FFFFFF\" text=\"#000000\">\r\n"
        "<table width=\"98%\" border=\"0\" cellspacing=\"0\" cellpadding=\"0\" "
        "bordercolor=\"#CCCCCC\" bgcolor=\"#003399\" align=\"center\">\r\n"
        "<tr bgcolor=\"#003399\"><td width=\"9%\">&nbsp;</td><td width=\"81%\">&nbsp;</td><td "
        "width=\"10%\">&nbsp;</td></tr>\r\n"
        "<tr bgcolor=\"#003399\"><td width=\"9%\">&nbsp;</td><td width=\"81%\">\r\n"
        "<div align=\"center\"><font color=\"#003366\" size=\"3\" face=\"Arial, Helvetica, "
        "sans-serif\"><b><font size=\"5\" face=\"Times New Roman, Times, serif\" "
        "color=\"#FFFFFF\">All Records of the Running IP Addresses</font></b></font></div>\r\n"
        "</td><td width=\"10%\">&nbsp;</td></tr><tr bgcolor=\"#003399\"><td "
        "width=\"9%\">&nbsp;</td><td width=\"81%\">&nbsp;</td><td "
        "width=\"10%\">&nbsp;</td></tr></table><br>\r\n"
        "<table width=\"93%\" border=\"0\" cellspacing=\"2\" cellpadding=\"0\" "
        "align=\"center\">\r\n"
        "<tr bgcolor=\"#6699CC\">\r\n"
        "<td height=\"35\" width=\"5%\"><div align=\"center\"><b></b></div></td>\r\n"
        "<td height=\"35\" width=\"12%\"><div align=\"center\"><b>Status</b></div></td>\r\n"
        "<td height=\"29\" width=\"39%\"><div align=\"center\"><b>IP or Domain/Host "
        "Name</b></div></td>\r\n"
        "<td height=\"29\" width=\"9%\"><div align=\"center\"><b>Bytes</b></div></td>\r\n"
        "<td height=\"29\" width=\"16%\"><div align=\"center\"><b>Time(ms)</b></div></td>\r\n"
        "<td height=\"29\" width=\"19%\"><div align=\"center\"><b>Failed "
        "Reason</b></div></td>\r\n"
        "</tr>\r\n"
        "<tr>\r\n"
        "<td height=\"21\" width=\"5%\"><div align=\"center\">1<div></td>\r\n"
        "<td height=\"21\" width=\"12%\"><div align=\"center\">Running<div></td>\r\n"
        "<td height=\"21\" width=\"39%\"><div align=\"center\">127.0.0.5<div></td>\r\n"
        "<td height=\"21\" width=\"9%\"><div align=\"center\">34<div></td>\r\n"
        "<td height=\"21\" width=\"16%\"><div align=\"center\">1<div></td>\r\n"
        "<td height=\"21\" width=\"19%\"><div align=\"center\"> <div></td>\r\n"
        "</tr>\r\n"
        "<tr bgcolor=\"#6699CC\"><td height=\"21\"></td><td height=\"21\"></td><td "
        "height=\"21\"></td><td height=\"21\"></td><td height=\"21\"></td><td "
        "height=\"21\"></td></tr>\r\n"
        "</table><br><table width=\"80%\" border=\"0\" cellspacing=\"0\" cellpadding=\"0\" "
        "align=\"center\">\r\n" +
        HtmlCreatedLine(kNow).toLocal8Bit() +
        "\r\n"
        "</td></tr><tr><td><div align=\"center\"><a href=\"" +
        kHomePageUrl.toLocal8Bit() +
        "\" target=\"_blank\"><font color=\"#6699CC\"><b><font size=\"2\">" +
        kHomePageText.toLocal8Bit() +
        "</font></b></font></a></div>\r\n"
        "</td></tr></table></body></html> \r\n";
    EXPECT_EQ(fileBytes(lines(grid, PingExport::RunningHtm)), expected);
    EXPECT_TRUE(HtmlCreatedLine(kNow).contains("Created by Quendrix "));
}

TEST(PingExportTest, AllRowsPageNumbersEveryRowAndPaintsFailedRowsRed) {
    ResultTableModel grid(PingGridHeaders());
    writeExample(grid);
    const QStringList all = lines(grid, PingExport::AllHtm);
    // 8 head lines, 8 header lines, 8 lines per row, the closing row, 4 tail lines.
    ASSERT_EQ(all.size(), 8 + 8 + 5 * 8 + 1 + 4);
    EXPECT_TRUE(all.at(5).contains(">All Records of all the IP Addresses<"));
    const auto rowLines = [&](int index) { return all.mid(16 + index * 8, 8); };
    EXPECT_EQ(rowLines(0).at(0), "<tr>");
    EXPECT_EQ(rowLines(1).at(0), "<tr bgcolor=\"#E4E4E4\">");
    EXPECT_EQ(rowLines(2).at(0), "<tr>");
    EXPECT_EQ(rowLines(0).at(1),
              "<td height=\"21\" width=\"5%\"><div align=\"center\"><font "
              "color=\"#FF0000\">1</font><div></td>");
    EXPECT_EQ(rowLines(4).at(6),
              "<td height=\"21\" width=\"19%\"><div align=\"center\"><font "
              "color=\"#FF0000\">Unknown host</font><div></td>");
    for (int row = 0; row < 5; ++row) {
        const bool red = row != 1;
        for (int cell = 1; cell <= 6; ++cell) {
            EXPECT_EQ(rowLines(row).at(cell).contains("#FF0000"), red) << row << " " << cell;
        }
        EXPECT_EQ(rowLines(row).at(7), "</tr>");
    }

    // The non-running page lists the same failed rows, numbered 1 to 4, and not in red.
    const QStringList failed = lines(grid, PingExport::NonRunningHtm);
    ASSERT_EQ(failed.size(), 8 + 8 + 4 * 8 + 1 + 4);
    EXPECT_TRUE(failed.at(5).contains(">All Records of Non-Running IP Addresses<"));
    EXPECT_FALSE(failed.join("").contains("#FF0000"));
    EXPECT_EQ(failed.at(16 + 3 * 8 + 1),
              "<td height=\"21\" width=\"5%\"><div align=\"center\">4<div></td>");
}

}  // namespace
}  // namespace quendrix
