// quendrix-cli trace: the Traceroute page's trace from a terminal. The log lines go to standard
// error as they happen, each hop to standard output as a line of the export as soon as it is
// known, and --out writes the hop list as the window's export, however the trace ended.
// Plain C++ without Qt, like the engine it runs: a trace starts as quickly as the system's own
// tracing tools start.
#pragma once

#include "cli/grammar.h"

#include <string>
#include <vector>

namespace quendrix::cli {
const plain::CommandSpec& TraceCommandSpec();
int RunTraceCommand(const std::vector<std::string>& args);
}  // namespace quendrix::cli
