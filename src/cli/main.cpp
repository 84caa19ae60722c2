// quendrix-cli: the same engines as the window, from a terminal.
//
// This front starts without Qt, so that a short command costs what the system's own tools
// cost: it answers --help and --version and runs the trace itself, and hands every other
// command, with the same words, to quendrix-cli-commands (the commands that run on Qt; beside
// it in the build tree, in libexec/quendrix/ when installed). Both share the command table
// (cli/command_table.h), the grammar, the messages and the exit statuses (cli/terminal.h).
#include "cli/command_table.h"
#include "cli/terminal.h"
#include "net/program_layout.h"
#include "net/result.h"

#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <optional>
#include <string>
#include <vector>

#include <unistd.h>

namespace quendrix::cli {

// The handlers of the commands this program runs.
QUENDRIX_CLI_COMMAND_TABLE(QUENDRIX_CLI_DECLARE, QUENDRIX_CLI_SKIP)

namespace {

constexpr CommandHandlers kHandlers = {
    QUENDRIX_CLI_COMMAND_TABLE(QUENDRIX_CLI_HANDLER, QUENDRIX_CLI_NO_HANDLER)};

// Where quendrix-cli-commands is: QUENDRIX_CLI_COMMANDS when set (tests), else the layout
// of this program's own file (beside it in the build tree, ../libexec/quendrix/ installed).
// Never the current folder, nor a guess from how the program was called: whatever would be
// found there would run in the user's name. Without /proc the folder is unknown: nothing.
std::optional<std::string> CommandsProgram() {
    // secure_getenv: a program started with raised privileges (cap_net_raw) ignores it.
    if (const char* named = ::secure_getenv(net::kCommandsProgramVariable);
        named != nullptr && *named != '\0') {
        return std::string(named);
    }
    const auto folder = net::RunningProgramFolder();
    if (!folder) {
        return std::nullopt;
    }
    return net::LayoutOfProgramIn(*folder).commandsFolder + "quendrix-cli-commands";
}

// Runs quendrix-cli-commands in this process's place; returns only when it cannot start.
int HandOver(char** argv) {
    const auto program = CommandsProgram();
    if (!program) {
        Message(
            "cannot start quendrix-cli-commands: the folder of this program is unknown "
            "(/proc/self/exe cannot be read)");
        return kFailed;
    }
    ::execv(program->c_str(), argv);
    Message("cannot start " + *program + ": " + Error::errorText(errno));
    return kFailed;
}

int run(int argc, char** argv) {
    return RunCommandLine(Program::Front, kHandlers,
                          std::vector<std::string>(argv + 1, argv + argc),
                          [argv](const CommandEntry&) { return HandOver(argv); });
}

}  // namespace
}  // namespace quendrix::cli

int main(int argc, char** argv) {
    // A reader that goes away shows up as a failed write (EPIPE), which ends the program
    // quietly; the signal would end it without a word too, but before anything is tidied.
    std::signal(SIGPIPE, SIG_IGN);
    const int status = quendrix::cli::run(argc, argv);
    // Whatever is still buffered; a failure here ends the program with its own status.
    quendrix::cli::out().flush();
    return status;
}
