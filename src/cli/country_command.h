// quendrix-cli country: the owner or country of every entry of a target file (the all-rows CSV
// on standard output, or any export kind to a file), or of one address from the table alone.
#pragma once

#include <QStringList>

namespace quendrix::cli {
int RunCountryCommand(const QStringList& args);
}  // namespace quendrix::cli
