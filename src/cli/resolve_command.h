// quendrix-cli resolve / reverse: one look-up each way.
#pragma once

#include <QStringList>

namespace quendrix::cli {
int RunResolveCommand(const QStringList& args);
int RunReverseCommand(const QStringList& args);
}  // namespace quendrix::cli
