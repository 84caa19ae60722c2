#include "core/target_list_model.h"

#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

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

// Files at and over the size limit, and an endless device: the limit holds whether the size
// is known before reading or only while reading.
TEST(ReadTargetFile, StopsAtTheSizeLimit) {
    QTemporaryDir dir;
    const auto sparse = [&](const QString& name, qint64 size) {
        const QString path = dir.filePath(name);
        QFile file(path);
        EXPECT_TRUE(file.open(QIODevice::WriteOnly));
        file.write("a\nb\n");
        EXPECT_TRUE(file.resize(size));  // the rest is a hole that reads as NULs
        return path;
    };
    const QString tooLarge =
        QStringLiteral("Cannot open file \"%1\". File too large (more than 256 MiB)");
    QString error;

    const QString atLimit = sparse(QStringLiteral("at-limit.txt"), kTargetFileLimit);
    EXPECT_EQ(ReadTargetFile(atLimit, &error), (QStringList{"a", "b"}));

    const QString overLimit = sparse(QStringLiteral("over-limit.txt"), kTargetFileLimit + 1);
    EXPECT_EQ(ReadTargetFile(overLimit, &error), std::nullopt);
    EXPECT_EQ(error, tooLarge.arg(overLimit));

    const QString zero = QStringLiteral("/dev/zero");
    EXPECT_EQ(ReadTargetFile(zero, &error), std::nullopt);
    EXPECT_EQ(error, tooLarge.arg(zero));
}

// A FIFO is read like a file when something writes to it, and one that nothing writes to
// gives an error instead of holding the reader (and the window) for good.
TEST(ReadTargetFile, ReadsAFifoAndGivesUpOnOneWithoutWriter) {
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("list.fifo"));
    const QByteArray native = QFile::encodeName(path);
    ASSERT_EQ(::mkfifo(native.constData(), 0600), 0);
    // A hang would be the fault: end the test process well before ctest's own time-out.
    ::alarm(60);

    QString error;
    EXPECT_EQ(ReadTargetFile(path, &error), std::nullopt);
    EXPECT_EQ(error,
              QStringLiteral("Cannot open file \"%1\". Nothing is writing to the pipe").arg(path));

    // A writer that has written and gone: its lines wait in the pipe, held open by a reader
    // that reads nothing.
    const int holder = ::open(native.constData(), O_RDONLY | O_NONBLOCK);
    ASSERT_GE(holder, 0);
    const int writer = ::open(native.constData(), O_WRONLY);
    ASSERT_GE(writer, 0);
    ASSERT_EQ(::write(writer, "x\ny\n", 4), 4);
    ::close(writer);
    EXPECT_EQ(ReadTargetFile(path, &error), (QStringList{"x", "y"}));
    ::close(holder);
    ::alarm(0);
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
