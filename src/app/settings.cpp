#include "app/settings.h"

#include "core/target.h"

#include <QDir>
#include <QFileInfo>
#include <QSettings>
#include <QStandardPaths>

namespace quendrix {

QString LocateSettingsFile(const QString& executableDirectory) {
    const QString beside = QDir(executableDirectory).filePath(QStringLiteral("settings.ini"));
    const QFileInfo besideInfo(beside);
    if (besideInfo.exists() ? besideInfo.isWritable()
                            : QFileInfo(executableDirectory).isWritable()) {
        return beside;
    }
    QString config = qEnvironmentVariable("XDG_CONFIG_HOME");
    if (config.isEmpty()) {
        config = QDir::home().filePath(QStringLiteral(".config"));
    }
    return QDir(config).filePath(QStringLiteral("quendrix/settings.ini"));
}

Settings ReadSettings(const QString& path) {
    Settings settings;
    if (!QFileInfo::exists(path)) {
        return settings;
    }
    QSettings file(path, QSettings::IniFormat);
    settings.customized =
        file.value(QStringLiteral("whois/customized")).toString() == QStringLiteral("true");
    settings.server = file.value(QStringLiteral("whois/server")).toString();
    bool ok = false;
    const int tab = file.value(QStringLiteral("tab/tab")).toString().trimmed().toInt(&ok);
    settings.tab = ok ? tab : 0;
    return settings;
}

bool WriteSettings(const QString& path, const Settings& settings) {
    QDir().mkpath(QFileInfo(path).absolutePath());
    QSettings file(path, QSettings::IniFormat);
    file.setValue(QStringLiteral("whois/customized"),
                  settings.customized ? QStringLiteral("true") : QStringLiteral("false"));
    file.setValue(QStringLiteral("whois/server"), TrimBlanks(settings.server));
    file.setValue(QStringLiteral("tab/tab"), QString::number(settings.tab));
    file.sync();
    return file.status() == QSettings::NoError;
}

}  // namespace quendrix
