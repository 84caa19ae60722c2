// settings.ini: the whois server choice and the page that was open when the program closed.
#pragma once

#include <QString>

namespace quendrix {

struct Settings {
    bool customized = false;  // "true" exactly checks the box
    QString server;
    int tab = 0;  // -1 or out of range: no page shown
};

// Where settings.ini lives: beside the executable when that file is writable or the folder
// is; otherwise (an installed program) $XDG_CONFIG_HOME/quendrix/settings.ini.
QString LocateSettingsFile(const QString& executableDirectory);

// Missing or unreadable file: every setting takes its default.
Settings ReadSettings(const QString& path);
// Writes the three settings; the server trimmed of blanks. False when it could not write.
bool WriteSettings(const QString& path, const Settings& settings);

}  // namespace quendrix
