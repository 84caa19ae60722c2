// quendrix-cli scan: the website scanner's crawl from an address typed as into the scanner
// page's box; every link reported goes to standard output as its results-file line while the
// scan runs, the statistics to standard error at its end, and --out writes the page's export.
#pragma once

#include "cli/cli_io.h"

namespace quendrix::cli {
const CommandSpec& ScanCommandSpec();
int RunScanCommand(const Words& args);
}  // namespace quendrix::cli
