#include "net/secure_environment.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <iterator>
#include <string>
#include <string_view>
#include <vector>

#include <sys/auxv.h>
#include <unistd.h>

namespace quendrix::net {
namespace {

// Where the user is, the display, the session bus, the language and the time zone; Qt's
// choices among what the system installed (the platform plugin by name) and its scaling.
constexpr std::string_view kKept[] = {
    "HOME",
    "USER",
    "LOGNAME",
    "SHELL",
    "PATH",  // the programs started from here (xdg-open) get no capability
    "TERM",
    "LANG",
    "LANGUAGE",
    "TZ",
    "DISPLAY",
    "XAUTHORITY",
    "WAYLAND_DISPLAY",
    "DBUS_SESSION_BUS_ADDRESS",
    "XDG_RUNTIME_DIR",
    "XDG_CONFIG_HOME",
    "XDG_DATA_HOME",
    "XDG_CACHE_HOME",
    "XDG_STATE_HOME",
    "XDG_CURRENT_DESKTOP",
    "XDG_SESSION_TYPE",
    "XDG_SESSION_DESKTOP",
    // The user's proxies, for the website scanner (libcurl reads both spellings, except
    // HTTP_PROXY).
    "http_proxy",
    "https_proxy",
    "HTTPS_PROXY",
    "all_proxy",
    "ALL_PROXY",
    "no_proxy",
    "NO_PROXY",
    "QT_QPA_PLATFORM",
    "QT_SCALE_FACTOR",
    "QT_SCREEN_SCALE_FACTORS",
    "QT_ENABLE_HIGHDPI_SCALING",
    "QT_FONT_DPI",
};

bool Kept(std::string_view name) {
    return name.substr(0, 3) == "LC_" ||
           std::find(std::begin(kKept), std::end(kKept), name) != std::end(kKept);
}

}  // namespace

bool StartedWithRaisedPrivileges() {
    return ::getauxval(AT_SECURE) != 0;
}

void KeepOnlyTheDesktopEnvironment() {
    // The names first: unsetting changes environ under the loop.
    std::vector<std::string> dropped;
    for (char** entry = environ; *entry != nullptr; ++entry) {
        const std::string_view text(*entry);
        const std::string_view name = text.substr(0, text.find('='));
        if (!Kept(name)) {
            dropped.emplace_back(name);
        }
    }
    for (const std::string& name : dropped) {
        ::unsetenv(name.c_str());
    }
}

}  // namespace quendrix::net
