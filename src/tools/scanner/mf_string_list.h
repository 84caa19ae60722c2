// The website scanner's sorted text set: the addresses and hosts of a scan and the filter words.
// Texts are bytes, compared with only the letters a-z folded to A-Z, so two addresses that differ
// only in the letter case of those letters are one entry.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace quendrix {

class TMFStringList {
  public:
    // A value an entry may carry for its owner; 0 is "none".
    using Value = std::intptr_t;
    struct Entry {
        std::string text;
        Value value = 0;
    };
    struct Position {
        bool found = false;
        // The equal entry's index when found, else the index at which the text keeps the order.
        std::size_t index = 0;
    };

    // Byte by byte after folding a-z (and only those) to upper case; a prefix is the smaller.
    // Negative, zero or positive.
    static int Compare(std::string_view a, std::string_view b);

    // Binary search over the list, which must be in order. When the text is absent and `insert`
    // is set, it is inserted at its place with no value.
    Position Locate(std::string_view text, bool insert);
    // Deletes every empty entry, then puts the rest in order (equal entries keep their order).
    void Sort();

    // Appends without regard to the order (Sort puts it right).
    void Add(std::string text, Value value = 0);
    void Insert(std::size_t index, std::string text, Value value = 0);
    void Delete(std::size_t index);
    void Clear() { m_entries.clear(); }
    void Reserve(std::size_t count) { m_entries.reserve(count); }
    // Replaces the entries by the lines of `text`: a line ends at CR, LF or CR LF; lines are not
    // trimmed; a last line end adds no empty entry.
    void SetText(std::string_view text);

    std::size_t Count() const { return m_entries.size(); }
    bool Empty() const { return m_entries.empty(); }
    const std::string& operator[](std::size_t index) const { return m_entries[index].text; }
    Value GetValue(std::size_t index) const { return m_entries[index].value; }
    void SetValue(std::size_t index, Value value) { m_entries[index].value = value; }
    const std::vector<Entry>& Entries() const { return m_entries; }

  private:
    std::vector<Entry> m_entries;
};

}  // namespace quendrix
