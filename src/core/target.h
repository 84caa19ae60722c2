// Target text and name resolution shared by every tool: reduction of a typed target to a
// host, forward and reverse look-up with "X" for a failure, and the typed-address check.
#pragma once

#include <QString>
#include <QStringList>

#include <array>
#include <cstdint>
#include <optional>

namespace quendrix {

// The text every failed look-up gives; never a valid answer.
inline const QString kLookupFailed = QStringLiteral("X");

// Blanks (codes 32 and below) trimmed, a leading "http://" in any case removed, everything
// from the first "/" on removed, trimmed again. May be empty.
QString ReduceTarget(const QString& target);

// First address of the host as dotted text, or "X". The host text is used as given.
QString ResolveName(const QString& host);

// Official name of the address (dotted text, classic conversion rules), or "X".
QString ResolveAddress(const QString& dottedAddress);

// Every address of a host in resolver order plus its official name; nullopt on failure.
struct ResolvedHost {
    QString officialName;
    QStringList addresses;
};
std::optional<ResolvedHost> ResolveHost(const QString& host);

// Splits a typed address into four whole numbers. A part that is not a whole number throws
// UserError("'<part>' is not a valid integer value"); a number outside 0..255 gives nullopt.
std::optional<std::array<int, 4>> ParseDottedAddress(const QString& text);

// Reads a whole number the way the number boxes do: leading blanks and a sign allowed,
// nothing else. nullopt for anything else, an empty text included.
std::optional<long long> ReadWholeNumber(const QString& text);

// Text with blanks (codes 32 and below) removed from both ends.
QString TrimBlanks(const QString& text);

}  // namespace quendrix
