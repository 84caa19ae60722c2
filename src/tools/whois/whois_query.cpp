#include "tools/whois/whois_query.h"

#include "core/target.h"
#include "tools/whois/whois_text.h"

#include <algorithm>

namespace quendrix::whois {

std::string QueryBytes(const QString& normalisedDomain) {
    return TrimBlanks(normalisedDomain).toLocal8Bit().toStdString();
}

QByteArrayList ReplyLines(const net::WhoisReply& reply) {
    QByteArrayList lines = SplitWhoisReply(QByteArray::fromStdString(reply.bytes));
    if (reply.cut) {
        lines.append(kReplyCutLine);
    }
    return lines;
}

std::optional<QString> ReferralServer(const QByteArrayList& lines) {
    static const QByteArray keys[] = {"refer:", "whois:", "registrar whois server:"};
    for (const QByteArray& line : lines) {
        const QByteArray lower = line.trimmed().toLower();
        for (const QByteArray& key : keys) {
            if (!lower.startsWith(key)) {
                continue;
            }
            QString server = QString::fromLatin1(line.trimmed().mid(key.size()).trimmed());
            const QLatin1String scheme("whois://");
            if (server.startsWith(scheme, Qt::CaseInsensitive)) {
                server.remove(0, scheme.size());
            }
            if (server.endsWith(QLatin1Char('/'))) {
                server.chop(1);
            }
            // A host name or address only: anything else (another protocol, words) is no
            // server this client can ask.
            const bool plain =
                !server.isEmpty() && std::all_of(server.cbegin(), server.cend(), [](QChar c) {
                    return c.isLetterOrNumber() || c == QLatin1Char('.') || c == QLatin1Char('-') ||
                           c == QLatin1Char('_');
                });
            if (plain) {
                return server;
            }
        }
    }
    return std::nullopt;
}

}  // namespace quendrix::whois
