// The shared file helpers: the descriptor owner closes exactly once and hands over on a move;
// the whole-file reader reads /proc files (whose size reads as 0) to their end and keeps to its
// limit.
#include "net/whole_file.h"
#include "net/file_descriptor.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <cerrno>
#include <cstdio>
#include <fstream>
#include <string>
#include <utility>

namespace quendrix::net {
namespace {

bool isOpen(int fd) {
    return ::fcntl(fd, F_GETFD) != -1;
}

TEST(FileDescriptor, ClosesOnceAndHandsOverOnAMove) {
    int fds[2] = {-1, -1};
    ASSERT_EQ(::pipe2(fds, O_CLOEXEC), 0);
    const int readEnd = fds[0];
    {
        FileDescriptor first(readEnd);
        FileDescriptor second(std::move(first));
        EXPECT_FALSE(first.valid());
        EXPECT_EQ(second.get(), readEnd);
        FileDescriptor third;
        third = std::move(second);
        EXPECT_TRUE(isOpen(readEnd));
        FileDescriptor writeEnd(fds[1]);
        EXPECT_EQ(writeEnd.release(), fds[1]);  // given up: stays open below
    }
    EXPECT_FALSE(isOpen(readEnd));
    EXPECT_TRUE(isOpen(fds[1]));
    ::close(fds[1]);
}

TEST(WholeFile, ReadsToTheEndAndKeepsToItsLimit) {
    // A /proc file reads as size 0; its text is there all the same.
    const auto self = readWholeFile("/proc/self/status");
    ASSERT_TRUE(self) << self.error().text;
    EXPECT_NE(self->find("Name:"), std::string::npos);

    const std::string path =
        ::testing::TempDir() + "quendrix-whole-file-" + std::to_string(::getpid());
    const std::string text(200 * 1024 + 7, 'x');  // over several read chunks
    std::ofstream(path, std::ios::binary) << text;
    EXPECT_EQ(readWholeFile(path).value(), text);

    std::string buffer = "stale";
    EXPECT_TRUE(readWholeFile(path, buffer, text.size()));  // exactly at the limit
    EXPECT_EQ(buffer, text);
    const auto over = readWholeFile(path, buffer, text.size() - 1);
    ASSERT_FALSE(over);
    EXPECT_EQ(over.code(), ErrorCode::OutOfRange);
    EXPECT_EQ(buffer.size(), text.size() - 1);
    std::remove(path.c_str());

    const auto missing = readWholeFile(path, buffer);
    ASSERT_FALSE(missing);
    EXPECT_EQ(missing.error().systemError, ENOENT);
    EXPECT_TRUE(buffer.empty());

    // A FIFO where a file is expected, with no writer: its empty text at once, not a hang.
    ASSERT_EQ(::mkfifo(path.c_str(), 0600), 0);
    const auto fifo = readWholeFile(path);
    std::remove(path.c_str());
    ASSERT_TRUE(fifo) << fifo.error().text;
    EXPECT_EQ(*fifo, "");
}

}  // namespace
}  // namespace quendrix::net
