// The export writer on real files: line ends and encodings, full disks and file-size limits,
// FIFOs and device nodes, and a read-only folder, each leaving the user's old file whole or
// reporting why it could not.
#include "core/export_writer.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

#include <fcntl.h>
#include <poll.h>
#include <pwd.h>
#include <sched.h>
#include <sys/mount.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <sys/wait.h>
#include <unistd.h>
#include <csignal>
#include <cstring>
#include <functional>
#include <string>
#include <thread>

#include <gtest/gtest.h>

namespace quendrix {
namespace {

QByteArray readAll(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        return "<unreadable>";
    }
    return file.readAll();
}

void writeFile(const QString& path, const QByteArray& bytes) {
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    ASSERT_EQ(file.write(bytes), bytes.size());
}

QStringList filesIn(const QString& dir) {
    return QDir(dir).entryList(QDir::Files | QDir::Hidden | QDir::System, QDir::Name);
}

// Runs body in a forked child (for a private mount namespace or another user) and returns
// what it reports: empty when everything held, "skip: ..." when the machine cannot run it,
// else what went wrong.
std::string inChild(const std::function<std::string()>& body) {
    int fds[2];
    if (::pipe(fds) != 0) {
        return "pipe failed";
    }
    const pid_t pid = ::fork();
    if (pid == 0) {
        ::close(fds[0]);
        const std::string report = body();
        [[maybe_unused]] const ssize_t written = ::write(fds[1], report.data(), report.size());
        ::_exit(0);
    }
    ::close(fds[1]);
    std::string report;
    char buffer[512];
    for (ssize_t n; (n = ::read(fds[0], buffer, sizeof buffer)) != 0;) {
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n < 0) {
            break;
        }
        report.append(buffer, static_cast<size_t>(n));
    }
    ::close(fds[0]);
    int status = 0;
    ::waitpid(pid, &status, 0);
    if (!WIFEXITED(status)) {
        return "the child died with signal " + std::to_string(WTERMSIG(status));
    }
    return report;
}

#define EXPECT_CHILD_OK(report)                             \
    do {                                                    \
        const std::string r = (report);                     \
        if (r.rfind("skip: ", 0) == 0) {                    \
            GTEST_SKIP() << r.substr(6);                    \
        }                                                   \
        EXPECT_EQ(r, std::string()) << "reported by child"; \
    } while (false)

std::string check(bool held, const std::string& what) {
    return held ? std::string() : what + "; ";
}

std::string show(const std::optional<QString>& error) {
    return error ? error->toStdString() : std::string("success");
}

TEST(WriteExportFile, EndsEveryLineWithCrLfInTheChosenEncoding) {
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("out.txt"));
    const QStringList lines{QStringLiteral("a,b"), QString(), QStringLiteral("\u00fc")};
    ASSERT_EQ(WriteExportFile(path, lines), std::nullopt);
    EXPECT_EQ(readAll(path), QByteArray("a,b\r\n\r\n\xc3\xbc\r\n"));
    // Latin-1 text carries bytes one per character: each reaches the file as it was.
    ASSERT_EQ(WriteExportFile(path, lines, TextEncoding::Latin1), std::nullopt);
    EXPECT_EQ(readAll(path), QByteArray("a,b\r\n\r\n\xfc\r\n"));
    ASSERT_EQ(WriteExportFile(path, {}), std::nullopt);
    EXPECT_EQ(readAll(path), QByteArray());
    EXPECT_EQ(filesIn(dir.path()), QStringList{QStringLiteral("out.txt")});
}

TEST(WriteExportFile, ReplacesTheFileALinkNamesAndKeepsItsPermissions) {
    QTemporaryDir dir;
    const QString real = dir.filePath(QStringLiteral("real.csv"));
    const QString link = dir.filePath(QStringLiteral("link.csv"));
    writeFile(real, "old");
    ASSERT_EQ(::chmod(QFile::encodeName(real).constData(), 0640), 0);
    ASSERT_TRUE(QFile::link(real, link));
    ASSERT_EQ(WriteExportFile(link, {QStringLiteral("new")}), std::nullopt);
    EXPECT_TRUE(QFileInfo(link).isSymLink());
    EXPECT_EQ(readAll(real), QByteArray("new\r\n"));
    struct stat status {};
    ASSERT_EQ(::stat(QFile::encodeName(real).constData(), &status), 0);
    EXPECT_EQ(status.st_mode & 07777, 0640u);
}

// A file-size limit stops the flush: small writes (which buffered writers keep until the
// commit) and large ones both fail, leave the old file whole and leave no new one behind.
TEST(WriteExportFile, AWriteOverTheFileSizeLimitFailsAndKeepsTheOldFile) {
    const struct {
        const char* name;
        QStringList lines;
    } cases[] = {
        {"small", QStringList(4, QStringLiteral("0123456789"))},
        {"large", QStringList(2000, QStringLiteral("0123456789"))},
    };
    for (const auto& c : cases) {
        QTemporaryDir dir;
        const QString old = dir.filePath(QStringLiteral("good.htm"));
        const QString fresh = dir.filePath(QStringLiteral("new.htm"));
        writeFile(old, "the user's good file\r\n");

        rlimit saved{};
        ::getrlimit(RLIMIT_FSIZE, &saved);
        const auto oldHandler = std::signal(SIGXFSZ, SIG_IGN);
        rlimit small = saved;
        small.rlim_cur = 16;
        ::setrlimit(RLIMIT_FSIZE, &small);
        const auto replaceError = WriteExportFile(old, c.lines);
        const auto createError = WriteExportFile(fresh, c.lines);
        ::setrlimit(RLIMIT_FSIZE, &saved);
        std::signal(SIGXFSZ, oldHandler);

        EXPECT_EQ(replaceError, QStringLiteral("I/O error %1").arg(EFBIG)) << c.name;
        EXPECT_EQ(createError, QStringLiteral("I/O error %1").arg(EFBIG)) << c.name;
        EXPECT_EQ(readAll(old), QByteArray("the user's good file\r\n")) << c.name;
        EXPECT_EQ(filesIn(dir.path()), QStringList{QStringLiteral("good.htm")}) << c.name;
    }
}

// A 64 KiB file system filled to the last block, in a mount namespace of a child process.
TEST(WriteExportFile, AFullDiskSaysSoAndKeepsTheOldFile) {
    QTemporaryDir dir;
    const QByteArray mountPoint = QFile::encodeName(dir.path());
    EXPECT_CHILD_OK(inChild([&]() -> std::string {
        const uid_t uid = ::geteuid();
        const gid_t gid = ::getegid();
        if (::unshare(uid == 0 ? CLONE_NEWNS : CLONE_NEWNS | CLONE_NEWUSER) != 0) {
            return "skip: no private mount namespace here (" + std::string(strerror(errno)) + ")";
        }
        if (uid != 0) {
            // In order, each written at once: gid_map is refused before setgroups is denied.
            const auto put = [](const char* file, const std::string& text) {
                const int fd = ::open(file, O_WRONLY | O_CLOEXEC);
                const bool done = fd >= 0 && ::write(fd, text.data(), text.size()) ==
                                                 static_cast<ssize_t>(text.size());
                if (fd >= 0) {
                    ::close(fd);
                }
                return done;
            };
            if (!put("/proc/self/setgroups", "deny") ||
                !put("/proc/self/uid_map",
                     std::to_string(uid) + " " + std::to_string(uid) + " 1") ||
                !put("/proc/self/gid_map",
                     std::to_string(gid) + " " + std::to_string(gid) + " 1")) {
                return "skip: cannot map the user into its namespace";
            }
        }
        if (::mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) != 0 ||
            ::mount("none", mountPoint.constData(), "tmpfs", 0, "size=64k") != 0) {
            return "skip: cannot mount a tmpfs (" + std::string(strerror(errno)) + ")";
        }
        const QString base = QFile::decodeName(mountPoint);
        const QString old = base + QStringLiteral("/old.csv");
        const QString fresh = base + QStringLiteral("/new.csv");
        {
            QFile file(old);
            if (!file.open(QIODevice::WriteOnly) || file.write("old,row\r\n") != 9) {
                return "cannot write old.csv";
            }
        }
        const int fill = ::open((base + QStringLiteral("/fill")).toLocal8Bit().constData(),
                                O_WRONLY | O_CREAT, 0600);
        const QByteArray block(4096, 'x');
        int blocks = 0;
        while (blocks < 64 && ::write(fill, block.constData(), block.size()) > 0) {
            ++blocks;
        }
        ::close(fill);

        std::string report;
        const auto replaceError = WriteExportFile(old, {QStringLiteral("new,row")});
        report += check(replaceError == QStringLiteral("Disk full"),
                        "replacing gave " + show(replaceError));
        report += check(readAll(old) == "old,row\r\n", "old.csv changed");
        const auto createError = WriteExportFile(fresh, {QStringLiteral("new,row")});
        report +=
            check(createError == QStringLiteral("Disk full"), "creating gave " + show(createError));
        const QStringList left = filesIn(base);
        report += check(left == QStringList({QStringLiteral("fill"), QStringLiteral("old.csv")}),
                        "left behind: " + left.join(QLatin1Char(' ')).toStdString());
        return report;
    }));
}

TEST(WriteExportFile, AFifoIsWrittenInPlaceAndOneNobodyReadsIsAnError) {
    QTemporaryDir dir;
    const QString fifo = dir.filePath(QStringLiteral("pipe"));
    const QByteArray native = QFile::encodeName(fifo);
    ASSERT_EQ(::mkfifo(native.constData(), 0600), 0);

    // Nobody reads: the export ends at once with a reason instead of waiting for a reader.
    EXPECT_EQ(WriteExportFile(fifo, {QStringLiteral("row")}),
              QStringLiteral("Nothing is reading from the pipe"));

    // A reader is there: the bytes reach it through the pipe itself.
    const int reader = ::open(native.constData(), O_RDONLY | O_NONBLOCK);
    ASSERT_GE(reader, 0);
    EXPECT_EQ(WriteExportFile(fifo, {QStringLiteral("a"), QStringLiteral("b")}), std::nullopt);
    char buffer[64];
    const ssize_t got = ::read(reader, buffer, sizeof buffer);
    EXPECT_EQ(QByteArray(buffer, got > 0 ? static_cast<int>(got) : 0), QByteArray("a\r\nb\r\n"));

    // The reader leaves mid-write: a failure, and the program lives on (no SIGPIPE). A write
    // end held here keeps the reader's poll from seeing the last writer's hang-up.
    const int holder = ::open(native.constData(), O_WRONLY | O_NONBLOCK);
    ASSERT_GE(holder, 0);
    std::thread leaver([reader] {
        pollfd readable{reader, POLLIN, 0};
        ::poll(&readable, 1, 10000);
        char one;
        [[maybe_unused]] const ssize_t n = ::read(reader, &one, 1);
        ::close(reader);
    });
    const auto error = WriteExportFile(fifo, QStringList(400000, QStringLiteral("0123456789")));
    leaver.join();
    ::close(holder);
    EXPECT_EQ(error, QStringLiteral("The reader closed the pipe"));

    // A reader that is there but takes nothing: the export gives up instead of holding the
    // window for good.
    const int idle = ::open(native.constData(), O_RDONLY | O_NONBLOCK);
    ASSERT_GE(idle, 0);
    EXPECT_EQ(WriteExportFile(fifo, QStringList(40000, QStringLiteral("0123456789"))),
              QStringLiteral("The reader stopped reading"));
    ::close(idle);

    struct stat status {};
    ASSERT_EQ(::lstat(native.constData(), &status), 0);
    EXPECT_TRUE(S_ISFIFO(status.st_mode));
    EXPECT_EQ(filesIn(dir.path()), QStringList{QStringLiteral("pipe")});
}

TEST(WriteExportFile, ADeviceNodeIsWrittenNeverReplaced) {
    // A private null device (the same numbers as /dev/null), so that a writer that renamed
    // over device nodes could only ever replace this one.
    QTemporaryDir dir;
    const QString node = dir.filePath(QStringLiteral("null"));
    const QByteArray native = QFile::encodeName(node);
    if (::mknod(native.constData(), S_IFCHR | 0666, makedev(1, 3)) != 0) {
        GTEST_SKIP() << "cannot make a device node here: " << strerror(errno);
    }
    EXPECT_EQ(WriteExportFile(node, {QStringLiteral("discarded")}), std::nullopt);
    struct stat status {};
    ASSERT_EQ(::lstat(native.constData(), &status), 0);
    EXPECT_TRUE(S_ISCHR(status.st_mode));
    EXPECT_EQ(status.st_rdev, makedev(1, 3));
    EXPECT_EQ(filesIn(dir.path()), QStringList{QStringLiteral("null")});
}

// The user's permissions decide, not the writer's way of writing. A folder they may not write
// to, holding a file they may write: the file is replaced in place; a new file there is
// refused. A file they may not write, in their own folder: refused and left alone. Root passes
// every permission check, so as root the writer runs in a child that has become nobody.
TEST(WriteExportFile, FollowsTheUsersPermissions) {
    QTemporaryDir dir;
    const QString closed = dir.filePath(QStringLiteral("closed"));
    const QString open = dir.filePath(QStringLiteral("open"));
    ASSERT_TRUE(QDir().mkdir(closed));
    ASSERT_TRUE(QDir().mkdir(open));
    const QString writable = closed + QStringLiteral("/list.txt");
    const QString fresh = closed + QStringLiteral("/new.txt");
    const QString readOnly = open + QStringLiteral("/kept.txt");
    writeFile(writable, "an old and longer content\r\n");
    writeFile(readOnly, "kept\r\n");

    uid_t uid = ::geteuid();
    gid_t gid = ::getegid();
    if (uid == 0) {
        const passwd* nobody = ::getpwnam("nobody");
        if (nobody == nullptr) {
            GTEST_SKIP() << "root bypasses permissions and there is no user nobody";
        }
        uid = nobody->pw_uid;
        gid = nobody->pw_gid;
    }
    const auto own = [&](const QString& path, mode_t mode) {
        const QByteArray native = QFile::encodeName(path);
        EXPECT_EQ(::chown(native.constData(), uid, gid), 0);
        EXPECT_EQ(::chmod(native.constData(), mode), 0);
    };
    ASSERT_EQ(::chmod(QFile::encodeName(dir.path()).constData(), 0755), 0);
    own(writable, 0644);
    own(closed, 0555);
    own(readOnly, 0444);
    own(open, 0755);

    EXPECT_CHILD_OK(inChild([&]() -> std::string {
        if (::getegid() != gid && ::setgid(gid) != 0) {
            return "setgid failed";
        }
        if (::geteuid() != uid && ::setuid(uid) != 0) {
            return "setuid failed";
        }
        std::string report;
        const auto error = WriteExportFile(writable, {QStringLiteral("new")});
        report += check(!error.has_value(), "replacing in place gave " + show(error));
        report +=
            check(readAll(writable) == "new\r\n", "content is " + readAll(writable).toStdString());
        const auto createError = WriteExportFile(fresh, {QStringLiteral("new")});
        report += check(createError == QStringLiteral("File access denied"),
                        "creating gave " + show(createError));
        const auto readOnlyError = WriteExportFile(readOnly, {QStringLiteral("new")});
        report += check(readOnlyError == QStringLiteral("File access denied"),
                        "replacing a read-only file gave " + show(readOnlyError));
        report += check(readAll(readOnly) == "kept\r\n", "the read-only file changed");
        return report;
    }));
    EXPECT_EQ(filesIn(closed), QStringList{QStringLiteral("list.txt")});
    EXPECT_EQ(filesIn(open), QStringList{QStringLiteral("kept.txt")});
    ::chmod(QFile::encodeName(closed).constData(), 0700);
}

TEST(WriteExportFile, NamesTheReason) {
    QTemporaryDir dir;
    EXPECT_EQ(WriteExportFile(dir.filePath(QStringLiteral("no/such/dir/x.txt")), {}),
              QStringLiteral("File not found"));
    EXPECT_EQ(WriteExportFile(dir.path(), {}), QStringLiteral("Invalid filename"));
    EXPECT_EQ(WriteExportFile(QString(), {}), QStringLiteral("File not found"));
}

}  // namespace
}  // namespace quendrix
