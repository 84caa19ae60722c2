// quendrix-cli country: the owner or country of every entry of a target file (rows as all-csv
// on standard output as they come, or any export kind to a file), or of one address from the
// table alone.
#pragma once

#include "cli/cli_io.h"

namespace quendrix::cli {
const CommandSpec& CountryCommandSpec();
int RunCountryCommand(const Words& args);
}  // namespace quendrix::cli
