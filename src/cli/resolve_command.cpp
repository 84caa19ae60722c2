#include "cli/resolve_command.h"

#include "cli/cli_io.h"
#include "core/target.h"

namespace quendrix::cli {

const CommandSpec& ResolveCommandSpec() {
    static const CommandSpec grammar{
        "resolve",
        {"NAME"},
        "Prints every address of NAME in the resolver's order, one a line, or X\n"
        "when it does not resolve. NAME may be typed as in the window (a web\n"
        "address is reduced to its host); an empty NAME is this computer.\n",
        {},
        "NAME",
        1,
        1,
        {DoneStatus("the addresses were printed"),
         FailedStatus("NAME does not resolve (X), or the output could not be written"),
         UsageStatus(false)},
    };
    return grammar;
}

const CommandSpec& ReverseCommandSpec() {
    static const CommandSpec grammar{
        "reverse",
        {"ADDRESS"},
        "Prints the official name of the dotted ADDRESS, or X when it has none.\n",
        {},
        "ADDRESS",
        1,
        1,
        {DoneStatus("the name was printed"),
         FailedStatus("ADDRESS has no name (X), or the output could not be written"),
         UsageStatus(false)},
    };
    return grammar;
}

int RunResolveCommand(const Words& args) {
    int parseStatus = kOk;
    const auto words = ParseCommandWords(ResolveCommandSpec(), args, parseStatus);
    if (!words) {
        return parseStatus;
    }
    const auto host = ResolveHost(ReduceTarget(Text(words->positionals.front())));
    if (!host) {
        out().line(kLookupFailed);
        return kFailed;
    }
    for (const QString& address : host->addresses) {
        out().line(address);
    }
    return kOk;
}

int RunReverseCommand(const Words& args) {
    int parseStatus = kOk;
    const auto words = ParseCommandWords(ReverseCommandSpec(), args, parseStatus);
    if (!words) {
        return parseStatus;
    }
    const QString name = ResolveAddress(Text(words->positionals.front()));
    out().line(name);
    return name == kLookupFailed ? kFailed : kOk;
}

}  // namespace quendrix::cli
