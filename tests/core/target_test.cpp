#include "core/target.h"
#include "core/errors.h"

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
    EXPECT_EQ(ParseDottedAddress(QStringLiteral("1.2.3.256")), std::nullopt);
    EXPECT_EQ(ParseDottedAddress(QStringLiteral("1.-2.3.4")), std::nullopt);
}

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
    };
    for (const auto& c : cases) {
        try {
            ParseDottedAddress(QString::fromUtf8(c.text));
            ADD_FAILURE() << c.text << " was accepted";
        } catch (const UserError& error) {
            EXPECT_EQ(error.message(), QString::fromUtf8(c.message)) << c.text;
        }
    }
}

TEST(Resolve, LoopbackBothWays) {
    // localhost is the one name tests may resolve outside the lab.
    EXPECT_EQ(ResolveName(QStringLiteral("localhost")), QStringLiteral("127.0.0.1"));
    EXPECT_NE(ResolveAddress(QStringLiteral("127.0.0.1")), kLookupFailed);
}

TEST(Resolve, RejectedAddressTextIsAFailureWithoutAQuery) {
    EXPECT_EQ(ResolveAddress(QStringLiteral("300.1.1.1")), kLookupFailed);
    EXPECT_EQ(ResolveAddress(QString()), kLookupFailed);
    EXPECT_EQ(ResolveAddress(QStringLiteral("not an address")), kLookupFailed);
}

}  // namespace
}  // namespace quendrix
