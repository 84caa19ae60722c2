#include "core/browser_address.h"

#include "core/firefox_session.h"

#include <QFile>

#include <pwd.h>
#include <unistd.h>

#include <cstdlib>
#include <vector>

namespace quendrix {

namespace {

// The user's home folder: $HOME, else the password database's entry; empty when neither says.
QString HomeFolder() {
    if (const char* home = std::getenv("HOME"); home != nullptr && home[0] == '/') {
        return QFile::decodeName(home);
    }
    std::vector<char> buffer(16384);
    passwd entry{};
    passwd* found = nullptr;
    if (::getpwuid_r(::getuid(), &entry, buffer.data(), buffer.size(), &found) == 0 &&
        found != nullptr && found->pw_dir != nullptr) {
        return QFile::decodeName(found->pw_dir);
    }
    return {};
}

}  // namespace

QString BrowserAddressFromReply(const QString& reply) {
    if (reply.contains(QStringLiteral(":///")) || reply.contains(QStringLiteral("about:blank")) ||
        !reply.contains(QLatin1Char('"'))) {
        return kNoBrowserAddress;
    }
    const qsizetype close = reply.indexOf(QLatin1Char('"'), 2);
    if (close < 0) {
        return QString();
    }
    // A page whose address has no scheme separator (a new tab, the browser's start page) is no
    // target, like the blank page.
    const QString address = reply.mid(1, close - 1);
    return address.contains(QStringLiteral("://")) ? address : kNoBrowserAddress;
}

QString GetBrowserAddress(BrowserAddressSource& source) {
    const std::optional<QString> reply = source.windowInfo();
    return reply ? BrowserAddressFromReply(*reply) : kNoBrowserAddress;
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
    return std::make_unique<firefox::FirefoxSessionSource>(HomeFolder());
}

}  // namespace quendrix
