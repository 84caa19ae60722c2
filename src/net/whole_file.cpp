// Reading a whole file: open, read in chunks until the end, retry on EINTR.
#include "net/whole_file.h"

#include "net/file_descriptor.h"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>

namespace quendrix::net {

Result<void> readWholeFile(const std::string& path, std::string& text, std::size_t limit) {
    text.clear();
    // Non-blocking: a FIFO put where a file is expected gives its empty text, never a hang.
    const FileDescriptor file(::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK));
    if (!file.valid()) {
        return Error::fromErrno(errno);
    }
    constexpr std::size_t kChunk = 64 * 1024;
    for (;;) {
        const std::size_t used = text.size();
        // One byte beyond the limit tells a file of exactly `limit` bytes from a longer one.
        const std::size_t wanted = std::min(kChunk, limit - used + 1);
        text.resize(used + wanted);
        const ssize_t count = ::read(file.get(), text.data() + used, wanted);
        if (count < 0) {
            const int error = errno;
            text.resize(used);
            if (error == EINTR) {
                continue;
            }
            return Error::fromErrno(error);
        }
        text.resize(used + static_cast<std::size_t>(count));
        if (count == 0) {
            return {};
        }
        if (text.size() > limit) {
            text.resize(limit);
            return Error{ErrorCode::OutOfRange, 0,
                         "the file is longer than " + std::to_string(limit) + " bytes"};
        }
    }
}

Result<std::string> readWholeFile(const std::string& path, std::size_t limit) {
    std::string text;
    if (auto read = readWholeFile(path, text, limit); !read) {
        return read.error();
    }
    return text;
}

}  // namespace quendrix::net
