// The hand-off between tool pages: one page sends a value to another page's target box and
// runs that page's actions, without either page knowing the other. A page declares what it
// offers (HandOffPoints); the main window owns the router, which switches pages and delivers.
// No widgets here: points are reached by name, through functions the page gives.
#pragma once

#include <QHash>
#include <QString>
#include <QStringList>

#include <functional>
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
};

// The target of a hand-off item by its caption ("Convert Domain to IP", "Ping", ...).
// "Ping" from a source that always holds an address goes to the ping page's address side.
// Nothing for an unknown caption.
std::optional<HandOffTarget> HandOffTargetFor(const QString& caption, bool sourceHoldsAddress);

class HandOffRouter {
  public:
    // showPage makes the named page the active page; false when there is no such page.
    explicit HandOffRouter(std::function<bool(const QString& page)> showPage);

    // A page's points, under the page's object name. The page outlives its registration.
    void addPage(const QString& page, const HandOffPoints* points);
    const HandOffPoints* points(const QString& page) const;

    // Switches to the target page, sets its box and runs its actions. False (and nothing
    // done) when the target page or its box is not there.
    bool deliver(const HandOffTarget& target, const QString& value) const;

    // One hand-off item: reads the source of a page; when its guard holds, switches to the
    // target page, converts the value (when a conversion is given), sets the box, runs the
    // actions. A failed guard does nothing at all. True when the value was delivered.
    bool handOff(const QString& sourcePage, const QString& source, const HandOffTarget& target,
                 const std::function<QString(const QString&)>& conversion = {}) const;

  private:
    bool deliverable(const HandOffTarget& target) const;

    std::function<bool(const QString&)> m_showPage;
    QHash<QString, const HandOffPoints*> m_pages;
};

}  // namespace quendrix
