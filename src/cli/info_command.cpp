#include "cli/info_command.h"

#include "cli/cli_io.h"
#include "tools/localinfo/local_info.h"

namespace quendrix::cli {

const CommandSpec& InfoCommandSpec() {
    static const CommandSpec grammar{
        "info",
        {"[--help]"},
        "Prints what the Local Information page shows: this computer's network\n"
        "parameters (host and domain name, DNS servers, routing), then for every\n"
        "adapter an empty line and a block of 17 lines. An address list shows one\n"
        "address a line, the later ones indented under the first.\n"
        "When a source the page cannot do without fails (the parameters, the adapter\n"
        "list, the time zone), what was read before it is printed and standard error\n"
        "says \"System Error.  Code: N.\" and the system's text; after a failure of the\n"
        "parameters nothing is printed.\n",
        {},
        {},
        0,
        0,
        {DoneStatus("both areas were printed"),
         FailedStatus("a source failed, or the output could not be written"), UsageStatus(false)},
    };
    return grammar;
}

int RunInfoCommand(const Words& args) {
    int parseStatus = kOk;
    if (!ParseCommandWords(InfoCommandSpec(), args, parseStatus)) {
        return parseStatus;
    }
    const localinfo::LocalInformation information =
        localinfo::ReadLocalInformation(localinfo::SystemSources());
    // Names and descriptions come from outside (a domain and search list given by a DHCP
    // server, a driver's description): on a terminal, control bytes are shown, not acted on.
    const bool terminal = StandardOutputIsTerminal();
    const bool utf8 = LocaleIsUtf8();
    for (const localinfo::InfoLines* area : {&information.info, &information.info2}) {
        for (const localinfo::InfoLine& line : *area) {
            const QByteArray bytes = localinfo::DisplayText(line, QLatin1Char('\n')).toLocal8Bit();
            const std::string_view text(bytes.constData(), static_cast<std::size_t>(bytes.size()));
            if (terminal) {
                out().line(VisibleBytes(text, utf8));
            } else {
                out().line(text);
            }
        }
    }
    out().flush();
    if (information.failure) {
        Message(localinfo::SystemErrorText(*information.failure));
        return kFailed;
    }
    return kOk;
}

}  // namespace quendrix::cli
