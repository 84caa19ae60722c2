// quendrix-cli resolve / reverse: one look-up each way.
#pragma once

#include "cli/argument_parser.h"

#include <QStringList>

namespace quendrix::cli {
const CommandSpec& ResolveCommandSpec();
const CommandSpec& ReverseCommandSpec();
int RunResolveCommand(const QStringList& args);
int RunReverseCommand(const QStringList& args);
}  // namespace quendrix::cli
