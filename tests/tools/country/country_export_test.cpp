// The country export lines beyond the worked example (which the page test checks byte for
// byte through the dialog): an empty grid, commas in cells, the extra row left out.
#include "tools/country/country_export.h"
#include "core/export_writer.h"
#include "tools/country/country_grid_model.h"

#include <gtest/gtest.h>

namespace quendrix::whereis {
namespace {

const QDateTime kNow(QDate(2024, 3, 9), QTime(14, 5, 7));

TEST(CountryExport, AnEmptyGridGivesTheFixedLinesOnly) {
    CountryGridModel grid;
    grid.setPendingEntry(QStringLiteral("never exported"));
    for (const auto kind : {CountryExportKind::SuccessfulCsv, CountryExportKind::AllCsv}) {
        EXPECT_EQ(CountryExportLines(grid, kind, kNow),
                  QStringList{QStringLiteral("Domain Name/IP Address,Country")});
    }
    for (const auto kind : {CountryExportKind::SuccessfulHtm, CountryExportKind::AllHtm}) {
        const QStringList lines = CountryExportLines(grid, kind, kNow);
        ASSERT_EQ(lines.size(), 14);  // 15 lines of a page, no row lines
        EXPECT_TRUE(
            lines.at(8).startsWith(QStringLiteral("<tr bgcolor=\"#6699CC\"><td height=\"35\"")));
        EXPECT_TRUE(
            lines.at(9).startsWith(QStringLiteral("<tr bgcolor=\"#6699CC\"><td height=\"21\"")));
        EXPECT_EQ(lines.at(11), HtmlCreatedLine(kNow));
        EXPECT_FALSE(lines.join(QString()).contains(QStringLiteral("never exported")));
    }
}

TEST(CountryExport, CellsGoOutAsTheyStand) {
    CountryGridModel grid;
    grid.writeResult(QStringLiteral("3.0.0.1"),
                     QStringLiteral("General Electric Company, NJ (NET-GE-INTERNET)"));
    grid.writeResult(QStringLiteral("a,b"), QStringLiteral("X"));
    grid.writeResult(QStringLiteral("x.test"), QStringLiteral("X "));  // not exactly "X"
    EXPECT_EQ(CountryExportLines(grid, CountryExportKind::SuccessfulCsv, kNow),
              (QStringList{QStringLiteral("Domain Name/IP Address,Country"),
                           QStringLiteral("3.0.0.1,General Electric Company, NJ (NET-GE-INTERNET)"),
                           QStringLiteral("x.test,X ")}));
    const QStringList all = CountryExportLines(grid, CountryExportKind::AllCsv, kNow);
    ASSERT_EQ(all.size(), 4);
    EXPECT_EQ(all.at(1).split(QLatin1Char(',')).size(), 3);
    EXPECT_EQ(all.at(2), QStringLiteral("a,b,X"));
}

}  // namespace
}  // namespace quendrix::whereis
