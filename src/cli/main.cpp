// quendrix-cli: the same engines as the window, from a terminal.
//
// This front starts without Qt, so that a short command costs what the system's own tools
// cost: it answers --help and --version and runs the trace itself, and hands every other
// command, with the same words, to quendrix-cli-commands beside it (the commands that run on
// Qt). Both share the command table (cli/command_table.h), the grammar, the messages and the
// exit statuses (cli/terminal.h).
#include "cli/command_table.h"
#include "cli/terminal.h"
#include "net/result.h"

#include <cerrno>
#include <climits>
#include <csignal>
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

// The folder this program was started from, "/"-terminated, as the system knows it; nothing
// when the system cannot say (no /proc, as in some chroots and containers). Never the
// current folder, nor a guess from how the program was called: whatever would be found
// there would run in the user's name.
std::optional<std::string> ProgramFolder() {
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

// Runs quendrix-cli-commands in this process's place; returns only when it cannot start.
int HandOver(char** argv) {
    const auto folder = ProgramFolder();
    if (!folder) {
        Message(
            "cannot start quendrix-cli-commands: the folder of this program is unknown "
            "(/proc/self/exe cannot be read)");
        return kFailed;
    }
    const std::string program = *folder + "quendrix-cli-commands";
    ::execv(program.c_str(), argv);
    Message("cannot start " + program + ": " + Error::errorText(errno));
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
