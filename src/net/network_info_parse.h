// The parsers behind the network information: the resolver's configuration, the DHCP clients'
// lease files (dhclient's `lease { ... }` blocks, and the key=value files of systemd-networkd
// and NetworkManager's internal client), and the kernel's route and link dumps. Plain functions
// over text and bytes, so tests and the fuzzer drive them directly; the readers in
// network_info.cpp put their answers together.
#pragma once

#include "net/result.h"

#include <cstdint>
#include <map>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace quendrix::net {

// What the resolver reads from resolv.conf.
struct ResolverConfig {
    // The `nameserver` lines' IPv4 addresses in file order, as dotted text; IPv6 servers and
    // lines that hold no address are left out.
    std::vector<std::string> nameservers;
    // The last `domain` line's name (a later line replaces an earlier one, as in the resolver).
    std::string domain;
    // The last `search` line's names.
    std::vector<std::string> search;

    bool operator==(const ResolverConfig&) const = default;
};

ResolverConfig parseResolvConf(std::string_view text);

// One DHCP lease as a lease file holds it.
struct DhcpLease {
    std::string interfaceName;  // the interface the lease names; empty when it names none
    std::string address;        // the leased IPv4 address, dotted
    std::string server;         // the DHCP server's address, dotted; empty when not given
    // Seconds since 1970-01-01 UTC; 0 when not known (or never expiring).
    std::int64_t obtained = 0;
    std::int64_t expires = 0;

    bool operator==(const DhcpLease&) const = default;
};

// The complete `lease { ... }` blocks of a dhclient lease file, in file order (the client
// appends, so the last block for an interface is its newest). A block without a valid
// `fixed-address`, or one that the file ends inside, is left out. The times are the `expire`
// line (UTC "W YYYY/MM/DD HH:MM:SS" or "epoch N"; "never" is not known) and, for the time the
// lease was obtained, that expiry less `option dhcp-lease-time`.
std::vector<DhcpLease> parseDhclientLeases(std::string_view text);

// A key=value lease file of systemd-networkd or NetworkManager's internal client: ADDRESS=,
// SERVER_ADDRESS=, LIFETIME= (seconds). The file does not say when the lease came, so the
// file's own time (`fileTime`, written when the lease was obtained or renewed) is taken for
// it. Nothing when ADDRESS is missing or not an IPv4 address.
std::optional<DhcpLease> parseKeyValueLease(std::string_view text, std::int64_t fileTime);

// A default route's gateway on one interface.
struct RouteGateway {
    unsigned interfaceIndex = 0;
    std::string gateway;  // dotted IPv4
    std::uint32_t metric = 0;

    bool operator==(const RouteGateway&) const = default;
};

// Walks one datagram of an IPv4 RTM_GETROUTE dump answering request `sequence` and appends the
// gateways of the main table's default unicast routes (one per next hop of a multipath route).
// True at the dump's end. Fails as walkNetlinkDatagram does, and with Truncated or Malformed
// for a route message whose fixed part, attributes or next hops do not fit.
Result<bool> parseRouteDatagram(std::span<const std::uint8_t> bytes, std::uint32_t sequence,
                                std::vector<RouteGateway>& gateways);

// One message of a route dump (its type and payload), as parseRouteDatagram reads each.
Result<void> parseRouteMessage(std::uint16_t type, std::span<const std::uint8_t> payload,
                               std::vector<RouteGateway>& gateways);

// Walks one datagram of an RTM_GETLINK dump and records each link's kind (IFLA_INFO_KIND:
// "veth", "dummy", "bridge", ...) by interface index; links without a kind are left out.
Result<bool> parseLinkDatagram(std::span<const std::uint8_t> bytes, std::uint32_t sequence,
                               std::map<unsigned, std::string>& kinds);

// One message of a link dump, as parseLinkDatagram reads each.
Result<void> parseLinkMessage(std::uint16_t type, std::span<const std::uint8_t> payload,
                              std::map<unsigned, std::string>& kinds);

// The interface a lease file's name is for: "dhclient.eth0.leases", "dhclient-eth0.leases",
// "dhclient-<uuid>-eth0.lease", "internal-<uuid>-eth0.lease" give "eth0"; a name without one
// ("dhclient.leases") gives the empty text.
std::string leaseFileInterface(std::string_view fileName);

// The host name shown: the kernel's name (`nodename`) up to its first dot, or the host name
// file's first line when the kernel has none ("" or "(none)"). The part after the first dot
// goes to `fqdnDomain` (empty when there is none).
std::string hostNameFrom(std::string_view nodename, std::string_view hostnameFile,
                         std::string& fqdnDomain);

}  // namespace quendrix::net
