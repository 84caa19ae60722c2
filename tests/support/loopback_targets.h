// Distinct loopback addresses as list entries: they convert and answer without any query.
// Shared by tests and benchmarks.
#pragma once

#include <QStringList>

namespace quendrix::test {

inline QStringList LoopbackTargets(int count) {
    QStringList entries;
    entries.reserve(count);
    for (int i = 0; i < count; ++i) {
        entries.append(
            QStringLiteral("127.%1.%2.%3").arg(i / 65536).arg(i / 256 % 256).arg(i % 256));
    }
    return entries;
}

}  // namespace quendrix::test
