// The nine tool pages, listed once: from this list the main window builds its page stack,
// the "Function View" menu and the navigation bar.
#pragma once

#include <QString>

#include <functional>
#include <memory>
#include <vector>

class QWidget;

namespace quendrix {

namespace net {
class IcmpEcho;
}

class PageHost;
class ToolPage;

// What the window shares with the pages it makes.
struct PageServices {
    PageHost& host;
    std::shared_ptr<net::IcmpEcho> echo;  // the program's one ICMP echo service
};

struct PageEntry {
    enum class Bar { None, Tools, Information };

    int index;           // position in the page stack, what settings.ini stores
    QString objectName;  // e.g. "whois_tab"
    QString caption;     // the page's caption
    QString header;      // the header text on the page; empty: none
    QString menuCaption;
    QString menuName;  // the menu item's object name
    bool separatorBefore;
    Bar bar;
    QString barCaption;
    std::function<ToolPage*(const PageServices&, QWidget* parent)> factory;
};

// In the order of the "Function View" menu; the bar keeps the same order within its groups.
std::vector<PageEntry> PageRegistry();

}  // namespace quendrix
