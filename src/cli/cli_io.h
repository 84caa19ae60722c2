// What every quendrix-cli command shares: the output streams and the exit statuses.
#pragma once

#include <QStringList>
#include <QTextStream>

namespace quendrix::cli {

constexpr int kOk = 0;
constexpr int kFailed = 1;
constexpr int kUsage = 2;

QTextStream& out();
QTextStream& err();

}  // namespace quendrix::cli
