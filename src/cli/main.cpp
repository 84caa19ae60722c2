// quendrix-cli: the same engines as the window, from a terminal.
//
// This front starts without Qt, so that a short command costs what the system's own tools
// cost: it answers --help and --version and runs the trace itself, and hands every other
// command, with the same words, to quendrix-cli-commands beside it (the commands that run on
// Qt). Both share the grammar, the messages and the exit statuses (cli/terminal.h).
#include "cli/terminal.h"
#include "cli/trace_command.h"
#include "net/result.h"

#include <cerrno>
#include <climits>
#include <csignal>
#include <optional>
#include <string>
#include <vector>

#include <unistd.h>

namespace quendrix::cli {
namespace {

struct Command {
    const char* name;
    const char* summary;
    // Runs here; null: handed to quendrix-cli-commands.
    int (*run)(const std::vector<std::string>&) = nullptr;
};

const std::vector<Command>& commands() {
    static const std::vector<Command> list = {
        {"resolve", "every address of a name, or X"},
        {"reverse", "the official name of an address, or X"},
        {"convert", "convert a list in batch, names to addresses or back"},
        {"ping", "ping every entry of a list"},
        {"country", "the owner or country of every entry of a list"},
        {"trace", "trace the route to a host, hop by hop", RunTraceCommand},
        {"whois", "ask a whois server about a domain"},
        {"monitor", "record the machine's new TCP connections"},
    };
    return list;
}

std::string usage() {
    std::string text =
        "Usage: quendrix-cli COMMAND [ARGUMENTS]\n"
        "       quendrix-cli COMMAND --help\n"
        "\n"
        "Commands:\n";
    for (const Command& command : commands()) {
        const std::string name = command.name;
        text += "  " + name + std::string(name.size() < 10 ? 10 - name.size() : 0, ' ') +
                command.summary + '\n';
    }
    text +=
        "\n"
        "Options:\n"
        "  --help, -h  show this help\n"
        "  --version   show the version\n"
        "\n"
        "Rows go to standard output as CSV with LF line ends, while they come; --out\n"
        "writes a file with the window's bytes (CR LF). Messages and the counts line\n"
        "go to standard error.\n"
        "\n"
        "Exit status (every command):\n"
        "  0  done; a batch whose look-ups failed is done (failures are rows)\n"
        "  1  the one answer asked for is a failure (X from resolve, reverse or country\n"
        "     --address; a whois query that failed or was cut; a trace whose target\n"
        "     does not resolve or that an error ended; a monitor that cannot read the\n"
        "     connection table), or the output could not be written (a full disk, an\n"
        "     export file that cannot be replaced, a reader that closed the pipe early)\n"
        "  2  bad usage, a list that cannot be read, or an empty list\n"
        "  3  the system refused (ping, trace: no ICMP socket)\n"
        "  130, 143  every command but resolve and reverse: interrupted by Ctrl-C\n"
        "            (SIGINT) or ended by SIGTERM\n";
    return text;
}

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
    if (argc < 2) {
        WriteError(usage());
        return kUsage;
    }
    const std::string name = argv[1];
    if (name == "--help" || name == "-h") {
        out().write(usage());
        return kOk;
    }
    if (name == "--version") {
        out().line("quendrix-cli " QUENDRIX_VERSION);
        return kOk;
    }
    for (const Command& command : commands()) {
        if (name == command.name) {
            if (command.run == nullptr) {
                return HandOver(argv);
            }
            SetCommandName(name);
            return command.run(std::vector<std::string>(argv + 2, argv + argc));
        }
    }
    Message("unknown command '" + name + "'");
    WriteError("Try 'quendrix-cli --help'.\n");
    return kUsage;
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
