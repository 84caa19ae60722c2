#include "tools/whois/whois_query.h"

#include "core/target.h"
#include "net/resolver.h"
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

bool FollowableServer(const QString& server) {
    const auto asciiLetter = [](QChar c) {
        return (c >= QLatin1Char('a') && c <= QLatin1Char('z')) ||
               (c >= QLatin1Char('A') && c <= QLatin1Char('Z'));
    };
    const auto digit = [](QChar c) { return c >= QLatin1Char('0') && c <= QLatin1Char('9'); };
    const bool hostCharacters = std::all_of(server.cbegin(), server.cend(),
                                            [&](QChar c) {
                                                return asciiLetter(c) || digit(c) ||
                                                       c == QLatin1Char('.') ||
                                                       c == QLatin1Char('-');
                                            }) &&
                                server.contains(QLatin1Char('.')) &&
                                std::any_of(server.cbegin(), server.cend(),
                                            [&](QChar c) { return asciiLetter(c) || digit(c); });
    if (!hostCharacters) {
        return false;
    }
    const std::string text = server.toStdString();
    if (!net::parseDottedText(text) && !net::isDottedLiteral(text)) {
        return true;  // a host name
    }
    // An address: only the plain form, and never this computer.
    const QStringList parts = server.split(QLatin1Char('.'));
    if (parts.size() != 4) {
        return false;
    }
    int first = -1;
    for (const QString& part : parts) {
        const bool plainNumber = !part.isEmpty() && part.size() <= 3 &&
                                 std::all_of(part.cbegin(), part.cend(), digit) &&
                                 (part.size() == 1 || part.front() != QLatin1Char('0'));
        if (!plainNumber || part.toInt() > 255) {
            return false;
        }
        if (first < 0) {
            first = part.toInt();
        }
    }
    return first != 0 && first != 127;
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
            // Anything else (another protocol, words, this computer) is no server to ask.
            if (FollowableServer(server)) {
                return server;
            }
        }
    }
    return std::nullopt;
}

}  // namespace quendrix::whois
