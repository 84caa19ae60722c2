#include "core/neighbourhood.h"

#include <gtest/gtest.h>

namespace quendrix {
namespace {

TEST(BuildNeighbourhood, CarriesAndBorrowsBetweenOctets) {
    const struct {
        std::array<int, 4> address;
        int size;
        Neighbourhood::Outcome outcome;
        int count;
        const char* first;
        const char* last;
    } cases[] = {
        {{192, 168, 1, 100},
         20,
         Neighbourhood::Outcome::Complete,
         21,
         "192.168.1.90",
         "192.168.1.110"},
        {{192, 168, 1, 5},
         20,
         Neighbourhood::Outcome::Complete,
         21,
         "192.168.0.251",
         "192.168.1.15"},
        {{192, 168, 0, 250},
         20,
         Neighbourhood::Outcome::Complete,
         21,
         "192.168.0.240",
         "192.168.1.4"},
        {{10, 0, 0, 0}, 250, Neighbourhood::Outcome::Complete, 251, "9.255.255.131", "10.0.0.125"},
        {{0, 0, 0, 10}, 20, Neighbourhood::Outcome::BelowZero, 0, "", ""},
        {{0, 0, 0, 11}, 20, Neighbourhood::Outcome::Complete, 21, "0.0.0.1", "0.0.0.21"},
        {{255, 255, 255, 250},
         20,
         Neighbourhood::Outcome::PastTheEnd,
         16,
         "255.255.255.240",
         "255.255.255.255"},
        {{255, 255, 255, 245},
         20,
         Neighbourhood::Outcome::Complete,
         21,
         "255.255.255.235",
         "255.255.255.255"},
    };
    for (const auto& c : cases) {
        const Neighbourhood result = BuildNeighbourhood(c.address, c.size);
        EXPECT_EQ(result.outcome, c.outcome) << c.first;
        ASSERT_EQ(result.addresses.size(), c.count) << c.first;
        if (c.count > 0) {
            EXPECT_EQ(result.addresses.constFirst(), QString::fromUtf8(c.first));
            EXPECT_EQ(result.addresses.constLast(), QString::fromUtf8(c.last));
        }
    }
}

}  // namespace
}  // namespace quendrix
