// quendrix-cli convert: the converter's batch conversion of a list file (or of an IP
// neighbourhood): rows as all-csv on standard output as they come, or one of the page's six
// export kinds to a file.
#pragma once

#include "cli/cli_io.h"

namespace quendrix::cli {
const CommandSpec& ConvertCommandSpec();
int RunConvertCommand(const Words& args);
}  // namespace quendrix::cli
