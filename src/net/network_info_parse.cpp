// Parsers of resolv.conf, the DHCP lease files and the kernel's route and link dumps.
#include "net/network_info_parse.h"

#include "net/netlink_dump.h"

#include <arpa/inet.h>
#include <linux/if_link.h>
#include <linux/netlink.h>
#include <linux/rtnetlink.h>
#include <netinet/in.h>

#include <algorithm>
#include <charconv>
#include <cstring>
#include <ctime>

namespace quendrix::net {
namespace {

bool isBlank(char c) {
    return c == ' ' || c == '\t' || c == '\r' || c == '\v' || c == '\f';
}

// The next blank-separated word of `line`; empty at its end.
std::string_view nextWord(std::string_view& line) {
    std::size_t start = 0;
    while (start < line.size() && isBlank(line[start])) {
        ++start;
    }
    std::size_t end = start;
    while (end < line.size() && !isBlank(line[end])) {
        ++end;
    }
    const std::string_view word = line.substr(start, end - start);
    line.remove_prefix(end);
    return word;
}

// The dotted text of an IPv4 address written as the resolver and the DHCP clients write one;
// nothing for anything else (IPv6, names, "1.2.3", trailing text).
std::optional<std::string> dottedIpv4(std::string_view text) {
    if (text.empty() || text.size() >= INET_ADDRSTRLEN) {
        return std::nullopt;
    }
    const std::string copy(text);
    in_addr address{};
    if (inet_pton(AF_INET, copy.c_str(), &address) != 1) {
        return std::nullopt;
    }
    char dotted[INET_ADDRSTRLEN] = {};
    inet_ntop(AF_INET, &address, dotted, sizeof dotted);
    return std::string(dotted);
}

template <typename Number>
std::optional<Number> decimal(std::string_view text) {
    Number value{};
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (error != std::errc() || end != text.data() + text.size() || text.empty()) {
        return std::nullopt;
    }
    return value;
}

// Calls `onLine` for each line of `text` without its line end.
template <typename OnLine>
void forEachLine(std::string_view text, OnLine onLine) {
    while (!text.empty()) {
        const std::size_t end = std::min(text.find('\n'), text.size());
        onLine(text.substr(0, end));
        text.remove_prefix(std::min(end + 1, text.size()));
    }
}

// --- dhclient ---------------------------------------------------------------------------------

// The words of a dhclient lease file: names, numbers and addresses, quoted strings (without
// their quotes), and the marks ';', '{' and '}'. '#' starts a comment to the line's end.
std::vector<std::string> dhclientTokens(std::string_view text) {
    std::vector<std::string> tokens;
    std::size_t i = 0;
    while (i < text.size()) {
        const char c = text[i];
        if (isBlank(c) || c == '\n') {
            ++i;
        } else if (c == '#') {
            i = std::min(text.find('\n', i), text.size());
        } else if (c == ';' || c == '{' || c == '}') {
            tokens.emplace_back(1, c);
            ++i;
        } else if (c == '"') {
            std::string quoted;
            ++i;
            while (i < text.size() && text[i] != '"') {
                if (text[i] == '\\' && i + 1 < text.size()) {
                    ++i;
                }
                quoted.push_back(text[i]);
                ++i;
            }
            ++i;  // the closing quote (or past the end)
            tokens.push_back(std::move(quoted));
        } else {
            const std::size_t start = i;
            while (i < text.size() && !isBlank(text[i]) && text[i] != '\n' && text[i] != ';' &&
                   text[i] != '{' && text[i] != '}' && text[i] != '"' && text[i] != '#') {
                ++i;
            }
            tokens.emplace_back(text.substr(start, i - start));
        }
    }
    return tokens;
}

// "W YYYY/MM/DD HH:MM:SS" (UTC; the weekday is not checked) or "epoch N"; nothing for "never"
// and for anything that is not a valid time.
std::optional<std::int64_t> dhclientTime(const std::vector<std::string>& words) {
    if (words.size() == 3 && words[1] == "epoch") {
        return decimal<std::int64_t>(words[2]);
    }
    if (words.size() != 4) {
        return std::nullopt;
    }
    int year = 0, month = 0, day = 0, hour = 0, minute = 0, second = 0;
    char slash1 = 0, slash2 = 0, colon1 = 0, colon2 = 0;
    const std::string date = words[2] + ' ' + words[3];
    char rest = 0;
    if (std::sscanf(date.c_str(), "%4d%c%2d%c%2d %2d%c%2d%c%2d%c", &year, &slash1, &month, &slash2,
                    &day, &hour, &colon1, &minute, &colon2, &second, &rest) != 10 ||
        slash1 != '/' || slash2 != '/' || colon1 != ':' || colon2 != ':') {
        return std::nullopt;
    }
    if (year < 1970 || month < 1 || month > 12 || day < 1 || day > 31 || hour > 23 || minute > 59 ||
        second > 60 || hour < 0 || minute < 0 || second < 0) {
        return std::nullopt;
    }
    std::tm fields{};
    fields.tm_year = year - 1900;
    fields.tm_mon = month - 1;
    fields.tm_mday = day;
    fields.tm_hour = hour;
    fields.tm_min = minute;
    fields.tm_sec = second;
    return static_cast<std::int64_t>(timegm(&fields));
}

}  // namespace

ResolverConfig parseResolvConf(std::string_view text) {
    ResolverConfig config;
    forEachLine(text, [&config](std::string_view line) {
        // The resolver takes '#' or ';' in the first column as a comment; elsewhere they end
        // the words of `domain` and `search` lines.
        if (line.empty() || line[0] == '#' || line[0] == ';') {
            return;
        }
        const std::string_view keyword = nextWord(line);
        if (keyword == "nameserver") {
            if (auto address = dottedIpv4(nextWord(line))) {
                config.nameservers.push_back(std::move(*address));
            }
        } else if (keyword == "domain" || keyword == "search") {
            std::vector<std::string> names;
            for (std::string_view word = nextWord(line); !word.empty(); word = nextWord(line)) {
                if (word[0] == '#' || word[0] == ';') {
                    break;
                }
                names.emplace_back(word);
            }
            if (keyword == "domain") {
                // A domain line without a name leaves the earlier one.
                if (!names.empty()) {
                    config.domain = names.front();
                }
            } else {
                config.search = std::move(names);
            }
        }
    });
    return config;
}

std::vector<DhcpLease> parseDhclientLeases(std::string_view text) {
    std::vector<DhcpLease> leases;
    const auto tokens = dhclientTokens(text);
    std::size_t i = 0;
    while (i < tokens.size()) {
        if (tokens[i] != "lease" || i + 1 >= tokens.size() || tokens[i + 1] != "{") {
            ++i;
            continue;
        }
        i += 2;
        DhcpLease lease;
        std::optional<std::int64_t> expires;
        std::optional<std::int64_t> leaseTime;
        bool complete = false;
        int depth = 0;  // inside a nested block (none is expected; their statements are skipped)
        std::vector<std::string> statement;
        for (; i < tokens.size(); ++i) {
            const std::string& token = tokens[i];
            if (token == "{") {
                ++depth;
                statement.clear();
            } else if (token == "}") {
                if (depth == 0) {
                    complete = true;
                    ++i;
                    break;
                }
                --depth;
                statement.clear();
            } else if (token != ";") {
                statement.push_back(token);
            } else {
                if (depth == 0 && !statement.empty()) {
                    const std::string& key = statement[0];
                    if (key == "interface" && statement.size() == 2) {
                        lease.interfaceName = statement[1];
                    } else if (key == "fixed-address" && statement.size() == 2) {
                        lease.address = dottedIpv4(statement[1]).value_or("");
                    } else if (key == "option" && statement.size() == 3 &&
                               statement[1] == "dhcp-server-identifier") {
                        lease.server = dottedIpv4(statement[2]).value_or("");
                    } else if (key == "option" && statement.size() == 3 &&
                               statement[1] == "dhcp-lease-time") {
                        leaseTime = decimal<std::uint32_t>(statement[2]);
                    } else if (key == "expire") {
                        expires = dhclientTime(statement);
                    }
                }
                statement.clear();
            }
        }
        if (!complete || lease.address.empty()) {
            continue;
        }
        if (expires) {
            lease.expires = *expires;
            if (leaseTime && *leaseTime <= *expires) {
                lease.obtained = *expires - *leaseTime;
            }
        }
        leases.push_back(std::move(lease));
    }
    return leases;
}

std::optional<DhcpLease> parseKeyValueLease(std::string_view text, std::int64_t fileTime) {
    DhcpLease lease;
    std::optional<std::uint32_t> lifetime;
    forEachLine(text, [&](std::string_view line) {
        while (!line.empty() && isBlank(line.back())) {
            line.remove_suffix(1);
        }
        const std::size_t equals = line.find('=');
        if (line.empty() || line[0] == '#' || equals == std::string_view::npos) {
            return;
        }
        const std::string_view key = line.substr(0, equals);
        std::string_view value = line.substr(equals + 1);
        if (value.size() >= 2 && value.front() == '"' && value.back() == '"') {
            value = value.substr(1, value.size() - 2);
        }
        if (key == "ADDRESS") {
            lease.address = dottedIpv4(value).value_or("");
        } else if (key == "SERVER_ADDRESS") {
            lease.server = dottedIpv4(value).value_or("");
        } else if (key == "LIFETIME") {
            lifetime = decimal<std::uint32_t>(value);
        }
    });
    if (lease.address.empty()) {
        return std::nullopt;
    }
    if (fileTime > 0) {
        lease.obtained = fileTime;
        // 0xffffffff is DHCP's "infinite": such a lease never expires.
        if (lifetime && *lifetime != 0xffffffffU) {
            lease.expires = fileTime + *lifetime;
        }
    }
    return lease;
}

Result<void> parseRouteMessage(std::uint16_t type, std::span<const std::uint8_t> payload,
                               std::vector<RouteGateway>& gateways) {
    return [&]() -> Result<void> {
        if (type != RTM_NEWROUTE) {
            return {};
        }
        rtmsg route{};
        if (payload.size() < sizeof route) {
            return Error{ErrorCode::Truncated, 0, "route message shorter than its header"};
        }
        std::memcpy(&route, payload.data(), sizeof route);
        std::uint32_t table = route.rtm_table;
        std::uint32_t metric = 0;
        unsigned outputInterface = 0;
        std::optional<std::string> gateway;
        std::span<const std::uint8_t> multipath;
        bool malformedValue = false;
        auto attributes = walkNetlinkAttributes(
            payload.subspan(std::min<std::size_t>(NLMSG_ALIGN(sizeof route), payload.size())),
            [&](std::uint16_t attribute, std::span<const std::uint8_t> data) {
                std::uint32_t value = 0;
                if (attribute == RTA_TABLE || attribute == RTA_PRIORITY || attribute == RTA_OIF ||
                    attribute == RTA_GATEWAY) {
                    if (data.size() != sizeof value) {
                        malformedValue = true;
                        return;
                    }
                    std::memcpy(&value, data.data(), sizeof value);
                }
                switch (attribute) {
                    case RTA_TABLE:
                        table = value;
                        break;
                    case RTA_PRIORITY:
                        metric = value;
                        break;
                    case RTA_OIF:
                        outputInterface = value;
                        break;
                    case RTA_GATEWAY: {
                        in_addr address{value};
                        char dotted[INET_ADDRSTRLEN] = {};
                        inet_ntop(AF_INET, &address, dotted, sizeof dotted);
                        gateway = dotted;
                        break;
                    }
                    case RTA_MULTIPATH:
                        multipath = data;
                        break;
                    default:
                        break;
                }
            });
        if (!attributes) {
            return attributes.error();
        }
        if (malformedValue) {
            return Error{ErrorCode::Malformed, 0, "route attribute of the wrong length"};
        }
        if (route.rtm_family != AF_INET || table != RT_TABLE_MAIN ||
            route.rtm_type != RTN_UNICAST || route.rtm_dst_len != 0) {
            return {};
        }
        if (gateway) {
            gateways.push_back({outputInterface, *gateway, metric});
        }
        // Each next hop: rtnexthop (its own length, the interface) and its attributes.
        std::size_t offset = 0;
        while (offset + sizeof(rtnexthop) <= multipath.size()) {
            rtnexthop hop{};
            std::memcpy(&hop, multipath.data() + offset, sizeof hop);
            if (hop.rtnh_len < sizeof hop || hop.rtnh_len > multipath.size() - offset) {
                return Error{ErrorCode::Malformed, 0, "next hop length outside its route"};
            }
            std::optional<std::string> hopGateway;
            bool badHop = false;
            auto hopAttributes = walkNetlinkAttributes(
                multipath.subspan(offset + RTNH_LENGTH(0), hop.rtnh_len - RTNH_LENGTH(0)),
                [&](std::uint16_t attribute, std::span<const std::uint8_t> data) {
                    if (attribute != RTA_GATEWAY) {
                        return;
                    }
                    if (data.size() != 4) {
                        badHop = true;
                        return;
                    }
                    in_addr address{};
                    std::memcpy(&address, data.data(), 4);
                    char dotted[INET_ADDRSTRLEN] = {};
                    inet_ntop(AF_INET, &address, dotted, sizeof dotted);
                    hopGateway = dotted;
                });
            if (!hopAttributes) {
                return hopAttributes.error();
            }
            if (badHop) {
                return Error{ErrorCode::Malformed, 0, "route attribute of the wrong length"};
            }
            if (hopGateway && hop.rtnh_ifindex > 0) {
                gateways.push_back({static_cast<unsigned>(hop.rtnh_ifindex), *hopGateway, metric});
            }
            offset += RTNH_ALIGN(hop.rtnh_len);
        }
        return {};
    }();
}

Result<bool> parseRouteDatagram(std::span<const std::uint8_t> bytes, std::uint32_t sequence,
                                std::vector<RouteGateway>& gateways) {
    return walkNetlinkDatagram(
        bytes, sequence, [&gateways](std::uint16_t type, std::span<const std::uint8_t> payload) {
            return parseRouteMessage(type, payload, gateways);
        });
}

Result<void> parseLinkMessage(std::uint16_t type, std::span<const std::uint8_t> payload,
                              std::map<unsigned, std::string>& kinds) {
    return [&]() -> Result<void> {
        if (type != RTM_NEWLINK) {
            return {};
        }
        ifinfomsg link{};
        if (payload.size() < sizeof link) {
            return Error{ErrorCode::Truncated, 0, "link message shorter than its header"};
        }
        std::memcpy(&link, payload.data(), sizeof link);
        std::span<const std::uint8_t> linkInfo;
        auto attributes = walkNetlinkAttributes(
            payload.subspan(std::min<std::size_t>(NLMSG_ALIGN(sizeof link), payload.size())),
            [&linkInfo](std::uint16_t attribute, std::span<const std::uint8_t> data) {
                // The kernel marks nested attributes; the mark is not part of the type.
                if ((attribute & NLA_TYPE_MASK) == IFLA_LINKINFO) {
                    linkInfo = data;
                }
            });
        if (!attributes) {
            return attributes.error();
        }
        std::string kind;
        auto nested = walkNetlinkAttributes(
            linkInfo, [&kind](std::uint16_t attribute, std::span<const std::uint8_t> data) {
                if ((attribute & NLA_TYPE_MASK) == IFLA_INFO_KIND) {
                    // A zero-terminated name.
                    const auto end = std::find(data.begin(), data.end(), std::uint8_t{0});
                    kind.assign(data.begin(), end);
                }
            });
        if (!nested) {
            return nested.error();
        }
        if (!kind.empty() && link.ifi_index > 0) {
            kinds[static_cast<unsigned>(link.ifi_index)] = kind;
        }
        return {};
    }();
}

Result<bool> parseLinkDatagram(std::span<const std::uint8_t> bytes, std::uint32_t sequence,
                               std::map<unsigned, std::string>& kinds) {
    return walkNetlinkDatagram(bytes, sequence,
                               [&kinds](std::uint16_t type, std::span<const std::uint8_t> payload) {
                                   return parseLinkMessage(type, payload, kinds);
                               });
}

std::string leaseFileInterface(std::string_view fileName) {
    for (const std::string_view extension : {".leases", ".lease"}) {
        if (fileName.size() > extension.size() &&
            fileName.substr(fileName.size() - extension.size()) == extension) {
            fileName.remove_suffix(extension.size());
            break;
        }
    }
    for (const std::string_view prefix : {"dhclient.", "dhclient-", "internal-"}) {
        if (fileName.substr(0, prefix.size()) != prefix) {
            continue;
        }
        std::string_view rest = fileName.substr(prefix.size());
        // NetworkManager puts the connection's UUID (36 characters) before the interface.
        constexpr std::size_t kUuid = 36;
        if (rest.size() > kUuid + 1 && rest[kUuid] == '-' &&
            std::count(rest.begin(), rest.begin() + kUuid, '-') == 4) {
            rest.remove_prefix(kUuid + 1);
        } else if (prefix == "internal-") {
            return {};
        }
        return std::string(rest);
    }
    return {};
}

std::string hostNameFrom(std::string_view nodename, std::string_view hostnameFile,
                         std::string& fqdnDomain) {
    std::string_view name = nodename;
    if (name.empty() || name == "(none)") {
        name = hostnameFile.substr(0, std::min(hostnameFile.find('\n'), hostnameFile.size()));
        while (!name.empty() && isBlank(name.back())) {
            name.remove_suffix(1);
        }
        while (!name.empty() && isBlank(name.front())) {
            name.remove_prefix(1);
        }
    }
    const std::size_t dot = name.find('.');
    fqdnDomain = dot == std::string_view::npos ? std::string() : std::string(name.substr(dot + 1));
    return std::string(name.substr(0, dot));
}

}  // namespace quendrix::net
