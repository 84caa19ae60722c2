// The target-text look-ups against the DNS lab: first address only, official names, "X".
#include "core/target.h"
#include "support/dns_lab.h"

#include <gtest/gtest.h>

namespace quendrix {
namespace {

TEST(ResolveLab, ForwardAndReverseFollowTheResolver) {
    ASSERT_TRUE(test::InsideDnsLab()) << test::kOutsideDnsLab;
    const struct {
        const char* target;
        const char* address;
    } forward[] = {
        {"one.lab.test", "10.250.1.1"},
        {"two.lab.test", "10.250.1.21"},             // first of two
        {"http://Three.Lab.Test/x", "10.250.1.32"},  // reduced by the caller, any case
        {"missing.lab.test", "X"},
        {"ftp://one.lab.test/", "X"},  // "ftp:" is what is looked up
        {"/path", "10.250.0.77"},      // empty host: this computer
    };
    for (const auto& c : forward) {
        EXPECT_EQ(ResolveName(ReduceTarget(QString::fromLatin1(c.target))),
                  QString::fromLatin1(c.address))
            << c.target;
    }
    // The failure says which: the trace shows "host not found" differently from others.
    const auto missing = ResolveFirstAddress("missing.lab.test");
    ASSERT_FALSE(missing.has_value());
    EXPECT_EQ(missing.code(), ErrorCode::HostNotFound);
    EXPECT_EQ(ResolveHost(QStringLiteral("missing.lab.test")).code(), ErrorCode::HostNotFound);

    const auto all = ResolveHost(QStringLiteral("alias.lab.test"));
    ASSERT_TRUE(all.has_value());
    EXPECT_EQ(all->officialName, QStringLiteral("three.lab.test"));
    EXPECT_EQ(all->addresses, (QStringList{"10.250.1.32", "10.250.1.13", "10.250.1.23"}));

    EXPECT_EQ(ResolveAddress(QStringLiteral("10.250.1.12")), QStringLiteral("two.lab.test"));
    EXPECT_EQ(ResolveAddress(QStringLiteral("10.250.1.99")), QStringLiteral("X"));
    EXPECT_EQ(ResolveAddress(QStringLiteral("10.250.1.256")), QStringLiteral("X"));
}

}  // namespace
}  // namespace quendrix
