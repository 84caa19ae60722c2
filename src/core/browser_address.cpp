#include "core/browser_address.h"

namespace quendrix {

QString GetBrowserAddress() {
    return kNoBrowserAddress;
}

QString HostFromAddress(const QString& address) {
    const qsizetype scheme = address.indexOf(QStringLiteral("://"));
    // Without a scheme separator the address is taken from its third character on.
    QString rest = scheme >= 0 ? address.mid(scheme + 3) : address.mid(2);
    const qsizetype slash = rest.indexOf(QLatin1Char('/'));
    if (slash >= 0) {
        rest.truncate(slash);
    }
    return rest;
}

}  // namespace quendrix
