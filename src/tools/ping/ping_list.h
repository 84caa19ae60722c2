// The ways the Batch Ping page fills its list in one step, as plain functions the page and
// the command line share: one address or the neighbourhood around it, and an address range
// whose addresses share their first three octets.
#pragma once

#include <QString>
#include <QStringList>

namespace quendrix {

struct PingListFill {
    enum class Outcome {
        Filled,          // entries is the new list (the address, a whole neighbourhood, a range)
        NothingTyped,    // the address box is empty: nothing happens
        BadAddress,      // a number outside 0..255: "Please enter the correct IP address!"
        BelowZero,       // the neighbourhood would reach below 0.0.0.0: the list is emptied
        PastTheEnd,      // the neighbourhood would pass 255.255.255.255: cut off there
        NumberOutside,   // "From" or "To" outside 0..255
        NotWholeNumber,  // "From" or "To" is not a whole number
        NotANumber,      // a part of the address is not a whole number: message says which
    };
    Outcome outcome = Outcome::Filled;
    QStringList entries;
    // With NotANumber, the text the page shows through the general error report.
    QString message;
    // True when the list is to be replaced by entries.
    bool replacesList() const {
        return outcome == Outcome::Filled || outcome == Outcome::BelowZero ||
               outcome == Outcome::PastTheEnd;
    }
};

inline const QString kBadAddressMessage = QStringLiteral("Please enter the correct IP address!");
// The range messages differ by one trailing blank: two for a number outside 0..255, one for
// a text that is not a number.
inline const QString kRangeOutsideMessage = QStringLiteral("Please insert number 0-255!  ");
inline const QString kRangeNotNumberMessage = QStringLiteral("Please insert number 0-255! ");

// The list for a typed address: the text itself as the one entry, or with `neighbourhood`
// the size + 1 addresses around it. A part that is not a whole number gives NotANumber with
// the text ParseDottedAddress gives.
PingListFill PingAddressList(const QString& typed, bool neighbourhood, int size);

// The entries prefix + "." + k for k from `from` to `to` (none when from > to); prefix as
// typed, not checked.
PingListFill PingRangeList(const QString& prefix, const QString& from, const QString& to);

}  // namespace quendrix
