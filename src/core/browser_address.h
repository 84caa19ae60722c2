// The address of the page open in the user's web browser, for the pages' browser buttons.
// No browser source is wired up yet: the query finds nothing ("XXX"), so the buttons say
// that the browser is not running.
#pragma once

#include <QString>

namespace quendrix {

// What the query gives when there is no browser address.
inline const QString kNoBrowserAddress = QStringLiteral("XXX");

// The browser's current address, or "XXX".
QString GetBrowserAddress();

// The host part of an address: the text after the first "://" up to the first "/".
QString HostFromAddress(const QString& address);

// The message a browser button shows when the query finds nothing.
inline const QString kBrowserNotRunning = QStringLiteral("Internet Explorer is not running!");

}  // namespace quendrix
