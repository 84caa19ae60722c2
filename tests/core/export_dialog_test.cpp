#include "core/widgets/export_dialog.h"
#include "support/recording_prompts.h"

#include <QCheckBox>
#include <QFile>
#include <QRadioButton>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace quendrix {
namespace {

class ExportDialogTest : public ::testing::Test {
  protected:
    QByteArray read(const QString& path) {
        QFile file(path);
        EXPECT_TRUE(file.open(QIODevice::ReadOnly));
        return file.readAll();
    }
    QTemporaryDir dir;
    test::RecordingPrompts prompts;
    ExportDialog dialog{
        QStringLiteral("Tsome_export"),
        {{QStringLiteral("RadioButton1"), QStringLiteral("Text (*.txt)"), QStringLiteral("txt")},
         {QStringLiteral("RadioButton2"), QStringLiteral("Page (*.htm)"), QStringLiteral("htm")}},
        prompts,
        [](int kind) { return QStringList{QStringLiteral("kind %1").arg(kind)}; }};
};

TEST_F(ExportDialogTest, WritesTheChosenKindAndOpensItOnRequest) {
    EXPECT_EQ(dialog.windowTitle(), QStringLiteral("Choose"));
    EXPECT_TRUE(dialog.radio(0)->isChecked());
    const QString path = dir.filePath(QStringLiteral("out.htm"));
    dialog.choose(1);
    dialog.openCheck()->setChecked(true);
    prompts.files = {path};
    dialog.Button1Click();
    EXPECT_EQ(prompts.lastSaveFilter, QStringLiteral("*.htm (*.htm)"));
    EXPECT_EQ(prompts.lastSaveSuffix, QStringLiteral("htm"));
    EXPECT_EQ(read(path), QByteArray("kind 1\r\n"));
    EXPECT_EQ(prompts.recorded.constLast().kind, QStringLiteral("shell"));
    EXPECT_EQ(prompts.recorded.constLast().text, path);
}

TEST_F(ExportDialogTest, DecliningTheReplaceQuestionKeepsTheFile) {
    const QString path = dir.filePath(QStringLiteral("old.txt"));
    {
        QFile old(path);
        ASSERT_TRUE(old.open(QIODevice::WriteOnly));
        old.write("old");
    }
    prompts.files = {path, path};
    prompts.answers = {Prompts::Answer::No, Prompts::Answer::Yes};
    dialog.Button1Click();
    EXPECT_EQ(read(path), QByteArray("old"));
    EXPECT_EQ(prompts.recorded.at(1).text,
              path + QStringLiteral(" already exists.\rDo you want to replace it?"));
    dialog.Button1Click();
    EXPECT_EQ(read(path), QByteArray("kind 0\r\n"));
}

TEST_F(ExportDialogTest, AWriteErrorIsReported) {
    prompts.files = {dir.filePath(QStringLiteral("missing/x.txt"))};
    dialog.Button1Click();
    EXPECT_EQ(prompts.messages(), QStringList{QStringLiteral("Quendrix|File not found")});
}

}  // namespace
}  // namespace quendrix
