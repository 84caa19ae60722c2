// The one owner of a file descriptor in the program: it closes the descriptor on every path out
// (sockets, eventfds, signalfds, files), can hand it over, and moves like a value.
#pragma once

#include <unistd.h>

#include <utility>

namespace quendrix::net {

class FileDescriptor {
  public:
    FileDescriptor() = default;
    explicit FileDescriptor(int fd) : m_fd(fd) {}
    ~FileDescriptor() { reset(); }
    FileDescriptor(const FileDescriptor&) = delete;
    FileDescriptor& operator=(const FileDescriptor&) = delete;
    FileDescriptor(FileDescriptor&& other) noexcept : m_fd(other.release()) {}
    FileDescriptor& operator=(FileDescriptor&& other) noexcept {
        if (this != &other) {
            reset(other.release());
        }
        return *this;
    }

    int get() const { return m_fd; }
    bool valid() const { return m_fd >= 0; }

    // Gives the descriptor up: the caller owns it from here.
    int release() { return std::exchange(m_fd, -1); }

    // Closes the descriptor held (if any) and takes `fd` instead. A failing close is not
    // reported: the descriptor is gone either way, and nothing written through it waits here.
    void reset(int fd = -1) {
        if (m_fd >= 0) {
            ::close(m_fd);
        }
        m_fd = fd;
    }

  private:
    int m_fd = -1;
};

}  // namespace quendrix::net
