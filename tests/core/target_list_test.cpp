#include "core/target_list_model.h"

#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace quendrix {
namespace {

TEST(SplitTargetLines, FollowsTheLineBreakRules) {
    const struct {
        QByteArray bytes;
        QStringList lines;
    } cases[] = {
        {"a\r\nb\r\nc\r\n", {"a", "b", "c"}},
        {"a\nb\nc\n", {"a", "b", "c"}},
        {"a\rb\rc\r", {"a", "b", "c"}},
        {"a\nb\nc", {"a", "b", "c"}},
        {"a\nb\nc\n\n", {"a", "b", "c", ""}},
        {"a\n\nb", {"a", "", "b"}},
        {"\n\r\n", {"", ""}},
        {"  host.example  \n", {"  host.example  "}},
        {QByteArray("a\nb\0c\nd", 7), {"a", "b"}},
        {"", {}},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(SplitTargetLines(c.bytes), c.lines) << c.bytes.toStdString();
    }
}

TEST(ReadTargetFile, ReportsAnUnreadableFile) {
    QTemporaryDir dir;
    const QString missing = dir.filePath(QStringLiteral("missing.txt"));
    QString error;
    EXPECT_FALSE(ReadTargetFile(missing, &error).has_value());
    EXPECT_EQ(error,
              QStringLiteral("Cannot open file \"%1\". No such file or directory").arg(missing));
}

TEST(TargetListModel, EditsKeepOrderAndText) {
    TargetListModel list;
    list.replaceAll({QStringLiteral("a"), QStringLiteral("b")});
    list.prepend(QStringLiteral("first"));
    list.append(QString());
    list.replace(1, QStringLiteral(" A "));
    list.remove(2);
    EXPECT_EQ(list.entries(),
              (QStringList{QStringLiteral("first"), QStringLiteral(" A "), QString()}));
    EXPECT_EQ(list.entryAt(3), std::nullopt);
    list.remove(7);  // out of range: nothing
    EXPECT_EQ(list.count(), 3);
}

}  // namespace
}  // namespace quendrix
