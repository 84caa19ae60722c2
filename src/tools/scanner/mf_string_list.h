// The website scanner's sorted text set: the addresses and hosts of a scan and the filter words.
// Texts are bytes, compared with only the letters a-z folded to A-Z, so two addresses that differ
// only in the letter case of those letters are one entry.
//
// The entries are an indexed sequence, kept in blocks of at most kMaxBlock entries with the index
// of each block's first entry beside it: an insertion or deletion moves the entries of one block
// and the start indexes after it, not half the list, so a scan with tens of thousands of known
// addresses still inserts a new one in well under a microsecond. Indexes are positions in the whole
// sequence, as they would be in one array.
#pragma once

#include <cstddef>
#include <cstdint>
#include <iterator>
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

    // A block splits in two when it would grow beyond this; a block that falls below a quarter
    // of it merges with a neighbour when the two fit in one.
    static constexpr std::size_t kMaxBlock = 512;

    // The entries in index order, for a range-for; valid until the list changes.
    class EntryRange {
      public:
        class Iterator {
          public:
            using iterator_category = std::forward_iterator_tag;
            using value_type = Entry;
            using difference_type = std::ptrdiff_t;
            using pointer = const Entry*;
            using reference = const Entry&;

            Iterator() = default;
            reference operator*() const { return (*m_blocks)[m_block][m_offset]; }
            pointer operator->() const { return &**this; }
            Iterator& operator++();
            Iterator operator++(int) {
                Iterator before = *this;
                ++*this;
                return before;
            }
            bool operator==(const Iterator& other) const {
                return m_block == other.m_block && m_offset == other.m_offset;
            }

          private:
            friend class EntryRange;
            Iterator(const std::vector<std::vector<Entry>>* blocks, std::size_t block)
                : m_blocks(blocks), m_block(block) {}
            const std::vector<std::vector<Entry>>* m_blocks = nullptr;
            std::size_t m_block = 0;
            std::size_t m_offset = 0;
        };

        Iterator begin() const { return Iterator(m_blocks, 0); }
        Iterator end() const { return Iterator(m_blocks, m_blocks->size()); }
        std::size_t size() const { return m_count; }
        bool empty() const { return m_count == 0; }

      private:
        friend class TMFStringList;
        EntryRange(const std::vector<std::vector<Entry>>* blocks, std::size_t count)
            : m_blocks(blocks), m_count(count) {}
        const std::vector<std::vector<Entry>>* m_blocks;
        std::size_t m_count;
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
    void Clear();
    void Reserve(std::size_t count) { m_blocks.reserve(count / (kMaxBlock / 2) + 1); }
    // Replaces the entries by the lines of `text`: a line ends at CR, LF or CR LF; lines are not
    // trimmed; a last line end adds no empty entry.
    void SetText(std::string_view text);

    std::size_t Count() const { return m_count; }
    bool Empty() const { return m_count == 0; }
    const std::string& operator[](std::size_t index) const { return At(index).text; }
    Value GetValue(std::size_t index) const { return At(index).value; }
    void SetValue(std::size_t index, Value value) { At(index).value = value; }
    EntryRange Entries() const { return EntryRange(&m_blocks, m_count); }

  private:
    struct Place {
        std::size_t block = 0;
        std::size_t offset = 0;
    };
    // The block holding `index` (< Count()) and the offset in it.
    Place Find(std::size_t index) const;
    const Entry& At(std::size_t index) const;
    Entry& At(std::size_t index);
    // Adds `delta` to the start index of every block after `block`.
    void ShiftStarts(std::size_t block, std::ptrdiff_t delta);
    void SplitIfFull(std::size_t block);
    void MergeIfSmall(std::size_t block);
    // Rebuilds the blocks from one array in index order.
    void Assign(std::vector<Entry> entries);

    // Never an empty block: the iterator and Find rely on it.
    std::vector<std::vector<Entry>> m_blocks;
    // m_starts[b] is the index of the first entry of block b.
    std::vector<std::size_t> m_starts;
    std::size_t m_count = 0;
};

inline TMFStringList::EntryRange::Iterator& TMFStringList::EntryRange::Iterator::operator++() {
    if (++m_offset == (*m_blocks)[m_block].size()) {
        ++m_block;
        m_offset = 0;
    }
    return *this;
}

}  // namespace quendrix
