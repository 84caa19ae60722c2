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
    const QList<ExportKind> kinds{
        {7, "RadioButton1", "Text (*.txt)", ExportFormat::Txt, ExportRows::Answered, "text"},
        {9, "RadioButton2", "Page (*.htm)", ExportFormat::Htm, ExportRows::All, "page"}};
    ExportDialog dialog{QStringLiteral("Tsome_export"), kinds, prompts, [](const ExportKind& kind) {
                            return QStringList{QStringLiteral("kind %1").arg(kind.id)};
                        }};
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
    EXPECT_EQ(read(path), QByteArray("kind 9\r\n"));
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
    EXPECT_EQ(read(path), QByteArray("kind 7\r\n"));
}

// Another tool's question and encoding: the question's own caption and text, and the lines'
// characters as single bytes.
TEST(ExportDialogOptions, AskTheGivenQuestionAndWriteTheGivenEncoding) {
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("reply.txt"));
    {
        QFile old(path);
        ASSERT_TRUE(old.open(QIODevice::WriteOnly));
    }
    test::RecordingPrompts prompts;
    ExportDialog dialog{
        QStringLiteral("Tother_export"),
        {{0, "RadioButton1", "Reply (*.txt)", ExportFormat::Txt, ExportRows::All, "reply"}},
        prompts,
        [](const ExportKind&) { return QStringList{QStringLiteral("caf\u00e9")}; },
        nullptr,
        {TextEncoding::Latin1,
         {QStringLiteral("Replace"), QStringLiteral("The file has existed, replace it or not?")}}};
    prompts.files = {path};
    prompts.answers = {Prompts::Answer::Yes};
    dialog.Button1Click();
    ASSERT_GE(prompts.recorded.size(), 2);
    EXPECT_EQ(prompts.recorded.at(1).caption, QStringLiteral("Replace"));
    EXPECT_EQ(prompts.recorded.at(1).text,
              QStringLiteral("The file has existed, replace it or not?"));
    QFile written(path);
    ASSERT_TRUE(written.open(QIODevice::ReadOnly));
    EXPECT_EQ(written.readAll(), QByteArray("caf\xe9\r\n"));
}

TEST_F(ExportDialogTest, AWriteErrorIsReported) {
    prompts.files = {dir.filePath(QStringLiteral("missing/x.txt"))};
    dialog.Button1Click();
    EXPECT_EQ(prompts.messages(), QStringList{QStringLiteral("Quendrix|File not found")});
}

}  // namespace
}  // namespace quendrix
