#include "core/target_list_model.h"

#include <QFile>

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

std::optional<QStringList> ReadTargetFile(const QString& path, QString* error) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        if (error != nullptr) {
            *error = QStringLiteral("Cannot open file \"%1\". %2").arg(path, file.errorString());
        }
        return std::nullopt;
    }
    const QByteArray bytes = file.readAll();
    if (file.error() != QFileDevice::NoError) {
        if (error != nullptr) {
            *error = QStringLiteral("Cannot open file \"%1\". %2").arg(path, file.errorString());
        }
        return std::nullopt;
    }
    return SplitTargetLines(bytes);
}

}  // namespace quendrix
