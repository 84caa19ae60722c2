#include "tools/ping/ping_list.h"

#include "core/neighbourhood.h"
#include "core/target.h"

namespace quendrix {

PingListFill PingAddressList(const QString& typed, bool neighbourhood, int size) {
    PingListFill fill;
    if (typed.isEmpty()) {
        fill.outcome = PingListFill::Outcome::NothingTyped;
        return fill;
    }
    const auto octets = ParseDottedAddress(typed);
    if (!octets && octets.code() == ErrorCode::InvalidInput) {
        fill.outcome = PingListFill::Outcome::NotANumber;
        fill.message = QString::fromStdString(octets.error().text);
        return fill;
    }
    if (!octets) {
        fill.outcome = PingListFill::Outcome::BadAddress;
        return fill;
    }
    if (!neighbourhood) {
        // The text goes in as typed (blanks and all); the run reduces it when it pings.
        fill.entries = QStringList{typed};
        return fill;
    }
    Neighbourhood hood = BuildNeighbourhood(*octets, size);
    fill.entries = std::move(hood.addresses);
    switch (hood.outcome) {
        case Neighbourhood::Outcome::Complete:
            break;
        case Neighbourhood::Outcome::BelowZero:
            fill.outcome = PingListFill::Outcome::BelowZero;
            break;
        case Neighbourhood::Outcome::PastTheEnd:
            fill.outcome = PingListFill::Outcome::PastTheEnd;
            break;
    }
    return fill;
}

PingListFill PingRangeList(const QString& prefix, const QString& from, const QString& to) {
    PingListFill fill;
    const auto first = ReadWholeNumber(from);
    const auto last = ReadWholeNumber(to);
    if (!first || !last) {
        fill.outcome = PingListFill::Outcome::NotWholeNumber;
        return fill;
    }
    if (*first < 0 || *first > 255 || *last < 0 || *last > 255) {
        fill.outcome = PingListFill::Outcome::NumberOutside;
        return fill;
    }
    for (long long k = *first; k <= *last; ++k) {
        fill.entries.append(prefix + QLatin1Char('.') + QString::number(k));
    }
    return fill;
}

}  // namespace quendrix
