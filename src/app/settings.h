// settings.ini: where it lives, and reading and writing its values ("section/key" -> text).
// The pages interpret their own keys (the whois page its server choice); the window keeps
// the page that was open when the program closed ("tab/tab").
#pragma once

#include <QMap>
#include <QString>

#include <functional>

namespace quendrix {

using SettingValues = QMap<QString, QString>;

struct SettingsFiles {
    QString read;   // the file read at start-up
    QString write;  // the file written at close
};

// One rule for both: the file beside the program when that file is writable, or when it does
// not exist and its folder is writable; otherwise $XDG_CONFIG_HOME/quendrix/settings.ini
// (~/.config when unset). While that file does not exist yet, a readable file beside the
// program is read instead (settings shipped with an installed program); the close then
// writes the XDG file. writable: the access check (the real one when not given).
SettingsFiles LocateSettingsFiles(const QString& executableDirectory,
                                  const std::function<bool(const QString& path)>& writable = {});

// The settings of an installed program (its folders belong to the package, also when the user
// may write to them, as root may): the XDG file for reading and writing; while that does not
// exist yet, a readable settings.ini shipped in the program's data folder is read instead.
SettingsFiles LocateInstalledSettingsFiles(const QString& dataDirectory);

// Every value of the file; empty for a missing or unreadable file.
SettingValues ReadSettings(const QString& path);
// Writes the values, keeping other keys of the file. False when it could not write.
bool WriteSettings(const QString& path, const SettingValues& values);

// The stored page index: a whole number, else 0 (also when missing).
int PageIndexSetting(const QString& text);

}  // namespace quendrix
