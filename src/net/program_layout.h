// Where this program's companions are: the commands program of quendrix-cli, the help page and
// data, the modules the window loads at run time. Two layouts, told apart at build time:
//   the build tree   every program, module and data file in the one folder the build put them in;
//   installed        <prefix>/bin/quendrix, <prefix>/libexec/quendrix/quendrix-cli-commands,
//                    <prefix>/share/quendrix/, <prefix>/lib/.../quendrix/ (the folders relative
//                    to bin/ as the install rules place them, whatever the prefix).
// A program in the folder the build wrote it to uses the first; anywhere else, the second. The
// folders follow the program file, never the current folder or PATH.
#pragma once

#include <optional>
#include <string>

namespace quendrix::net {

struct ProgramLayout {
    bool installed = false;
    // Each "/"-terminated.
    std::string commandsFolder;  // quendrix-cli-commands
    std::string dataFolder;      // the help page, shipped settings
    std::string moduleFolder;    // modules loaded at run time (the locator's WebEngine view)
};

// The folder of the running program's file, "/"-terminated, links resolved, as the system
// knows it (/proc/self/exe); nothing when the system cannot say (no /proc, as in some chroots
// and containers).
std::optional<std::string> RunningProgramFolder();

// The layout of a program whose file is in `programFolder` ("/"-terminated).
ProgramLayout LayoutOfProgramIn(const std::string& programFolder);

// The environment variable that names the commands program in place of the layout's (tests
// run a program outside its layout with it). Ignored in a program started with raised
// privileges (file capabilities, set-user-ID), which must not run what the caller names.
inline constexpr const char* kCommandsProgramVariable = "QUENDRIX_CLI_COMMANDS";

}  // namespace quendrix::net
