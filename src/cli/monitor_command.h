// quendrix-cli monitor: the Connection Monitor's engine from a terminal. Ticks twice a second
// for the seconds given (or until interrupted), prints each new history row as it is
// recorded, and writes the history as the window's export at the end.
#pragma once

#include "cli/cli_io.h"

namespace quendrix::cli {
const CommandSpec& MonitorCommandSpec();
int RunMonitorCommand(const Words& args);
}  // namespace quendrix::cli
