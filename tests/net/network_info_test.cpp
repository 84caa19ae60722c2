// The network information's parsers: resolv.conf, the lease files of dhclient, systemd-networkd
// and NetworkManager, lease file names, the host name, and crafted route and link dumps. The
// readers on a real kernel are in network_info_lab_test.
#include "net/network_info_parse.h"

#include <arpa/inet.h>
#include <linux/if_link.h>
#include <linux/netlink.h>
#include <linux/rtnetlink.h>
#include <netinet/in.h>

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

namespace quendrix::net {

void PrintTo(const RouteGateway& route, std::ostream* out) {
    *out << route.gateway << " dev " << route.interfaceIndex << " metric " << route.metric;
}
void PrintTo(const DhcpLease& lease, std::ostream* out) {
    *out << '{' << lease.interfaceName << ' ' << lease.address << " from " << lease.server << ' '
         << lease.obtained << ".." << lease.expires << '}';
}

namespace {

using Names = std::vector<std::string>;

TEST(ResolvConf, ReadsServersDomainAndSearchAsTheResolverDoes) {
    struct Case {
        const char* text;
        ResolverConfig expected;
    };
    const Case cases[] = {
        {"", {}},
        {"nameserver 10.250.0.1\nnameserver 10.250.0.2\n", {{"10.250.0.1", "10.250.0.2"}, "", {}}},
        // IPv6 servers, scoped ones, names and broken addresses are not IPv4 servers.
        {"nameserver ::1\nnameserver fe80::1%eth0\nnameserver 10.250.0.3\nnameserver dns.test\n"
         "nameserver 10.250.0\nnameserver 10.250.0.300\nnameserver\n",
         {{"10.250.0.3"}, "", {}}},
        // Comments in the first column, blanks and tabs, CR LF ends, a trailing comment word.
        {"# nameserver 10.250.0.9\n; nameserver 10.250.0.8\n \tnameserver\t10.250.0.4 # x\r\n",
         {{"10.250.0.4"}, "", {}}},
        // The last domain and search lines win; a search line's comment ends its names.
        {"domain one.test\nsearch a.test b.test\ndomain two.test\nsearch c.test d.test # e.test\n",
         {{}, "two.test", {"c.test", "d.test"}}},
        {"domain one.test\ndomain\n", {{}, "one.test", {}}},
        {"search\n", {{}, "", {}}},
        // Keywords are whole words; a line without its end still counts.
        {"nameservers 10.250.0.5\ndomainname x\nnameserver 10.250.0.6", {{"10.250.0.6"}, "", {}}},
        {"options edns0\nsortlist 10.250.0.0/255.255.0.0\nnameserver 127.0.0.53\n",
         {{"127.0.0.53"}, "", {}}},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(parseResolvConf(c.text), c.expected) << c.text;
    }
}

TEST(DhclientLeases, TakesEveryCompleteBlockWithItsAddressServerAndTimes) {
    const char* text = R"(# comment lease { fixed-address 10.250.9.9; }
default-duid "\000\001";
lease {
  interface "veth-a";
  fixed-address 10.250.0.10;
  option subnet-mask 255.255.255.0;
  option routers 10.250.0.1;
  option dhcp-lease-time 3600;
  option dhcp-server-identifier 10.250.0.1;
  option domain-name "lab \"quoted\" {test}";
  renew 4 2026/12/10 10:30:00;
  rebind 4 2026/12/10 10:52:30;
  expire 4 2026/12/10 11:00:00;
}
lease {
  interface "eth1";
  fixed-address 10.250.0.20;
  expire epoch 1765368000; # the local time format
}
lease {
  fixed-address 10.250.0.30;
  expire never;
}
lease { interface "eth2"; expire 4 2026/12/10 11:00:00; }
lease { fixed-address 10.250.0.40; expire 4 2026/13/10 11:00:00; option dhcp-lease-time 60; }
lease { fixed-address not-an-address; }
lease {
  interface "eth3";
  fixed-address 10.250.0.50;
)";
    const std::vector<DhcpLease> expected = {
        // 2026-12-10 11:00:00 UTC is 1796900400; the lease came an hour before.
        {"veth-a", "10.250.0.10", "10.250.0.1", 1796900400 - 3600, 1796900400},
        {"eth1", "10.250.0.20", "", 0, 1765368000},
        {"", "10.250.0.30", "", 0, 0},  // never expires: not known
        {"", "10.250.0.40", "", 0, 0},  // month 13: no time
        // Without an address, and the block the file ends in, are no leases.
    };
    EXPECT_EQ(parseDhclientLeases(text), expected);
}

TEST(DhclientLeases, RefusesOddTimesAndNumbers) {
    const char* times[] = {
        "expire 4 2026/12/10;",
        "expire 4 2026-12-10 11:00:00;",
        "expire 4 2026/12/10 25:00:00;",
        "expire 4 1969/12/31 23:59:59;",
        "expire 4 2026/12/10 11:00:00x;",
        "expire epoch -5x;",
        "expire epoch;",
        "expire 4 2026/12/10 11:00:00 extra;",
    };
    for (const char* time : times) {
        const std::string text =
            std::string("lease { fixed-address 10.250.0.1; option dhcp-lease-time 10; ") + time +
            " }";
        const auto leases = parseDhclientLeases(text);
        ASSERT_EQ(leases.size(), 1U) << time;
        EXPECT_EQ(leases[0].expires, 0) << time;
        EXPECT_EQ(leases[0].obtained, 0) << time;
    }
    // A lease time longer than the time since 1970 gives no obtained time.
    const auto leases = parseDhclientLeases(
        "lease { fixed-address 10.250.0.1; option dhcp-lease-time 4294967295; expire epoch 100; }");
    ASSERT_EQ(leases.size(), 1U);
    EXPECT_EQ(leases[0].expires, 100);
    EXPECT_EQ(leases[0].obtained, 0);
}

TEST(KeyValueLease, ReadsAddressServerAndLifetimeFromTheFileTime) {
    struct Case {
        const char* text;
        std::optional<DhcpLease> expected;
    };
    const Case cases[] = {
        {"# This is private data. Do not parse.\nADDRESS=10.250.0.10\nNETMASK=255.255.0.0\n"
         "ROUTER=10.250.0.1\nSERVER_ADDRESS=10.250.0.2\nLIFETIME=600\nT1=300\n",
         DhcpLease{"", "10.250.0.10", "10.250.0.2", 1000, 1600}},
        {"ADDRESS=\"10.250.0.11\"\r\nLIFETIME=4294967295\r\n",
         DhcpLease{"", "10.250.0.11", "", 1000, 0}},  // infinite: never expires
        {"ADDRESS=10.250.0.12\nLIFETIME=forever\nSERVER_ADDRESS=fe80::1\n",
         DhcpLease{"", "10.250.0.12", "", 1000, 0}},
        {"NETMASK=255.255.0.0\nSERVER_ADDRESS=10.250.0.2\n", std::nullopt},
        {"ADDRESS=10.250.0.1.1\n", std::nullopt},
        {" ADDRESS=10.250.0.13\n", std::nullopt},  // a key is the whole text before '='
        {"", std::nullopt},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(parseKeyValueLease(c.text, 1000), c.expected) << c.text;
    }
    // Without a file time nothing is known about the times.
    EXPECT_EQ(parseKeyValueLease("ADDRESS=10.250.0.10\nLIFETIME=600\n", 0),
              (DhcpLease{"", "10.250.0.10", "", 0, 0}));
}

TEST(LeaseFiles, NameTheirInterface) {
    struct Case {
        const char* name;
        const char* interfaceName;
    };
    const Case cases[] = {
        {"dhclient.eth0.leases", "eth0"},
        {"dhclient-eth0.leases", "eth0"},
        {"dhclient.leases", ""},
        {"dhclient-0a1b2c3d-4e5f-6a7b-8c9d-0e1f2a3b4c5d-br-lan.lease", "br-lan"},
        {"internal-0a1b2c3d-4e5f-6a7b-8c9d-0e1f2a3b4c5d-wlp2s0.lease", "wlp2s0"},
        {"internal-wlp2s0.lease", ""},
        {"timestamps", ""},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(leaseFileInterface(c.name), c.interfaceName) << c.name;
    }
}

TEST(HostName, IsTheKernelsNameUpToItsFirstDot) {
    struct Case {
        const char* nodename;
        const char* file;
        const char* hostName;
        const char* fqdnDomain;
    };
    const Case cases[] = {
        {"box", "other\n", "box", ""},
        {"box.lab.test", "", "box", "lab.test"},
        {"(none)", "  filed.lab.test \nsecond\n", "filed", "lab.test"},
        {"", "filed", "filed", ""},
        {"", "", "", ""},
        {"box.", "", "box", ""},
    };
    for (const auto& c : cases) {
        std::string domain = "stale";
        EXPECT_EQ(hostNameFrom(c.nodename, c.file, domain), c.hostName) << c.nodename;
        EXPECT_EQ(domain, c.fqdnDomain) << c.nodename;
    }
}

// Builds route and link dumps the way the kernel lays them out.
class Dump {
  public:
    struct Hop {
        int interfaceIndex;
        const char* gateway;  // nullptr: none
    };

    Dump& route(unsigned char family, unsigned table, unsigned char type, unsigned char dstLength,
                std::optional<int> oif, const char* gateway, std::optional<unsigned> metric = {},
                const std::vector<Hop>& hops = {}, std::uint32_t sequence = 1) {
        rtmsg message{};
        message.rtm_family = family;
        message.rtm_dst_len = dstLength;
        message.rtm_table = static_cast<unsigned char>(table < 256 ? table : RT_TABLE_UNSPEC);
        message.rtm_type = type;
        std::vector<std::uint8_t> payload(NLMSG_ALIGN(sizeof message));
        std::memcpy(payload.data(), &message, sizeof message);
        attribute(payload, RTA_TABLE, u32(table));
        if (oif) {
            attribute(payload, RTA_OIF, u32(static_cast<std::uint32_t>(*oif)));
        }
        if (gateway != nullptr) {
            attribute(payload, RTA_GATEWAY, address(gateway));
        }
        if (metric) {
            attribute(payload, RTA_PRIORITY, u32(*metric));
        }
        if (!hops.empty()) {
            std::vector<std::uint8_t> nested;
            for (const Hop& hop : hops) {
                std::vector<std::uint8_t> hopBytes(RTNH_LENGTH(0));
                if (hop.gateway != nullptr) {
                    attribute(hopBytes, RTA_GATEWAY, address(hop.gateway));
                }
                rtnexthop header{};
                header.rtnh_len = static_cast<unsigned short>(hopBytes.size());
                header.rtnh_ifindex = hop.interfaceIndex;
                std::memcpy(hopBytes.data(), &header, sizeof header);
                nested.insert(nested.end(), hopBytes.begin(), hopBytes.end());
            }
            attribute(payload, RTA_MULTIPATH, nested);
        }
        return add(RTM_NEWROUTE, sequence, payload);
    }

    Dump& link(int index, const char* kind) {
        ifinfomsg message{};
        message.ifi_index = index;
        std::vector<std::uint8_t> payload(NLMSG_ALIGN(sizeof message));
        std::memcpy(payload.data(), &message, sizeof message);
        attribute(payload, IFLA_IFNAME, text("x"));
        if (kind != nullptr) {
            std::vector<std::uint8_t> info;
            attribute(info, IFLA_INFO_KIND, text(kind));
            attribute(payload, IFLA_LINKINFO | NLA_F_NESTED, info);
        }
        return add(RTM_NEWLINK, 1, payload);
    }

    Dump& done(std::uint32_t sequence = 1, int status = 0) {
        std::vector<std::uint8_t> payload(sizeof status);
        std::memcpy(payload.data(), &status, sizeof status);
        return add(NLMSG_DONE, sequence, payload);
    }

    Dump& add(std::uint16_t type, std::uint32_t sequence,
              const std::vector<std::uint8_t>& payload) {
        nlmsghdr header{};
        header.nlmsg_len = static_cast<std::uint32_t>(NLMSG_LENGTH(payload.size()));
        header.nlmsg_type = type;
        header.nlmsg_flags = NLM_F_MULTI;
        header.nlmsg_seq = sequence;
        const std::size_t at = m_bytes.size();
        m_bytes.resize(at + NLMSG_SPACE(payload.size()));
        std::memcpy(m_bytes.data() + at, &header, sizeof header);
        std::memcpy(m_bytes.data() + at + NLMSG_HDRLEN, payload.data(), payload.size());
        return *this;
    }

    std::vector<std::uint8_t>& bytes() { return m_bytes; }

    static std::vector<std::uint8_t> u32(std::uint32_t value) {
        std::vector<std::uint8_t> bytes(4);
        std::memcpy(bytes.data(), &value, 4);
        return bytes;
    }
    static std::vector<std::uint8_t> address(const char* dotted) {
        in_addr value{};
        EXPECT_EQ(inet_pton(AF_INET, dotted, &value), 1) << dotted;
        return u32(value.s_addr);
    }
    static std::vector<std::uint8_t> text(const char* value) {
        return std::vector<std::uint8_t>(value, value + std::strlen(value) + 1);
    }
    static void attribute(std::vector<std::uint8_t>& into, unsigned short type,
                          const std::vector<std::uint8_t>& data) {
        rtattr header{static_cast<unsigned short>(RTA_LENGTH(data.size())), type};
        const std::size_t at = into.size();
        into.resize(at + RTA_SPACE(data.size()));
        std::memcpy(into.data() + at, &header, sizeof header);
        std::memcpy(into.data() + at + RTA_LENGTH(0), data.data(), data.size());
    }

  private:
    std::vector<std::uint8_t> m_bytes;
};

TEST(RouteDump, KeepsTheMainTablesDefaultGatewaysOnly) {
    Dump dump;
    dump.route(AF_INET, RT_TABLE_MAIN, RTN_UNICAST, 0, 2, "10.250.0.1", 100)
        .route(AF_INET, RT_TABLE_MAIN, RTN_UNICAST, 24, 2, nullptr)       // on-link subnet
        .route(AF_INET, RT_TABLE_MAIN, RTN_UNICAST, 16, 3, "10.250.1.1")  // not a default
        .route(AF_INET, RT_TABLE_LOCAL, RTN_LOCAL, 32, 2, nullptr)        // a local address
        .route(AF_INET, 200, RTN_UNICAST, 0, 3, "10.250.2.1")             // a policy table
        .route(AF_INET, RT_TABLE_MAIN, RTN_UNREACHABLE, 0, std::nullopt, nullptr)
        .route(AF_INET, RT_TABLE_MAIN, RTN_UNICAST, 0, 3, "10.250.3.1")  // no metric: 0
        .route(AF_INET, RT_TABLE_MAIN, RTN_UNICAST, 0, std::nullopt, nullptr, 5,
               {{4, "10.250.4.1"}, {5, "10.250.5.1"}, {6, nullptr}})               // multipath
        .route(AF_INET, RT_TABLE_MAIN, RTN_UNICAST, 0, 7, "10.250.7.1", 1, {}, 9)  // another dump
        .done();
    std::vector<RouteGateway> gateways;
    const auto parsed = parseRouteDatagram(dump.bytes(), 1, gateways);
    ASSERT_TRUE(parsed) << parsed.error().text;
    EXPECT_TRUE(*parsed);
    const std::vector<RouteGateway> expected = {
        {2, "10.250.0.1", 100}, {3, "10.250.3.1", 0}, {4, "10.250.4.1", 5}, {5, "10.250.5.1", 5}};
    EXPECT_EQ(gateways, expected);
}

TEST(RouteDump, RefusesTruncatedAndMalformedMessages) {
    // Every cut of a good datagram either reads its whole messages or says what is missing.
    Dump good;
    good.route(AF_INET, RT_TABLE_MAIN, RTN_UNICAST, 0, 2, "10.250.0.1", 100, {{4, "10.250.4.1"}})
        .done();
    for (std::size_t size = 0; size < good.bytes().size(); ++size) {
        std::vector<RouteGateway> gateways;
        const auto cut = parseRouteDatagram(
            std::span<const std::uint8_t>(good.bytes().data(), size), 1, gateways);
        if (cut) {
            EXPECT_FALSE(*cut) << size;  // no end seen
        } else {
            EXPECT_TRUE(cut.code() == ErrorCode::Truncated || cut.code() == ErrorCode::Malformed)
                << size;
            EXPECT_FALSE(cut.error().text.empty());
        }
    }

    struct Case {
        const char* what;
        std::vector<std::uint8_t> payload;
        ErrorCode code;
    };
    rtmsg header{};
    header.rtm_family = AF_INET;
    header.rtm_table = RT_TABLE_MAIN;
    header.rtm_type = RTN_UNICAST;
    std::vector<std::uint8_t> fixed(NLMSG_ALIGN(sizeof header));
    std::memcpy(fixed.data(), &header, sizeof header);
    auto with = [&fixed](unsigned short type, const std::vector<std::uint8_t>& data) {
        auto payload = fixed;
        Dump::attribute(payload, type, data);
        return payload;
    };
    auto attributeTooLong = with(RTA_OIF, Dump::u32(2));
    attributeTooLong[fixed.size()] = 200;  // rta_len beyond the message
    std::vector<std::uint8_t> hopTooLong(RTNH_LENGTH(0));
    rtnexthop hop{};
    hop.rtnh_len = 64;
    std::memcpy(hopTooLong.data(), &hop, sizeof hop);
    std::vector<std::uint8_t> shortGatewayHop(RTNH_LENGTH(0));
    Dump::attribute(shortGatewayHop, RTA_GATEWAY, {10, 250});
    hop.rtnh_len = static_cast<unsigned short>(shortGatewayHop.size());
    std::memcpy(shortGatewayHop.data(), &hop, sizeof hop);
    const Case cases[] = {
        {"shorter than rtmsg", std::vector<std::uint8_t>(sizeof header - 1), ErrorCode::Truncated},
        {"attribute beyond the message", attributeTooLong, ErrorCode::Malformed},
        {"two-byte gateway", with(RTA_GATEWAY, {10, 250}), ErrorCode::Malformed},
        {"six-byte interface", with(RTA_OIF, {1, 0, 0, 0, 0, 0}), ErrorCode::Malformed},
        {"next hop beyond its route", with(RTA_MULTIPATH, hopTooLong), ErrorCode::Malformed},
        {"two-byte next hop gateway", with(RTA_MULTIPATH, shortGatewayHop), ErrorCode::Malformed},
    };
    for (const auto& c : cases) {
        Dump dump;
        dump.add(RTM_NEWROUTE, 1, c.payload);
        std::vector<RouteGateway> gateways;
        const auto parsed = parseRouteDatagram(dump.bytes(), 1, gateways);
        ASSERT_FALSE(parsed) << c.what;
        EXPECT_EQ(parsed.code(), c.code) << c.what;
        EXPECT_TRUE(gateways.empty()) << c.what;
    }

    // The kernel's error at the end of a dump that failed part-way.
    Dump failed;
    failed.done(1, -EPERM);
    std::vector<RouteGateway> gateways;
    const auto parsed = parseRouteDatagram(failed.bytes(), 1, gateways);
    ASSERT_FALSE(parsed);
    EXPECT_EQ(parsed.code(), ErrorCode::System);
    EXPECT_EQ(parsed.error().systemError, EPERM);
}

TEST(LinkDump, RecordsEachLinksKind) {
    Dump dump;
    dump.link(1, nullptr).link(2, "veth").link(3, "dummy").link(0, "bridge").done();
    std::map<unsigned, std::string> kinds;
    const auto parsed = parseLinkDatagram(dump.bytes(), 1, kinds);
    ASSERT_TRUE(parsed) << parsed.error().text;
    EXPECT_TRUE(*parsed);
    EXPECT_EQ(kinds, (std::map<unsigned, std::string>{{2, "veth"}, {3, "dummy"}}));

    std::vector<std::uint8_t> shortLink(sizeof(ifinfomsg) - 1);
    Dump truncated;
    truncated.add(RTM_NEWLINK, 1, shortLink);
    EXPECT_EQ(parseLinkDatagram(truncated.bytes(), 1, kinds).code(), ErrorCode::Truncated);
}

}  // namespace
}  // namespace quendrix::net
