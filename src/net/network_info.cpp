// The network information readers: the parameters from uname, the host name file, resolv.conf
// (or systemd-resolved's upstream list behind its stub) and ip_forward; the adapters from
// getifaddrs, /sys/class/net, the kernel's route and link dumps and the DHCP lease files.
#include "net/network_info.h"

#include "net/netlink_dump.h"
#include "net/network_info_parse.h"
#include "net/whole_file.h"

#include <arpa/inet.h>
#include <dirent.h>
#include <ifaddrs.h>
#include <linux/if_packet.h>
#include <linux/netlink.h>
#include <linux/rtnetlink.h>
#include <net/if.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/utsname.h>

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <map>
#include <memory>

namespace quendrix::net {
namespace {

// A lease file or a configuration file longer than this is not one.
constexpr std::size_t kLargestTextFile = 4 * 1024 * 1024;
// What follows " M: " for a gateway or a DHCP server: a single host.
constexpr char kHostMask[] = "255.255.255.255";
constexpr char kResolvedStub[] = "127.0.0.53";

// The text of an optional file; empty when it is absent or unreadable.
std::string optionalText(const std::string& path) {
    auto text = readWholeFile(path, kLargestTextFile);
    return text ? std::move(*text) : std::string();
}

std::string firstLine(std::string text) {
    text.erase(std::min(text.find('\n'), text.size()));
    while (!text.empty() && (text.back() == ' ' || text.back() == '\r')) {
        text.pop_back();
    }
    return text;
}

std::optional<unsigned> number(const std::string& text) {
    unsigned value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (error != std::errc() || end != text.data() + text.size() || text.empty()) {
        return std::nullopt;
    }
    return value;
}

std::string dotted(const in_addr& address) {
    char text[INET_ADDRSTRLEN] = {};
    inet_ntop(AF_INET, &address, text, sizeof text);
    return text;
}

// "52:54:00:12:34:56" as bytes; empty for an empty or unreadable text.
std::vector<std::uint8_t> hardwareAddress(const std::string& text) {
    std::vector<std::uint8_t> bytes;
    std::size_t i = 0;
    while (i + 2 <= text.size()) {
        unsigned value = 0;
        const auto [end, error] = std::from_chars(text.data() + i, text.data() + i + 2, value, 16);
        if (error != std::errc() || end != text.data() + i + 2) {
            return {};
        }
        bytes.push_back(static_cast<std::uint8_t>(value));
        i += 2;
        if (i < text.size() && text[i] != ':') {
            return {};
        }
        ++i;
    }
    return i == text.size() + 1 ? bytes : std::vector<std::uint8_t>{};
}

// One interface as getifaddrs lists it.
struct Interface {
    std::string name;
    unsigned flags = 0;
    std::vector<AddrEntry> addresses;
    // The kernel's own index, type and hardware address (the AF_PACKET record).
    std::optional<unsigned> packetIndex;
    unsigned packetType = 0;
    std::vector<std::uint8_t> packetAddress;
};

Result<std::vector<Interface>> listInterfaces() {
    ifaddrs* list = nullptr;
    if (::getifaddrs(&list) != 0) {
        return Error::fromErrno(errno);
    }
    const std::unique_ptr<ifaddrs, void (*)(ifaddrs*)> owner(list, ::freeifaddrs);
    std::vector<Interface> interfaces;
    for (const ifaddrs* entry = list; entry != nullptr; entry = entry->ifa_next) {
        if (entry->ifa_name == nullptr) {
            continue;
        }
        // An address with an alias label ("eth0:1") is listed under its label; the device is
        // the name before the colon (a device name never holds one).
        const std::string_view label = entry->ifa_name;
        const std::string name(label.substr(0, label.find(':')));
        auto found = std::find_if(interfaces.begin(), interfaces.end(),
                                  [&name](const Interface& i) { return i.name == name; });
        if (found == interfaces.end()) {
            interfaces.push_back({name, entry->ifa_flags, {}, {}, 0, {}});
            found = interfaces.end() - 1;
        }
        found->flags |= entry->ifa_flags;
        if (entry->ifa_addr == nullptr) {
            continue;
        }
        if (entry->ifa_addr->sa_family == AF_INET) {
            sockaddr_in address{};
            std::memcpy(&address, entry->ifa_addr, sizeof address);
            sockaddr_in mask{};
            if (entry->ifa_netmask != nullptr) {
                std::memcpy(&mask, entry->ifa_netmask, sizeof mask);
            }
            found->addresses.push_back({dotted(address.sin_addr), dotted(mask.sin_addr)});
        } else if (entry->ifa_addr->sa_family == AF_PACKET) {
            sockaddr_ll link{};
            std::memcpy(&link, entry->ifa_addr, sizeof link);
            found->packetIndex = static_cast<unsigned>(link.sll_ifindex);
            found->packetType = link.sll_hatype;
            found->packetAddress.assign(link.sll_addr,
                                        link.sll_addr + std::min<std::size_t>(link.sll_halen, 8));
        }
    }
    return interfaces;
}

struct NetlinkFacts {
    std::vector<RouteGateway> gateways;
    std::map<unsigned, std::string> kinds;
};

Result<NetlinkFacts> readNetlinkFacts() {
    auto socket = openNetlinkSocket(NETLINK_ROUTE);
    if (!socket) {
        return socket.error();
    }
    std::vector<std::uint8_t> buffer;
    NetlinkFacts facts;
    rtmsg routeRequest{};
    routeRequest.rtm_family = AF_INET;
    auto routes = runNetlinkDump(
        socket->get(), RTM_GETROUTE,
        std::span<const std::uint8_t>(reinterpret_cast<const std::uint8_t*>(&routeRequest),
                                      sizeof routeRequest),
        1, buffer, [&facts](std::uint16_t type, std::span<const std::uint8_t> payload) {
            return parseRouteMessage(type, payload, facts.gateways);
        });
    if (!routes) {
        return routes.error();
    }
    ifinfomsg linkRequest{};
    linkRequest.ifi_family = AF_UNSPEC;
    auto links = runNetlinkDump(
        socket->get(), RTM_GETLINK,
        std::span<const std::uint8_t>(reinterpret_cast<const std::uint8_t*>(&linkRequest),
                                      sizeof linkRequest),
        2, buffer, [&facts](std::uint16_t type, std::span<const std::uint8_t> payload) {
            return parseLinkMessage(type, payload, facts.kinds);
        });
    if (!links) {
        return links.error();
    }
    return facts;
}

// A lease and whom it is for.
struct FoundLease {
    DhcpLease lease;
    std::optional<unsigned> interfaceIndex;  // systemd-networkd names its files by index
};

std::vector<FoundLease> findLeases(const std::vector<std::string>& folders) {
    std::vector<FoundLease> found;
    for (const std::string& folder : folders) {
        const std::unique_ptr<DIR, int (*)(DIR*)> directory(::opendir(folder.c_str()), ::closedir);
        if (!directory) {
            continue;  // no such client here
        }
        std::vector<std::string> names;
        while (const dirent* entry = ::readdir(directory.get())) {
            names.emplace_back(entry->d_name);
        }
        std::sort(names.begin(), names.end());
        for (const std::string& name : names) {
            const std::string path = folder + '/' + name;
            struct stat status {};
            if (name.front() == '.' || ::stat(path.c_str(), &status) != 0 ||
                !S_ISREG(status.st_mode)) {
                continue;
            }
            const auto index = number(name);
            const bool leaseName = name.ends_with(".lease") || name.ends_with(".leases");
            if (!index && !leaseName) {
                continue;
            }
            const std::string text = optionalText(path);
            const std::string fileInterface = index ? std::string() : leaseFileInterface(name);
            if (text.find("lease {") != std::string::npos ||
                text.find("lease{") != std::string::npos) {
                for (DhcpLease& lease : parseDhclientLeases(text)) {
                    if (lease.interfaceName.empty()) {
                        lease.interfaceName = fileInterface;
                    }
                    found.push_back({std::move(lease), std::nullopt});
                }
            } else if (auto lease = parseKeyValueLease(text, status.st_mtim.tv_sec)) {
                lease->interfaceName = fileInterface;
                found.push_back({std::move(*lease), index});
            }
        }
    }
    return found;
}

std::string driverName(const std::string& deviceFolder) {
    char target[4096] = {};
    const std::string link = deviceFolder + "/device/driver";
    const ssize_t length = ::readlink(link.c_str(), target, sizeof target - 1);
    if (length <= 0) {
        return {};
    }
    const std::string path(target, static_cast<std::size_t>(length));
    return path.substr(path.rfind('/') + 1);
}

}  // namespace

Result<NetworkParams> ReadNetworkParams(const NetworkInfoSources& sources) {
    utsname system{};
    if (::uname(&system) != 0) {
        return Error::fromErrno(errno);
    }
    NetworkParams params;
    std::string fqdnDomain;
    const std::string_view nodename = system.nodename;
    params.hostName =
        hostNameFrom(nodename,
                     nodename.empty() || nodename == "(none)" ? optionalText(sources.hostnameFile)
                                                              : std::string(),
                     fqdnDomain);

    const ResolverConfig resolver = parseResolvConf(optionalText(sources.resolvConf));
    if (!resolver.domain.empty()) {
        params.domainName = resolver.domain;
    } else if (!resolver.search.empty()) {
        params.domainName = resolver.search.front();
    } else {
        params.domainName = fqdnDomain;
    }

    std::vector<std::string> servers = resolver.nameservers;
    const bool onlyStub =
        !servers.empty() && std::all_of(servers.begin(), servers.end(),
                                        [](const std::string& s) { return s == kResolvedStub; });
    if (onlyStub) {
        // The local stub forwards to systemd-resolved's upstream servers: those are the ones
        // asked. Without its runtime file (resolved not running) the stub is what is known.
        const ResolverConfig upstream = parseResolvConf(optionalText(sources.resolvedConf));
        if (!upstream.nameservers.empty()) {
            servers = upstream.nameservers;
        }
    }
    for (const std::string& server : servers) {
        params.dnsServers.push_back({server, ""});
    }
    if (!params.dnsServers.empty()) {
        params.currentDnsServer = params.dnsServers.front();
    }

    params.enableRouting = firstLine(optionalText(sources.ipForward)) == "1" ? 1 : 0;
    // No NetBIOS on Linux: no scope ID, no proxy. The resolver uses DNS when it has a server.
    params.enableProxy = 0;
    params.enableDns = params.dnsServers.empty() ? 0 : 1;
    return params;
}

Result<std::vector<AdapterInfo>> ReadAdapters(const NetworkInfoSources& sources) {
    auto interfaces = listInterfaces();
    if (!interfaces) {
        return interfaces.error();
    }
    auto facts = readNetlinkFacts();
    if (!facts) {
        return facts.error();
    }
    const std::vector<FoundLease> leases = findLeases(sources.leaseFolders);

    std::vector<AdapterInfo> adapters;
    for (const Interface& interface : *interfaces) {
        if ((interface.flags & IFF_LOOPBACK) != 0 || (interface.flags & IFF_UP) == 0 ||
            interface.addresses.empty()) {
            continue;
        }
        AdapterInfo adapter;
        adapter.adapterName = interface.name;
        const std::string folder = sources.sysClassNet + '/' + interface.name;
        const auto sysIndex = number(firstLine(optionalText(folder + "/ifindex")));
        const unsigned kernelIndex =
            interface.packetIndex.value_or(::if_nametoindex(interface.name.c_str()));
        // /sys shows the devices of the namespace it was mounted in: its facts count only when
        // they are about this very device.
        const bool sysIsThisDevice = sysIndex && (*sysIndex == kernelIndex || kernelIndex == 0);
        const auto sysType =
            sysIsThisDevice ? number(firstLine(optionalText(folder + "/type"))) : std::nullopt;
        if (sysIsThisDevice) {
            adapter.index = *sysIndex;
            adapter.type = sysType.value_or(interface.packetType);
            adapter.address = hardwareAddress(firstLine(optionalText(folder + "/address")));
            adapter.description = driverName(folder);
        } else {
            adapter.index = kernelIndex;
            adapter.type = interface.packetType;
            adapter.address = interface.packetAddress;
        }
        if (std::all_of(adapter.address.begin(), adapter.address.end(),
                        [](std::uint8_t byte) { return byte == 0; })) {
            adapter.address.clear();  // no hardware address (a tunnel, a point-to-point link)
        }
        if (adapter.description.empty()) {
            const auto kind = facts->kinds.find(adapter.index);
            if (kind != facts->kinds.end()) {
                adapter.description = kind->second;
            }
        }
        adapter.ipAddressList = interface.addresses;
        adapter.currentIpAddress = interface.addresses.front();

        std::vector<RouteGateway> routes;
        std::copy_if(
            facts->gateways.begin(), facts->gateways.end(), std::back_inserter(routes),
            [&adapter](const RouteGateway& r) { return r.interfaceIndex == adapter.index; });
        std::stable_sort(
            routes.begin(), routes.end(),
            [](const RouteGateway& a, const RouteGateway& b) { return a.metric < b.metric; });
        for (const RouteGateway& route : routes) {
            const AddrEntry entry{route.gateway, kHostMask};
            if (std::find(adapter.gatewayList.begin(), adapter.gatewayList.end(), entry) ==
                adapter.gatewayList.end()) {
                adapter.gatewayList.push_back(entry);
            }
        }

        // The lease of this interface for an address it holds now; of several, the one that
        // runs longest (the newest).
        const DhcpLease* best = nullptr;
        for (const FoundLease& found : leases) {
            const bool forThis = found.interfaceIndex
                                     ? *found.interfaceIndex == adapter.index
                                     : found.lease.interfaceName.empty() ||
                                           found.lease.interfaceName == adapter.adapterName;
            const bool heldNow = std::any_of(
                interface.addresses.begin(), interface.addresses.end(),
                [&found](const AddrEntry& a) { return a.ipAddress == found.lease.address; });
            if (forThis && heldNow && (best == nullptr || found.lease.expires >= best->expires)) {
                best = &found.lease;
            }
        }
        if (best != nullptr) {
            adapter.dhcpEnabled = 1;
            if (!best->server.empty()) {
                adapter.dhcpServer.push_back({best->server, kHostMask});
            }
            adapter.leaseObtained = best->obtained;
            adapter.leaseExpires = best->expires;
        }
        adapters.push_back(std::move(adapter));
    }
    std::stable_sort(adapters.begin(), adapters.end(),
                     [](const AdapterInfo& a, const AdapterInfo& b) { return a.index < b.index; });
    return adapters;
}

}  // namespace quendrix::net
