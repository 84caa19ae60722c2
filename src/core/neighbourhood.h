// The IP neighbourhood: the addresses around a given one, built by arithmetic on the 32-bit
// value so that carries and borrows between octets fall out by themselves.
#pragma once

#include <QStringList>

#include <array>

namespace quendrix {

struct Neighbourhood {
    enum class Outcome {
        Complete,    // all size + 1 addresses
        BelowZero,   // would reach 0.0.0.0 or below: no addresses
        PastTheEnd,  // would pass 255.255.255.255: the list stops there
    };
    Outcome outcome = Outcome::Complete;
    QStringList addresses;  // ascending, dotted text without leading zeros
};

// The size + 1 addresses from A - size/2 to A + size/2 (size is even).
Neighbourhood BuildNeighbourhood(const std::array<int, 4>& octets, int size);

}  // namespace quendrix
