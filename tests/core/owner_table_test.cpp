// The IP owner table: look-ups in the built-in table, its shape, and the rules for keys and
// overlapping entries on a small table of our own.
#include "core/owner_table.h"

#include <QString>

#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <string>
#include <thread>
#include <vector>

namespace quendrix::whereis {
namespace {

struct Case {
    const char* address;
    const char* owner;
};

const Case kBuiltInCases[] = {
    // Nothing usable.
    {"X", "X"},
    {"", "X"},
    {"61", "X"},  // no "." at all: the first octet text is empty
    {"10", "X"},
    {".10.0.0", "X"},
    {"abc.1.2.3", "X"},
    {" 10.0.0.1", "X"},
    {"+10.0.0.1", "X"},
    {"256.0.0.1", "X"},
    {"99999999999999999999999.0.0.1", "X"},
    // The first level: the second octet plays no part.
    {"3.0.0.1", "General Electric Company, NJ (NET-GE-INTERNET)"},
    {"3.x.0.1", "General Electric Company, NJ (NET-GE-INTERNET)"},
    {"3.", "General Electric Company, NJ (NET-GE-INTERNET)"},
    {"10.0.0.1", "United States"},
    {"127.0.0.1", "United States"},
    {"128.0.0.1", "United States"},
    {"172.16.0.1", "United States"},
    {"173.0.0.1", "X"},
    {"191.255.0.1", "X"},
    {"13.1.1.1", "Xerox Palo Alto Research Center, CA (NET-XEROX-NET) "},
    {"22.1.1.1", "Defense Information Systems Agency, Washington DC (NET-DISNET))"},
    {"218.1.2.3", "Asia Pacific"},
    {"221.1.2.3", "X"},
    {"224.0.0.1", "University of Southern California (NET-MCAST-NET)"},
    {"239.255.255.255", "University of Southern California (NET-MCAST-NET)"},
    {"240.0.0.1", "X"},
    {"255.255.255.255", "X"},
    // Leading zeros in the first octet: its number decides.
    {"010.0.0.1", "United States"},
    {"00000000000000000000000003.0.0.1", "General Electric Company, NJ (NET-GE-INTERNET)"},
    // Sub-tables: single keys match the octet text exactly.
    {"61.8.0.1", "Australia"},
    {"61.128.5.5", "China"},
    {"61.9.0.1", "X"},
    {"61.8", "X"},  // no second ".": the second octet text is empty
    {"61.8.", "Australia"},
    {"61..0.1", "X"},
    {"61.x.0.1", "X"},
    {"61.-8.0.1", "X"},
    {"61.08.0.1", "X"},
    {"061.8.0.1", "Australia"},
    // Ranges match the octet's value, leading zeros or not.
    {"200.0.0.1", "South/Central American"},
    {"200.00.0.1", "South/Central American"},
    {"200.16.0.1", "South/Central American"},
    {"200.17.0.1", "Brazilian"},
    {"200.017.0.1", "Brazilian"},
    {"200.25.0.1", "Columbia"},
    {"200.025.0.1", "X"},
    {"200.52.0.1", "Mexico"},
    {"200.53.0.1", "X"},
    {"200.127.0.1", "X"},
    {"200.128.0.1", "Brazil"},
    {"200.255.0.1", "Brazil"},
    {"200.0255.0.1", "Brazil"},
    {"200.256.0.1", "X"},
    {"200.99999999999999999999.0.1", "X"},
    // The regional sub-tables: a set member, a range, a text that is not ASCII.
    {"62.90.1.1", "Israel"},
    {"62.090.1.1", "X"},
    {"62.225.0.1", "Germany"},
    {"62.0225.0.1", "Germany"},
    {"62.244.1.1", "Türkiye"},
};

TEST(LookupOwner, GivesTheOwnerTextOfAnAddressInBothEncodings) {
    for (const Case& c : kBuiltInCases) {
        SCOPED_TRACE(c.address);
        EXPECT_EQ(LookupOwner(QString::fromUtf8(c.address)), QString::fromUtf8(c.owner));
        EXPECT_EQ(LookupOwner(std::string_view(c.address)), std::string_view(c.owner));
    }
}

TEST(LookupOwner, TakesOnlyAsciiDigitsAsNumbers) {
    // Arabic-Indic and full-width digits are digits to Unicode, not to an address.
    EXPECT_EQ(LookupOwner(QStringView(u"\u0661\u0660.0.0.1")), QStringLiteral("X"));
    EXPECT_EQ(LookupOwner(QStringView(u"\uFF11\uFF10.0.0.1")), QStringLiteral("X"));
    EXPECT_EQ(LookupOwner(QStringView(u"61.\u0668.0.1")), QStringLiteral("X"));
}

// Every first and second octet, written canonically and with a leading zero, against a plain
// reading of the entry lists: the last covering entry decides.
TEST(OwnerTable, BuiltInTableAgreesWithItsEntryListsForEverySecondOctet) {
    const OwnerTable& table = ownerTable();
    for (int first = 0; first < 256; ++first) {
        const OwnerText* firstLevel = &kNotFound;
        for (const FirstLevelEntry& entry : table.firstLevel()) {
            if (entry.lowest <= first && first <= entry.highest) {
                firstLevel = &entry.text;
            }
        }
        const auto sub = std::find_if(table.subTables().begin(), table.subTables().end(),
                                      [&](const SubTable& s) { return s.firstOctet == first; });
        for (int second = 0; second < 256; ++second) {
            const OwnerText* canonical = firstLevel;
            const OwnerText* padded = firstLevel;
            if (sub != table.subTables().end()) {
                canonical = padded = &kNotFound;
                for (const OwnerEntry& entry : sub->entries) {
                    const OwnerKey& key = entry.key;
                    const bool inRange = key.low <= second && second <= key.high;
                    if (key.kind == OwnerKey::Kind::Set) {
                        if (std::find(key.members.begin(), key.members.end(), second) !=
                            key.members.end()) {
                            canonical = &entry.text;
                        }
                    } else if (inRange) {
                        canonical = &entry.text;
                        if (key.kind == OwnerKey::Kind::Range) {
                            padded = &entry.text;
                        }
                    }
                }
            }
            const std::string address = std::to_string(first) + '.' + std::to_string(second);
            ASSERT_EQ(table.lookup(std::string_view(address + ".7.9")).utf8, canonical->utf8)
                << address;
            const std::string zero = std::to_string(first) + ".0" + std::to_string(second);
            ASSERT_EQ(table.lookup(std::string_view(zero + ".7.9")).utf8, padded->utf8) << zero;
        }
    }
}

TEST(OwnerTable, BuiltInTableHasItsSizes) {
    const OwnerTable& table = ownerTable();

    std::vector<std::pair<int, int>> ranges;
    for (const FirstLevelEntry& entry : table.firstLevel()) {
        if (entry.lowest != entry.highest) {
            ranges.emplace_back(entry.lowest, entry.highest);
        }
    }
    EXPECT_EQ(table.firstLevel().size(), 76u);
    EXPECT_EQ(ranges,
              (std::vector<std::pair<int, int>>{{63, 127}, {128, 172}, {204, 209}, {224, 239}}));

    std::map<int, std::size_t> sizes;
    std::size_t total = table.firstLevel().size();
    for (const SubTable& sub : table.subTables()) {
        sizes[sub.firstOctet] = sub.entries.size();
        total += sub.entries.size();
    }
    const std::map<int, std::size_t> expected = {
        {61, 2},   {62, 68},  {192, 54}, {193, 124}, {194, 200}, {195, 228}, {200, 18},
        {202, 29}, {203, 18}, {210, 28}, {211, 6},   {212, 120}, {213, 159}, {217, 16}};
    EXPECT_EQ(sizes, expected);
    EXPECT_EQ(total, 1146u);
}

TEST(OwnerTable, BothEncodingsOfEveryTextAgree) {
    const OwnerTable& table = ownerTable();
    auto check = [](const OwnerText& text) {
        EXPECT_EQ(QString::fromUtf8(text.utf8.data(), static_cast<qsizetype>(text.utf8.size())),
                  text.toQString());
        EXPECT_FALSE(text.utf8.empty());
    };
    for (const FirstLevelEntry& entry : table.firstLevel()) {
        check(entry.text);
    }
    for (const SubTable& sub : table.subTables()) {
        for (const OwnerEntry& entry : sub.entries) {
            check(entry.text);
        }
    }
}

// A small table where entries overlap: the later entry decides, on both levels.
constexpr std::uint8_t kMembers[] = {5, 7, 200};
constexpr OwnerEntry kFixtureEntries[] = {
    {OwnerKey::range(0, 255), QUENDRIX_OWNER("Wide")},
    {OwnerKey::set(kMembers), QUENDRIX_OWNER("Set")},
    {OwnerKey::range(6, 9), QUENDRIX_OWNER("Narrow")},
    {OwnerKey::single(9), QUENDRIX_OWNER("Single")},
};
constexpr FirstLevelEntry kFixtureFirstLevel[] = {
    {1, 3, QUENDRIX_OWNER("Early")},
    {2, 2, QUENDRIX_OWNER("Late")},
};
constexpr SubTable kFixtureSubTables[] = {{10, kFixtureEntries}};
constexpr OwnerTable kFixture{kFixtureFirstLevel, kFixtureSubTables};

TEST(OwnerTable, LaterEntriesWinWhereTheyOverlap) {
    const Case cases[] = {
        {"1.0.0.0", "Early"},    {"2.0.0.0", "Late"},    {"3.0.0.0", "Early"},
        {"4.0.0.0", "X"},        {"10.4.0.0", "Wide"},   {"10.5.0.0", "Set"},
        {"10.05.0.0", "Wide"},   {"10.7.0.0", "Narrow"}, {"10.9.0.0", "Single"},
        {"10.09.0.0", "Narrow"}, {"10.200.0.0", "Set"},  {"10.0200.0.0", "Wide"},
        {"10.255.0.0", "Wide"},  {"10.256.0.0", "X"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(kFixture.lookup(std::string_view(c.address)).utf8, std::string_view(c.owner))
            << c.address;
    }
}

// The look-up workers of the country page call in from several threads at once.
TEST(LookupOwner, GivesTheSameAnswersOnManyThreadsAtOnce) {
    std::vector<QString> addresses;
    std::vector<QString> expected;
    for (int first = 0; first < 256; ++first) {
        for (int second = 0; second < 256; second += 3) {
            addresses.push_back(QStringLiteral("%1.%2.0.1").arg(first).arg(second));
            expected.push_back(LookupOwner(addresses.back()));
        }
    }
    std::vector<int> mismatches(4, 0);
    std::vector<std::thread> threads;
    for (std::size_t t = 0; t < mismatches.size(); ++t) {
        threads.emplace_back([&, t] {
            for (std::size_t i = 0; i < addresses.size(); ++i) {
                if (LookupOwner(addresses[i]) != expected[i]) {
                    ++mismatches[t];
                }
            }
        });
    }
    for (std::thread& thread : threads) {
        thread.join();
    }
    EXPECT_EQ(mismatches, std::vector<int>(4, 0));
}

}  // namespace
}  // namespace quendrix::whereis
