// quendrix-cli-commands: the commands of quendrix-cli that run on Qt (every one but trace).
// quendrix-cli starts it in its own place with the same words; it is not meant to be run by
// hand, and answers only the commands below.
#include "cli/cli_io.h"
#include "cli/convert_command.h"
#include "cli/country_command.h"
#include "cli/monitor_command.h"
#include "cli/ping_command.h"
#include "cli/resolve_command.h"
#include "cli/whois_command.h"
#include "http/fetch_service.h"

#include <QCoreApplication>

#include <csignal>
#include <vector>

namespace quendrix::cli {
namespace {

struct Command {
    const CommandSpec& (*grammar)();
    int (*run)(const Words&);
};

int run(const Words& arguments) {
    static const std::vector<Command> commands = {
        {ResolveCommandSpec, RunResolveCommand}, {ReverseCommandSpec, RunReverseCommand},
        {ConvertCommandSpec, RunConvertCommand}, {PingCommandSpec, RunPingCommand},
        {CountryCommandSpec, RunCountryCommand}, {WhoisCommandSpec, RunWhoisCommand},
        {MonitorCommandSpec, RunMonitorCommand},
    };
    const std::string name = arguments.empty() ? std::string() : arguments.front();
    for (const Command& command : commands) {
        if (name == command.grammar().name) {
            SetCommandName(name);
            return command.run(Words(arguments.begin() + 1, arguments.end()));
        }
    }
    Message("unknown command '" + name + "'");
    return kUsage;
}

}  // namespace
}  // namespace quendrix::cli

int main(int argc, char** argv) {
    // libcurl's global start comes before any thread of the program exists.
    quendrix::http::GlobalInit();
    // A reader that goes away shows up as a failed write (EPIPE), which ends the program
    // quietly; the signal would end it without a word too, but before anything is tidied.
    std::signal(SIGPIPE, SIG_IGN);
    // The words as the system gave them: QCoreApplication::arguments() would decode them as
    // text, which changes a path that is not.
    const quendrix::cli::Words words(argv + 1, argv + argc);
    QCoreApplication app(argc, argv);
    const int status = quendrix::cli::run(words);
    // Whatever is still buffered; a failure here ends the program with its own status.
    quendrix::cli::out().flush();
    quendrix::cli::err().flush();
    return status;
}
