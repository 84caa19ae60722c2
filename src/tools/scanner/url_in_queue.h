// The website scanner's queue of addresses still to be fetched: first in, first out, the same
// address allowed more than once. A ring buffer sized in advance for 32000 entries, so taking
// from the front and appending at the back (new links and retried addresses) cost the same
// whatever the queue holds; it grows by doubling past that.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

namespace quendrix {

// What travels with a queued address into the slot that fetches it.
struct TUrlObject {
    int Depth = 1;         // 1 for the start address, one more than the linking page for a link
    int CountArea = 0;     // passed through to events
    char LinkKind = ' ';   // the kind of attribute the link came from; blank for the start
    bool KeepBody = true;  // collect the body
    int RetryCount = 0;    // attempts already failed
    std::string Referrer;  // the page on which the link was found
};

class TUrlInQueue {
  public:
    static constexpr std::size_t kInitialCapacity = 32000;

    struct Entry {
        std::string Address;
        TUrlObject Object;
    };

    TUrlInQueue();

    void Append(std::string address, TUrlObject object);
    // The entry at `index` (0 is the front), for walking the queue front to back.
    const Entry& At(std::size_t index) const;
    // Removes and gives the entry at `index`: the front or the back in constant time, any other
    // in time proportional to its distance from the nearer end.
    Entry Take(std::size_t index = 0);
    void Clear();

    std::size_t Count() const { return m_count; }
    bool Empty() const { return m_count == 0; }
    std::size_t Capacity() const { return m_ring.size(); }

  private:
    std::size_t slotOf(std::size_t index) const {
        const std::size_t slot = m_head + index;
        return slot < m_ring.size() ? slot : slot - m_ring.size();
    }
    void grow();

    std::vector<Entry> m_ring;
    std::size_t m_head = 0;
    std::size_t m_count = 0;
};

}  // namespace quendrix
