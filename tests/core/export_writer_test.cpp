#include "core/export_writer.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <sys/resource.h>
#include <csignal>

#include <gtest/gtest.h>

namespace quendrix {
namespace {

QByteArray readAll(const QString& path) {
    QFile file(path);
    EXPECT_TRUE(file.open(QIODevice::ReadOnly));
    return file.readAll();
}

TEST(WriteExportFile, EndsEveryLineWithCrLf) {
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("out.txt"));
    ASSERT_EQ(WriteExportFile(path, {QStringLiteral("a,b"), QString(), QStringLiteral("ü")}),
              std::nullopt);
    EXPECT_EQ(readAll(path), QByteArray("a,b\r\n\r\n\xc3\xbc\r\n"));
    ASSERT_EQ(WriteExportFile(path, {}), std::nullopt);
    EXPECT_EQ(readAll(path), QByteArray());
}

TEST(WriteExportFile, AFailedWriteLeavesTheOldFileWhole) {
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("good.htm"));
    {
        QFile good(path);
        ASSERT_TRUE(good.open(QIODevice::WriteOnly));
        good.write("the user's good file\r\n");
    }
    // Files may grow to 4 KiB only, so a big export fails part-way through.
    rlimit old{};
    getrlimit(RLIMIT_FSIZE, &old);
    const auto oldHandler = std::signal(SIGXFSZ, SIG_IGN);
    rlimit small = old;
    small.rlim_cur = 4096;
    setrlimit(RLIMIT_FSIZE, &small);
    const auto error = WriteExportFile(path, QStringList(2000, QStringLiteral("0123456789")));
    setrlimit(RLIMIT_FSIZE, &old);
    std::signal(SIGXFSZ, oldHandler);

    ASSERT_TRUE(error.has_value());
    EXPECT_EQ(*error, QStringLiteral("I/O error %1").arg(EFBIG));
    EXPECT_EQ(readAll(path), QByteArray("the user's good file\r\n"));
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden),
              QStringList{QStringLiteral("good.htm")});
}

TEST(WriteExportFile, NamesTheReason) {
    QTemporaryDir dir;
    EXPECT_EQ(WriteExportFile(dir.filePath(QStringLiteral("no/such/dir/x.txt")), {}),
              QStringLiteral("File not found"));
    EXPECT_EQ(WriteExportFile(dir.path(), {}), QStringLiteral("Invalid filename"));
}

}  // namespace
}  // namespace quendrix
