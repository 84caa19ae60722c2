// Firefox profiles for tests and benchmarks: a home folder with .mozilla/firefox/profiles.ini,
// profile folders, their `lock` links and their session stores (mozLz4, made with liblz4; link
// PkgConfig::LZ4).
#pragma once

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QString>
#include <QTemporaryDir>

#include <lz4.h>
#include <sys/stat.h>
#include <sys/time.h>
#include <unistd.h>

#include <stdexcept>

namespace quendrix::test {

// A session store's bytes: the magic, the JSON's size (4 bytes little-endian), one LZ4 block.
inline QByteArray MozLz4(const QByteArray& json) {
    QByteArray file("mozLz40", 8);  // the magic ends in a NUL
    const auto size = static_cast<quint32>(json.size());
    for (int shift = 0; shift < 32; shift += 8) {
        file.append(static_cast<char>((size >> shift) & 0xff));
    }
    const int bound = LZ4_compressBound(static_cast<int>(json.size()));
    QByteArray block(bound, Qt::Uninitialized);
    const int written =
        LZ4_compress_default(json.constData(), block.data(), static_cast<int>(json.size()), bound);
    if (written <= 0) {
        throw std::runtime_error("LZ4_compress_default failed");
    }
    return file + block.left(written);
}

// The JSON of a session with one window showing one tab with one page.
inline QByteArray OnePageSession(const QByteArray& url, const QByteArray& title) {
    return R"({"version":["sessionrestore",1],"selectedWindow":1,"windows":[{"selected":1,)"
           R"("tabs":[{"index":1,"entries":[{"url":")" +
           url + R"(","title":")" + title + R"("}]}]}],"_closedWindows":[]})";
}

// A home folder of its own with .mozilla/firefox in it.
class FirefoxHome {
  public:
    FirefoxHome() { QDir().mkpath(profilesFolder()); }

    QString home() const { return m_dir.path(); }
    QString profilesFolder() const { return m_dir.filePath(QStringLiteral(".mozilla/firefox")); }

    void writeProfilesIni(const QByteArray& text) const {
        write(profilesFolder() + QStringLiteral("/profiles.ini"), text);
    }

    // A profile folder, relative to the profiles folder unless absolute; returns its path.
    QString makeProfile(const QString& path) const {
        const QString folder =
            QDir::isAbsolutePath(path) ? path : profilesFolder() + QLatin1Char('/') + path;
        QDir().mkpath(folder + QStringLiteral("/sessionstore-backups"));
        return folder;
    }

    // The profile's lock link naming `pid` (this process: a running Firefox), made `age`
    // seconds ago.
    static void lock(const QString& folder, qint64 pid = ::getpid(), int age = 0) {
        const QByteArray link = QFile::encodeName(folder + QStringLiteral("/lock"));
        ::unlink(link.constData());
        const QByteArray target = "127.0.1.1:+" + QByteArray::number(pid);
        if (::symlink(target.constData(), link.constData()) != 0) {
            throw std::runtime_error("symlink failed");
        }
        if (age > 0) {
            timeval times[2]{};
            ::gettimeofday(&times[0], nullptr);
            times[0].tv_sec -= age;
            times[1] = times[0];
            ::lutimes(link.constData(), times);
        }
    }

    // The profile's session store (already encoded bytes).
    static QString writeStore(const QString& folder, const QByteArray& bytes) {
        const QString path = folder + QStringLiteral("/sessionstore-backups/recovery.jsonlz4");
        write(path, bytes);
        return path;
    }

    // Sets the store's modification time `age` seconds back.
    static void ageStore(const QString& folder, int age) {
        const QByteArray path =
            QFile::encodeName(folder + QStringLiteral("/sessionstore-backups/recovery.jsonlz4"));
        timeval times[2]{};
        ::gettimeofday(&times[0], nullptr);
        times[0].tv_sec -= age;
        times[1] = times[0];
        ::utimes(path.constData(), times);
    }

  private:
    static void write(const QString& path, const QByteArray& bytes) {
        QFile file(path);
        if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size()) {
            throw std::runtime_error("cannot write " + path.toStdString());
        }
    }

    QTemporaryDir m_dir;
};

}  // namespace quendrix::test
