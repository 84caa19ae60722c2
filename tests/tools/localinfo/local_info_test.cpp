#include "tools/localinfo/local_info.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <cstdlib>
#include <ctime>
#include <string>
#include <vector>

namespace quendrix::localinfo {
namespace {

using net::AdapterInfo;
using net::AddrEntry;
using net::NetworkParams;

// A zone of the test's own, counting how often it is asked.
struct FixedZone {
    TimeZoneState state;
    int asked = 0;
    TimeZoneSource source() {
        return [this]() -> Result<TimeZoneState> {
            ++asked;
            return state;
        };
    }
};

TimeZoneSource FailingZone() {
    return []() -> Result<TimeZoneState> { return Error::fromErrno(EOVERFLOW); };
}

TEST(LocalInfoTexts, MacText) {
    const struct {
        std::vector<std::uint8_t> bytes;
        QString expected;
    } cases[] = {
        {{}, ""},
        {{0x05}, "05"},
        {{0x00, 0x1a, 0x2b, 0xff, 0x0a, 0x01}, "00-1A-2B-FF-0A-01"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(MacText(c.bytes), c.expected);
    }
}

TEST(LocalInfoTexts, AddrListText) {
    const struct {
        std::vector<AddrEntry> entries;
        QString expected;
    } cases[] = {
        {{}, ""},
        {{{"10.250.0.1", "255.255.255.0"}}, "A: 10.250.0.1 M: 255.255.255.0\r"},
        {{{"10.250.0.1", "255.255.255.0"}, {"10.250.9.2", "255.255.0.0"}},
         "A: 10.250.0.1 M: 255.255.255.0\rA: 10.250.9.2 M: 255.255.0.0\r"},
        {{{"", ""}}, "A:  M: \r"},
        // A character array ends at its first zero byte.
        {{{std::string("10.0.0.1\0junk", 13), "255.0.0.0"}}, "A: 10.0.0.1 M: 255.0.0.0\r"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(AddrListText(c.entries), c.expected);
    }
}

TEST(LocalInfoTexts, LeaseTimeTextUsesThePresentZoneForEveryTime) {
    // The C locale: short date "d MMM yyyy", long time "HH:mm:ss" once its zone is taken out.
    FixedZone winter{{-60, "CET"}};
    const struct {
        std::int64_t t;
        QString expected;
    } cases[] = {
        {1796913005, "10 Dec 2026 15:30:05 CET"},
        // July, yet the present (winter) bias: one hour ahead of UTC, not two.
        {1782907200, "1 Jul 2026 13:00:00 CET"},
        // Exactly local midnight: the time is left out, the zone is not.
        {1796857200, "10 Dec 2026 CET"},
        // Before 1970.
        {-86400, "31 Dec 1969 01:00:00 CET"},
        // Read as a signed 32-bit number: 2^31 wraps to the end of 1901, 2^32 to 0.
        {2147483648LL, "13 Dec 1901 21:45:52 CET"},
        {4294967296LL + 1796913005, "10 Dec 2026 15:30:05 CET"},
    };
    for (const auto& c : cases) {
        const auto text = LeaseTimeText(c.t, winter.source());
        ASSERT_TRUE(text) << c.t;
        EXPECT_EQ(*text, c.expected) << c.t;
    }
    // 0, and what reads as 0, is the empty text without asking for the zone.
    winter.asked = 0;
    for (const std::int64_t zero : {std::int64_t{0}, std::int64_t{4294967296LL}}) {
        const auto text = LeaseTimeText(zero, winter.source());
        ASSERT_TRUE(text);
        EXPECT_EQ(*text, "");
    }
    EXPECT_EQ(winter.asked, 0);
    // West of Greenwich, and a zone read that fails.
    FixedZone west{{300, "EST"}};
    EXPECT_EQ(*LeaseTimeText(1796913005, west.source()), "10 Dec 2026 09:30:05 EST");
    const auto failed = LeaseTimeText(1796913005, FailingZone());
    ASSERT_FALSE(failed);
    EXPECT_EQ(failed.error().systemError, EOVERFLOW);
}

TEST(LocalInfoTexts, ThePresentZoneOfTheSystem) {
    const char* before = std::getenv("TZ");
    const std::string saved = before != nullptr ? before : "";
    setenv("TZ", "UTC0", 1);
    auto zone = ReadPresentTimeZone();
    ASSERT_TRUE(zone);
    EXPECT_EQ(zone->biasMinutes, 0);
    EXPECT_EQ(zone->name, "UTC");
    // Central Europe: whichever season it is now, bias and name belong together.
    setenv("TZ", "CET-1CEST,M3.5.0,M10.5.0/3", 1);
    zone = ReadPresentTimeZone();
    ASSERT_TRUE(zone);
    EXPECT_TRUE((zone->biasMinutes == -60 && zone->name == "CET") ||
                (zone->biasMinutes == -120 && zone->name == "CEST"))
        << zone->biasMinutes << " " << zone->name.toStdString();
    setenv("TZ", saved.c_str(), 1);
    tzset();
}

TEST(LocalInfoTexts, SystemErrorText) {
    EXPECT_EQ(SystemErrorText(Error::fromErrno(ENOENT)),
              "System Error.  Code: 2.\nNo such file or directory");
    // An error without a text of its own gets the system's text for its number.
    EXPECT_EQ(SystemErrorText(Error{ErrorCode::System, EACCES, {}}),
              "System Error.  Code: 13.\nPermission denied");
}

NetworkParams SomeParams() {
    NetworkParams params;
    params.hostName = "quendrix-lab";
    params.domainName = "lab.test";
    params.currentDnsServer = AddrEntry{"10.250.0.53", ""};
    params.dnsServers = {{"10.250.0.53", ""}, {"10.250.0.54", ""}};
    params.enableRouting = 1;
    return params;
}

TEST(LocalInfoLines, NetworkParameters) {
    Filled filled = FillNetworkParams(SomeParams());
    EXPECT_FALSE(filled.failure);
    EXPECT_EQ(
        LineTexts(filled.lines),
        QStringList({"Host name: quendrix-lab", "Domain name: lab.test",
                     "Current DNS Server: 10.250.0.53", "DNS 1: 10.250.0.53", "DNS 2: 10.250.0.54",
                     "Scope ID: ", "Routing: 1", "Proxy: 0", "DNS: 0"}));
    // No server at all: server 1 is still listed, and there is no current one.
    NetworkParams none = SomeParams();
    none.currentDnsServer.reset();
    none.dnsServers.clear();
    filled = FillNetworkParams(none);
    EXPECT_EQ(LineTexts(filled.lines).mid(2, 2),
              QStringList({"Current DNS Server: (none)", "DNS 1: "}));
    EXPECT_EQ(filled.lines.size(), 8u);
    // A failed query: no line, and the failure.
    filled = FillNetworkParams(Result<NetworkParams>(Error::fromErrno(EACCES)));
    EXPECT_TRUE(filled.lines.empty());
    ASSERT_TRUE(filled.failure);
    EXPECT_EQ(filled.failure->systemError, EACCES);
}

AdapterInfo TwoAddressAdapter() {
    AdapterInfo adapter;
    adapter.comboIndex = 3;
    adapter.adapterName = "veth-lab0";
    adapter.description = "veth-lab0";
    adapter.address = {0x02, 0x00, 0x0a, 0xfa, 0x00, 0x0b};
    adapter.index = 3;
    adapter.type = 6;
    adapter.dhcpEnabled = 1;
    adapter.ipAddressList = {{"10.250.0.11", "255.255.255.0"}, {"10.250.1.11", "255.255.0.0"}};
    adapter.gatewayList = {{"10.250.0.1", "255.255.255.255"}};
    adapter.dhcpServer = {{"10.250.0.1", "255.255.255.255"}};
    adapter.leaseObtained = 1796913005;
    return adapter;
}

TEST(LocalInfoLines, AnAdapterBlock) {
    FixedZone zone{{0, "UTC"}};
    const Filled filled =
        FillAdapters(std::vector<AdapterInfo>{TwoAddressAdapter()}, zone.source());
    EXPECT_FALSE(filled.failure);
    EXPECT_EQ(LineTexts(filled.lines),
              QStringList({"", "Adapter 1", "  ComboIndex: 3", "  Adapter name: veth-lab0",
                           "  Description: veth-lab0", "  Adapter address: 02-00-0A-FA-00-0B",
                           "  Index: 3", "  Type: 6", "  DHCP: 1", "  Current IP: ",
                           "  IP addresses: A: 10.250.0.11 M: 255.255.255.0\r"
                           "A: 10.250.1.11 M: 255.255.0.0\r",
                           "  Gateways: A: 10.250.0.1 M: 255.255.255.255\r",
                           "  DHCP servers: A: 10.250.0.1 M: 255.255.255.255\r", "  Has WINS: 0",
                           "  Primary WINS: ", "  Secondary WINS: ",
                           "  Lease obtained: 10 Dec 2026 14:30:05 UTC", "  Lease expires: "}));
    // The zone is asked once, for the one time that is not 0.
    EXPECT_EQ(zone.asked, 1);
}

TEST(LocalInfoLines, ThreeAdaptersMakeThreeNumberedBlocks) {
    FixedZone zone{{0, "UTC"}};
    AdapterInfo current = TwoAddressAdapter();
    current.currentIpAddress = AddrEntry{"10.250.0.11", "255.255.255.0"};
    const Filled filled = FillAdapters(
        std::vector<AdapterInfo>{AdapterInfo{}, current, AdapterInfo{}}, zone.source());
    const QStringList texts = LineTexts(filled.lines);
    ASSERT_EQ(texts.size(), 3 * 18);
    for (int block = 0; block < 3; ++block) {
        EXPECT_EQ(texts[block * 18], "");
        EXPECT_EQ(texts[block * 18 + 1], QStringLiteral("Adapter %1").arg(block + 1));
        EXPECT_TRUE(texts[block * 18 + 17].startsWith("  Lease expires: "));
    }
    EXPECT_EQ(texts[18 + 9], "  Current IP: A: 10.250.0.11 M: 255.255.255.0\r");
    // An adapter with nothing known: every list empty, no MAC, no lease.
    EXPECT_EQ(texts[5], "  Adapter address: ");
    EXPECT_EQ(texts[10], "  IP addresses: ");
    // A failed adapter list: no lines, and the failure.
    const Filled failed =
        FillAdapters(Result<std::vector<AdapterInfo>>(Error::fromErrno(ENOBUFS)), zone.source());
    EXPECT_TRUE(failed.lines.empty());
    ASSERT_TRUE(failed.failure);
    EXPECT_EQ(failed.failure->systemError, ENOBUFS);
}

TEST(LocalInfoLines, AFailedZoneReadEndsTheLinesBeforeItsLeaseTime) {
    AdapterInfo noLease = TwoAddressAdapter();
    noLease.leaseObtained = 0;
    const Filled filled =
        FillAdapters(std::vector<AdapterInfo>{noLease, TwoAddressAdapter()}, FailingZone());
    const QStringList texts = LineTexts(filled.lines);
    ASSERT_EQ(texts.size(), 18 + 16);
    EXPECT_EQ(texts.back(), "  Secondary WINS: ");
    ASSERT_TRUE(filled.failure);
    EXPECT_EQ(filled.failure->systemError, EOVERFLOW);
}

TEST(LocalInfoLines, BothAreasAndWhereTheirFillingEnds) {
    int adapterReads = 0;
    FixedZone zone{{0, "UTC"}};
    Sources sources{
        [] { return Result<NetworkParams>(SomeParams()); },
        [&] {
            ++adapterReads;
            return Result<std::vector<AdapterInfo>>(std::vector<AdapterInfo>{TwoAddressAdapter()});
        },
        zone.source()};
    LocalInformation information = ReadLocalInformation(sources);
    EXPECT_EQ(information.info.size(), 9u);
    EXPECT_EQ(information.info2.size(), 18u);
    EXPECT_FALSE(information.failure);
    // The parameters fail: neither area gets a line, and the adapters are not read.
    adapterReads = 0;
    sources.readParams = [] { return Result<NetworkParams>(Error::fromErrno(EIO)); };
    information = ReadLocalInformation(sources);
    EXPECT_TRUE(information.info.empty());
    EXPECT_TRUE(information.info2.empty());
    EXPECT_EQ(adapterReads, 0);
    ASSERT_TRUE(information.failure);
    EXPECT_EQ(information.failure->systemError, EIO);
    // The adapter list fails: the parameters stay.
    sources.readParams = [] { return Result<NetworkParams>(SomeParams()); };
    sources.readAdapters = [] {
        return Result<std::vector<AdapterInfo>>(Error::fromErrno(ENOBUFS));
    };
    information = ReadLocalInformation(sources);
    EXPECT_EQ(information.info.size(), 9u);
    EXPECT_TRUE(information.info2.empty());
    ASSERT_TRUE(information.failure);
    EXPECT_EQ(information.failure->systemError, ENOBUFS);
}

TEST(LocalInfoLines, AnAddressListShownOneEntryALine) {
    FixedZone zone{{0, "UTC"}};
    const Filled filled =
        FillAdapters(std::vector<AdapterInfo>{TwoAddressAdapter()}, zone.source());
    EXPECT_EQ(DisplayText(filled.lines[10], QLatin1Char('\n')),
              "  IP addresses: A: 10.250.0.11 M: 255.255.255.0\n"
              "                A: 10.250.1.11 M: 255.255.0.0");
    EXPECT_EQ(DisplayText(filled.lines[11], QLatin1Char('\n')),
              "  Gateways: A: 10.250.0.1 M: 255.255.255.255");
    EXPECT_EQ(DisplayText(filled.lines[9], QLatin1Char('\n')), "  Current IP: ");
    // Only address lists are split: any other text is shown as it is.
    const InfoLine host{"Host name: ", "odd\rname", false};
    EXPECT_EQ(DisplayText(host, QLatin1Char('\n')), "Host name: odd\rname");
}

}  // namespace
}  // namespace quendrix::localinfo
