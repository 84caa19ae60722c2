// quendrix-cli ping: the batch ping run over a target file, an address range or a
// neighbourhood, once or in cycles; rows as all-csv on standard output as they come, or any
// export kind to a file.
#pragma once

#include "cli/cli_io.h"

namespace quendrix::cli {
const CommandSpec& PingCommandSpec();
int RunPingCommand(const Words& args);
}  // namespace quendrix::cli
