// quendrix-cli info: the Local Information page's two text areas on standard output.
#pragma once

#include "cli/cli_io.h"

namespace quendrix::cli {
const CommandSpec& InfoCommandSpec();
int RunInfoCommand(const Words& args);
}  // namespace quendrix::cli
