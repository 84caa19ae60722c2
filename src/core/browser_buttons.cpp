#include "core/browser_buttons.h"

#include "core/browser_address.h"
#include "core/page_host.h"
#include "core/prompts.h"

#include <exception>
#include <initializer_list>

namespace quendrix {
namespace {

BrowserButton Row(const char* page, const char* button, const char* hint, BrowserValue value,
                  const char* box, std::initializer_list<const char*> actions, bool prefilled) {
    BrowserButton row{QString::fromLatin1(page),
                      QString::fromLatin1(button),
                      QString::fromLatin1(button) + QStringLiteral("Click"),
                      QString::fromLatin1(hint),
                      value,
                      QString::fromLatin1(box),
                      {},
                      prefilled};
    for (const char* action : actions) {
        row.actions.append(QString::fromLatin1(action));
    }
    return row;
}

}  // namespace

QString BrowserButton::valueFor(const QString& address) const {
    return value == BrowserValue::Host ? HostFromAddress(address) : AddressWithoutScheme(address);
}

const std::vector<BrowserButton>& BrowserButtons() {
    using enum BrowserValue;
    // The hints differ from page to page ("the Internet Explorer", "Internet Explorer",
    // "web address"): each is the page's own wording.
    static const std::vector<BrowserButton> rows{
        Row("ip_to_domain_converter_tab", "SpeedButton20",
            "Convert the domain currently open in the Internet Explorer", Host, "domain_edit",
            {"nametoip_buttonClick"}, true),
        Row("batch_ping_tab", "SpeedButton21",
            "Ping the domain currently open in the Internet Explorer", Host, "Edit7",
            {"SpeedButton7Click"}, true),
        Row("tracert_tab", "SpeedButton22",
            "Trace the domain currently open in the Internet Explorer", Host, "edTarget",
            {"acStopExecute", "acGoExecute"}, true),
        Row("whois_tab", "SpeedButton23",
            "Query the domain currently open in the Internet Explorer", Host, "edDomain",
            {"Button3Click", "whois_start_buttonClick"}, true),
        Row("country_lookup_tab", "SpeedButton24",
            "Query the domain currently open in the Internet Explorer", Host, "Edit3",
            {"SpeedButton9Click"}, true),
        Row("website_scanner_tab", "SpeedButton17",
            "Scan web address currently open in the Internet Explorer", AddressWithoutScheme,
            "Edit111", {"Button11Click", "Button22Click"}, true),
        // The locator's box is left as it is at start-up.
        Row("ip_locator_tab", "SpeedButton26",
            "Query the IP address of the domain currently open in Internet Explorer", Host,
            "Edit11", {"SpeedButton3Click"}, false),
    };
    return rows;
}

const BrowserButton* BrowserButtonOf(const QString& page) {
    for (const BrowserButton& row : BrowserButtons()) {
        if (row.page == page) {
            return &row;
        }
    }
    return nullptr;
}

bool PressBrowserButton(PageHost& host, const QString& page) {
    const BrowserButton* row = BrowserButtonOf(page);
    if (row == nullptr) {
        return false;
    }
    QString address;
    try {
        address = GetBrowserAddress(host.browserAddress());
    } catch (const std::exception&) {
        // The query never shows an error of its own: a source that fails has found nothing.
        address = kNoBrowserAddress;
    }
    if (address == kNoBrowserAddress) {
        host.prompts().message(QString(), kBrowserNotRunning, Prompts::Icon::Warning);
        return false;
    }
    return host.handOff().deliver(row->target(), row->valueFor(address));
}

}  // namespace quendrix
