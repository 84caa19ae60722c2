// The query address and the built-in location service's page, without any view. Only
// 127.0.0.1 is looked up (its reverse name comes from the hosts file); every other address
// goes into a report made by hand.
#include "tools/locator/location_service.h"
#include "support/test_files.h"

#include <QTemporaryDir>
#include <QUrl>

#include <gtest/gtest.h>

namespace quendrix::locator {
namespace {

TEST(QueryAddress, IsTheBaseThePathAndTheQueryWithTheAddressUnchanged) {
    const struct {
        QString setting;
        QString address;
        QString expected;
    } cases[] = {
        {"", "127.0.0.1", "quendrix-locator://service/TryIt.htm?GetLocation&ipaddress=127.0.0.1"},
        {"  ", "X", "quendrix-locator://service/TryIt.htm?GetLocation&ipaddress=X"},
        {"http://127.0.0.1:8080", "10.250.1.21",
         "http://127.0.0.1:8080/TryIt.htm?GetLocation&ipaddress=10.250.1.21"},
        // Another base is used exactly as written, a path or a trailing slash included.
        {"https://locate.example/sub/", "X",
         "https://locate.example/sub//TryIt.htm?GetLocation&ipaddress=X"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(QueryAddress(LocatorBase(c.setting), c.address), c.expected)
            << c.setting.toStdString();
    }
    EXPECT_TRUE(IsBuiltInBase(LocatorBase(QString())));
    EXPECT_FALSE(IsBuiltInBase(LocatorBase("http://127.0.0.1:8080")));
}

TEST(BuiltInService, AnswersOnlyItsExactQuery) {
    const struct {
        const char* url;
        std::optional<QString> address;
    } cases[] = {
        {"quendrix-locator://service/TryIt.htm?GetLocation&ipaddress=1.2.3.4", "1.2.3.4"},
        {"quendrix-locator://service/TryIt.htm?GetLocation&ipaddress=X", "X"},
        {"quendrix-locator://service/TryIt.htm?GetLocation&ipaddress=", ""},
        {"quendrix-locator://service/TryIt.htm?GetLocation&ipaddress=%3Cb%3E", "<b>"},
        {"quendrix-locator://service/tryit.htm?GetLocation&ipaddress=1.2.3.4", std::nullopt},
        {"quendrix-locator://service/TryIt.htm?ipaddress=1.2.3.4", std::nullopt},
        {"quendrix-locator://service/TryIt.htm?GetLocation=&ipaddress=1.2.3.4", std::nullopt},
        {"quendrix-locator://service/", std::nullopt},
        {"http://service/TryIt.htm?GetLocation&ipaddress=1.2.3.4", std::nullopt},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(BuiltInQueryAddress(QUrl(QString::fromLatin1(c.url))), c.address) << c.url;
    }
}

TEST(BuiltInService, StrictDottedAddresses) {
    for (const char* good : {"0.0.0.0", "127.0.0.1", "255.255.255.255", "010.1.1.1"}) {
        EXPECT_TRUE(IsStrictDottedAddress(QString::fromLatin1(good))) << good;
    }
    for (const char* bad : {"X", "", "1.2.3", "1.2.3.4.5", "1.2.3.256", "1.2.3.-4", "1.2.3.4 ",
                            "1..3.4", "0x1.2.3.4", "1.2.3.1000"}) {
        EXPECT_FALSE(IsStrictDottedAddress(QString::fromLatin1(bad))) << bad;
    }
}

// A GeoIP file of the test's own: 127.0.0.0/8 in Germany.
QString writeGeoIp(const QTemporaryDir& dir) {
    return test::WriteBytes(dir.filePath("geoip"), "# fixture\n2130706432,2147483647,DE\n");
}

TEST(BuiltInService, PageForAnAddressWithTheGeoIpDatabase) {
    QTemporaryDir dir;
    const LocationService service(writeGeoIp(dir).toStdString());
    const LocationReport report = service.Report("127.0.0.1");
    EXPECT_TRUE(report.validAddress);
    EXPECT_NE(report.reverseName, "X");  // the hosts file names it
    EXPECT_EQ(report.owner, "United States");
    EXPECT_TRUE(report.geoIpAvailable);
    EXPECT_EQ(report.countryCode, QString("DE"));

    const auto page = service.Answer(
        QUrl("quendrix-locator://service/TryIt.htm?GetLocation&ipaddress=127.0.0.1"));
    ASSERT_TRUE(page);
    EXPECT_TRUE(page->contains("<td>127.0.0.1</td>"));
    EXPECT_TRUE(page->contains("<td>" + report.reverseName.toHtmlEscaped() + "</td>"));
    EXPECT_TRUE(page->contains("<td>United States</td>"));
    EXPECT_TRUE(page->contains("<td>Germany (DE)</td>"));
    EXPECT_TRUE(page->contains("<a href=\"https://rdap.org/ip/127.0.0.1\">"));
    EXPECT_FALSE(page->contains("not available"));
}

TEST(BuiltInService, PageForAnAddressWithoutTheGeoIpDatabaseSaysSo) {
    QTemporaryDir dir;
    const QString missing = dir.filePath("no-geoip");
    const LocationService service(missing.toStdString());
    const auto page = service.Answer(
        QUrl("quendrix-locator://service/TryIt.htm?GetLocation&ipaddress=127.0.0.1"));
    ASSERT_TRUE(page);
    // Everything else is still there.
    EXPECT_TRUE(page->contains("<td>127.0.0.1</td>"));
    EXPECT_TRUE(page->contains("<td>United States</td>"));
    EXPECT_TRUE(page->contains("Unknown: the GeoIP database " + missing +
                               " is not available (No such file or directory)"));
    EXPECT_TRUE(page->contains("tor-geoipdb"));
}

TEST(BuiltInService, PageTellsEachCountryCase) {
    LocationReport report;
    report.address = "10.250.1.21";
    report.validAddress = true;
    report.reverseName = "X";
    report.owner = "X";
    report.geoIpAvailable = true;
    report.geoIpPath = "/fixture/geoip";
    const struct {
        std::optional<QString> code;
        QString shown;
    } cases[] = {
        {std::nullopt, "Unknown: no range of the GeoIP database holds this address"},
        {"??", "Unknown: the GeoIP database gives no country for this address"},
        {"FR", "France (FR)"},
        {"QQ", "QQ (QQ)"},  // a code without a known name shows as itself
    };
    for (const auto& c : cases) {
        report.countryCode = c.code;
        const QString page = LocationPageHtml(report);
        EXPECT_TRUE(page.contains("<td>" + c.shown + "</td>")) << c.shown.toStdString();
        EXPECT_TRUE(page.contains("(no name: the reverse look-up failed)"));
        EXPECT_TRUE(page.contains("(not in the IP owner table)"));
    }
}

TEST(BuiltInService, PageForATextThatIsNoAddressLooksNothingUpAndEscapesIt) {
    QTemporaryDir dir;
    const LocationService service(writeGeoIp(dir).toStdString());
    const auto failed =
        service.Answer(QUrl("quendrix-locator://service/TryIt.htm?GetLocation&ipaddress=X"));
    ASSERT_TRUE(failed);
    EXPECT_TRUE(failed->contains("The name could not be resolved to an IP address."));
    EXPECT_FALSE(failed->contains("<a href"));

    const auto hostile = service.Answer(QUrl(
        "quendrix-locator://service/TryIt.htm?GetLocation&ipaddress=%3Cscript%3Ex%3C/script%3E"));
    ASSERT_TRUE(hostile);
    EXPECT_FALSE(hostile->contains("<script>"));
    EXPECT_TRUE(hostile->contains("&lt;script&gt;x&lt;/script&gt;"));
    EXPECT_TRUE(hostile->contains("This is not an IPv4 address."));
}

}  // namespace
}  // namespace quendrix::locator
