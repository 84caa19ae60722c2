// quendrix-cli: the same engines as the window, from a terminal.
#include "cli/argument_parser.h"
#include "cli/cli_io.h"
#include "cli/convert_command.h"
#include "cli/country_command.h"
#include "cli/monitor_command.h"
#include "cli/ping_command.h"
#include "cli/resolve_command.h"
#include "cli/trace_command.h"
#include "cli/whois_command.h"

#include <QCoreApplication>

#include <csignal>
#include <vector>

namespace quendrix::cli {
namespace {

struct Command {
    const CommandSpec& (*grammar)();
    const char* summary;
    int (*run)(const QStringList&);
};

// Each tool's command lives in its own file.
const std::vector<Command>& commands() {
    static const std::vector<Command> list = {
        {ResolveCommandSpec, "every address of a name, or X", RunResolveCommand},
        {ReverseCommandSpec, "the official name of an address, or X", RunReverseCommand},
        {ConvertCommandSpec, "convert a list in batch, names to addresses or back",
         RunConvertCommand},
        {PingCommandSpec, "ping every entry of a list", RunPingCommand},
        {CountryCommandSpec, "the owner or country of every entry of a list", RunCountryCommand},
        {TraceCommandSpec, "trace the route to a host, hop by hop", RunTraceCommand},
        {WhoisCommandSpec, "ask a whois server about a domain", RunWhoisCommand},
        {MonitorCommandSpec, "record the machine's new TCP connections", RunMonitorCommand},
    };
    return list;
}

QString usage() {
    QString text = QStringLiteral(
        "Usage: quendrix-cli COMMAND [ARGUMENTS]\n"
        "       quendrix-cli COMMAND --help\n"
        "\n"
        "Commands:\n");
    for (const Command& command : commands()) {
        text += QStringLiteral("  %1%2\n")
                    .arg(command.grammar().name.leftJustified(10))
                    .arg(QLatin1String(command.summary));
    }
    text += QStringLiteral(
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
        "     does not resolve or that an error ended), or the output could not be\n"
        "     written (a full disk, an export file that cannot be replaced, a reader\n"
        "     that closed the pipe early)\n"
        "  2  bad usage, a list that cannot be read, or an empty list\n"
        "  3  the system refused (ping, trace: no ICMP socket)\n"
        "  130, 143  trace: interrupted by Ctrl-C (SIGINT) or ended by SIGTERM\n");
    return text;
}

int run(const QStringList& arguments) {
    if (arguments.isEmpty()) {
        err() << usage();
        err().flush();
        return kUsage;
    }
    const QString& name = arguments.at(0);
    if (name == QLatin1String("--help") || name == QLatin1String("-h")) {
        out().write(usage().toLocal8Bit());
        return kOk;
    }
    if (name == QLatin1String("--version")) {
        out().line(QStringLiteral("quendrix-cli %1").arg(QLatin1String(QUENDRIX_VERSION)));
        return kOk;
    }
    for (const Command& command : commands()) {
        if (name == command.grammar().name) {
            SetCommandName(name);
            return command.run(arguments.mid(1));
        }
    }
    Message(QStringLiteral("unknown command '%1'").arg(name));
    err() << "Try 'quendrix-cli --help'.\n";
    err().flush();
    return kUsage;
}

}  // namespace
}  // namespace quendrix::cli

int main(int argc, char** argv) {
    // A reader that goes away shows up as a failed write (EPIPE), which ends the program
    // quietly; the signal would end it without a word too, but before anything is tidied.
    std::signal(SIGPIPE, SIG_IGN);
    QCoreApplication app(argc, argv);
    const int status = quendrix::cli::run(app.arguments().mid(1));
    // Whatever is still buffered; a failure here ends the program with its own status.
    quendrix::cli::out().flush();
    quendrix::cli::err().flush();
    return status;
}
