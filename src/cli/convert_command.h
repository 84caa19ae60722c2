// quendrix-cli convert: the converter's batch conversion of a list file (or of an IP
// neighbourhood), written as one of the page's six export kinds.
#pragma once

#include <QStringList>

namespace quendrix::cli {
int RunConvertCommand(const QStringList& args);
}  // namespace quendrix::cli
