// The IP owner table built into the program, and the look-up over it.
#include "core/owner_table.h"

#include <cstdlib>
#include <type_traits>

#include "core/owner_table_generated.h"

namespace quendrix::whereis {

void detail::invalidOwnerTable(const char* /*why*/) {
    // Only reachable for a table built at run time from broken lists: a programming error.
    std::abort();
}

namespace {

// The first level: one entry per first octet, or per range of them, that has an owner text.
// The texts are kept exactly as they have always been shown, odd spellings and the blank after
// the Xerox text included. First octets 173 to 191, 220 to 222 and 240 to 255 have nothing.
constexpr FirstLevelEntry kFirstLevel[] = {
    {0, 0, QUENDRIX_OWNER("United States")},
    {1, 1, QUENDRIX_OWNER("United States")},
    {2, 2, QUENDRIX_OWNER("United States")},
    {3, 3, QUENDRIX_OWNER("General Electric Company, NJ (NET-GE-INTERNET)")},
    {4, 4, QUENDRIX_OWNER("Bolt Beranek and Newman Inc. - BBN Planet, MA (NET-SATNET)")},
    {5, 5, QUENDRIX_OWNER("Internet Assigned Numbers Authority (IANA) (NET-RESERVED-5)")},
    {6, 6,
     QUENDRIX_OWNER(
         "Army Information Systems Center - USAISC, Yuma Proving Ground, AZ (NET-YPG-NET)")},
    {7, 7, QUENDRIX_OWNER("Defense Information Systems Agency, VA (NET-DISANET2)")},
    {8, 8, QUENDRIX_OWNER("Bolt Beranek and Newman Inc., MA (NET-BBN-NET-TEMP)")},
    {9, 9, QUENDRIX_OWNER("IBM Corporation, NY (NET-IBM)")},
    {10, 10, QUENDRIX_OWNER("United States")},
    {11, 11,
     QUENDRIX_OWNER(
         "DoD Intel Information Systems, Defense Intelligence Agency, Washington DC (NET-DODIIS)")},
    {12, 12, QUENDRIX_OWNER("AT&T (NET-ATT)")},
    {13, 13, QUENDRIX_OWNER("Xerox Palo Alto Research Center, CA (NET-XEROX-NET) ")},
    {14, 14, QUENDRIX_OWNER("Public Data Network, US (NET-PDN)")},
    {15, 15, QUENDRIX_OWNER("Hewlett-Packard Company, CA (NET-HP-INTERNET)")},
    {16, 16, QUENDRIX_OWNER("Digital Equipment Corporation (NET-DEC-INTERNET)")},
    {17, 17, QUENDRIX_OWNER("Apple Computer Inc., CA (NET-APPLE-WWNET)")},
    {18, 18, QUENDRIX_OWNER("Massachusetts Institute of Technology, MA (NET-MIT-TEMP)")},
    {19, 19, QUENDRIX_OWNER("Ford Motor Company, MI (NET-FINET)")},
    {20, 20, QUENDRIX_OWNER("Computer Sciences Corporation, VA (NET-CSC)")},
    {21, 21, QUENDRIX_OWNER("US Defense Information Systems Agency (DDN-RVN), VA (NET-DDN-RVN)")},
    {22, 22, QUENDRIX_OWNER("Defense Information Systems Agency, Washington DC (NET-DISNET))")},
    {23, 23, QUENDRIX_OWNER("IANA (reserved) (NET-DDN-TC-NET) (RESERVED-23)")},
    {24, 24, QUENDRIX_OWNER("United States")},
    {25, 25, QUENDRIX_OWNER("Royal Signals and Radar Establishment, UK (NET-RSRE-EXP)")},
    {26, 26, QUENDRIX_OWNER("Defense Information Systems Agency, VA (NET-MILNET)")},
    {27, 27, QUENDRIX_OWNER("United States")},
    {28, 28, QUENDRIX_OWNER("ARPA DSI JPO, VA (NET-DSI-NORTH)")},
    {29, 29, QUENDRIX_OWNER("Defense Information Systems Agency, Washington DC (NET-MILX25-TEMP)")},
    {30, 30,
     QUENDRIX_OWNER("Defense Information Systems Agency, Washington DC (NET-ARPAX25-TEMP)")},
    {31, 31, QUENDRIX_OWNER("IANA (RESERVED-12)")},
    {32, 32, QUENDRIX_OWNER("IBM Global Services, NH (NETBLK-IBMGLOBALSERV)")},
    {33, 33, QUENDRIX_OWNER("DLA Systems Automation Center, OH (NET-DCMC)")},
    {34, 34, QUENDRIX_OWNER("Halliburton Company, TX (NET-HALLIBURTON)")},
    {35, 35, QUENDRIX_OWNER("MERIT Network Inc., MI (NET-MERIT)")},
    {36, 36, QUENDRIX_OWNER("Stanford University, CA (NET-SU-NET-TEMP)")},
    {37, 37, QUENDRIX_OWNER("United States")},
    {38, 38, QUENDRIX_OWNER("Performance Systems International, VA (NET-PSINETA)")},
    {39, 39, QUENDRIX_OWNER("United States")},
    {40, 40, QUENDRIX_OWNER("Eli Lilly and Company, IN (NET-LILLY-NET)")},
    {41, 41, QUENDRIX_OWNER("United States")},
    {42, 42, QUENDRIX_OWNER("United States")},
    {43, 43, QUENDRIX_OWNER("Japan Inet, Japan (NET-JAPAN-A)")},
    {44, 44, QUENDRIX_OWNER("Amateur Radio Digital Communications (NET-AMPRNET)")},
    {45, 45, QUENDRIX_OWNER("Interop Show Network, CA (NET-SHOWNETA)")},
    {46, 46, QUENDRIX_OWNER("Bolt Beranek and Newman Inc., MA (NET-BBNNET)")},
    {47, 47, QUENDRIX_OWNER("Canada (Bell-Northern Research)")},
    {48, 48, QUENDRIX_OWNER("Prudential Securities Inc., NY (NET-PRUBACHE)")},
    {49, 49,
     QUENDRIX_OWNER(
         "Joint Tactical Command, Control, and Communications Agency, AZ (NET-JITCNET1)")},
    {50, 50,
     QUENDRIX_OWNER(
         "Joint Tactical Command, Control, and Communications Agency, AZ (NET-JITCNET2)")},
    {51, 51, QUENDRIX_OWNER("Great Britain(Department of Social Security of UK)")},
    {52, 52, QUENDRIX_OWNER("Germany")},
    {53, 53, QUENDRIX_OWNER("Germany")},
    {54, 54, QUENDRIX_OWNER("Merck and Co., Inc., NJ (NET-MERCK2)")},
    {55, 55, QUENDRIX_OWNER("Army National Guard Bureau, VA (NET-RCAS2)")},
    {56, 56, QUENDRIX_OWNER("United States")},
    {57, 57, QUENDRIX_OWNER("France")},
    {58, 58, QUENDRIX_OWNER("United States")},
    {59, 59, QUENDRIX_OWNER("United States")},
    {60, 60, QUENDRIX_OWNER("United States")},
    {63, 127, QUENDRIX_OWNER("United States")},
    {128, 172, QUENDRIX_OWNER("United States")},
    {196, 196, QUENDRIX_OWNER("South Africa/Caribbean")},
    {197, 197, QUENDRIX_OWNER("IANA (NETBLK-RESERVED-13)")},
    {198, 198, QUENDRIX_OWNER("United States")},
    {199, 199, QUENDRIX_OWNER("United States/Canada")},
    {201, 201, QUENDRIX_OWNER("Reserved for South/Central American Networks")},
    {204, 209, QUENDRIX_OWNER("United States/Canada")},
    {214, 214, QUENDRIX_OWNER("DoD Network Information Center, VA (NETBLK-DDN-NIC15)")},
    {215, 215, QUENDRIX_OWNER("DoD Network Information Center, VA (NETBLK-DDN-NIC15)")},
    {216, 216, QUENDRIX_OWNER("United States/Canada")},
    {218, 218, QUENDRIX_OWNER("Asia Pacific")},
    {219, 219, QUENDRIX_OWNER("United States")},
    {223, 223, QUENDRIX_OWNER("IANA (RESERVED-5) RESERVED")},
    {224, 239, QUENDRIX_OWNER("University of Southern California (NET-MCAST-NET)")},
};

constexpr OwnerEntry kSubTable61[] = {
    {OwnerKey::single(8), QUENDRIX_OWNER("Australia")},
    {OwnerKey::single(128), QUENDRIX_OWNER("China")},
};

// 53 to 127 have no entry.
constexpr OwnerEntry kSubTable200[] = {
    {OwnerKey::range(0, 16), QUENDRIX_OWNER("South/Central American")},
    {OwnerKey::range(17, 20), QUENDRIX_OWNER("Brazilian")},
    {OwnerKey::range(21, 24), QUENDRIX_OWNER("South/Central American")},
    {OwnerKey::single(25), QUENDRIX_OWNER("Columbia")},
    {OwnerKey::single(26), QUENDRIX_OWNER("Argentina")},
    {OwnerKey::single(27), QUENDRIX_OWNER("South/Central American")},
    {OwnerKey::single(28), QUENDRIX_OWNER("Chilean")},
    {OwnerKey::range(29, 32), QUENDRIX_OWNER("South/Central American")},
    {OwnerKey::range(33, 38), QUENDRIX_OWNER("Mexico")},
    {OwnerKey::range(39, 41), QUENDRIX_OWNER("South/Central American")},
    {OwnerKey::range(42, 43), QUENDRIX_OWNER("Argentina")},
    {OwnerKey::single(44), QUENDRIX_OWNER("United States")},
    {OwnerKey::single(45), QUENDRIX_OWNER("South/Central American")},
    {OwnerKey::single(46), QUENDRIX_OWNER("Panama")},
    {OwnerKey::single(47), QUENDRIX_OWNER("Argentina")},
    {OwnerKey::range(48, 51), QUENDRIX_OWNER("South/Central American")},
    {OwnerKey::single(52), QUENDRIX_OWNER("Mexico")},
    {OwnerKey::range(128, 255), QUENDRIX_OWNER("Brazil")},
};

constexpr SubTable kSubTables[] = {
    {61, kSubTable61},
    {62, generated::kSubTable62},
    {192, generated::kSubTable192},
    {193, generated::kSubTable193},
    {194, generated::kSubTable194},
    {195, generated::kSubTable195},
    {200, kSubTable200},
    {202, generated::kSubTable202},
    {203, generated::kSubTable203},
    {210, generated::kSubTable210},
    {211, generated::kSubTable211},
    {212, generated::kSubTable212},
    {213, generated::kSubTable213},
    {217, generated::kSubTable217},
};

// Built by the compiler: constant data from the start, nothing to initialise or lock.
constexpr OwnerTable kOwnerTable{kFirstLevel, kSubTables};

constexpr bool isDigit(char16_t c) {
    return c >= u'0' && c <= u'9';
}

// Decimal digits up to the next '.', saturated at 256 so that long numbers cannot overflow.
// Returns false for a character that is not a digit; `end` stops at the '.' or the text's end.
template <typename Char>
constexpr bool readNumber(const Char* text, std::size_t size, std::size_t& end, unsigned& value) {
    value = 0;
    for (; end < size && text[end] != Char('.'); ++end) {
        const auto c = static_cast<char16_t>(static_cast<std::make_unsigned_t<Char>>(text[end]));
        if (!isDigit(c)) {
            return false;
        }
        value = value * 10 + (c - u'0');
        if (value > 255) {
            value = 256;
        }
    }
    return true;
}

}  // namespace

template <typename Char>
const OwnerText& OwnerTable::find(const Char* text, std::size_t size) const noexcept {
    // First octet: the text before the first '.'; without any '.' it is empty.
    std::size_t end = 0;
    unsigned first = 0;
    if (!readNumber(text, size, end, first) || end == 0 || end == size || first > 255) {
        return kNotFound;
    }
    const Slot& slot = m_slots[first];
    if (slot.text != nullptr) {
        return *slot.text;
    }
    if (slot.subTable == kNone) {
        return kNotFound;
    }

    // Second octet: between the first and the second '.'; without a second '.' it is empty.
    const std::size_t start = ++end;
    unsigned second = 0;
    if (!readNumber(text, size, end, second) || end == start || end == size || second > 255) {
        return kNotFound;
    }
    const Resolved& resolved = m_resolved[slot.subTable];
    const bool leadingZero = text[start] == Char('0') && end - start > 1;
    const std::uint16_t entry = leadingZero ? resolved.byValue[second] : resolved.exact[second];
    if (entry == kNoEntry) {
        return kNotFound;
    }
    return m_subTables[slot.subTable].entries[entry].text;
}

const OwnerText& OwnerTable::lookup(QStringView address) const noexcept {
    return find(address.utf16(), static_cast<std::size_t>(address.size()));
}

const OwnerText& OwnerTable::lookup(std::string_view address) const noexcept {
    return find(address.data(), address.size());
}

const OwnerTable& ownerTable() {
    return kOwnerTable;
}

QString LookupOwner(QStringView address) {
    return kOwnerTable.lookup(address).toQString();
}

std::string_view LookupOwner(std::string_view address) {
    return kOwnerTable.lookup(address).utf8;
}

}  // namespace quendrix::whereis
