#include "core/result_table_model.h"

#include <QCoreApplication>
#include <QSignalSpy>

#include <gtest/gtest.h>

namespace quendrix {
namespace {

TEST(ResultTableModel, WritesIntoTheTrailingEmptyRow) {
    ResultTableModel model({QStringLiteral("A"), QStringLiteral("B")});
    EXPECT_EQ(model.rowCount(), 1);  // just the empty row
    QSignalSpy written(&model, &ResultTableModel::rowsWritten);
    EXPECT_EQ(model.writeRow({QStringLiteral("x"), QStringLiteral("1")}), 0);
    EXPECT_EQ(model.writeRow({QStringLiteral("y")}), 1);
    EXPECT_EQ(model.resultCount(), 2);
    EXPECT_EQ(model.cell(1, 1), QString());
    // Views learn of the rows together, at the end of the turn.
    EXPECT_EQ(model.rowCount(), 1);
    QCoreApplication::processEvents();
    EXPECT_EQ(model.rowCount(), 3);
    ASSERT_EQ(written.count(), 1);
    EXPECT_EQ(written.at(0).at(0).toInt(), 1);
    EXPECT_EQ(model.data(model.index(2, 0), Qt::DisplayRole).toString(), QString());

    model.setCell(1, 1, QStringLiteral("owner"));
    EXPECT_EQ(model.cell(1, 1), QStringLiteral("owner"));
    model.clearResults();
    EXPECT_EQ(model.resultCount(), 0);
    EXPECT_EQ(model.rowCount(), 1);
    EXPECT_EQ(model.headerData(1, Qt::Horizontal, Qt::DisplayRole).toString(), QStringLiteral("B"));
}

}  // namespace
}  // namespace quendrix
