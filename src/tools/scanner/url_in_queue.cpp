#include "tools/scanner/url_in_queue.h"

#include <stdexcept>
#include <utility>

namespace quendrix {

TUrlInQueue::TUrlInQueue() : m_ring(kInitialCapacity) {}

void TUrlInQueue::Append(std::string address, TUrlObject object) {
    if (m_count == m_ring.size()) {
        grow();
    }
    Entry& entry = m_ring[slotOf(m_count)];
    entry.Address = std::move(address);
    entry.Object = std::move(object);
    ++m_count;
}

const TUrlInQueue::Entry& TUrlInQueue::At(std::size_t index) const {
    if (index >= m_count) {
        throw std::out_of_range("TUrlInQueue::At");
    }
    return m_ring[slotOf(index)];
}

TUrlInQueue::Entry TUrlInQueue::Take(std::size_t index) {
    if (index >= m_count) {
        throw std::out_of_range("TUrlInQueue::Take");
    }
    Entry taken = std::move(m_ring[slotOf(index)]);
    // Close the gap from the nearer end; the place freed there keeps a moved-from entry, which
    // gets its memory back.
    if (index < m_count / 2) {
        for (std::size_t i = index; i > 0; --i) {
            m_ring[slotOf(i)] = std::move(m_ring[slotOf(i - 1)]);
        }
        m_ring[m_head] = Entry{};
        m_head = slotOf(1);
    } else {
        for (std::size_t i = index; i + 1 < m_count; ++i) {
            m_ring[slotOf(i)] = std::move(m_ring[slotOf(i + 1)]);
        }
        m_ring[slotOf(m_count - 1)] = Entry{};
    }
    --m_count;
    if (m_count == 0) {
        m_head = 0;
    }
    return taken;
}

void TUrlInQueue::Clear() {
    for (std::size_t i = 0; i < m_count; ++i) {
        m_ring[slotOf(i)] = Entry{};
    }
    m_head = 0;
    m_count = 0;
}

void TUrlInQueue::grow() {
    std::vector<Entry> larger(m_ring.size() * 2);
    for (std::size_t i = 0; i < m_count; ++i) {
        larger[i] = std::move(m_ring[slotOf(i)]);
    }
    m_ring = std::move(larger);
    m_head = 0;
}

}  // namespace quendrix
