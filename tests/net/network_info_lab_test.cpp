// The network information read from a real kernel: each test makes a network namespace of its
// own holding a veth pair and a dummy device with set hardware addresses, two addresses on one
// adapter, default routes through gateways, a device that is down and one without IPv4, and
// gives the readers a resolv.conf, systemd-resolved's runtime file and lease files of its own.
// Runs only inside the lab as root: `tests/lab/lab-run dns network_info_lab_test` (ctest -L lab).
#include "net/network_info.h"
#include "support/dns_lab.h"

#include <fcntl.h>
#include <net/if.h>
#include <sched.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <sys/utsname.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <ostream>
#include <string>
#include <vector>

namespace quendrix::net {

void PrintTo(const AddrEntry& entry, std::ostream* out) {
    *out << entry.ipAddress << '/' << entry.ipMask;
}

void PrintTo(const AdapterInfo& adapter, std::ostream* out) {
    *out << "\n{" << adapter.adapterName << " '" << adapter.description << "' index "
         << adapter.index << " type " << adapter.type << " combo " << adapter.comboIndex << " mac";
    for (const auto byte : adapter.address) {
        *out << ' ' << static_cast<int>(byte);
    }
    *out << " dhcp " << adapter.dhcpEnabled << " current "
         << (adapter.currentIpAddress ? adapter.currentIpAddress->ipAddress : "none") << " ips";
    for (const auto& entry : adapter.ipAddressList) {
        *out << ' ' << entry.ipAddress << '/' << entry.ipMask;
    }
    *out << " gateways";
    for (const auto& entry : adapter.gatewayList) {
        *out << ' ' << entry.ipAddress << '/' << entry.ipMask;
    }
    *out << " servers";
    for (const auto& entry : adapter.dhcpServer) {
        *out << ' ' << entry.ipAddress << '/' << entry.ipMask;
    }
    *out << " wins " << adapter.haveWins << ' ' << adapter.primaryWinsServer.size() << ' '
         << adapter.secondaryWinsServer.size() << " lease " << adapter.leaseObtained << ".."
         << adapter.leaseExpires << '}';
}

namespace {

namespace fs = std::filesystem;

// 2026-12-10 10:00:00 and 11:00:00 UTC.
constexpr std::int64_t kTen = 1796896800;
constexpr std::int64_t kEleven = 1796900400;

void writeFile(const fs::path& path, const std::string& text) {
    std::ofstream file(path, std::ios::binary);
    file << text;
    ASSERT_TRUE(file.good()) << path;
}

class NetworkInfoLab : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(test::InsideDnsLab()) << test::kOutsideDnsLab;
        ASSERT_EQ(unshare(CLONE_NEWNET), 0) << std::strerror(errno);
        // A kernel built without the dummy driver gets bridges without ports instead: devices
        // of their own kind, up, with no traffic.
        if (std::system("ip link add qxd type dummy 2>/dev/null") != 0) {
            m_standIn = "bridge";
            ASSERT_EQ(std::system("ip link add qxd type bridge"), 0);
        }
        const std::string standIn = m_standIn;
        ASSERT_EQ(std::system(("set -e\n"
                               "ip link set lo up\n"
                               "ip link add qxa type veth peer name qxb\n"
                               "ip link set qxa address 02:00:0a:fa:0a:01\n"
                               "ip link set qxb address 02:00:0a:fa:0a:02\n"
                               "ip link set qxd address 02:00:0a:fa:14:01\n"
                               "ip link add qxe type " +
                               standIn +
                               "\n"  // up, without IPv4
                               "ip link add qxf type " +
                               standIn +
                               "\n"  // with IPv4, down
                               "ip addr add 10.250.10.1/24 dev qxa\n"
                               "ip addr add 10.250.12.1/28 dev qxa label qxa:1\n"  // an alias label

                               "ip addr add 10.250.10.2/24 dev qxb\n"
                               "ip addr add 10.250.20.1/16 dev qxd\n"
                               "ip addr add 10.250.30.1/24 dev qxf\n"
                               "ip link set qxa up\nip link set qxb up\nip link set qxd up\n"
                               "ip link set qxe up\n"
                               "ip route add default via 10.250.10.254 dev qxa metric 100\n"
                               "ip route add default via 10.250.20.254 dev qxd metric 200\n"
                               "ip route add 10.250.40.0/24 via 10.250.10.253 dev qxa\n")
                                  .c_str()),
                  0);
        m_folder = fs::temp_directory_path() / ("quendrix-netinfo-" + std::to_string(getpid()));
        fs::remove_all(m_folder);
        fs::create_directories(m_folder / "sys");
        fs::create_directories(m_folder / "dhcp");
        fs::create_directories(m_folder / "networkd");
        // /sys shows the devices of the namespace that mounted it: a fresh sysfs shows ours.
        ASSERT_EQ(mount("sysfs", (m_folder / "sys").c_str(), "sysfs", 0, nullptr), 0)
            << std::strerror(errno);
        m_mounted = true;

        m_sources.hostnameFile = m_folder / "hostname";
        m_sources.resolvConf = m_folder / "resolv.conf";
        m_sources.resolvedConf = m_folder / "resolved.conf";
        m_sources.ipForward = m_folder / "ip_forward";
        m_sources.sysClassNet = m_folder / "sys" / "class" / "net";
        m_sources.leaseFolders = {m_folder / "missing", m_folder / "dhcp", m_folder / "networkd"};
    }

    void TearDown() override {
        if (m_mounted) {
            umount2((m_folder / "sys").c_str(), MNT_DETACH);
        }
        std::error_code ignored;
        fs::remove_all(m_folder, ignored);
    }

    static unsigned indexOf(const char* name) {
        const unsigned index = if_nametoindex(name);
        EXPECT_NE(index, 0U) << name;
        return index;
    }

    // The adapters this namespace must show, with the given DHCP facts for qxa and qxd.
    std::vector<AdapterInfo> expectedAdapters(bool leases) const {
        AdapterInfo qxa;
        qxa.adapterName = "qxa";
        qxa.description = "veth";
        qxa.address = {0x02, 0x00, 0x0a, 0xfa, 0x0a, 0x01};
        qxa.index = indexOf("qxa");
        qxa.type = 1;  // ARPHRD_ETHER
        qxa.currentIpAddress = AddrEntry{"10.250.10.1", "255.255.255.0"};
        qxa.ipAddressList = {{"10.250.10.1", "255.255.255.0"}, {"10.250.12.1", "255.255.255.240"}};
        qxa.gatewayList = {{"10.250.10.254", "255.255.255.255"}};
        AdapterInfo qxb = qxa;
        qxb.adapterName = "qxb";
        qxb.address = {0x02, 0x00, 0x0a, 0xfa, 0x0a, 0x02};
        qxb.index = indexOf("qxb");
        qxb.currentIpAddress = AddrEntry{"10.250.10.2", "255.255.255.0"};
        qxb.ipAddressList = {{"10.250.10.2", "255.255.255.0"}};
        qxb.gatewayList = {};
        AdapterInfo qxd;
        qxd.adapterName = "qxd";
        qxd.description = m_standIn;
        qxd.address = {0x02, 0x00, 0x0a, 0xfa, 0x14, 0x01};
        qxd.index = indexOf("qxd");
        qxd.type = 1;
        qxd.currentIpAddress = AddrEntry{"10.250.20.1", "255.255.0.0"};
        qxd.ipAddressList = {{"10.250.20.1", "255.255.0.0"}};
        qxd.gatewayList = {{"10.250.20.254", "255.255.255.255"}};
        if (leases) {
            qxa.dhcpEnabled = 1;
            qxa.dhcpServer = {{"10.250.10.254", "255.255.255.255"}};
            qxa.leaseObtained = kTen;
            qxa.leaseExpires = kEleven;
            qxd.dhcpEnabled = 1;
            qxd.dhcpServer = {{"10.250.20.254", "255.255.255.255"}};
            qxd.leaseObtained = kTen;
            qxd.leaseExpires = kTen + 600;
        }
        std::vector<AdapterInfo> adapters = {qxa, qxb, qxd};
        std::sort(adapters.begin(), adapters.end(),
                  [](const AdapterInfo& a, const AdapterInfo& b) { return a.index < b.index; });
        return adapters;  // in the order of their interface index
    }

    fs::path m_folder;
    bool m_mounted = false;
    std::string m_standIn = "dummy";
    NetworkInfoSources m_sources;
};

TEST_F(NetworkInfoLab, AdaptersWithTheirAddressesGatewaysAndLeases) {
    writeFile(m_folder / "dhcp" / "dhclient.qxa.leases",
              "lease {\n  interface \"qxa\";\n  fixed-address 10.250.10.77;\n"
              "  option dhcp-server-identifier 10.250.10.250;\n  expire 4 2026/12/10 11:00:00;\n}\n"
              "lease {\n  interface \"qxa\";\n  fixed-address 10.250.10.1;\n"
              "  option subnet-mask 255.255.255.0;\n  option dhcp-lease-time 3600;\n"
              "  option dhcp-server-identifier 10.250.10.254;\n"
              "  renew 4 2026/12/10 10:30:00;\n  rebind 4 2026/12/10 10:52:30;\n"
              "  expire 4 2026/12/10 11:00:00;\n}\n");
    // A lease naming qxb for qxa's address: held by neither as named.
    writeFile(m_folder / "dhcp" / "dhclient.leases",
              "lease {\n  interface \"qxb\";\n  fixed-address 10.250.10.1;\n"
              "  option dhcp-server-identifier 10.250.10.99;\n  expire epoch 1796990000;\n}\n");
    const fs::path networkd = m_folder / "networkd" / std::to_string(indexOf("qxd"));
    writeFile(networkd,
              "# This is private data. Do not parse.\nADDRESS=10.250.20.1\nNETMASK=255.255.0.0\n"
              "ROUTER=10.250.20.254\nSERVER_ADDRESS=10.250.20.254\nLIFETIME=600\n");
    const timespec times[2] = {{kTen, 0}, {kTen, 0}};
    ASSERT_EQ(utimensat(AT_FDCWD, networkd.c_str(), times, 0), 0) << std::strerror(errno);

    const auto adapters = ReadAdapters(m_sources);
    ASSERT_TRUE(adapters) << adapters.error().text;
    EXPECT_EQ(*adapters, expectedAdapters(true));
}

TEST_F(NetworkInfoLab, WithoutLeaseFilesOrThisNamespacesSysfsTheKernelsFactsStay) {
    m_sources.leaseFolders = {m_folder / "missing"};
    const auto adapters = ReadAdapters(m_sources);
    ASSERT_TRUE(adapters) << adapters.error().text;
    EXPECT_EQ(*adapters, expectedAdapters(false));

    // The lab's own /sys shows the lab namespace's devices, not this one's: the index, type
    // and hardware address then come from the kernel's own records of each device.
    m_sources.sysClassNet = "/sys/class/net";
    const auto fromOtherSysfs = ReadAdapters(m_sources);
    ASSERT_TRUE(fromOtherSysfs) << fromOtherSysfs.error().text;
    EXPECT_EQ(*fromOtherSysfs, expectedAdapters(false));
}

TEST_F(NetworkInfoLab, ParametersFromTheTestsOwnFiles) {
    utsname system{};
    ASSERT_EQ(uname(&system), 0);
    const std::string nodename = system.nodename;
    const std::string hostName = nodename.substr(0, nodename.find('.'));

    struct Case {
        const char* what;
        const char* resolvConf;    // nullptr: no file
        const char* resolvedConf;  // nullptr: no file
        const char* ipForward;     // nullptr: no file
        std::vector<std::string> servers;
        std::string domain;
        unsigned routing;
    };
    const std::string fqdnDomain =
        nodename.find('.') == std::string::npos ? "" : nodename.substr(nodename.find('.') + 1);
    const Case cases[] = {
        {"plain servers",
         "search one.test two.test\nnameserver 10.250.0.1\nnameserver ::1\n"
         "nameserver 10.250.0.2\n",
         "nameserver 10.250.0.9\n",
         "1\n",
         {"10.250.0.1", "10.250.0.2"},
         "one.test",
         1},
        {"the stub: resolved's upstream servers",
         "nameserver 127.0.0.53\noptions edns0\n"
         "domain lab.test\nsearch other.test\n",
         "nameserver 10.250.0.3\nnameserver fe80::1\nnameserver 10.250.0.4\n",
         "0\n",
         {"10.250.0.3", "10.250.0.4"},
         "lab.test",
         0},
        {"the stub without resolved",
         "nameserver 127.0.0.53\n",
         nullptr,
         nullptr,
         {"127.0.0.53"},
         fqdnDomain,
         0},
        {"the stub beside another server",
         "nameserver 127.0.0.53\nnameserver 10.250.0.5\n",
         "nameserver 10.250.0.6\n",
         "1",
         {"127.0.0.53", "10.250.0.5"},
         fqdnDomain,
         1},
        {"no files at all", nullptr, nullptr, nullptr, {}, fqdnDomain, 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        fs::remove(m_sources.resolvConf);
        fs::remove(m_sources.resolvedConf);
        fs::remove(m_sources.ipForward);
        if (c.resolvConf != nullptr) {
            writeFile(m_sources.resolvConf, c.resolvConf);
        }
        if (c.resolvedConf != nullptr) {
            writeFile(m_sources.resolvedConf, c.resolvedConf);
        }
        if (c.ipForward != nullptr) {
            writeFile(m_sources.ipForward, c.ipForward);
        }
        const auto params = ReadNetworkParams(m_sources);
        ASSERT_TRUE(params) << params.error().text;
        NetworkParams expected;
        expected.hostName = hostName;
        expected.domainName = c.domain;
        for (const auto& server : c.servers) {
            expected.dnsServers.push_back({server, ""});
        }
        if (!c.servers.empty()) {
            expected.currentDnsServer = expected.dnsServers.front();
        }
        expected.enableRouting = c.routing;
        expected.enableDns = c.servers.empty() ? 0 : 1;
        EXPECT_EQ(*params, expected);
    }
}

}  // namespace
}  // namespace quendrix::net
