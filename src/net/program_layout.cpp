#include "net/program_layout.h"

#include <climits>
#include <cstdlib>

#include <unistd.h>

// Set by the build (the top CMakeLists.txt) for this file only.
#if !defined(QUENDRIX_BUILD_PROGRAM_FOLDER) || !defined(QUENDRIX_INSTALLED_COMMANDS_FOLDER) || \
    !defined(QUENDRIX_INSTALLED_DATA_FOLDER) || !defined(QUENDRIX_INSTALLED_MODULE_FOLDER)
#error "the build sets the program layout's folders"
#endif

namespace quendrix::net {
namespace {

// A folder with its links resolved and a trailing "/"; empty when it does not exist.
std::string RealFolder(const char* folder) {
    char resolved[PATH_MAX];
    if (::realpath(folder, resolved) == nullptr) {
        return {};
    }
    std::string text(resolved);
    if (text.empty() || text.back() != '/') {
        text += '/';
    }
    return text;
}

}  // namespace

std::optional<std::string> RunningProgramFolder() {
    char path[PATH_MAX];
    const ssize_t size = ::readlink("/proc/self/exe", path, sizeof path - 1);
    if (size <= 0) {
        return std::nullopt;
    }
    const std::string program(path, static_cast<std::size_t>(size));
    const auto slash = program.rfind('/');
    if (slash == std::string::npos) {
        return std::nullopt;
    }
    return program.substr(0, slash + 1);
}

ProgramLayout LayoutOfProgramIn(const std::string& programFolder) {
    ProgramLayout layout;
    // Compared as the system resolves both: the build folder may be reached through a link.
    static const std::string buildFolder = RealFolder(QUENDRIX_BUILD_PROGRAM_FOLDER);
    const std::string folder = RealFolder(programFolder.c_str());
    if (!folder.empty() && folder == buildFolder) {
        layout.commandsFolder = layout.dataFolder = layout.moduleFolder = programFolder;
        return layout;
    }
    layout.installed = true;
    layout.commandsFolder = programFolder + QUENDRIX_INSTALLED_COMMANDS_FOLDER "/";
    layout.dataFolder = programFolder + QUENDRIX_INSTALLED_DATA_FOLDER "/";
    layout.moduleFolder = programFolder + QUENDRIX_INSTALLED_MODULE_FOLDER "/";
    return layout;
}

}  // namespace quendrix::net
