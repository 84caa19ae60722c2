#include "core/hand_off.h"

#include "core/target.h"

#include <utility>

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

namespace {

struct ItemRow {
    const char* caption;  // "-": a separator
    const char* handler;
};

struct MenuRow {
    const char* name;
    std::initializer_list<std::pair<const char*, const char*>> places;  // page, control
    // The source always holds an address: "Ping" goes to the ping page's address side, and
    // "Whois" hands over the address's name.
    bool holdsAddress;
    bool afterListItems;
    std::initializer_list<ItemRow> items;
};

constexpr char kConverter[] = "ip_to_domain_converter_tab";
constexpr char kPing[] = "batch_ping_tab";
constexpr char kTrace[] = "tracert_tab";
constexpr char kWhois[] = "whois_tab";
constexpr char kCountry[] = "country_lookup_tab";
constexpr char kScanner[] = "website_scanner_tab";
constexpr char kMonitor[] = "connection_monitor_tab";
constexpr char kLocator[] = "ip_locator_tab";

QList<HandOffMenu> MakeMenus() {
    const MenuRow rows[] = {
        {"pop_domain",
         {{kConverter, "domain_edit"}},
         false,
         false,
         {{"Ping", "Ping1Click"},
          {"Country Lookup", "CountryLookup1Click"},
          {"Tracert", "racert1Click"},
          {"Whois", "Whois1Click"},
          {"Website Scanner", "WebsiteScanner1Click"}}},
        {"pop_ip",
         {{kConverter, "ip_edit"}},
         true,
         false,
         {{"Ping", "MenuItem1Click"},
          {"Country Lookup", "MenuItem4Click"},
          {"Tracert", "MenuItem2Click"},
          {"Whois", "MenuItem3Click"},
          {"Website Scanner", "MenuItem5Click"}}},
        {"PopupMenu1",
         {{kConverter, "ListBox1"}},
         false,
         true,
         {{"Ping", "Ping2Click"},
          {"Country Lookup", "CountryLookup2Click"},
          {"Tracert", "racert3Click"},
          {"Whois", "Whois3Click"},
          {"Website Scanner", "WebsiteScanner3Click"}}},
        {"PopupMenu2",
         {{kPing, "ListBox2"}},
         false,
         true,
         {{"Convert Domain to IP", "ConvertDomaintoIP2Click"},
          {"Convert IP to Domain", "ConvertIPtoDomain1Click"},
          {"Country Lookup", "CountryLoop1Click"},
          {"Tracert", "racert2Click"},
          {"Whois", "Whois2Click"},
          {"Website Scanner", "WebsiteScanner2Click"}}},
        {"PopupMenu3",
         {{kCountry, "ListBox3"}},
         false,
         true,
         {{"Convert Domain to IP", "ConvertDomaintoIP3Click"},
          {"Convert IP to Domain", "ConvertIPtoDomain3Click"},
          {"Ping", "Ping3Click"},
          {"Tracert", "racert4Click"},
          {"Whois", "Whois4Click"},
          {"Website Scanner", "WebsiteScanner4Click"}}},
        {"pop_tracert",
         {{kTrace, "edTarget"}},
         false,
         false,
         {{"Convert Domain to IP", "ConvertDomaintoIP1Click"},
          {"Convert IP to Domain", "MenuItem7Click"},
          {"Ping", "MenuItem6Click"},
          {"Country Lookup", "MenuItem9Click"},
          {"Whois", "MenuItem8Click"},
          {"Website Scanner", "MenuItem10Click"}}},
        // The whois box's menu serves the IP locator's box too, sending that box's text.
        {"pop_whois",
         {{kWhois, "edDomain"}, {kLocator, "Edit11"}},
         false,
         false,
         {{"Convert Domain to IP", "MenuItem11Click"},
          {"Ping", "MenuItem13Click"},
          {"Country Lookup", "MenuItem15Click"},
          {"Tracert", "MenuItem12Click"},
          {"Website Scanner", "MenuItem16Click"}}},
        {"Pop_country_lookup",
         {{kCountry, "Edit3"}},
         false,
         false,
         {{"Convert Domain to IP", "MenuItem14Click"},
          {"Convert IP to Domain", "MenuItem17Click"},
          {"Ping", "MenuItem18Click"},
          {"Tracert", "MenuItem20Click"},
          {"Whois", "MenuItem19Click"},
          {"Website Scanner", "MenuItem21Click"}}},
        {"pop_scanner",
         {{kScanner, "Edit111"}},
         false,
         false,
         {{"Convert Domain to IP", "MenuItem22Click"},
          {"Ping", "MenuItem24Click"},
          {"Country Lookup", "MenuItem26Click"},
          {"Tracert", "MenuItem27Click"},
          {"Whois", "MenuItem25Click"}}},
        {"Pop_domain_ping",
         {{kPing, "Edit7"}},
         false,
         false,
         {{"Convert Domain to IP", "MenuItem28Click"},
          {"Country Lookup", "MenuItem36Click"},
          {"Tracert", "MenuItem34Click"},
          {"Whois", "MenuItem35Click"},
          {"Website Scanner", "MenuItem37Click"}}},
        {"pop_ip_ping",
         {{kPing, "Edit8"}},
         false,
         false,
         {{"Convert IP to Domain", "MenuItem38Click"},
          {"Country Lookup", "MenuItem41Click"},
          {"Tracert", "MenuItem39Click"},
          {"Website Scanner", "MenuItem42Click"}}},
        // The monitor's source hands over the remote address compacted to dotted text.
        {"pop_monitor",
         {{kMonitor, "sgConnHist"}},
         true,
         false,
         {{"Convert IP to Domain", "MenuItem29Click"},
          {"Ping", "MenuItem30Click"},
          {"Country Lookup", "MenuItem33Click"},
          {"Tracert", "MenuItem31Click"},
          {"Whois", "MenuItem32Click"}}},
        {"Pop_iptodomain_results",
         {{kConverter, "StringGrid2"}},
         false,
         false,
         {{"Ping", "MenuItem43Click"},
          {"Country Lookup", "MenuItem46Click"},
          {"Tracert", "MenuItem44Click"},
          {"Whois", "MenuItem45Click"},
          {"Website Scanner", "MenuItem47Click"},
          {"-", "N1"},
          {"Brower", "Brower1Click"}}},
        {"pop_ping_results",
         {{kPing, "StringGrid1"}},
         false,
         false,
         {{"Convert Domain to IP", "MenuItem48Click"},
          {"Convert IP to Domain", "ConvertIPtoDomain2Click"},
          {"Country Lookup", "MenuItem51Click"},
          {"Tracert", "MenuItem49Click"},
          {"Whois", "MenuItem50Click"},
          {"Website Scanner", "MenuItem52Click"}}},
        // A hop holds an address; "Tracert" is not offered on a hop.
        {"Pop_tracert_results",
         {{kTrace, "lvTrace"}},
         true,
         false,
         {{"Convert IP to Domain", "MenuItem53Click"},
          {"Country Lookup", "MenuItem57Click"},
          {"Ping", "MenuItem54Click"},
          {"Website Scanner", "MenuItem55Click"}}},
        {"pop_country_results",
         {{kCountry, "StringGrid3"}},
         false,
         false,
         {{"Convert Domain to IP", "MenuItem62Click"},
          {"Convert IP to Domain", "MenuItem63Click"},
          {"Ping", "MenuItem64Click"},
          {"Tracert", "MenuItem65Click"},
          {"Whois", "MenuItem66Click"},
          {"Website Scanner", "MenuItem67Click"}}},
    };
    // Only the two menus of an address box and a monitor row look the name up for "Whois";
    // a hop's address is handed on as it is.
    const auto resolvesForWhois = [](const QString& menu) {
        return menu == QStringLiteral("pop_ip") || menu == QStringLiteral("pop_monitor");
    };

    QList<HandOffMenu> menus;
    for (const MenuRow& row : rows) {
        HandOffMenu menu;
        menu.name = QString::fromLatin1(row.name);
        menu.afterListItems = row.afterListItems;
        for (const auto& [page, control] : row.places) {
            menu.places.append({QString::fromLatin1(page), QString::fromLatin1(control)});
        }
        for (const ItemRow& itemRow : row.items) {
            HandOffMenuItem item;
            item.caption = QString::fromLatin1(itemRow.caption);
            item.handler = QString::fromLatin1(itemRow.handler);
            if (item.caption == QStringLiteral("-")) {
                item.kind = HandOffMenuItem::Kind::Separator;
                item.caption.clear();
            } else if (item.caption == QStringLiteral("Brower")) {
                item.kind = HandOffMenuItem::Kind::OpenAsWebAddress;
            } else {
                const std::optional<HandOffTarget> target =
                    HandOffTargetFor(item.caption, row.holdsAddress);
                Q_ASSERT(target.has_value());
                item.target = target.value_or(HandOffTarget{});
                if (item.caption == QStringLiteral("Whois") && resolvesForWhois(menu.name)) {
                    item.conversion = HandOffConversion::ResolveAddress;
                }
            }
            menu.items.append(item);
        }
        menus.append(menu);
    }
    return menus;
}

}  // namespace

QString HandOffMenuItem::objectName() const {
    QString name = handler;
    if (name.endsWith(QStringLiteral("Click"))) {
        name.chop(5);
    }
    return name;
}

const QList<HandOffMenu>& HandOffMenus() {
    static const QList<HandOffMenu> menus = MakeMenus();
    return menus;
}

const HandOffMenu* FindHandOffMenu(const QString& name) {
    for (const HandOffMenu& menu : HandOffMenus()) {
        if (menu.name == name) {
            return &menu;
        }
    }
    return nullptr;
}

std::optional<QString> WebAddressToOpen(const QString& text) {
    // A host name or a dotted address: labels of letters, digits and hyphens between dots.
    // Anything else (a failure text such as "Unknown", blanks, a path) is not an address the
    // browser should be sent to.
    const QStringList labels = text.split(QLatin1Char('.'));
    if (labels.size() < 2) {
        return std::nullopt;
    }
    for (const QString& label : labels) {
        if (label.isEmpty()) {
            return std::nullopt;
        }
        for (const QChar c : label) {
            const bool allowed = (c >= QLatin1Char('a') && c <= QLatin1Char('z')) ||
                                 (c >= QLatin1Char('A') && c <= QLatin1Char('Z')) ||
                                 (c >= QLatin1Char('0') && c <= QLatin1Char('9')) ||
                                 c == QLatin1Char('-');
            if (!allowed) {
                return std::nullopt;
            }
        }
    }
    return QStringLiteral("http://") + text;
}

HandOffRouter::HandOffRouter(std::function<bool(const QString& page)> showPage,
                             Resolver resolveAddress)
    : m_showPage(std::move(showPage)), m_resolveAddress(std::move(resolveAddress)) {
    if (!m_resolveAddress) {
        m_resolveAddress = [](const QString& address) { return ResolveAddress(address); };
    }
}

// The runner joins a look-up still in progress; at program exit the window's teardown guard
// ends the process instead of waiting for a name server that does not answer.
HandOffRouter::~HandOffRouter() = default;

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

void HandOffRouter::setAndRun(const HandOffTarget& target, const QString& value) {
    const HandOffPoints* to = points(target.page);
    to->setText(target.box, value);
    // Whatever an action reports is the target page's business; the page stays switched.
    for (const QString& action : target.actions) {
        if (!m_actionHook || m_actionHook(target.page, action)) {
            to->run(action);
        }
    }
}

bool HandOffRouter::deliver(const HandOffTarget& target, const QString& value) {
    if (!deliverable(target) || !m_showPage(target.page)) {
        return false;
    }
    cancelPending();
    setAndRun(target, value);
    return true;
}

bool HandOffRouter::handOff(const QString& sourcePage, const QString& source,
                            const HandOffTarget& target, HandOffConversion conversion) {
    const HandOffPoints* from = points(sourcePage);
    if (from == nullptr || !deliverable(target)) {
        return false;
    }
    const std::optional<QString> value = from->read(source);
    if (!value) {
        return false;  // a failed guard: no switch, no message
    }
    if (!m_showPage(target.page)) {
        return false;
    }
    cancelPending();
    if (conversion == HandOffConversion::None) {
        setAndRun(target, *value);
        return true;
    }
    // The look-up may wait for a name server as long as its time-out: the window goes on
    // meanwhile, and the answer is delivered unless something newer came first.
    if (!m_lookups) {
        m_lookups = std::make_unique<JobRunner<QString>>(
            [this](JobId id, std::span<QString> names) { answered(id, names.back()); });
    }
    m_pendingTarget = target;
    m_pending = m_lookups->start(
        [resolve = m_resolveAddress, address = *value](JobRunner<QString>::Context& context) {
            context.push(resolve(address));
        });
    return true;
}

void HandOffRouter::answered(JobId id, const QString& name) {
    if (id != m_pending) {
        return;
    }
    m_pending = 0;
    // The target page may have gone in the meantime only with the window, which ends the
    // runner first; still, deliver only to a page that is there.
    if (deliverable(m_pendingTarget)) {
        setAndRun(m_pendingTarget, name);
    }
}

void HandOffRouter::cancelPending() {
    if (m_pending == 0) {
        return;
    }
    // Returns at once; a worker blocked in the look-up is joined when it comes back.
    m_lookups->stop(m_pending);
    m_pending = 0;
}

}  // namespace quendrix
