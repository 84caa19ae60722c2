#include "cli/resolve_command.h"

#include "cli/cli_io.h"
#include "core/target.h"

namespace quendrix::cli {

const CommandSpec& ResolveCommandSpec() {
    static const CommandSpec grammar{
        QStringLiteral("resolve"),
        {QStringLiteral("NAME")},
        QStringLiteral("Prints every address of NAME in the resolver's order, one a line, or X\n"
                       "when it does not resolve. NAME may be typed as in the window (a web\n"
                       "address is reduced to its host); an empty NAME is this computer.\n"),
        {},
        QStringLiteral("NAME"),
        1,
        1,
        {DoneStatus(QStringLiteral("the addresses were printed")),
         FailedStatus(QStringLiteral("NAME does not resolve (X), or the output could not be "
                                     "written")),
         UsageStatus(false)},
    };
    return grammar;
}

const CommandSpec& ReverseCommandSpec() {
    static const CommandSpec grammar{
        QStringLiteral("reverse"),
        {QStringLiteral("ADDRESS")},
        QStringLiteral("Prints the official name of the dotted ADDRESS, or X when it has none.\n"),
        {},
        QStringLiteral("ADDRESS"),
        1,
        1,
        {DoneStatus(QStringLiteral("the name was printed")),
         FailedStatus(QStringLiteral("ADDRESS has no name (X), or the output could not be "
                                     "written")),
         UsageStatus(false)},
    };
    return grammar;
}

int RunResolveCommand(const QStringList& args) {
    int parseStatus = kOk;
    const auto words = ParseCommandWords(ResolveCommandSpec(), args, parseStatus);
    if (!words) {
        return parseStatus;
    }
    const auto host = ResolveHost(ReduceTarget(words->positionals.at(0)));
    if (!host) {
        out().line(kLookupFailed);
        return kFailed;
    }
    for (const QString& address : host->addresses) {
        out().line(address);
    }
    return kOk;
}

int RunReverseCommand(const QStringList& args) {
    int parseStatus = kOk;
    const auto words = ParseCommandWords(ReverseCommandSpec(), args, parseStatus);
    if (!words) {
        return parseStatus;
    }
    const QString name = ResolveAddress(words->positionals.at(0));
    out().line(name);
    return name == kLookupFailed ? kFailed : kOk;
}

}  // namespace quendrix::cli
