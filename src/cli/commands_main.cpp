// quendrix-cli-commands: the commands of quendrix-cli that run on Qt (every one but trace).
// quendrix-cli starts it in its own place with the same words; it is not meant to be run by
// hand. It answers the same words as the front from the same table (cli/command_table.h),
// except the commands that only the front runs.
#include "cli/cli_io.h"
#include "cli/command_table.h"
#include "http/fetch_service.h"
#include "net/secure_environment.h"

#include <QCoreApplication>

#include <csignal>
#include <vector>

namespace quendrix::cli {

// The handlers of the commands this program runs.
QUENDRIX_CLI_COMMAND_TABLE(QUENDRIX_CLI_SKIP, QUENDRIX_CLI_DECLARE)

namespace {

constexpr CommandHandlers kHandlers = {
    QUENDRIX_CLI_COMMAND_TABLE(QUENDRIX_CLI_NO_HANDLER, QUENDRIX_CLI_HANDLER)};

// A command of the front, given to this program directly.
int FrontCommand(const CommandEntry& command) {
    Message("'" + std::string(command.name) + "' is run by quendrix-cli itself");
    return kUsage;
}

}  // namespace
}  // namespace quendrix::cli

int main(int argc, char** argv) {
    // With cap_net_raw from its file, nothing the caller's environment names is loaded.
    if (quendrix::net::StartedWithRaisedPrivileges()) {
        quendrix::net::KeepOnlyTheDesktopEnvironment();
    }
    // libcurl's global start comes before any thread of the program exists.
    quendrix::http::GlobalInit();
    // A reader that goes away shows up as a failed write (EPIPE), which ends the program
    // quietly; the signal would end it without a word too, but before anything is tidied.
    std::signal(SIGPIPE, SIG_IGN);
    // The words as the system gave them: QCoreApplication::arguments() would decode them as
    // text, which changes a path that is not.
    const quendrix::cli::Words words(argv + 1, argv + argc);
    QCoreApplication app(argc, argv);
    const int status =
        quendrix::cli::RunCommandLine(quendrix::cli::Program::Commands, quendrix::cli::kHandlers,
                                      words, quendrix::cli::FrontCommand);
    // Whatever is still buffered; a failure here ends the program with its own status.
    quendrix::cli::out().flush();
    quendrix::cli::err().flush();
    return status;
}
