// The machine's network parameters and its adapters, read from Linux's own sources: uname and
// /etc/hostname, the resolver's configuration (and systemd-resolved's upstream servers when the
// resolver points at its local stub), /proc/sys/net/ipv4/ip_forward, getifaddrs with
// /sys/class/net/<name>/ and the kernel's routes over netlink, and the DHCP clients' lease files.
// The records keep the shape the Local Information page lists them in; the page turns them into
// lines. Plain C++: the page and `quendrix-cli info` share it.
//
// Every path is taken from NetworkInfoSources, so a test points the readers at files of its own
// and runs them in a network namespace of its own.
#pragma once

#include "net/result.h"

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace quendrix::net {

// One address with its mask, both as dotted text. For a gateway or a server the mask is the
// text the page shows after " M: " for such an entry.
struct AddrEntry {
    std::string ipAddress;
    std::string ipMask;

    bool operator==(const AddrEntry&) const = default;
};

// On Linux: hostName is the kernel's host name (uname) up to its first dot, or the host name
// file's when the kernel has none; domainName is resolv.conf's `domain`, else the first `search`
// name, else the host name's part after its first dot, else empty. The DNS entries carry an
// empty mask. scopeId is always empty and enableProxy always 0 (no NetBIOS on Linux);
// enableRouting is ip_forward; enableDns is 1 when a DNS server is configured.
struct NetworkParams {
    std::string hostName;
    std::string domainName;
    // The DNS server the resolver asks first; none when no server is configured.
    std::optional<AddrEntry> currentDnsServer;
    // Every configured DNS server in order; may be empty (the page still lists server 1).
    std::vector<AddrEntry> dnsServers;
    std::string scopeId;
    unsigned enableRouting = 0;
    unsigned enableProxy = 0;
    unsigned enableDns = 0;

    bool operator==(const NetworkParams&) const = default;
};

// On Linux one adapter is an interface that is up, is not the loopback and holds an IPv4
// address, in the order of the interface index. comboIndex is always 0 (no Linux twin);
// adapterName is the interface name; description the driver of its device, else the kind of a
// virtual link ("veth", "bridge", ...), else empty; address the hardware address (empty when it
// has none or it is all zeros); index the interface index; type the kernel's ARPHRD number (1
// for Ethernet and Wi-Fi). The IPv4 addresses come in the kernel's order with their masks and
// the first is the current one. Gateways are the main table's default routes through the
// interface (lowest metric first), DHCP servers and lease times those of a lease file that
// names the interface and an address it holds (dhcpEnabled 1 then), both with the mask
// "255.255.255.255" (a single host). No WINS on Linux: haveWins 0 and no WINS entries.
struct AdapterInfo {
    unsigned comboIndex = 0;
    std::string adapterName;
    std::string description;
    std::vector<std::uint8_t> address;  // the hardware address; empty when it has none
    unsigned index = 0;
    unsigned type = 0;
    unsigned dhcpEnabled = 0;
    std::optional<AddrEntry> currentIpAddress;
    std::vector<AddrEntry> ipAddressList;
    std::vector<AddrEntry> gatewayList;
    std::vector<AddrEntry> dhcpServer;
    unsigned haveWins = 0;
    std::vector<AddrEntry> primaryWinsServer;
    std::vector<AddrEntry> secondaryWinsServer;
    // Seconds since 1970-01-01 UTC; 0 when not known.
    std::int64_t leaseObtained = 0;
    std::int64_t leaseExpires = 0;

    bool operator==(const AdapterInfo&) const = default;
};

// Where the readers look. The defaults are the machine's own files.
struct NetworkInfoSources {
    std::string hostnameFile = "/etc/hostname";
    std::string resolvConf = "/etc/resolv.conf";
    // systemd-resolved's view of the upstream servers, used when resolv.conf names only its
    // local stub 127.0.0.53.
    std::string resolvedConf = "/run/systemd/resolve/resolv.conf";
    std::string ipForward = "/proc/sys/net/ipv4/ip_forward";
    std::string sysClassNet = "/sys/class/net";
    // Folders searched for the DHCP clients' lease files (dhclient, NetworkManager,
    // systemd-networkd); a folder that does not exist is skipped.
    std::vector<std::string> leaseFolders = {"/var/lib/dhcp", "/var/lib/dhclient",
                                             "/var/lib/NetworkManager",
                                             "/run/systemd/netif/leases"};
};

// A failure of a source the page cannot do without (the host name, the adapter list or the
// routes) is an Error with the system's errno; an absent optional source is not a failure.
Result<NetworkParams> ReadNetworkParams(const NetworkInfoSources& sources = {});
Result<std::vector<AdapterInfo>> ReadAdapters(const NetworkInfoSources& sources = {});

}  // namespace quendrix::net
