#include "core/ordered_lookahead.h"

#include <algorithm>
#include <cassert>

namespace quendrix::detail {

LookaheadOptions LookaheadPool::normalized(const LookaheadOptions& options) {
    LookaheadOptions result;
    result.inFlight = std::clamp(options.inFlight, 1, 256);
    result.lookAhead =
        options.lookAhead > 0 ? std::max(options.lookAhead, result.inFlight) : 8 * result.inFlight;
    return result;
}

LookaheadPool::LookaheadPool(LookaheadWork& work, const LookaheadOptions& options,
                             std::stop_token stop)
    : m_work(work),
      m_stop(std::move(stop)),
      m_inFlight(normalized(options).inFlight),
      m_window(normalized(options).lookAhead),
      // One at a time needs no pool: the walking thread resolves every entry itself.
      m_maxThreads(m_inFlight > 1 ? m_inFlight : 0),
      m_slots(static_cast<std::size_t>(m_window)) {}

LookaheadPool::~LookaheadPool() {
    {
        std::lock_guard lock(m_mutex);
        m_finished = true;
    }
    m_poolWake.notify_all();
    // No thread starts once m_finished is set, so m_threads is fixed from here on. Threads
    // blocked in a look-up end when it returns.
    for (std::thread& thread : m_threads) {
        thread.join();
    }
}

LookaheadPool::Front LookaheadPool::takeFront() {
    std::unique_lock lock(m_mutex);
    if (m_next == m_first) {
        // Nobody has it yet: resolving it here is sooner than waking a pool thread for it.
        ++m_next;
        return claimOwn(lock) ? Front::Own : Front::Stopped;
    }
    Slot& front = m_slots[slotOf(m_first)];
    assert(front.position == m_first);
    if (!m_work.frontMatches(slotOf(m_first))) {
        // Edited since it was read ahead. A look-up still running frees its slot when it
        // returns; until then the slot (and the position a window further on) stays taken.
        if (front.state == SlotState::Running) {
            front.state = SlotState::Abandoned;
        } else {
            front = Slot();
        }
        return claimOwn(lock) ? Front::Own : Front::Stopped;
    }
    // The list may have grown since the pool last looked: the pool claims the new places
    // while the front's look-up runs.
    if (pickClaimer()) {
        m_poolWake.notify_one();
    }
    m_frontWaiting = true;
    const bool done =
        m_frontWake.wait(lock, m_stop, [&front] { return front.state == SlotState::Done; });
    m_frontWaiting = false;
    return done ? Front::Ready : Front::Stopped;
}

bool LookaheadPool::claimOwn(std::unique_lock<std::mutex>& lock) {
    // The front holds up every later row, so it has the first claim on room: the pool claims
    // nothing while the walking thread waits.
    m_needsRoom = true;
    m_frontWaiting = true;
    const bool room = m_frontWake.wait(lock, m_stop, [this] { return m_running < m_inFlight; });
    m_frontWaiting = false;
    m_needsRoom = false;
    if (!room || m_stop.stop_requested()) {
        return false;
    }
    ++m_running;
    wakeClaimers(lock);
    return true;
}

void LookaheadPool::finishFront(bool own) {
    std::unique_lock lock(m_mutex);
    if (own) {
        --m_running;
    } else {
        m_slots[slotOf(m_first)] = Slot();
    }
    ++m_first;
    wakeClaimers(lock);
}

void LookaheadPool::poolThread() {
    std::unique_lock lock(m_mutex);
    for (;;) {
        ++m_idle;
        m_poolWake.wait(lock, m_stop, [this] { return m_finished || claimablePlaces() > 0; });
        --m_idle;
        // Nothing new starts once the walk has ended or is stopped.
        if (m_finished || m_stop.stop_requested()) {
            return;
        }
        const int position = m_next++;
        const std::size_t index = slotOf(position);
        m_slots[index] = {position, SlotState::Running};
        ++m_running;
        m_work.readAhead(position, index);
        // Places still open (the list grew, a stale slot freed several, the walking thread
        // woke fewer than it counted): the next claimer is called now, not when the walking
        // thread next hands a row over, which may wait for a look-up that blocks.
        const bool wakeNext = pickClaimer();
        lock.unlock();
        if (wakeNext) {
            m_poolWake.notify_one();
        }
        m_work.resolveAhead(index);
        lock.lock();
        --m_running;
        Slot& slot = m_slots[index];
        if (slot.state == SlotState::Abandoned) {
            slot = Slot();
        } else {
            slot.state = SlotState::Done;
        }
        // Only the walking thread waits on m_frontWake, and only for its front or for room.
        // The room or place this look-up leaves, this thread takes itself on its next turn.
        if (m_frontWaiting && (position == m_first || m_needsRoom)) {
            lock.unlock();
            m_frontWake.notify_one();
            lock.lock();
        }
    }
}

int LookaheadPool::claimablePlaces() {
    if (m_needsRoom || m_stop.stop_requested()) {
        return 0;
    }
    // An abandoned look-up still holds the slot of the next position.
    if (m_slots[slotOf(m_next)].state != SlotState::Free) {
        return 0;
    }
    const int end = std::min(m_first + m_window, m_work.liveCount());
    return std::max(0, std::min(m_inFlight - m_running, end - m_next));
}

void LookaheadPool::startThread() {
    m_threads.emplace_back([this] { poolThread(); });
}

bool LookaheadPool::pickClaimer() {
    if (m_finished || claimablePlaces() <= 0) {
        return false;
    }
    // A woken thread may already be counted here as idle; it claims when it runs and passes
    // the call on, so one wake is enough.
    if (m_idle > 0) {
        return true;
    }
    // No thread waits: every other one is in a look-up or about to look for a place itself.
    if (static_cast<int>(m_threads.size()) < m_maxThreads) {
        startThread();
    }
    return false;
}

void LookaheadPool::wakeClaimers(std::unique_lock<std::mutex>& lock) {
    const int places = m_finished ? 0 : claimablePlaces();
    if (places <= 0) {
        lock.unlock();
        return;
    }
    // One place (the usual case: a row handed over, one more position in the window) wants
    // one thread; the rest start threads while the pool is smaller than the in-flight count.
    // Miscounts are made up by the claimers, who each call the next while places remain.
    const int wake = std::min(places, m_idle);
    const int start = std::min(places - m_idle, m_maxThreads - static_cast<int>(m_threads.size()));
    for (int i = 0; i < start; ++i) {
        startThread();
    }
    lock.unlock();
    if (wake == 1) {
        m_poolWake.notify_one();
    } else if (wake > 1) {
        m_poolWake.notify_all();
    }
}

}  // namespace quendrix::detail
