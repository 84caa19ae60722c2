// The browser buttons: seven pages have a button that takes the page the user has open in the
// web browser, puts its host (on the website scanner: the whole address without its scheme)
// into the page's target box and runs the page's actions, as a hand-off would. One table
// holds them all, and one path serves every button. The same table names the six boxes that
// the main window fills with the browser's host at start-up.
#pragma once

#include "core/hand_off.h"

#include <QString>
#include <QStringList>

#include <vector>

namespace quendrix {

class PageHost;

// What a button puts into its box.
enum class BrowserValue {
    Host,                  // the host part: "www.example.com:8080"
    AddressWithoutScheme,  // everything after "://": "www.example.com/path/page.html"
};

struct BrowserButton {
    QString page;     // the page's object name
    QString button;   // the button's object name
    QString handler;  // the page's handler of the button
    QString hint;     // the button's hint, as each page words it
    BrowserValue value;
    QString box;
    QStringList actions;  // run on the page after the box is set, in order
    // Filled with the browser's host at start-up (always the host, whatever value is).
    bool prefilled;

    HandOffTarget target() const { return {page, box, actions}; }
    // The text the button puts into its box for a browser address.
    QString valueFor(const QString& address) const;
};

// The seven buttons, in the order of the pages.
const std::vector<BrowserButton>& BrowserButtons();

// The row of a page; nullptr for a page without a browser button.
const BrowserButton* BrowserButtonOf(const QString& page);

// A page's browser button: asks the host's browser for its address; with none, the message
// "Internet Explorer is not running!" (no caption, warning icon) and nothing else; otherwise
// the button's value goes to its box through the hand-off router, which runs the actions.
// True when the value was delivered.
bool PressBrowserButton(PageHost& host, const QString& page);

}  // namespace quendrix
