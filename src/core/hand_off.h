// The hand-off between tool pages: one page sends a value to another page's target box and
// runs that page's actions, without either page knowing the other. A page declares what it
// offers (HandOffPoints); the main window owns the router, which switches pages and delivers.
// The sixteen right-click menus that start a hand-off are data here (HandOffMenus); the menu
// builder in core/widgets turns them into menus. No widgets here: points are reached by name,
// through functions the page gives.
#pragma once

#include "core/job_runner.h"

#include <QHash>
#include <QList>
#include <QString>
#include <QStringList>

#include <functional>
#include <memory>
#include <optional>

namespace quendrix {

// What one page offers: boxes (read and set their text), sources (a list's selected entry,
// a cell of a grid's current row) and actions (a handler, run by name).
class HandOffPoints {
  public:
    // A source gives nothing when its guard fails (no entry selected, an empty cell).
    using Source = std::function<std::optional<QString>()>;

    void addBox(const QString& name, std::function<QString()> read,
                std::function<void(const QString&)> write);
    void addSource(const QString& name, Source read);
    void addAction(const QString& name, std::function<void()> run);

    // A box's text or a source's value; nothing for an unknown name or a failed guard.
    std::optional<QString> read(const QString& name) const;
    // False when the page has no such box.
    bool setText(const QString& box, const QString& text) const;
    // False when the page has no such action.
    bool run(const QString& action) const;

    bool hasBox(const QString& name) const { return m_writers.contains(name); }
    bool hasSource(const QString& name) const { return m_readers.contains(name); }
    bool hasAction(const QString& name) const { return m_actions.contains(name); }

  private:
    QHash<QString, Source> m_readers;
    QHash<QString, std::function<void(const QString&)>> m_writers;
    QHash<QString, std::function<void()>> m_actions;
};

// Where a hand-off item sends its value: the page made active, the box that receives the
// value, and the actions run on that page afterwards, in order.
struct HandOffTarget {
    QString page;  // the page's object name, e.g. "whois_tab"
    QString box;
    QStringList actions;
    friend bool operator==(const HandOffTarget&, const HandOffTarget&) = default;
};

// The target of a hand-off item by its caption ("Convert Domain to IP", "Ping", ...).
// "Ping" from a source that always holds an address goes to the ping page's address side.
// Nothing for an unknown caption.
std::optional<HandOffTarget> HandOffTargetFor(const QString& caption, bool sourceHoldsAddress);

// What an item does to the value between its source and the target box.
enum class HandOffConversion {
    None,
    // The address's official name, or "X" when the reverse look-up fails. It may wait for
    // the name server, so it runs as a job: the page switches at once, the box is set and the
    // actions run when the answer comes.
    ResolveAddress,
};

// One item of a hand-off menu.
struct HandOffMenuItem {
    enum class Kind {
        HandOff,    // switch page, set the box, run the actions
        Separator,  // a line between items
        // Opens "http://" + the source's value in the web browser, through the desktop;
        // no page switch. Only a host name or a dotted address is opened (WebAddressToOpen).
        OpenAsWebAddress,
    };
    Kind kind = Kind::HandOff;
    QString caption;
    QString handler;  // e.g. "Ping1Click"; the menu item's object name is "Ping1"
    HandOffTarget target;
    HandOffConversion conversion = HandOffConversion::None;

    QString objectName() const;
};

// A control a menu is shown on. The control's object name is also the name of the source
// point its page declares (a box, a list's selected entry, a grid's current-row cell).
struct HandOffPlace {
    QString page;  // the page's object name
    QString control;
    friend bool operator==(const HandOffPlace&, const HandOffPlace&) = default;
};

struct HandOffMenu {
    QString name;  // e.g. "pop_domain"
    QList<HandOffPlace> places;
    // A list's menu: the list's editing items come first, then a separator, then these.
    bool afterListItems = false;
    QList<HandOffMenuItem> items;
};

// The sixteen menus, each with its items top to bottom.
const QList<HandOffMenu>& HandOffMenus();
// The menu of that name; nullptr when there is none.
const HandOffMenu* FindHandOffMenu(const QString& name);

// What the browser item opens for a cell's text: "http://" + the text when the text is a host
// name (letters, digits, hyphens and dots, with at least one dot and no empty label) or a
// dotted address; nothing for any other text ("Unknown", a blank, an empty cell).
std::optional<QString> WebAddressToOpen(const QString& text);

class HandOffRouter {
  public:
    using Resolver = std::function<QString(const QString& dottedAddress)>;
    // Called before each action a hand-off runs; false skips the action. For tests that
    // follow a hand-off without letting the target page act.
    using ActionHook = std::function<bool(const QString& page, const QString& action)>;

    // showPage makes the named page the active page; false when there is no such page.
    // resolveAddress answers the ResolveAddress conversion on a worker thread; empty: the
    // system resolver.
    explicit HandOffRouter(std::function<bool(const QString& page)> showPage,
                           Resolver resolveAddress = {});
    ~HandOffRouter();
    HandOffRouter(const HandOffRouter&) = delete;
    HandOffRouter& operator=(const HandOffRouter&) = delete;

    // A page's points, under the page's object name. The page outlives its registration.
    void addPage(const QString& page, const HandOffPoints* points);
    const HandOffPoints* points(const QString& page) const;

    // Switches to the target page, sets its box and runs its actions. False (and nothing
    // done) when the target page or its box is not there. A delivery that goes ahead drops a
    // hand-off still waiting for its look-up.
    bool deliver(const HandOffTarget& target, const QString& value);

    // One hand-off item: reads the source of a page; when its guard holds, switches to the
    // target page, converts the value, sets the box and runs the actions. A failed guard does
    // nothing at all. With a conversion that looks a name up, the box is set and the actions
    // run when the answer comes (see cancelPending). True when the hand-off went ahead.
    bool handOff(const QString& sourcePage, const QString& source, const HandOffTarget& target,
                 HandOffConversion conversion = HandOffConversion::None);

    // Drops the hand-off that waits for its look-up, if any: its answer sets nothing and runs
    // nothing. A newer hand-off or delivery drops it too; the target page calls this when
    // the user starts or stops its work by hand meanwhile.
    void cancelPending();
    // True while a hand-off waits for its look-up.
    bool hasPending() const { return m_pending != 0; }

    void setActionHook(ActionHook hook) { m_actionHook = std::move(hook); }
    // Another resolver for the look-ups started from now on (tests: one that waits).
    void setAddressResolver(Resolver resolve) { m_resolveAddress = std::move(resolve); }
    // True while a look-up's worker is still inside the resolver, dropped ones included.
    bool lookupsInProgress() const { return m_lookups && m_lookups->isWorkerBusy(); }

  private:
    bool deliverable(const HandOffTarget& target) const;
    void setAndRun(const HandOffTarget& target, const QString& value);
    void answered(JobId id, const QString& name);

    std::function<bool(const QString&)> m_showPage;
    Resolver m_resolveAddress;
    ActionHook m_actionHook;
    QHash<QString, const HandOffPoints*> m_pages;
    // Made on the first look-up: the window's thread has its event loop by then.
    std::unique_ptr<JobRunner<QString>> m_lookups;
    JobId m_pending = 0;
    HandOffTarget m_pendingTarget;
};

}  // namespace quendrix
