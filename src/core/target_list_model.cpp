#include "core/target_list_model.h"

#include <QFile>

#include <fcntl.h>
#include <poll.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

#include <mutex>

namespace quendrix {

TargetListModel::TargetListModel(QObject* parent) : QAbstractListModel(parent) {}

int TargetListModel::count() const {
    std::shared_lock lock(m_mutex);
    return static_cast<int>(m_entries.size());
}

std::optional<QString> TargetListModel::entryAt(int position) const {
    std::shared_lock lock(m_mutex);
    if (position < 0 || position >= m_entries.size()) {
        return std::nullopt;
    }
    return m_entries.at(position);
}

QStringList TargetListModel::entries() const {
    std::shared_lock lock(m_mutex);
    return m_entries;
}

void TargetListModel::replaceAll(QStringList entries) {
    beginResetModel();
    {
        std::unique_lock lock(m_mutex);
        m_entries = std::move(entries);
    }
    endResetModel();
}

void TargetListModel::prepend(const QString& entry) {
    beginInsertRows({}, 0, 0);
    {
        std::unique_lock lock(m_mutex);
        m_entries.prepend(entry);
    }
    endInsertRows();
}

void TargetListModel::append(const QString& entry) {
    const int position = count();
    beginInsertRows({}, position, position);
    {
        std::unique_lock lock(m_mutex);
        m_entries.append(entry);
    }
    endInsertRows();
}

void TargetListModel::replace(int position, const QString& entry) {
    if (position < 0 || position >= count()) {
        return;
    }
    {
        std::unique_lock lock(m_mutex);
        m_entries[position] = entry;
    }
    Q_EMIT dataChanged(index(position), index(position));
}

void TargetListModel::remove(int position) {
    if (position < 0 || position >= count()) {
        return;
    }
    beginRemoveRows({}, position, position);
    {
        std::unique_lock lock(m_mutex);
        m_entries.removeAt(position);
    }
    endRemoveRows();
}

void TargetListModel::clear() {
    replaceAll({});
}

int TargetListModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : count();
}

QVariant TargetListModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid() || (role != Qt::DisplayRole && role != Qt::EditRole)) {
        return {};
    }
    // Views read on the UI thread, the only writer, so no lock is needed for a read here.
    return index.row() < m_entries.size() ? m_entries.at(index.row()) : QVariant();
}

QStringList SplitTargetLines(const QByteArray& bytes) {
    const char* data = bytes.constData();
    qsizetype size = bytes.size();
    if (const void* nul = std::memchr(data, '\0', static_cast<size_t>(size))) {
        size = static_cast<const char*>(nul) - data;
    }
    QStringList lines;
    qsizetype start = 0;
    qsizetype i = 0;
    while (i < size) {
        const char c = data[i];
        if (c == '\r' || c == '\n') {
            lines.append(QString::fromLocal8Bit(data + start, i - start));
            ++i;
            if (c == '\r' && i < size && data[i] == '\n') {
                ++i;
            }
            start = i;
        } else {
            ++i;
        }
    }
    if (start < size) {
        lines.append(QString::fromLocal8Bit(data + start, size - start));
    }
    return lines;
}

namespace {
// How long a FIFO may keep the reader waiting for its writer.
constexpr int kPipeWriterWaitMs = 5000;
}  // namespace

std::optional<QStringList> ReadTargetFile(const QString& path, QString* error) {
    QString reason;
    auto entries = ReadTargetFileBytes(QFile::encodeName(path), &reason);
    if (!entries && error != nullptr) {
        *error = QStringLiteral("Cannot open file \"%1\". %2").arg(path, reason);
    }
    return entries;
}

std::optional<QStringList> ReadTargetFileBytes(const QByteArray& nativePath, QString* reason) {
    QFile file;
    const auto fail = [&](const QString& why) -> std::optional<QStringList> {
        if (reason != nullptr) {
            *reason = why;
        }
        return std::nullopt;
    };
    const QString tooLarge =
        QStringLiteral("File too large (more than %1 MiB)").arg(kTargetFileLimit / (1024 * 1024));
    // Opened without waiting: a FIFO that nothing writes to would otherwise hold the open
    // (and the window) for good. Such a pipe gets a few seconds for its writer to come.
    const int fd = ::open(nativePath.constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        return fail(QString::fromLocal8Bit(std::strerror(errno)));
    }
    struct stat status {};
    if (::fstat(fd, &status) == 0 && S_ISFIFO(status.st_mode)) {
        pollfd waitFor{fd, POLLIN, 0};
        int ready = 0;
        do {
            ready = ::poll(&waitFor, 1, kPipeWriterWaitMs);
        } while (ready < 0 && errno == EINTR);
        if (ready <= 0) {
            ::close(fd);
            return fail(QStringLiteral("Nothing is writing to the pipe"));
        }
    }
    const int flags = ::fcntl(fd, F_GETFL);
    if (flags >= 0) {
        ::fcntl(fd, F_SETFL, flags & ~O_NONBLOCK);
    }
    if (!file.open(fd, QIODevice::ReadOnly, QFileDevice::AutoCloseHandle)) {
        ::close(fd);
        return fail(file.errorString());
    }
    // Refused before reading where the size is known; counted while reading where it is not
    // (devices, pipes, files that grow), so that no more than the limit is ever held.
    if (!file.isSequential() && file.size() > kTargetFileLimit) {
        return fail(tooLarge);
    }
    QByteArray bytes;
    if (!file.isSequential()) {
        bytes.reserve(file.size());
    }
    QByteArray chunk(qsizetype{1} << 20, Qt::Uninitialized);
    qint64 total = 0;
    bool ended = false;  // a NUL ends the text: what follows counts only against the limit
    for (;;) {
        const qint64 got = file.read(chunk.data(), chunk.size());
        if (got < 0) {
            return fail(file.errorString());
        }
        if (got == 0) {
            break;
        }
        total += got;
        if (total > kTargetFileLimit) {
            return fail(tooLarge);
        }
        if (ended) {
            continue;
        }
        qsizetype keep = static_cast<qsizetype>(got);
        if (const void* nul = std::memchr(chunk.constData(), '\0', static_cast<size_t>(keep))) {
            keep = static_cast<const char*>(nul) - chunk.constData();
            ended = true;
        }
        if (bytes.size() + keep > bytes.capacity()) {
            // Grow as usual, but never past the limit.
            bytes.reserve(std::min<qint64>(
                kTargetFileLimit, std::max<qint64>(bytes.capacity() * 2, bytes.size() + keep)));
        }
        bytes.append(chunk.constData(), keep);
    }
    return SplitTargetLines(bytes);
}

}  // namespace quendrix
