#include "cli/resolve_command.h"

#include "cli/cli_io.h"
#include "core/target.h"

namespace quendrix::cli {

int RunResolveCommand(const QStringList& args) {
    if (args.size() != 1) {
        err() << "quendrix-cli: resolve takes one NAME\n";
        return kUsage;
    }
    const auto host = ResolveHost(ReduceTarget(args.at(0)));
    if (!host) {
        out() << kLookupFailed << "\n";
        return kFailed;
    }
    for (const QString& address : host->addresses) {
        out() << address << "\n";
    }
    return kOk;
}

int RunReverseCommand(const QStringList& args) {
    if (args.size() != 1) {
        err() << "quendrix-cli: reverse takes one ADDRESS\n";
        return kUsage;
    }
    const QString name = ResolveAddress(args.at(0));
    out() << name << "\n";
    return name == kLookupFailed ? kFailed : kOk;
}

}  // namespace quendrix::cli
