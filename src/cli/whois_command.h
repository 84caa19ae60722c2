// quendrix-cli whois: one whois query for a domain, the reply's bytes on standard output
// unchanged (or the window's export file with --out), optionally following the reply's
// referral to the next server.
#pragma once

#include "cli/cli_io.h"

namespace quendrix::cli {
const CommandSpec& WhoisCommandSpec();
int RunWhoisCommand(const Words& args);
}  // namespace quendrix::cli
