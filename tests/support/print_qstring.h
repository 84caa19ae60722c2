// Lets GoogleTest print QString values as text in failure messages. Every test program
// includes it first (tests/CMakeLists.txt), so that all its files print QStrings alike.
#pragma once

#include <QString>

#include <ostream>

inline void PrintTo(const QString& text, std::ostream* stream) {
    *stream << '"' << text.toStdString() << '"';
}
