#include "core/widgets/target_list_panel.h"
#include "core/target_list_model.h"
#include "core/widgets/application.h"
#include "support/fake_host.h"

#include <QAction>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QListView>
#include <QMenu>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QToolButton>

#include <gtest/gtest.h>

namespace quendrix {
namespace {

TargetListConfig config() {
    TargetListConfig c;
    c.listName = QStringLiteral("ListBox2");
    c.importButtonName = QStringLiteral("SpeedButton2");
    c.countLabelName = QStringLiteral("Label19");
    c.menuName = QStringLiteral("PopupMenu2");
    c.add = {QStringLiteral("A2"), QStringLiteral("Add")};
    c.update = {QStringLiteral("UpdateItem2"), QStringLiteral("Update")};
    c.remove = {QStringLiteral("DeleteItem2"), QStringLiteral("Delete")};
    c.clear = {QStringLiteral("ClearAll1"), QStringLiteral("Clear All")};
    c.addDialog = {QStringLiteral("Tping_add"), QStringLiteral("Add"), QStringLiteral("L"),
                   QStringLiteral("Edit1"),     QStringLiteral("Add"), false};
    c.updateDialog = {QStringLiteral("Tping_update"), QStringLiteral("Update"), QStringLiteral("L"),
                      QStringLiteral("Edit1"),        QStringLiteral("Update"), false};
    return c;
}

class TargetListPanelTest : public ::testing::Test {
  protected:
    QString writeFile(const QString& name, const QByteArray& bytes) {
        const QString path = dir.filePath(name);
        QFile file(path);
        EXPECT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(bytes);
        return path;
    }
    void select(int row) { panel.view()->setCurrentIndex(panel.model()->index(row)); }
    QString count() const { return panel.countLabel()->text(); }

    QTemporaryDir dir;
    test::FakeHost host;
    TargetListPanel panel{config(), host};
};

TEST_F(TargetListPanelTest, ImportReplacesTheListAndFollowsTheFolder) {
    host.recording.files = {writeFile(QStringLiteral("a.txt"), "one\r\ntwo\r\nthree\r\n"),
                            writeFile(QStringLiteral("b.txt"), "x\ny")};
    panel.importClick();
    EXPECT_EQ(host.recording.lastFilters,
              (QStringList{QStringLiteral("*.txt (*.txt)"), QStringLiteral("*.ini (*.ini)"),
                           QStringLiteral("*.txt;*.ini (*.txt *.ini)")}));
    EXPECT_EQ(host.recording.recorded.at(0).text, QStringLiteral("/start"));
    EXPECT_EQ(count(), QStringLiteral("3"));
    panel.importClick();
    EXPECT_EQ(panel.model()->entries(), (QStringList{QStringLiteral("x"), QStringLiteral("y")}));
    EXPECT_EQ(count(), QStringLiteral("2"));
    EXPECT_EQ(host.directory, dir.path());
    panel.importClick();  // cancelled: nothing changes
    EXPECT_EQ(panel.model()->count(), 2);
}

TEST_F(TargetListPanelTest, UnreadableFileIsReportedAndChangesNothing) {
    panel.model()->replaceAll({QStringLiteral("keep")});
    panel.showCount();
    host.recording.files = {dir.filePath(QStringLiteral("missing.txt"))};
    // The click goes through the application, which turns the error into the report.
    QTest::mouseClick(panel.importButton(), Qt::LeftButton);
    ASSERT_EQ(host.recording.messages().size(), 1);
    EXPECT_TRUE(host.recording.messages().at(0).startsWith(
        QStringLiteral("Quendrix|Cannot open file \"%1\". ")
            .arg(dir.filePath(QStringLiteral("missing.txt")))));
    EXPECT_EQ(panel.model()->entries(), QStringList{QStringLiteral("keep")});
    EXPECT_EQ(count(), QStringLiteral("1"));
}

TEST_F(TargetListPanelTest, AddUpdateDeleteClear) {
    panel.addClick();
    ASSERT_TRUE(panel.addDialog()->isVisible());
    panel.addDialog()->edit()->setText(QStringLiteral("first"));
    QTest::mouseClick(panel.addDialog()->button1(), Qt::LeftButton);
    panel.addDialog()->edit()->setText(QStringLiteral("second"));
    QTest::keyClick(panel.addDialog()->edit(), Qt::Key_Return);
    EXPECT_TRUE(panel.addDialog()->isVisible());  // stays open for more
    EXPECT_EQ(panel.model()->entries(),
              (QStringList{QStringLiteral("second"), QStringLiteral("first")}));
    EXPECT_EQ(count(), QStringLiteral("2"));
    panel.addDialog()->button2()->click();
    EXPECT_FALSE(panel.addDialog()->isVisible());

    panel.updateClick();  // nothing selected: no dialog
    EXPECT_FALSE(panel.updateDialog()->isVisible());
    select(1);
    panel.updateClick();
    ASSERT_TRUE(panel.updateDialog()->isVisible());
    EXPECT_EQ(panel.updateDialog()->edit()->text(), QStringLiteral("first"));
    panel.updateDialog()->edit()->setText(QStringLiteral(" changed "));
    QTest::keyClick(panel.updateDialog()->edit(), Qt::Key_Return);
    EXPECT_FALSE(panel.updateDialog()->isVisible());
    EXPECT_EQ(panel.model()->entryAt(1), QStringLiteral(" changed "));

    select(0);
    panel.deleteClick();
    select(0);
    panel.deleteClick();
    EXPECT_EQ(count(), QStringLiteral("0"));
    panel.model()->append(QStringLiteral("z"));
    panel.clearAllClick();
    EXPECT_EQ(panel.model()->count(), 0);
    EXPECT_EQ(count(), QString());
}

TEST_F(TargetListPanelTest, MenuCaptionsAndShortCuts) {
    const QList<QAction*> actions = panel.contextMenu()->actions();
    ASSERT_EQ(actions.size(), 4);
    EXPECT_EQ(actions.at(0)->objectName(), QStringLiteral("A2"));
    EXPECT_EQ(actions.at(0)->shortcut(), QKeySequence(QStringLiteral("Ctrl+W")));
    EXPECT_EQ(actions.at(1)->shortcut(), QKeySequence(QStringLiteral("Ctrl+F")));
    EXPECT_EQ(actions.at(2)->shortcut(), QKeySequence(QStringLiteral("Ctrl+D")));
    EXPECT_EQ(actions.at(3)->text(), QStringLiteral("Clear All"));
    EXPECT_EQ(panel.addDialog()->objectName(), QStringLiteral("Tping_add"));
    EXPECT_EQ(panel.addDialog()->windowTitle(), QStringLiteral("Add"));
}

}  // namespace
}  // namespace quendrix
