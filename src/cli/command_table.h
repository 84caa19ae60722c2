// The commands of quendrix-cli, in one table: each command's name, its line in the overall
// help, which program runs it (the front quendrix-cli itself, without Qt, or
// quendrix-cli-commands, on Qt) and its handler. Both programs dispatch from it, make the
// overall help from it and answer an unknown command the same way, and the tests run every
// command in it. Plain C++: the front includes it.
//
// A new command is one line below and its handler, `int RunNameCommand(const
// std::vector<std::string>& words)` (the words after the command's name), in the program that
// runs it. A handler is named only where its program's main expands the table, so the front
// never refers to a command on Qt.
#pragma once

#include <array>
#include <functional>
#include <iterator>
#include <string>
#include <string_view>
#include <vector>

// One line per command, in the order of the overall help: FRONT(name, summary, handler) for a
// command the front runs, COMMANDS(name, summary, handler) for one quendrix-cli-commands runs.
#define QUENDRIX_CLI_COMMAND_TABLE(FRONT, COMMANDS)                                               \
    COMMANDS("resolve", "every address of a name, or X", RunResolveCommand)                       \
    COMMANDS("reverse", "the official name of an address, or X", RunReverseCommand)               \
    COMMANDS("convert", "convert a list in batch, names to addresses or back", RunConvertCommand) \
    COMMANDS("ping", "ping every entry of a list", RunPingCommand)                                \
    COMMANDS("country", "the owner or country of every entry of a list", RunCountryCommand)       \
    FRONT("trace", "trace the route to a host, hop by hop", RunTraceCommand)                      \
    COMMANDS("whois", "ask a whois server about a domain", RunWhoisCommand)                       \
    COMMANDS("monitor", "record the machine's new TCP connections", RunMonitorCommand)            \
    COMMANDS("scan", "list the links of a web site, crawling it", RunScanCommand)                 \
    COMMANDS("info", "this computer's network parameters and adapters", RunInfoCommand)

namespace quendrix::cli {

// The two programs of quendrix-cli.
enum class Program { Front, Commands };

struct CommandEntry {
    std::string_view name;
    std::string_view summary;  // its line in the overall help
    Program program;           // the program that runs it
};

#define QUENDRIX_CLI_ENTRY_FRONT(name, summary, handler) \
    CommandEntry{name, summary, Program::Front},
#define QUENDRIX_CLI_ENTRY_COMMANDS(name, summary, handler) \
    CommandEntry{name, summary, Program::Commands},
inline constexpr CommandEntry kCommandTable[] = {
    QUENDRIX_CLI_COMMAND_TABLE(QUENDRIX_CLI_ENTRY_FRONT, QUENDRIX_CLI_ENTRY_COMMANDS)};
#undef QUENDRIX_CLI_ENTRY_FRONT
#undef QUENDRIX_CLI_ENTRY_COMMANDS

// A command's handler: the words after its name in, the exit status out.
using CommandHandler = int (*)(const std::vector<std::string>& words);
// One per line of the table: the handler where this program runs the command, else null.
using CommandHandlers = std::array<CommandHandler, std::size(kCommandTable)>;

// What a program's main writes, with FRONT and COMMANDS as in the table: the handlers of the
// commands it runs declared (in namespace quendrix::cli itself, where they are defined, not in
// an anonymous one), and one handler per table line.
//   QUENDRIX_CLI_COMMAND_TABLE(QUENDRIX_CLI_DECLARE, QUENDRIX_CLI_SKIP)  // in the front
//   constexpr CommandHandlers kHandlers = {
//       QUENDRIX_CLI_COMMAND_TABLE(QUENDRIX_CLI_HANDLER, QUENDRIX_CLI_NO_HANDLER)};
// and the same with each pair the other way round in quendrix-cli-commands.
#define QUENDRIX_CLI_DECLARE(name, summary, handler) int handler(const std::vector<std::string>&);
#define QUENDRIX_CLI_SKIP(name, summary, handler)
#define QUENDRIX_CLI_HANDLER(name, summary, handler) &handler,
#define QUENDRIX_CLI_NO_HANDLER(name, summary, handler) nullptr,

// The overall help: how to call, the table's commands with their summaries, the options, the
// exit statuses.
std::string OverallUsage();

// quendrix-cli's words after the program's name, as `self` answers them: --help and --version;
// a command of the table that `self` runs (its handler gets the words after the name); a
// command that the other program runs goes to elsewhere, whose status is returned; no words
// (the help on standard error) and an unknown command are bad usage.
int RunCommandLine(Program self, const CommandHandlers& handlers,
                   const std::vector<std::string>& words,
                   const std::function<int(const CommandEntry&)>& elsewhere);

}  // namespace quendrix::cli
