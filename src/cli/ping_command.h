// quendrix-cli ping: the batch ping run over a target file, an address range or a
// neighbourhood, once or in cycles; rows as the all-rows CSV on standard output, or any export
// kind to a file.
#pragma once

#include <QStringList>

namespace quendrix::cli {
int RunPingCommand(const QStringList& args);
}  // namespace quendrix::cli
