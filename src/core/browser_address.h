// The address of the page open in the user's web browser, for the pages' browser buttons and
// the start-up prefill. A source gives the browser's window information as a reply of the
// form "ADDRESS","TITLE"; the reply rules below reduce it to an address, and "XXX" stands for
// no address at all.
#pragma once

#include <QString>

#include <memory>
#include <optional>

namespace quendrix {

// What the query gives when there is no browser address.
inline const QString kNoBrowserAddress = QStringLiteral("XXX");

// The message a browser button shows when the query finds nothing.
inline const QString kBrowserNotRunning = QStringLiteral("Internet Explorer is not running!");

// Where the browser's window information comes from. The main window owns one; pages reach
// it through their PageHost. windowInfo may be called from a worker thread.
class BrowserAddressSource {
  public:
    virtual ~BrowserAddressSource() = default;
    // The reply "ADDRESS","TITLE" of the browser's most recently active window; nothing when
    // no browser answers.
    virtual std::optional<QString> windowInfo() = 0;
};

// The reply rules on a whole reply (title included): the address between the quotes, or
// "XXX" for a blank page, a local file, a reply without any double quote or an address
// without "://" (a new tab or start page); the empty text when the address has no closing
// quote.
QString BrowserAddressFromReply(const QString& reply);

// The browser's current address through a source, or "XXX".
QString GetBrowserAddress(BrowserAddressSource& source);

// The host part of an address: the text after the first "://" up to the first "/".
QString HostFromAddress(const QString& address);

// The address without its scheme: the text after the first "://", path included.
QString AddressWithoutScheme(const QString& address);

// The source this machine offers: the page of the running Firefox, from the session store of
// its profile under the user's home folder ($HOME, else the password database); it finds
// nothing when no Firefox runs.
std::unique_ptr<BrowserAddressSource> MakeSystemBrowserAddressSource();

}  // namespace quendrix
