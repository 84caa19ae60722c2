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

TMFStringList::Position TMFStringList::Locate(std::string_view text, bool insert) {
    Position position;
    // Signed bounds: the upper one goes below zero when the text comes before every entry.
    std::ptrdiff_t low = 0;
    std::ptrdiff_t high = static_cast<std::ptrdiff_t>(m_entries.size()) - 1;
    while (low <= high) {
        const std::ptrdiff_t middle = (low + high) / 2;
        const int order = Compare(m_entries[static_cast<std::size_t>(middle)].text, text);
        if (order == 0) {
            position.found = true;
            position.index = static_cast<std::size_t>(middle);
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

void TMFStringList::Sort() {
    std::erase_if(m_entries, [](const Entry& entry) { return entry.text.empty(); });
    std::stable_sort(m_entries.begin(), m_entries.end(),
                     [](const Entry& a, const Entry& b) { return Compare(a.text, b.text) < 0; });
}

void TMFStringList::Add(std::string text, Value value) {
    m_entries.push_back(Entry{std::move(text), value});
}

void TMFStringList::Insert(std::size_t index, std::string text, Value value) {
    m_entries.insert(m_entries.begin() + static_cast<std::ptrdiff_t>(index),
                     Entry{std::move(text), value});
}

void TMFStringList::Delete(std::size_t index) {
    m_entries.erase(m_entries.begin() + static_cast<std::ptrdiff_t>(index));
}

void TMFStringList::SetText(std::string_view text) {
    m_entries.clear();
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
