// quendrix-cli whois: one whois query for a domain, the reply's bytes on standard output
// unchanged (or the window's export file with --out), optionally following the reply's
// referral to the next server.
#pragma once

#include "cli/argument_parser.h"

#include <QStringList>

namespace quendrix::cli {
const CommandSpec& WhoisCommandSpec();
int RunWhoisCommand(const QStringList& args);
}  // namespace quendrix::cli
