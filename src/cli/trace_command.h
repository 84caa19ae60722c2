// quendrix-cli trace: the Traceroute page's trace from a terminal. The log lines go to standard
// error as they happen, each hop to standard output as a line of the export as soon as it is
// known, and --out writes the hop list as the window's export, however the trace ended.
#pragma once

#include "cli/argument_parser.h"

#include <QStringList>

namespace quendrix::cli {
const CommandSpec& TraceCommandSpec();
int RunTraceCommand(const QStringList& args);
}  // namespace quendrix::cli
