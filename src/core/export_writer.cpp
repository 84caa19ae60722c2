#include "core/export_writer.h"

#include "core/prompts.h"

#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>

#include <fcntl.h>
#include <poll.h>
#include <sys/stat.h>
#include <unistd.h>
#include <cerrno>
#include <csignal>
#include <ctime>

namespace quendrix {
namespace {

QString errorText(int error) {
    switch (error) {
        case ENOENT:
        case ENOTDIR:
            return QStringLiteral("File not found");
        case ENAMETOOLONG:
        case EINVAL:
        case EISDIR:
            return QStringLiteral("Invalid filename");
        case EMFILE:
        case ENFILE:
            return QStringLiteral("Too many open files");
        case EACCES:
        case EPERM:
        case EROFS:
        case ETXTBSY:
            return QStringLiteral("File access denied");
        case ENOSPC:
        case EDQUOT:
            return QStringLiteral("Disk full");
        case ENXIO:
            // What opening a FIFO without a reader gives.
            return QStringLiteral("Nothing is reading from the pipe");
        case EPIPE:
            return QStringLiteral("The reader closed the pipe");
        case ETIMEDOUT:
            // A pipe or device that took nothing for kStalledReaderMs.
            return QStringLiteral("The reader stopped reading");
        default:
            return QStringLiteral("I/O error %1").arg(error);
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
int writeAll(int fd, const QByteArray& bytes, bool regular) {
    const char* data = bytes.constData();
    qsizetype left = bytes.size();
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
        left -= written;
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
int writeDirectly(const QByteArray& nativePath, const QByteArray& bytes) {
    const int fd = ::open(nativePath.constData(), O_WRONLY | O_NOCTTY | O_CLOEXEC | O_NONBLOCK);
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

// A temporary file beside the target, created with the default permissions; -1 and errno set
// when the folder refuses it.
int createTemporary(const QString& target, QByteArray& tempPath) {
    const QFileInfo info(target);
    for (int attempt = 0; attempt < 64; ++attempt) {
        // A short name of its own: the target's name may already be as long as names go.
        const QString name = info.absolutePath() + QStringLiteral("/.quendrix-") +
                             QString::number(QRandomGenerator::global()->generate(), 16) +
                             QStringLiteral(".tmp");
        tempPath = QFile::encodeName(name);
        const int fd =
            ::open(tempPath.constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC | O_NOCTTY, 0666);
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
int writeReplacing(const QString& target, const struct stat* existing, const QByteArray& bytes,
                   bool& denied) {
    QByteArray tempPath;
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
    const QByteArray nativeTarget = QFile::encodeName(target);
    struct stat now {};
    if (error == 0 && ::lstat(nativeTarget.constData(), &now) == 0 && !S_ISREG(now.st_mode)) {
        // Something else took the name meanwhile (a FIFO, a device): never rename over it.
        ::unlink(tempPath.constData());
        return writeDirectly(nativeTarget, bytes);
    }
    if (error == 0 && ::rename(tempPath.constData(), nativeTarget.constData()) != 0) {
        error = errno;
    }
    if (error != 0) {
        ::unlink(tempPath.constData());
    }
    return error;
}

int writeExport(const QString& path, const QByteArray& bytes) {
    if (path.isEmpty()) {
        return ENOENT;
    }
    // A link is followed: the file it names is the one replaced, the link stays.
    QString target = path;
    const QFileInfo info(path);
    if (info.isSymLink() && info.exists()) {
        target = info.canonicalFilePath();
    }
    const QByteArray nativeTarget = QFile::encodeName(target);
    struct stat status {};
    if (::stat(nativeTarget.constData(), &status) != 0) {
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
        return writeDirectly(nativeTarget, bytes);
    }
    // A file the user may not write is not theirs to replace, even in their own folder.
    if (::access(nativeTarget.constData(), W_OK) != 0) {
        return errno;
    }
    bool denied = false;
    const int error = writeReplacing(target, &status, bytes, denied);
    if (denied) {
        // The folder is closed to us but the file may still be writable: replace its content.
        return writeDirectly(nativeTarget, bytes);
    }
    return error;
}

}  // namespace

QByteArray ExportFileBytes(const QStringList& lines, TextEncoding encoding) {
    QByteArray bytes;
    for (const QString& line : lines) {
        bytes += encoding == TextEncoding::Latin1 ? line.toLatin1() : line.toLocal8Bit();
        bytes += "\r\n";
    }
    return bytes;
}

std::optional<QString> WriteExportFile(const QString& path, const QStringList& lines,
                                       TextEncoding encoding) {
    if (const int error = writeExport(path, ExportFileBytes(lines, encoding)); error != 0) {
        return errorText(error);
    }
    return std::nullopt;
}

ReplaceQuestion AlreadyExistsQuestion() {
    return {QStringLiteral("Confirm"),
            QStringLiteral("%1 already exists.\rDo you want to replace it?")};
}

ReplaceQuestion HasExistedQuestion() {
    return {QStringLiteral("Confirm"), QStringLiteral("The file has existed, replace it or not?")};
}

QString ReplaceQuestionText(const QString& path, const ReplaceQuestion& question) {
    return question.text.contains(QLatin1String("%1")) ? question.text.arg(path) : question.text;
}

bool ConfirmReplace(Prompts& prompts, const QString& path, const ReplaceQuestion& question) {
    if (!QFileInfo::exists(path)) {
        return true;
    }
    return prompts.askYesNo(question.caption, ReplaceQuestionText(path, question)) ==
           Prompts::Answer::Yes;
}

std::optional<QString> SaveExportAs(
    Prompts& prompts, const ExportKind& kind, const ReplaceQuestion& question,
    const std::function<QStringList()>& lines, TextEncoding encoding,
    const std::function<QString(const QString& path, const QString& reason)>& failureText) {
    const QString path = prompts.saveFile(QString(), kind.saveFilter(), kind.fileType());
    if (path.isEmpty() || !ConfirmReplace(prompts, path, question)) {
        return std::nullopt;
    }
    if (const auto error = WriteExportFile(path, lines(), encoding)) {
        prompts.message(QStringLiteral("Quendrix"),
                        failureText ? failureText(path, *error) : *error, Prompts::Icon::Error);
        return std::nullopt;
    }
    return path;
}

QStringList HtmlPageHead(const HtmlFrame& frame) {
    return {
        QStringLiteral("<html><head><title>%1</title></head>").arg(frame.title),
        QStringLiteral("<body bgcolor=\"#FFFFFF\" text=\"#000000\">"),
        QStringLiteral("<table width=\"98%\" border=\"0\" cellspacing=\"0\" cellpadding=\"0\" "
                       "bordercolor=\"#CCCCCC\" bgcolor=\"#003399\"%1>")
            .arg(frame.centreOuterTable ? QStringLiteral(" align=\"center\"") : QString()),
        QStringLiteral("<tr bgcolor=\"#003399\"><td width=\"9%\">&nbsp;</td><td "
                       "width=\"81%\">&nbsp;</td><td width=\"10%\">&nbsp;</td></tr>"),
        QStringLiteral("<tr bgcolor=\"#003399\"><td width=\"9%\">&nbsp;</td><td width=\"81%\">"),
        QStringLiteral("<div align=\"center\"><font color=\"#003366\" size=\"3\" face=\"Arial, "
                       "Helvetica, sans-serif\"><b><font size=\"5\" face=\"Times New Roman, "
                       "Times, serif\" color=\"#FFFFFF\">%1</font></b></font></div>")
            .arg(frame.heading),
        QStringLiteral("</td><td width=\"10%\">&nbsp;</td></tr><tr bgcolor=\"#003399\"><td "
                       "width=\"9%\">&nbsp;</td><td width=\"81%\">&nbsp;</td><td "
                       "width=\"10%\">&nbsp;</td></tr></table><br>"),
        QStringLiteral("<table width=\"%1\" border=\"0\" cellspacing=\"2\" cellpadding=\"0\" "
                       "align=\"center\">")
            .arg(frame.tableWidth),
    };
}

QString HtmlCreatedLine(const QDateTime& now) {
    const QLocale locale = QLocale::system();
    return QStringLiteral(
               "<tr><td><div align=\"center\"><font size=\"2\"><b><font "
               "color=\"#003399\">Created by Quendrix %1 %2 "
               "</font></b></font></div>")
        .arg(locale.toString(now.date(), QLocale::ShortFormat),
             locale.toString(now.time(), QLocale::LongFormat));
}

QStringList HtmlPageTail(const QDateTime& now) {
    return {
        QStringLiteral("</table><br><table width=\"80%\" border=\"0\" cellspacing=\"0\" "
                       "cellpadding=\"0\" align=\"center\">"),
        HtmlCreatedLine(now),
        QStringLiteral("</td></tr><tr><td><div align=\"center\"><a href=\"%1\" "
                       "target=\"_blank\"><font color=\"#6699CC\"><b><font "
                       "size=\"2\">%2</font></b></font></a></div>")
            .arg(kHomePageUrl, kHomePageText),
        QStringLiteral("</td></tr></table></body></html> "),
    };
}

QString HtmlRowStart(int index) {
    return index % 2 == 0 ? QStringLiteral("<tr>") : QStringLiteral("<tr bgcolor=\"#E4E4E4\">");
}

QString HtmlCell(const QString& width, const QString& text, bool red) {
    if (red) {
        return QStringLiteral(
                   "<td height=\"21\" width=\"%1\"><div align=\"center\"><font "
                   "color=\"#FF0000\">%2</font><div></td>")
            .arg(width, text);
    }
    return QStringLiteral("<td height=\"21\" width=\"%1\"><div align=\"center\">%2<div></td>")
        .arg(width, text);
}

}  // namespace quendrix
