// The IP Locator's web view, WebBrowser1: a Qt WebEngine view where the program was built
// with it, else a text browser. Both show the built-in location service's page and open
// links to other sites in the user's own browser; the WebEngine view also loads any other
// service's page, where the text browser shows the query address as a link instead.
#pragma once

#include "tools/locator/location_service.h"

#include <QString>

#include <functional>
#include <memory>

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
    // The address shown last and the page's text as the user sees it (of the last page that
    // finished loading).
    virtual QString address() const = 0;
    virtual QString plainText() const = 0;
    // Called each time a page has finished loading (tests wait for it).
    std::function<void(bool ok)> loaded;
};

// Makes the view: WebEngine when built with it and kind is Automatic. The service answers the
// built-in scheme in the WebEngine view; prompts opens links in the user's browser.
std::unique_ptr<LocatorView> MakeLocatorView(LocatorView::Kind kind,
                                             std::shared_ptr<const LocationService> service,
                                             Prompts& prompts, QWidget* parent);

// True when the program was built with Qt WebEngine.
bool HaveWebEngine();

}  // namespace locator
}  // namespace quendrix
