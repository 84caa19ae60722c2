#include "app/settings.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSettings>

#include <cerrno>

#include <sys/stat.h>
#include <unistd.h>

namespace quendrix {

namespace {

// $XDG_CONFIG_HOME/quendrix/settings.ini, ~/.config when the variable is unset or empty.
QString XdgSettingsFile() {
    QString config = qEnvironmentVariable("XDG_CONFIG_HOME");
    if (config.isEmpty()) {
        config = QDir::home().filePath(QStringLiteral(".config"));
    }
    return QDir(config).filePath(QStringLiteral("quendrix/settings.ini"));
}

// The XDG file for writing; for reading the shipped file while the XDG one does not exist.
SettingsFiles XdgOrShipped(const QFileInfo& shipped) {
    const QString xdg = XdgSettingsFile();
    if (!QFileInfo::exists(xdg) && shipped.isFile() && shipped.isReadable()) {
        return {shipped.filePath(), xdg};
    }
    return {xdg, xdg};
}

// A FIFO or a device where settings.ini should be (itself or through a link) is neither read
// (opening a FIFO waits for a writer for ever) nor replaced by a file.
bool IsRegularOrMissing(const QString& path) {
    struct stat status {};
    if (::stat(QFile::encodeName(path).constData(), &status) != 0) {
        return errno == ENOENT;
    }
    return S_ISREG(status.st_mode);
}

}  // namespace

SettingsFiles LocateSettingsFiles(const QString& executableDirectory,
                                  const std::function<bool(const QString& path)>& writable) {
    const auto canWrite = [&writable](const QString& path) {
        return writable ? writable(path) : access(QFile::encodeName(path).constData(), W_OK) == 0;
    };
    const QString beside = QDir(executableDirectory).filePath(QStringLiteral("settings.ini"));
    const QFileInfo besideInfo(beside);
    if (besideInfo.exists() ? canWrite(beside) : canWrite(executableDirectory)) {
        return {beside, beside};
    }
    return XdgOrShipped(besideInfo);
}

SettingsFiles LocateInstalledSettingsFiles(const QString& dataDirectory) {
    return XdgOrShipped(QFileInfo(QDir(dataDirectory).filePath(QStringLiteral("settings.ini"))));
}

SettingValues ReadSettings(const QString& path) {
    SettingValues values;
    if (!IsRegularOrMissing(path) || !QFileInfo::exists(path)) {
        return values;
    }
    QSettings file(path, QSettings::IniFormat);
    for (const QString& key : file.allKeys()) {
        values.insert(key, file.value(key).toString());
    }
    return values;
}

bool WriteSettings(const QString& path, const SettingValues& values) {
    if (!IsRegularOrMissing(path)) {
        return false;
    }
    QDir().mkpath(QFileInfo(path).absolutePath());
    QSettings file(path, QSettings::IniFormat);
    for (auto it = values.cbegin(); it != values.cend(); ++it) {
        file.setValue(it.key(), it.value());
    }
    file.sync();
    return file.status() == QSettings::NoError;
}

int PageIndexSetting(const QString& text) {
    bool ok = false;
    const int index = text.trimmed().toInt(&ok);
    return ok ? index : 0;
}

}  // namespace quendrix
