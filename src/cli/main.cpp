// quendrix-cli: the same engines as the window, from a terminal.
#include "cli/cli_io.h"
#include "cli/convert_command.h"
#include "cli/country_command.h"
#include "cli/ping_command.h"
#include "cli/resolve_command.h"

#include <QCoreApplication>

#include <functional>
#include <utility>
#include <vector>

namespace quendrix::cli {

QTextStream& out() {
    static QTextStream stream(stdout);
    return stream;
}

QTextStream& err() {
    static QTextStream stream(stderr);
    return stream;
}

namespace {

struct Command {
    const char* name;
    const char* synopsis;
    std::function<int(const QStringList&)> run;
};

// One line per command; each tool's command lives in its own file.
const std::vector<Command>& commands() {
    static const std::vector<Command> list = {
        {"resolve", "resolve NAME       print every address of NAME, one per line, or X",
         RunResolveCommand},
        {"reverse", "reverse ADDRESS    print the official name of ADDRESS, or X",
         RunReverseCommand},
        {"convert", "convert ...        convert a list in batch (see convert --help)",
         RunConvertCommand},
        {"country", "country FILE       owner or country of each entry (see country --help)",
         RunCountryCommand},
        {"ping", "ping FILE          ping each entry of a list (see ping --help)", RunPingCommand},
    };
    return list;
}

void printUsage(QTextStream& stream) {
    stream << "Usage: quendrix-cli COMMAND [ARGUMENTS]\n\nCommands:\n";
    for (const Command& command : commands()) {
        stream << "  " << command.synopsis << "\n";
    }
    stream << "\nOptions:\n"
              "  --help             show this help\n"
              "  --version          show the version\n"
              "\n"
              "Exit status: 0 success, 1 failed look-up, 2 bad usage or unreadable file.\n";
    stream.flush();
}

int run(const QStringList& arguments) {
    if (arguments.isEmpty()) {
        printUsage(err());
        return kUsage;
    }
    const QString& name = arguments.at(0);
    if (name == QLatin1String("--help") || name == QLatin1String("-h")) {
        printUsage(out());
        return kOk;
    }
    if (name == QLatin1String("--version")) {
        out() << "quendrix-cli " << QUENDRIX_VERSION << "\n";
        return kOk;
    }
    for (const Command& command : commands()) {
        if (name == QLatin1String(command.name)) {
            return command.run(arguments.mid(1));
        }
    }
    err() << "quendrix-cli: unknown command '" << name << "'\n";
    printUsage(err());
    return kUsage;
}

}  // namespace
}  // namespace quendrix::cli

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    const int status = quendrix::cli::run(app.arguments().mid(1));
    quendrix::cli::out().flush();
    quendrix::cli::err().flush();
    return status;
}
