// quendrix-cli resolve / reverse: one look-up each way.
#pragma once

#include "cli/cli_io.h"

namespace quendrix::cli {
const CommandSpec& ResolveCommandSpec();
const CommandSpec& ReverseCommandSpec();
int RunResolveCommand(const Words& args);
int RunReverseCommand(const Words& args);
}  // namespace quendrix::cli
