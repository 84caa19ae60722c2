// A target list: an ordered, unsorted list of target texts kept exactly as given. Edited on
// the UI thread only; a running batch job reads it entry by entry from its worker thread,
// so reads are guarded and edits made during a run are seen from the next entry on.
#pragma once

#include <QAbstractListModel>
#include <QStringList>

#include <optional>
#include <shared_mutex>

namespace quendrix {

class TargetListModel : public QAbstractListModel {
    Q_OBJECT
  public:
    explicit TargetListModel(QObject* parent = nullptr);

    // Any thread.
    int count() const;
    std::optional<QString> entryAt(int position) const;
    QStringList entries() const;

    // UI thread only.
    void replaceAll(QStringList entries);
    void prepend(const QString& entry);
    void append(const QString& entry);
    void replace(int position, const QString& entry);
    void remove(int position);
    void clear();

    int rowCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;

  private:
    mutable std::shared_mutex m_mutex;
    QStringList m_entries;
};

// Splits 8-bit text into list entries: a line ends at CR, LF or CR LF; a final line without
// a break counts; a break at the very end adds no empty entry; a NUL ends the text.
QStringList SplitTargetLines(const QByteArray& bytes);

// The largest list file read, far above any real list: a larger file (or an endless device
// such as /dev/zero) is refused rather than filling the memory.
inline constexpr qint64 kTargetFileLimit = qint64{256} * 1024 * 1024;

// Reads a target file. On failure returns nullopt and sets error to
// "Cannot open file "<name>". <reason>"; the reason for a file over kTargetFileLimit says it
// is too large, and for a FIFO that nothing starts writing to within a few seconds, that
// nothing writes to it.
std::optional<QStringList> ReadTargetFile(const QString& path, QString* error);
// The same for a path in the file system's own bytes (a command line's argument, which need
// not be text); on failure reason is set to the <reason> alone.
std::optional<QStringList> ReadTargetFileBytes(const QByteArray& nativePath, QString* reason);

}  // namespace quendrix
