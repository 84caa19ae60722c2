// The overall help and the dispatch that both programs of quendrix-cli share.
#include "cli/command_table.h"

#include "cli/terminal.h"

#include <algorithm>

namespace quendrix::cli {

std::string OverallUsage() {
    // The summaries start in one column: at least the tenth, and past the longest name.
    std::size_t column = 10;
    for (const CommandEntry& command : kCommandTable) {
        column = std::max(column, command.name.size() + 2);
    }
    std::string text =
        "Usage: quendrix-cli COMMAND [ARGUMENTS]\n"
        "       quendrix-cli COMMAND --help\n"
        "\n"
        "Commands:\n";
    for (const CommandEntry& command : kCommandTable) {
        text += "  ";
        text += command.name;
        text.append(column - command.name.size(), ' ');
        text += command.summary;
        text += '\n';
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
        "     connection table; a scan that cannot start), or the output could not be\n"
        "     written (a full disk, an export file that cannot be replaced, a reader\n"
        "     that closed the pipe early)\n"
        "  2  bad usage, a list that cannot be read, or an empty list\n"
        "  3  the system refused (ping, trace: no ICMP socket)\n"
        "  130, 143  every command but resolve and reverse: interrupted by Ctrl-C\n"
        "            (SIGINT) or ended by SIGTERM\n";
    return text;
}

int RunCommandLine(Program self, const CommandHandlers& handlers,
                   const std::vector<std::string>& words,
                   const std::function<int(const CommandEntry&)>& elsewhere) {
    if (words.empty()) {
        WriteError(OverallUsage());
        return kUsage;
    }
    const std::string& name = words.front();
    if (name == "--help" || name == "-h") {
        out().write(OverallUsage());
        return kOk;
    }
    if (name == "--version") {
        out().line("quendrix-cli " QUENDRIX_VERSION);
        return kOk;
    }
    for (std::size_t index = 0; index < std::size(kCommandTable); ++index) {
        const CommandEntry& command = kCommandTable[index];
        if (name != command.name) {
            continue;
        }
        if (command.program != self) {
            return elsewhere(command);
        }
        SetCommandName(name);
        return handlers[index](std::vector<std::string>(words.begin() + 1, words.end()));
    }
    Message("unknown command '" + name + "'");
    WriteError("Try 'quendrix-cli --help'.\n");
    return kUsage;
}

}  // namespace quendrix::cli
