// Target text and name resolution shared by every tool: reduction of a typed target to a
// host, forward and reverse look-up with "X" for a failure, the first address of a host as a
// value or a failure, and the typed-address check.
#pragma once

#include "net/result.h"
#include "net/target_text.h"

#include <QString>
#include <QStringList>

#include <array>
#include <cstdint>
#include <optional>
#include <string>

namespace quendrix {

// The text every failed look-up gives; never a valid answer.
inline const QString kLookupFailed = QString::fromLatin1(net::kLookupFailed);

// Blanks (codes 32 and below) trimmed, a leading "http://" in any case removed, everything
// from the first "/" on removed, trimmed again. May be empty.
QString ReduceTarget(const QString& target);

// First address of the host as dotted text, or "X". The host text is used as given.
QString ResolveName(const QString& host);

// Official name of the address (dotted text, classic conversion rules), or "X".
QString ResolveAddress(const QString& dottedAddress);

// Every address of a host in resolver order plus its official name, or the resolver's failure.
struct ResolvedHost {
    QString officialName;
    QStringList addresses;
};
Result<ResolvedHost> ResolveHost(const QString& host);

// The first address of a host (local 8-bit text, used as given), or the resolver's failure.
using net::ResolveFirstAddress;

// Splits a typed address into four whole numbers. A part that is not a whole number fails
// with ErrorCode::InvalidInput and the text "'<part>' is not a valid integer value" (the
// page shows it through the general error report); a number outside 0..255 fails with
// ErrorCode::OutOfRange (the caller says so in its own words).
Result<std::array<int, 4>> ParseDottedAddress(const QString& text);

// Reads a whole number the way the number boxes do: leading blanks and a sign allowed,
// nothing else. nullopt for anything else, an empty text included.
std::optional<long long> ReadWholeNumber(const QString& text);

// Text with blanks (codes 32 and below) removed from both ends.
QString TrimBlanks(const QString& text);

}  // namespace quendrix
