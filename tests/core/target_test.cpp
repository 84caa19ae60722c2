#include "core/target.h"

#include <arpa/inet.h>

#include <gtest/gtest.h>

namespace quendrix {
namespace {

TEST(ReduceTarget, TakesTheHostOutOfTypedText) {
    const struct {
        const char* target;
        const char* host;
    } cases[] = {
        {"  example.org  ", "example.org"},
        {"HTTP://Www.Example.org/path/page.html", "Www.Example.org"},
        {"http:// example.org /path", "example.org"},
        {"example.org/", "example.org"},
        {"/path", ""},
        {"http://", ""},
        {"ftp://example.org/x", "ftp:"},  // only http:// is a known prefix
        {"example.org:8080", "example.org:8080"},
        {"user@example.org", "user@example.org"},
        {"10.0.0.1", "10.0.0.1"},
        {"\t10.0.0.1\r\n", "10.0.0.1"},
        {"", ""},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(ReduceTarget(QString::fromUtf8(c.target)), QString::fromUtf8(c.host)) << c.target;
    }
}

TEST(ParseDottedAddress, SplitsIntoFourNumbers) {
    const auto octets = ParseDottedAddress(QStringLiteral(" 192.+168.1.-0"));
    ASSERT_TRUE(octets.has_value());
    EXPECT_EQ(*octets, (std::array<int, 4>{192, 168, 1, 0}));
    for (const char* text : {"1.2.3.256", "1.-2.3.4"}) {
        const auto refused = ParseDottedAddress(QString::fromUtf8(text));
        ASSERT_FALSE(refused.has_value()) << text;
        EXPECT_EQ(refused.code(), ErrorCode::OutOfRange) << text;
    }
}

// The failure carries the text the page shows through the general error report.
TEST(ParseDottedAddress, NamesTheFirstUnreadablePart) {
    const struct {
        const char* text;
        const char* message;
    } cases[] = {
        {"1.2.3.4.5", "'4.5' is not a valid integer value"},
        {"1.2.3", "'' is not a valid integer value"},
        {"1234", "'' is not a valid integer value"},
        {"1.x.3.4", "'x' is not a valid integer value"},
        {"1.2.3.4 ", "'4 ' is not a valid integer value"},
        {"1.2.3.99999999999", "'99999999999' is not a valid integer value"},
        {"1.2.3.\u00e9", "'\u00e9' is not a valid integer value"},
        {"1.999.x.4", "'x' is not a valid integer value"},  // before the range is looked at
    };
    for (const auto& c : cases) {
        const auto refused = ParseDottedAddress(QString::fromUtf8(c.text));
        ASSERT_FALSE(refused.has_value()) << c.text;
        EXPECT_EQ(refused.code(), ErrorCode::InvalidInput) << c.text;
        EXPECT_EQ(QString::fromStdString(refused.error().text), QString::fromUtf8(c.message))
            << c.text;
    }
}

TEST(Resolve, LoopbackBothWays) {
    // localhost is the one name tests may resolve outside the lab.
    EXPECT_EQ(ResolveName(QStringLiteral("localhost")), QStringLiteral("127.0.0.1"));
    EXPECT_NE(ResolveAddress(QStringLiteral("127.0.0.1")), kLookupFailed);
}

// Texts of digits and dots are answered without the resolver, as gethostbyname answers them:
// the dotted conversion, or no such host.
TEST(Resolve, FirstAddressOfDottedTextAndLocalhost) {
    const auto loopback = ResolveFirstAddress("localhost");
    ASSERT_TRUE(loopback.has_value()) << loopback.error().text;
    EXPECT_EQ(*loopback, htonl(0x7f000001));
    const auto shortForm = ResolveFirstAddress("127.1");
    ASSERT_TRUE(shortForm.has_value());
    EXPECT_EQ(*shortForm, htonl(0x7f000001));
    for (const char* text : {"1.2.3.4.5", "300.1.1.1"}) {
        const auto refused = ResolveFirstAddress(text);
        ASSERT_FALSE(refused.has_value()) << text;
        EXPECT_EQ(refused.code(), ErrorCode::HostNotFound) << text;
    }
}

TEST(Resolve, RejectedAddressTextIsAFailureWithoutAQuery) {
    EXPECT_EQ(ResolveAddress(QStringLiteral("300.1.1.1")), kLookupFailed);
    EXPECT_EQ(ResolveAddress(QString()), kLookupFailed);
    EXPECT_EQ(ResolveAddress(QStringLiteral("not an address")), kLookupFailed);
}

}  // namespace
}  // namespace quendrix
