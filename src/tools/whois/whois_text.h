// The whois page's text rules: how a typed domain or web address becomes the query, and how a
// reply's bytes become the lines the page shows and exports.
#pragma once

#include <QByteArray>
#include <QByteArrayList>
#include <QString>

namespace quendrix {

// Trims blanks, lowers A-Z only, drops everything up to the first "http://", from the first
// "/" on, and up to the first "www.". The result is not trimmed again: what the page writes
// back to edDomain keeps a blank left before a "/"; only the text sent is trimmed.
QString NormaliseWhoisDomain(const QString& text);

// Line feeds alone separate lines: a CR before a LF stays at the end of its line, and a LF
// right after another gives no line (so CR LF replies keep their empty lines as a lone CR,
// bare LF replies lose them). A last part without a LF is the last line, never dropped.
QByteArrayList SplitWhoisReply(const QByteArray& reply);

}  // namespace quendrix
