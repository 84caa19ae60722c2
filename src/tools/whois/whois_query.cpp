#include "tools/whois/whois_query.h"

#include "core/target.h"
#include "tools/whois/whois_text.h"

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

}  // namespace quendrix::whois
