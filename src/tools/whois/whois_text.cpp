#include "tools/whois/whois_text.h"

#include "core/target.h"

namespace quendrix {

QString NormaliseWhoisDomain(const QString& text) {
    QString result = TrimBlanks(text);
    // Only the ASCII capitals: other letters are left as typed.
    for (QChar& c : result) {
        if (c >= QLatin1Char('A') && c <= QLatin1Char('Z')) {
            c = QChar(c.unicode() + ('a' - 'A'));
        }
    }
    const QLatin1String scheme("http://");
    if (const qsizetype at = result.indexOf(scheme); at >= 0) {
        result.remove(0, at + scheme.size());
    }
    if (const qsizetype slash = result.indexOf(QLatin1Char('/')); slash >= 0) {
        result.truncate(slash);
    }
    const QLatin1String www("www.");
    if (const qsizetype at = result.indexOf(www); at >= 0) {
        result.remove(0, at + www.size());
    }
    return result;
}

QByteArrayList SplitWhoisReply(const QByteArray& reply) {
    QByteArrayList lines;
    qsizetype from = 0;
    while (from < reply.size()) {
        if (reply.at(from) == '\n') {
            ++from;
            continue;
        }
        qsizetype end = reply.indexOf('\n', from);
        if (end < 0) {
            end = reply.size();
        }
        lines.append(reply.mid(from, end - from));
        from = end;
    }
    return lines;
}

}  // namespace quendrix
