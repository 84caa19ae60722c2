// A program that runs with a capability from its file keeps only the desktop's variables: what
// would make Qt, GTK or WebEngine load code from elsewhere is gone before anything reads it.
#include "net/secure_environment.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <string>

namespace quendrix::net {
namespace {

// Sets each variable, keeps the desktop's, and returns how many came out wrong.
int WrongAfterKeeping() {
    const struct {
        const char* name;
        bool kept;
    } cases[] = {
        {"QT_PLUGIN_PATH", false},
        {"QT_QPA_PLATFORM_PLUGIN_PATH", false},
        {"QT_QPA_PLATFORMTHEME", false},
        {"QTWEBENGINE_CHROMIUM_FLAGS", false},
        {"QML2_IMPORT_PATH", false},
        {"GTK_MODULES", false},
        {"GTK_PATH", false},
        {"GIO_EXTRA_MODULES", false},
        {"LD_LIBRARY_PATH", false},
        {"HOME", true},
        {"DISPLAY", true},
        {"XAUTHORITY", true},
        {"XDG_RUNTIME_DIR", true},
        {"XDG_CONFIG_HOME", true},
        {"LANG", true},
        {"LC_ALL", true},
        {"LC_TIME", true},
        {"http_proxy", true},
        {"HTTPS_PROXY", true},
        {"ALL_PROXY", true},
        {"NO_PROXY", true},
        {"QT_QPA_PLATFORM", true},
    };
    for (const auto& c : cases) {
        ::setenv(c.name, "/tmp/x", 1);
    }
    KeepOnlyTheDesktopEnvironment();
    int wrong = 0;
    for (const auto& c : cases) {
        if ((std::getenv(c.name) != nullptr) != c.kept) {
            std::fprintf(stderr, "%s %s\n", c.name, c.kept ? "dropped" : "kept");
            ++wrong;
        }
    }
    return wrong;
}

TEST(SecureEnvironment, OnlyTheDesktopsVariablesAreKept) {
    // In a child process: the test's own environment stays as it is.
    EXPECT_EXIT(std::exit(WrongAfterKeeping()), ::testing::ExitedWithCode(0), "");
    // A test process started normally is no program with raised privileges.
    EXPECT_FALSE(StartedWithRaisedPrivileges());
}

}  // namespace
}  // namespace quendrix::net
