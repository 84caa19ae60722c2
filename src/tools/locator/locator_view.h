// The IP Locator's web view, WebBrowser1: a Qt WebEngine view where the program was built
// with it, else a text browser. Both show the built-in location service's page and open
// links to other sites in the user's own browser; the WebEngine view also loads any other
// service's page, where the text browser shows the query address as a link instead.
//
// The WebEngine view lives in a module of its own (libquendrix_locator_webengine.so beside the
// program), loaded the first time the view is made: linking WebEngine into the program would
// make every start pay for its set-up (a few hundred milliseconds under Xvfb), page shown or
// not. Where the module is missing or does not load, the text browser takes its place.
#pragma once

#include "tools/locator/location_service.h"

#include <QString>
#include <QUrl>

#include <functional>
#include <memory>
#include <optional>

class QWidget;

namespace quendrix {

class Prompts;

namespace locator {

class LocatorView {
  public:
    enum class Kind { Automatic, TextBrowser };

    virtual ~LocatorView() = default;

    // The widget, named "WebBrowser1".
    virtual QWidget* widget() = 0;
    // True when the view cannot ask the built-in service itself: the caller makes the built-in
    // page (on a worker) and hands it to show().
    virtual bool needsBuiltInPage() const = 0;
    // Goes to the query address; html is the built-in page when needsBuiltInPage() asked for
    // it. Returns the reason when the view refuses the address (it is no valid absolute
    // address); the page then shows nothing new.
    virtual std::optional<QString> show(const QString& queryAddress, const QString& html) = 0;
    // The address and the text, as the user sees it, of the last page that finished loading.
    virtual QString address() const = 0;
    virtual QString plainText() const = 0;
    // Called each time a page has finished loading (tests wait for it).
    std::function<void(bool ok)> loaded;
};

// Why a view refuses a query address: it is not a valid absolute address with a host.
inline std::optional<QString> RefusedAddress(const QUrl& url, const QString& queryAddress) {
    if (!url.isValid() || url.isRelative() || url.host().isEmpty()) {
        return QStringLiteral("Cannot open the address \"%1\".").arg(queryAddress);
    }
    return std::nullopt;
}

// The links that leave for the user's browser: http and https only.
inline bool IsWebLink(const QUrl& url) {
    return url.scheme() == QStringLiteral("http") || url.scheme() == QStringLiteral("https");
}

// What the WebEngine module gets from the program. answer makes the built-in service's page
// for a query address on a worker and calls back on the UI thread with it (nullopt: no query
// of the service).
struct WebEngineViewArguments {
    using Answer =
        std::function<void(const QUrl& url, std::function<void(std::optional<QString> page)> done)>;
    Answer answer;
    Prompts* prompts = nullptr;
    QWidget* parent = nullptr;
};
// The module's one entry point, by this name.
using MakeWebEngineViewFunction = LocatorView* (*)(const WebEngineViewArguments& arguments);
inline constexpr char kMakeWebEngineViewSymbol[] = "quendrix_locator_make_webengine_view";

// Makes the view: WebEngine when the module loads, kind is Automatic and the platform has a
// screen (not the offscreen or minimal platform); else the text browser. The service answers
// the built-in scheme; prompts opens links in the user's browser.
std::unique_ptr<LocatorView> MakeLocatorView(LocatorView::Kind kind,
                                             std::shared_ptr<const LocationService> service,
                                             Prompts& prompts, QWidget* parent);

// True when the WebEngine module was built and loads.
bool HaveWebEngine();

}  // namespace locator
}  // namespace quendrix
