#include "tools/scanner/mf_string_list.h"

#include <algorithm>
#include <iterator>

namespace quendrix {
namespace {

unsigned char Fold(char c) {
    const auto byte = static_cast<unsigned char>(c);
    return byte >= 'a' && byte <= 'z' ? static_cast<unsigned char>(byte - ('a' - 'A')) : byte;
}

}  // namespace

int TMFStringList::Compare(std::string_view a, std::string_view b) {
    const std::size_t common = std::min(a.size(), b.size());
    for (std::size_t i = 0; i < common; ++i) {
        const unsigned char left = Fold(a[i]);
        const unsigned char right = Fold(b[i]);
        if (left != right) {
            return left < right ? -1 : 1;
        }
    }
    if (a.size() == b.size()) {
        return 0;
    }
    return a.size() < b.size() ? -1 : 1;
}

TMFStringList::Place TMFStringList::Find(std::size_t index) const {
    // The last block that starts at or before the index; block 0 starts at 0.
    const auto after = std::upper_bound(m_starts.begin(), m_starts.end(), index);
    const auto block = static_cast<std::size_t>(std::distance(m_starts.begin(), after)) - 1;
    return Place{block, index - m_starts[block]};
}

const TMFStringList::Entry& TMFStringList::At(std::size_t index) const {
    const Place place = Find(index);
    return m_blocks[place.block][place.offset];
}

TMFStringList::Entry& TMFStringList::At(std::size_t index) {
    const Place place = Find(index);
    return m_blocks[place.block][place.offset];
}

TMFStringList::Position TMFStringList::Locate(std::string_view text, bool insert) {
    Position position;
    // The probes of a binary search over the whole index range, so the answer (also which of
    // several equal entries is found, and where an unordered list would put the text) is the
    // one a single array gives. Late probes stay in one block: that block is kept at hand.
    std::size_t block = 0;
    std::size_t blockStart = 1;
    std::size_t blockEnd = 0;
    // Signed bounds: the upper one goes below zero when the text comes before every entry.
    std::ptrdiff_t low = 0;
    std::ptrdiff_t high = static_cast<std::ptrdiff_t>(m_count) - 1;
    while (low <= high) {
        const std::ptrdiff_t middle = (low + high) / 2;
        const auto index = static_cast<std::size_t>(middle);
        if (index < blockStart || index >= blockEnd) {
            block = Find(index).block;
            blockStart = m_starts[block];
            blockEnd = blockStart + m_blocks[block].size();
        }
        const int order = Compare(m_blocks[block][index - blockStart].text, text);
        if (order == 0) {
            position.found = true;
            position.index = index;
            return position;
        }
        if (order < 0) {
            low = middle + 1;
        } else {
            high = middle - 1;
        }
    }
    position.index = static_cast<std::size_t>(low);
    if (insert) {
        Insert(position.index, std::string(text));
    }
    return position;
}

void TMFStringList::Assign(std::vector<Entry> entries) {
    Clear();
    // Half-full blocks, so insertions into a freshly ordered list split nothing for a while.
    constexpr std::size_t fill = kMaxBlock / 2;
    m_blocks.reserve(entries.size() / fill + 1);
    m_starts.reserve(entries.size() / fill + 1);
    for (std::size_t first = 0; first < entries.size(); first += fill) {
        const std::size_t last = std::min(entries.size(), first + fill);
        m_starts.push_back(first);
        m_blocks.emplace_back(
            std::make_move_iterator(entries.begin() + static_cast<std::ptrdiff_t>(first)),
            std::make_move_iterator(entries.begin() + static_cast<std::ptrdiff_t>(last)));
    }
    m_count = entries.size();
}

void TMFStringList::Sort() {
    std::vector<Entry> entries;
    entries.reserve(m_count);
    for (std::vector<Entry>& block : m_blocks) {
        for (Entry& entry : block) {
            if (!entry.text.empty()) {
                entries.push_back(std::move(entry));
            }
        }
    }
    std::stable_sort(entries.begin(), entries.end(),
                     [](const Entry& a, const Entry& b) { return Compare(a.text, b.text) < 0; });
    Assign(std::move(entries));
}

void TMFStringList::Clear() {
    m_blocks.clear();
    m_starts.clear();
    m_count = 0;
}

void TMFStringList::Add(std::string text, Value value) {
    if (m_blocks.empty() || m_blocks.back().size() >= kMaxBlock) {
        m_starts.push_back(m_count);
        m_blocks.emplace_back();
    }
    m_blocks.back().push_back(Entry{std::move(text), value});
    ++m_count;
}

void TMFStringList::ShiftStarts(std::size_t block, std::ptrdiff_t delta) {
    for (std::size_t b = block + 1; b < m_starts.size(); ++b) {
        m_starts[b] = static_cast<std::size_t>(static_cast<std::ptrdiff_t>(m_starts[b]) + delta);
    }
}

void TMFStringList::SplitIfFull(std::size_t block) {
    std::vector<Entry>& full = m_blocks[block];
    if (full.size() <= kMaxBlock) {
        return;
    }
    const std::size_t half = full.size() / 2;
    std::vector<Entry> upper(
        std::make_move_iterator(full.begin() + static_cast<std::ptrdiff_t>(half)),
        std::make_move_iterator(full.end()));
    full.erase(full.begin() + static_cast<std::ptrdiff_t>(half), full.end());
    const std::size_t start = m_starts[block] + half;
    m_blocks.insert(m_blocks.begin() + static_cast<std::ptrdiff_t>(block) + 1, std::move(upper));
    m_starts.insert(m_starts.begin() + static_cast<std::ptrdiff_t>(block) + 1, start);
}

void TMFStringList::MergeIfSmall(std::size_t block) {
    if (m_blocks[block].size() >= kMaxBlock / 4) {
        return;
    }
    // Into the block before when both fit, else take in the block after when both fit.
    std::size_t into = block;
    if (block > 0 && m_blocks[block - 1].size() + m_blocks[block].size() <= kMaxBlock) {
        into = block - 1;
    } else if (block + 1 < m_blocks.size() &&
               m_blocks[block].size() + m_blocks[block + 1].size() <= kMaxBlock) {
        into = block;
    } else {
        return;
    }
    std::vector<Entry>& target = m_blocks[into];
    std::vector<Entry>& source = m_blocks[into + 1];
    target.insert(target.end(), std::make_move_iterator(source.begin()),
                  std::make_move_iterator(source.end()));
    m_blocks.erase(m_blocks.begin() + static_cast<std::ptrdiff_t>(into) + 1);
    m_starts.erase(m_starts.begin() + static_cast<std::ptrdiff_t>(into) + 1);
}

void TMFStringList::Insert(std::size_t index, std::string text, Value value) {
    if (m_blocks.empty()) {
        m_starts.push_back(0);
        m_blocks.emplace_back();
    }
    // The end of the list is the end of the last block; any other index is in the block that
    // holds the entry now there.
    const Place place =
        index < m_count ? Find(index) : Place{m_blocks.size() - 1, index - m_starts.back()};
    std::vector<Entry>& target = m_blocks[place.block];
    target.insert(target.begin() + static_cast<std::ptrdiff_t>(place.offset),
                  Entry{std::move(text), value});
    ShiftStarts(place.block, 1);
    ++m_count;
    SplitIfFull(place.block);
}

void TMFStringList::Delete(std::size_t index) {
    const Place place = Find(index);
    std::vector<Entry>& source = m_blocks[place.block];
    source.erase(source.begin() + static_cast<std::ptrdiff_t>(place.offset));
    ShiftStarts(place.block, -1);
    --m_count;
    if (source.empty()) {
        m_blocks.erase(m_blocks.begin() + static_cast<std::ptrdiff_t>(place.block));
        m_starts.erase(m_starts.begin() + static_cast<std::ptrdiff_t>(place.block));
    } else {
        MergeIfSmall(place.block);
    }
}

void TMFStringList::SetText(std::string_view text) {
    Clear();
    std::size_t start = 0;
    while (start < text.size()) {
        const std::size_t end = std::min(text.find_first_of("\r\n", start), text.size());
        Add(std::string(text.substr(start, end - start)));
        start = end;
        if (start < text.size() && text[start] == '\r') {
            ++start;
        }
        if (start < text.size() && text[start] == '\n') {
            ++start;
        }
    }
}

}  // namespace quendrix
