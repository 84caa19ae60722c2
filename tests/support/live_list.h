// A list that a test edits while a batch reads it from other threads, as the page's list is
// edited during a run. source<S>() gives the reading side as any source type made of a count
// and an entry reader: {std::function<int()>, std::function<std::optional<Entry>(int)>}.
#pragma once

#include <cstddef>
#include <iterator>
#include <mutex>
#include <optional>
#include <utility>
#include <vector>

namespace quendrix::test {

template <typename Entry>
class LiveList {
  public:
    template <typename Range>
    explicit LiveList(const Range& entries) : m_entries(std::begin(entries), std::end(entries)) {}

    template <typename Source>
    Source source() {
        return Source{[this] {
                          std::lock_guard lock(m_mutex);
                          return static_cast<int>(m_entries.size());
                      },
                      [this](int position) -> std::optional<Entry> {
                          std::lock_guard lock(m_mutex);
                          if (position < 0 || position >= static_cast<int>(m_entries.size())) {
                              return std::nullopt;  // the list shrank meanwhile
                          }
                          return m_entries[static_cast<std::size_t>(position)];
                      }};
    }
    void edit(int position, Entry entry) {
        std::lock_guard lock(m_mutex);
        m_entries.at(static_cast<std::size_t>(position)) = std::move(entry);
    }
    void append(Entry entry) {
        std::lock_guard lock(m_mutex);
        m_entries.push_back(std::move(entry));
    }
    void resize(std::size_t size) {
        std::lock_guard lock(m_mutex);
        m_entries.resize(size);
    }
    std::vector<Entry> entries() {
        std::lock_guard lock(m_mutex);
        return m_entries;
    }

  private:
    std::mutex m_mutex;
    std::vector<Entry> m_entries;
};

}  // namespace quendrix::test
