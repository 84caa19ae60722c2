#include "net/file_writer.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/random.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <random>

namespace quendrix::net {
namespace {

std::string errorText(int error) {
    switch (error) {
        case ENOENT:
        case ENOTDIR:
            return "File not found";
        case ENAMETOOLONG:
        case EINVAL:
        case EISDIR:
            return "Invalid filename";
        case EMFILE:
        case ENFILE:
            return "Too many open files";
        case EACCES:
        case EPERM:
        case EROFS:
        case ETXTBSY:
            return "File access denied";
        case ENOSPC:
        case EDQUOT:
            return "Disk full";
        case ENXIO:
            // What opening a FIFO without a reader gives.
            return "Nothing is reading from the pipe";
        case EPIPE:
            return "The reader closed the pipe";
        case ETIMEDOUT:
            // A pipe or device that took nothing for kStalledReaderMs.
            return "The reader stopped reading";
        default:
            return "I/O error " + std::to_string(error);
    }
}

// While alive, a reader that goes away mid-write gives EPIPE instead of a SIGPIPE that would
// end the program; a SIGPIPE raised meanwhile is taken back before the old mask returns.
class SigpipeHeld {
  public:
    SigpipeHeld() {
        sigemptyset(&m_pipe);
        sigaddset(&m_pipe, SIGPIPE);
        pthread_sigmask(SIG_BLOCK, &m_pipe, &m_oldMask);
        sigset_t pending;
        sigpending(&pending);
        m_wasPending = sigismember(&pending, SIGPIPE) == 1;
    }
    ~SigpipeHeld() {
        sigset_t pending;
        sigpending(&pending);
        if (!m_wasPending && sigismember(&pending, SIGPIPE) == 1) {
            const timespec now{};
            sigtimedwait(&m_pipe, nullptr, &now);
        }
        pthread_sigmask(SIG_SETMASK, &m_oldMask, nullptr);
    }
    SigpipeHeld(const SigpipeHeld&) = delete;
    SigpipeHeld& operator=(const SigpipeHeld&) = delete;

  private:
    sigset_t m_pipe{};
    sigset_t m_oldMask{};
    bool m_wasPending = false;
};

// How long a pipe or device may take nothing before the export gives up on it: exports run
// on the window's thread, and a reader that opened a FIFO and stopped reading must not hold
// the window for good.
constexpr int kStalledReaderMs = 10000;

// Writes every byte, then, for a regular file, has the file system take them: a full disk
// must show here, not after the rename. Returns 0 or the errno. On a descriptor opened
// without waiting (a pipe or device), a full buffer is waited on for kStalledReaderMs at most.
int writeAll(int fd, std::string_view bytes, bool regular) {
    const char* data = bytes.data();
    std::size_t left = bytes.size();
    while (left > 0) {
        const ssize_t written = ::write(fd, data, static_cast<size_t>(left));
        if (written < 0) {
            if (errno == EINTR) {
                continue;
            }
            if (errno == EAGAIN) {
                pollfd writable{fd, POLLOUT, 0};
                const int ready = ::poll(&writable, 1, kStalledReaderMs);
                if (ready == 0) {
                    return ETIMEDOUT;
                }
                if (ready < 0 && errno != EINTR) {
                    return errno;
                }
                continue;  // room again, or the reader left: the next write says which
            }
            return errno;
        }
        if (written == 0) {
            return EIO;
        }
        data += written;
        left -= static_cast<std::size_t>(written);
    }
    if (regular && ::fsync(fd) != 0) {
        return errno;
    }
    return 0;
}

// Closes fd and returns the first of the two errors (0 when both are 0).
int closeAfter(int fd, int writeError) {
    if (::close(fd) != 0 && writeError == 0 && errno != EINTR) {
        return errno;
    }
    return writeError;
}

// Writes into the existing file itself: a special file as it is, a regular file truncated.
// A FIFO is opened without waiting, so one that nobody reads gives ENXIO at once; once open,
// writes wait for the reader, but not for good (writeAll).
int writeDirectly(const std::string& path, std::string_view bytes) {
    const int fd = ::open(path.c_str(), O_WRONLY | O_NOCTTY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0) {
        return errno;
    }
    struct stat status {};
    if (::fstat(fd, &status) != 0) {
        return closeAfter(fd, errno);
    }
    const bool regular = S_ISREG(status.st_mode);
    if (regular && ::ftruncate(fd, 0) != 0) {
        return closeAfter(fd, errno);
    }
    if (regular) {
        const int flags = ::fcntl(fd, F_GETFL);
        if (flags < 0 || ::fcntl(fd, F_SETFL, flags & ~O_NONBLOCK) != 0) {
            return closeAfter(fd, errno);
        }
    }
    const SigpipeHeld held;
    return closeAfter(fd, writeAll(fd, bytes, regular));
}

// The folder a path's file is in ("." for a bare name), "/"-terminated.
std::string folderOf(const std::string& path) {
    const auto slash = path.rfind('/');
    return slash == std::string::npos ? std::string("./") : path.substr(0, slash + 1);
}

// A temporary file beside the target, created with the default permissions; -1 and errno set
// when the folder refuses it.
int createTemporary(const std::string& target, std::string& tempPath) {
    const std::string folder = folderOf(target);
    for (int attempt = 0; attempt < 64; ++attempt) {
        std::uint32_t random = 0;
        if (::getrandom(&random, sizeof random, 0) != static_cast<ssize_t>(sizeof random)) {
            random = static_cast<std::uint32_t>(std::random_device{}());
        }
        // A short name of its own: the target's name may already be as long as names go.
        char name[32];
        std::snprintf(name, sizeof name, ".quendrix-%x.tmp", random);
        tempPath = folder + name;
        const int fd =
            ::open(tempPath.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC | O_NOCTTY, 0666);
        if (fd >= 0 || errno != EEXIST) {
            return fd;
        }
    }
    errno = EEXIST;
    return -1;
}

// The atomic replacement. existing is the target's status when it exists: the new file takes
// over its permissions (and, where allowed, its owner). Sets denied when the folder refused
// the temporary file.
int writeReplacing(const std::string& target, const struct stat* existing, std::string_view bytes,
                   bool& denied) {
    std::string tempPath;
    const int fd = createTemporary(target, tempPath);
    if (fd < 0) {
        denied = errno == EACCES || errno == EPERM;
        return errno;
    }
    if (existing != nullptr) {
        ::fchmod(fd, existing->st_mode & 07777);
        if (existing->st_uid != ::geteuid() || existing->st_gid != ::getegid()) {
            // Only root may give a file away; for anyone else the file stays theirs.
            [[maybe_unused]] const int ignored = ::fchown(fd, existing->st_uid, existing->st_gid);
        }
    }
    int error = closeAfter(fd, writeAll(fd, bytes, true));
    struct stat now {};
    if (error == 0 && ::lstat(target.c_str(), &now) == 0 && !S_ISREG(now.st_mode)) {
        // Something else took the name meanwhile (a FIFO, a device): never rename over it.
        ::unlink(tempPath.c_str());
        return writeDirectly(target, bytes);
    }
    if (error == 0 && ::rename(tempPath.c_str(), target.c_str()) != 0) {
        error = errno;
    }
    if (error != 0) {
        ::unlink(tempPath.c_str());
    }
    return error;
}

int writeFile(const std::string& path, std::string_view bytes) {
    if (path.empty()) {
        return ENOENT;
    }
    // A link is followed: the file it names is the one replaced, the link stays.
    std::string target = path;
    struct stat link {};
    if (::lstat(path.c_str(), &link) == 0 && S_ISLNK(link.st_mode)) {
        if (char* resolved = ::realpath(path.c_str(), nullptr)) {
            target = resolved;
            std::free(resolved);
        }
    }
    struct stat status {};
    if (::stat(target.c_str(), &status) != 0) {
        if (errno != ENOENT) {
            return errno;
        }
        bool denied = false;
        return writeReplacing(target, nullptr, bytes, denied);
    }
    if (S_ISDIR(status.st_mode)) {
        return EISDIR;
    }
    if (!S_ISREG(status.st_mode)) {
        return writeDirectly(target, bytes);
    }
    // A file the user may not write is not theirs to replace, even in their own folder.
    if (::access(target.c_str(), W_OK) != 0) {
        return errno;
    }
    bool denied = false;
    const int error = writeReplacing(target, &status, bytes, denied);
    if (denied) {
        // The folder is closed to us but the file may still be writable: replace its content.
        return writeDirectly(target, bytes);
    }
    return error;
}

}  // namespace

std::optional<std::string> WriteWholeFile(const std::string& path, std::string_view bytes) {
    if (const int error = writeFile(path, bytes); error != 0) {
        return errorText(error);
    }
    return std::nullopt;
}

}  // namespace quendrix::net
