#include "core/browser_address.h"

namespace quendrix {

namespace {

// Stand-in: no browser ever answers.
class NoBrowser : public BrowserAddressSource {
  public:
    std::optional<QString> windowInfo() override { return std::nullopt; }
};

}  // namespace

QString BrowserAddressFromReply(const QString& reply) {
    if (reply.contains(QStringLiteral(":///")) || reply.contains(QStringLiteral("about:blank")) ||
        !reply.contains(QLatin1Char('"'))) {
        return kNoBrowserAddress;
    }
    const qsizetype close = reply.indexOf(QLatin1Char('"'), 2);
    return close < 0 ? QString() : reply.mid(1, close - 1);
}

QString GetBrowserAddress(BrowserAddressSource& source) {
    const std::optional<QString> reply = source.windowInfo();
    return reply ? BrowserAddressFromReply(*reply) : kNoBrowserAddress;
}

QString GetBrowserAddress() {
    return kNoBrowserAddress;
}

QString HostFromAddress(const QString& address) {
    QString rest = AddressWithoutScheme(address);
    const qsizetype slash = rest.indexOf(QLatin1Char('/'));
    if (slash >= 0) {
        rest.truncate(slash);
    }
    return rest;
}

QString AddressWithoutScheme(const QString& address) {
    const qsizetype scheme = address.indexOf(QStringLiteral("://"));
    // Without a scheme separator the address is taken from its third character on.
    return scheme >= 0 ? address.mid(scheme + 3) : address.mid(2);
}

std::unique_ptr<BrowserAddressSource> MakeSystemBrowserAddressSource() {
    return std::make_unique<NoBrowser>();
}

}  // namespace quendrix
