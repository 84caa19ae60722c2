// What the whois page and the command line share around a query: the servers offered, the
// text sent for a typed domain, and the lines a reply becomes (with the mark of a cut reply).
#pragma once

#include "net/whois_client.h"

#include <QByteArrayList>
#include <QString>
#include <QStringList>

#include <optional>
#include <string>

namespace quendrix::whois {

// The server asked when no customised one is chosen.
inline const QString kDefaultServer = QStringLiteral("whois.internic.net");

// The customised server's list of choices.
inline QStringList ServerChoices() {
    return {QStringLiteral("whois.verisign-grs.com"), QStringLiteral("whois.iana.org"),
            QStringLiteral("whois.arin.net"), QStringLiteral("whois.ripe.net")};
}

// The last line of a reply that was cut: a cut reply is never passed off as complete.
inline const QByteArray kReplyCutLine = QByteArrayLiteral("[reply cut at 16 MiB]");

// The bytes sent for a domain already normalised: without its surrounding blanks, in the
// locale's 8-bit encoding.
std::string QueryBytes(const QString& normalisedDomain);

// The reply's lines as the page keeps them: split at line feeds, the cut mark last when the
// reply was cut.
QByteArrayList ReplyLines(const net::WhoisReply& reply);

// Whether a server named by a reply may be asked: a host name (ASCII letters, digits, dots
// and hyphens, at least one dot) or a dotted address of four decimal numbers that is not
// in 0.0.0.0/8 or 127.0.0.0/8. A text the resolver would read as an address in any other
// form ("0", "127.1", "0x7f.0.0.1") is refused, so a reply cannot send the query to this
// computer by an address.
bool FollowableServer(const QString& server);

// The server a reply refers the query to: the value of its first "refer:", "whois:" or
// "Registrar WHOIS Server:" line whose value FollowableServer accepts (any letter case,
// blanks around it ignored, a "whois://" prefix and a trailing "/" dropped). Nothing when
// there is none.
std::optional<QString> ReferralServer(const QByteArrayList& lines);

}  // namespace quendrix::whois
