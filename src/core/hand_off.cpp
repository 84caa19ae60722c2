#include "core/hand_off.h"

namespace quendrix {

void HandOffPoints::addBox(const QString& name, std::function<QString()> read,
                           std::function<void(const QString&)> write) {
    m_readers.insert(name, [read = std::move(read)]() -> std::optional<QString> { return read(); });
    m_writers.insert(name, std::move(write));
}

void HandOffPoints::addSource(const QString& name, Source read) {
    m_readers.insert(name, std::move(read));
}

void HandOffPoints::addAction(const QString& name, std::function<void()> run) {
    m_actions.insert(name, std::move(run));
}

std::optional<QString> HandOffPoints::read(const QString& name) const {
    const auto found = m_readers.constFind(name);
    if (found == m_readers.cend()) {
        return std::nullopt;
    }
    return (*found)();
}

bool HandOffPoints::setText(const QString& box, const QString& text) const {
    const auto found = m_writers.constFind(box);
    if (found == m_writers.cend()) {
        return false;
    }
    (*found)(text);
    return true;
}

bool HandOffPoints::run(const QString& action) const {
    const auto found = m_actions.constFind(action);
    if (found == m_actions.cend()) {
        return false;
    }
    (*found)();
    return true;
}

std::optional<HandOffTarget> HandOffTargetFor(const QString& caption, bool sourceHoldsAddress) {
    const auto target = [](const char* page, const char* box,
                           std::initializer_list<const char*> actions) {
        HandOffTarget result{QString::fromLatin1(page), QString::fromLatin1(box), {}};
        for (const char* action : actions) {
            result.actions.append(QString::fromLatin1(action));
        }
        return result;
    };
    if (caption == QStringLiteral("Convert Domain to IP")) {
        return target("ip_to_domain_converter_tab", "domain_edit", {"nametoip_buttonClick"});
    }
    if (caption == QStringLiteral("Convert IP to Domain")) {
        return target("ip_to_domain_converter_tab", "ip_edit", {"iptoname_buttonClick"});
    }
    if (caption == QStringLiteral("Ping")) {
        return sourceHoldsAddress ? target("batch_ping_tab", "Edit8", {"SpeedButton18Click"})
                                  : target("batch_ping_tab", "Edit7", {"SpeedButton7Click"});
    }
    if (caption == QStringLiteral("Tracert")) {
        return target("tracert_tab", "edTarget", {"acStopExecute", "acGoExecute"});
    }
    if (caption == QStringLiteral("Whois")) {
        return target("whois_tab", "edDomain", {"Button3Click", "whois_start_buttonClick"});
    }
    if (caption == QStringLiteral("Country Lookup")) {
        return target("country_lookup_tab", "Edit3", {"SpeedButton9Click"});
    }
    if (caption == QStringLiteral("Website Scanner")) {
        return target("website_scanner_tab", "Edit111", {"Button11Click", "Button22Click"});
    }
    return std::nullopt;
}

HandOffRouter::HandOffRouter(std::function<bool(const QString& page)> showPage)
    : m_showPage(std::move(showPage)) {}

void HandOffRouter::addPage(const QString& page, const HandOffPoints* points) {
    m_pages.insert(page, points);
}

const HandOffPoints* HandOffRouter::points(const QString& page) const {
    return m_pages.value(page, nullptr);
}

bool HandOffRouter::deliverable(const HandOffTarget& target) const {
    const HandOffPoints* to = points(target.page);
    return to != nullptr && to->hasBox(target.box);
}

bool HandOffRouter::deliver(const HandOffTarget& target, const QString& value) const {
    if (!deliverable(target) || !m_showPage(target.page)) {
        return false;
    }
    const HandOffPoints* to = points(target.page);
    to->setText(target.box, value);
    // Whatever an action reports is the target page's business; the page stays switched.
    for (const QString& action : target.actions) {
        to->run(action);
    }
    return true;
}

bool HandOffRouter::handOff(const QString& sourcePage, const QString& source,
                            const HandOffTarget& target,
                            const std::function<QString(const QString&)>& conversion) const {
    const HandOffPoints* from = points(sourcePage);
    if (from == nullptr || !deliverable(target)) {
        return false;
    }
    const std::optional<QString> value = from->read(source);
    if (!value) {
        return false;  // a failed guard: no switch, no message
    }
    // The page is switched before a conversion that may wait for the resolver.
    if (!m_showPage(target.page)) {
        return false;
    }
    const HandOffPoints* to = points(target.page);
    to->setText(target.box, conversion ? conversion(*value) : *value);
    for (const QString& action : target.actions) {
        to->run(action);
    }
    return true;
}

}  // namespace quendrix
