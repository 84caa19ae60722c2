// Forward and reverse look-ups through the real system resolver against the DNS lab's names
// (tests/lab/dns-lab). Runs only inside the lab: `tests/lab/lab-run dns resolver_lab_test`,
// which is how ctest -L lab starts it.
#include "net/resolver.h"
#include "support/dns_lab.h"

#include <netdb.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <atomic>
#include <climits>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <optional>
#include <string>
#include <thread>
#include <vector>

namespace quendrix::net {
namespace {

std::string thisHostName() {
    char name[HOST_NAME_MAX + 1] = {};
    gethostname(name, sizeof name - 1);
    return name;
}

// The name a reverse look-up found; nullopt when it failed.
std::optional<std::string> nameOf(const Result<std::string>& name) {
    return name ? std::optional<std::string>(*name) : std::nullopt;
}

std::vector<std::string> dotted(const std::vector<std::uint32_t>& addresses) {
    std::vector<std::string> out;
    for (const auto address : addresses) {
        out.push_back(addressToDottedText(address));
    }
    return out;
}

class ResolverLab : public ::testing::Test {
  protected:
    void SetUp() override { ASSERT_TRUE(test::InsideDnsLab()) << test::kOutsideDnsLab; }
};

struct ForwardCase {
    std::string name;
    std::string officialName;
    std::vector<std::string> addresses;  // in the order the lab serves them
};

const std::vector<ForwardCase>& forwardCases() {
    static const std::vector<ForwardCase> cases = {
        {"one.lab.test", "one.lab.test", {"10.250.1.1"}},
        // Neither ascending nor descending: a resolver that re-sorts shows here.
        {"two.lab.test", "two.lab.test", {"10.250.1.21", "10.250.1.12"}},
        {"three.lab.test", "three.lab.test", {"10.250.1.32", "10.250.1.13", "10.250.1.23"}},
        {"alias.lab.test", "three.lab.test", {"10.250.1.32", "10.250.1.13", "10.250.1.23"}},
        {"10.250.1.99", "10.250.1.99", {"10.250.1.99"}},
    };
    return cases;
}

struct ReverseCase {
    std::string address;
    std::optional<std::string> name;
};

const std::vector<ReverseCase>& reverseCases() {
    static const std::vector<ReverseCase> cases = {
        {"10.250.1.1", "one.lab.test"},  {"10.250.1.12", "two.lab.test"},
        {"10.250.1.21", "two.lab.test"}, {"10.250.1.23", "three.lab.test"},
        {"10.250.1.99", std::nullopt},   {"10.250.2.1", std::nullopt},
    };
    return cases;
}

TEST_F(ResolverLab, ForwardGivesOfficialNameAndEveryAddressInServedOrder) {
    for (const auto& c : forwardCases()) {
        SCOPED_TRACE(c.name);
        const auto entry = lookupHost(c.name);
        ASSERT_TRUE(entry.has_value());
        EXPECT_EQ(entry->officialName, c.officialName);
        EXPECT_EQ(dotted(entry->addresses), c.addresses);
    }
}

// A name the DNS says does not exist is "host not found" with the resolver's own code and
// text, not some other failure (the trace tells the user which one it was).
TEST_F(ResolverLab, FailuresKeepTheResolversCodeAndText) {
    for (const std::string name : {"missing.lab.test", "nothing.invalid", "one.lab.test.nowhere"}) {
        SCOPED_TRACE(name);
        const auto entry = lookupHost(name);
        ASSERT_FALSE(entry.has_value());
        EXPECT_EQ(entry.code(), ErrorCode::HostNotFound);
        EXPECT_EQ(entry.error().systemError, HOST_NOT_FOUND);
        EXPECT_EQ(entry.error().text, hstrerror(HOST_NOT_FOUND));
    }
    const auto name = lookupAddress(parseDottedText("10.250.1.99").value());
    ASSERT_FALSE(name.has_value());
    EXPECT_EQ(name.code(), ErrorCode::HostNotFound);

    // A name that exists without an address is told apart from one that does not exist.
    const auto noAddress = lookupHost("text.lab.test");
    ASSERT_FALSE(noAddress.has_value());
    EXPECT_EQ(noAddress.code(), ErrorCode::NoData);
    EXPECT_EQ(noAddress.error().systemError, NO_DATA);
    EXPECT_EQ(noAddress.error().text, hstrerror(NO_DATA));
}

TEST_F(ResolverLab, ReverseFindsPtrNamesAndNothingWhereThereIsNone) {
    for (const auto& c : reverseCases()) {
        SCOPED_TRACE(c.address);
        EXPECT_EQ(nameOf(lookupAddress(parseDottedText(c.address).value())), c.name);
    }
}

TEST_F(ResolverLab, EmptyNameIsThisComputer) {
    const auto entry = lookupHost("");
    ASSERT_TRUE(entry.has_value());
    EXPECT_EQ(entry->officialName, thisHostName());
    EXPECT_EQ(dotted(entry->addresses), std::vector<std::string>{"10.250.0.77"});
    EXPECT_EQ(nameOf(lookupAddress(parseDottedText("10.250.0.77").value())), thisHostName());
}

// Several threads at once must each get their own complete answers.
TEST_F(ResolverLab, ConcurrentLookUpsStayConsistent) {
    constexpr int kThreads = 8;
    constexpr int kLookUpsPerThread = 200;
    std::atomic<int> wrong{0};
    std::atomic<int> done{0};
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t) {
        threads.emplace_back([t, &wrong, &done] {
            const auto& forward = forwardCases();
            const auto& reverse = reverseCases();
            for (int i = 0; i < kLookUpsPerThread; ++i) {
                const size_t pick = static_cast<size_t>(t * 7 + i);
                bool ok = true;
                if (i % 4 == 3) {
                    const auto& c = reverse[pick % reverse.size()];
                    ok = nameOf(lookupAddress(parseDottedText(c.address).value())) == c.name;
                } else if (i % 9 == 8) {
                    const auto missing = lookupHost("missing.lab.test");
                    ok = !missing && missing.code() == ErrorCode::HostNotFound;
                } else {
                    const auto& c = forward[pick % forward.size()];
                    const auto entry = lookupHost(c.name);
                    ok = entry && entry->officialName == c.officialName &&
                         dotted(entry->addresses) == c.addresses;
                }
                if (!ok) {
                    ++wrong;
                }
                ++done;
            }
        });
    }
    for (auto& thread : threads) {
        thread.join();
    }
    EXPECT_EQ(done.load(), kThreads * kLookUpsPerThread);
    EXPECT_EQ(wrong.load(), 0);
}

// The benchmark name set (dns-lab up --bench-names N): only when the lab was made with it.
TEST_F(ResolverLab, BenchNamesFollowTheDocumentedRule) {
    const char* count = std::getenv("QUENDRIX_LAB_BENCH_NAMES");
    const char* file = std::getenv("QUENDRIX_LAB_NAMES_FILE");
    if (count == nullptr || file == nullptr) {
        GTEST_SKIP() << "lab made without --bench-names";
    }
    const int n = std::atoi(count);
    std::ifstream names(file);
    std::vector<std::string> lines;
    for (std::string line; std::getline(names, line);) {
        lines.push_back(line);
    }
    ASSERT_EQ(lines.size(), static_cast<size_t>(n));
    for (int i = 1; i <= n; ++i) {
        char expectedName[32];
        std::snprintf(expectedName, sizeof expectedName, "bench-%06d.lab.test", i);
        SCOPED_TRACE(expectedName);
        ASSERT_EQ(lines[static_cast<size_t>(i - 1)], expectedName);
        const auto entry = lookupHost(expectedName);
        if (i % 10 == 0) {
            EXPECT_FALSE(entry.has_value());
            continue;
        }
        std::vector<std::string> expected;
        for (int j = 0; j < i % 3 + 1; ++j) {
            expected.push_back("10.250." + std::to_string(64 * (j + 1) + (i / 256) % 64) + "." +
                               std::to_string(i % 256));
        }
        ASSERT_TRUE(entry.has_value());
        EXPECT_EQ(dotted(entry->addresses), expected);
        EXPECT_EQ(nameOf(lookupAddress(parseDottedText(expected.back()).value())), expectedName);
    }
}

}  // namespace
}  // namespace quendrix::net
