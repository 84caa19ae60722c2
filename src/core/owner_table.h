// The IP owner table: the organisation, country or region that owns an IPv4 address, decided
// by its first octet and, for some first octets, its second octet. Constant data built into the
// program; looking an address up never allocates, blocks or fails, and any number of threads
// may do it at once.
#pragma once

#include <QString>
#include <QStringView>

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>
#include <string_view>

namespace quendrix::whereis {

// An owner text in both encodings its callers use: UTF-16 for QString, UTF-8 for the rest.
// Both views point at string literals, so a text lives as long as the program.
struct OwnerText {
    std::u16string_view utf16;
    std::string_view utf8;

    // A QString over the literal itself: no copy, no allocation.
    QString toQString() const {
        return QString::fromRawData(reinterpret_cast<const QChar*>(utf16.data()),
                                    static_cast<qsizetype>(utf16.size()));
    }
    friend constexpr bool operator==(const OwnerText& a, const OwnerText& b) {
        return a.utf16 == b.utf16;
    }
};

// Writes an owner text once and gets both encodings (the u"" prefix makes the literal UTF-16).
#define QUENDRIX_OWNER(text)         \
    ::quendrix::whereis::OwnerText { \
        u"" text, text               \
    }

// What the table gives for an address it has nothing for; the same letter a failed name
// resolution gives, so callers test for it by plain comparison.
inline constexpr OwnerText kNotFound = QUENDRIX_OWNER("X");

namespace detail {
// Not constexpr on purpose: reaching it while a table is built at compile time stops the build.
[[noreturn]] void invalidOwnerTable(const char* why);
}  // namespace detail

// The key of a sub-table entry: one second octet, a set of them or an inclusive range.
// A single value and each member of a set match the octet's text exactly (so "08" matches no
// key 8); a range matches the octet's numeric value.
struct OwnerKey {
    enum class Kind : std::uint8_t { Single, Set, Range };

    Kind kind = Kind::Single;
    std::uint8_t low = 0;
    std::uint8_t high = 0;
    std::span<const std::uint8_t> members;  // of a set

    static consteval OwnerKey single(int value) {
        checkOctet(value);
        return {
            Kind::Single, static_cast<std::uint8_t>(value), static_cast<std::uint8_t>(value), {}};
    }
    static consteval OwnerKey range(int lowest, int highest) {
        checkOctet(lowest);
        checkOctet(highest);
        if (lowest > highest) {
            detail::invalidOwnerTable("range upside down");
        }
        return {
            Kind::Range, static_cast<std::uint8_t>(lowest), static_cast<std::uint8_t>(highest), {}};
    }
    static consteval OwnerKey set(std::span<const std::uint8_t> values) {
        if (values.empty()) {
            detail::invalidOwnerTable("empty set");
        }
        return {Kind::Set, 0, 0, values};
    }

  private:
    static constexpr void checkOctet(int value) {
        if (value < 0 || value > 255) {
            detail::invalidOwnerTable("second octet out of range");
        }
    }
};

struct OwnerEntry {
    OwnerKey key;
    OwnerText text;
};

// One entry of the first level: the first octets lowest to highest all give `text`.
struct FirstLevelEntry {
    std::uint8_t lowest = 0;
    std::uint8_t highest = 0;
    OwnerText text;
};

// The entries that decide by the second octet, in list order, for one first octet.
struct SubTable {
    std::uint8_t firstOctet = 0;
    std::span<const OwnerEntry> entries;
};

// A table built from its entry lists, normally at compile time. The lists must outlive it
// (static arrays do). Where first-level entries overlap, or sub-table entries cover the same
// second octet, the entry that comes last in its list decides.
class OwnerTable {
  public:
    static constexpr std::size_t kMaxSubTables = 16;

    constexpr OwnerTable(std::span<const FirstLevelEntry> firstLevel,
                         std::span<const SubTable> subTables)
        : m_firstLevel(firstLevel), m_subTables(subTables) {
        if (subTables.size() > kMaxSubTables) {
            detail::invalidOwnerTable("too many sub-tables");
        }
        for (const FirstLevelEntry& entry : firstLevel) {
            if (entry.lowest > entry.highest) {
                detail::invalidOwnerTable("first-level range upside down");
            }
            for (unsigned octet = entry.lowest; octet <= entry.highest; ++octet) {
                m_slots[octet].text = &entry.text;
            }
        }
        for (std::size_t index = 0; index < subTables.size(); ++index) {
            Slot& slot = m_slots[subTables[index].firstOctet];
            if (slot.text != nullptr || slot.subTable != kNone) {
                detail::invalidOwnerTable("first octet given twice");
            }
            slot.subTable = static_cast<std::uint8_t>(index);
            resolve(subTables[index].entries, m_resolved[index]);
        }
    }

    // The owner text of a dotted address text; kNotFound for anything the table cannot use.
    const OwnerText& lookup(QStringView address) const noexcept;
    const OwnerText& lookup(std::string_view address) const noexcept;

    constexpr std::span<const FirstLevelEntry> firstLevel() const { return m_firstLevel; }
    constexpr std::span<const SubTable> subTables() const { return m_subTables; }

  private:
    static constexpr std::uint8_t kNone = 0xFF;
    static constexpr std::uint16_t kNoEntry = 0xFFFF;

    struct Slot {
        const OwnerText* text = nullptr;
        std::uint8_t subTable = kNone;
    };
    // A sub-table worked out for every second octet, so that a look-up is two array reads:
    // `exact` for octet texts without leading zeros, where every kind of key applies, and
    // `byValue` for texts with leading zeros ("08"), which only ranges can match.
    struct Resolved {
        std::array<std::uint16_t, 256> exact{};
        std::array<std::uint16_t, 256> byValue{};
    };

    static constexpr void resolve(std::span<const OwnerEntry> entries, Resolved& resolved) {
        if (entries.size() >= kNoEntry) {
            detail::invalidOwnerTable("sub-table too long");
        }
        resolved.exact.fill(kNoEntry);
        resolved.byValue.fill(kNoEntry);
        for (std::size_t index = 0; index < entries.size(); ++index) {
            const OwnerKey& key = entries[index].key;
            const auto entry = static_cast<std::uint16_t>(index);
            if (key.kind == OwnerKey::Kind::Set) {
                for (std::uint8_t member : key.members) {
                    resolved.exact[member] = entry;
                }
                continue;
            }
            for (unsigned octet = key.low; octet <= key.high; ++octet) {
                resolved.exact[octet] = entry;
                if (key.kind == OwnerKey::Kind::Range) {
                    resolved.byValue[octet] = entry;
                }
            }
        }
    }

    template <typename Char>
    const OwnerText& find(const Char* text, std::size_t size) const noexcept;

    std::span<const FirstLevelEntry> m_firstLevel;
    std::span<const SubTable> m_subTables;
    std::array<Slot, 256> m_slots{};
    std::array<Resolved, kMaxSubTables> m_resolved{};
};

// The table built into the program.
const OwnerTable& ownerTable();

// The owner text of an address as the country look-up and the IP locator show it: the given
// address text is normally a dotted address or "X" (a failed resolution), which gives "X".
QString LookupOwner(QStringView address);
// The same in UTF-8.
std::string_view LookupOwner(std::string_view address);

}  // namespace quendrix::whereis
