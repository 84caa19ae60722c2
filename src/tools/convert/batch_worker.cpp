#include "tools/convert/batch_worker.h"

#include "core/target_list_model.h"

#include <algorithm>
#include <condition_variable>
#include <deque>
#include <mutex>
#include <optional>
#include <thread>

namespace quendrix {
namespace {

// One position being resolved ahead.
struct Slot {
    std::optional<QString> entry;  // as read when the position was taken
    bool done = false;
    std::vector<ConvertedRow> rows;
};

class Lookahead {
  public:
    Lookahead(ConvertMode mode, const TargetListModel& list, std::stop_token stop, int window)
        : m_mode(mode), m_list(list), m_stop(std::move(stop)), m_window(window) {}

    ~Lookahead() {
        {
            std::lock_guard lock(m_mutex);
            m_finished = true;
        }
        m_claimable.notify_all();
        for (std::thread& thread : m_pool) {
            thread.join();
        }
    }

    void startPool(int threads) {
        for (int i = 0; i < threads; ++i) {
            m_pool.emplace_back([this] { resolveAhead(); });
        }
    }

    // The rows of position (the next one in order), or nullopt when stopped or when the
    // list has no such position any more.
    std::optional<std::vector<ConvertedRow>> take(int position) {
        std::unique_lock lock(m_mutex);
        if (m_slots.empty()) {
            // The list grew after the pool last looked: resolve this one here.
            m_slots.emplace_back();
            lock.unlock();
            fill(position);
            lock.lock();
        }
        if (!m_frontDone.wait(lock, m_stop, [this] { return m_slots.front().done; })) {
            return std::nullopt;
        }
        Slot slot = std::move(m_slots.front());
        m_slots.pop_front();
        ++m_first;
        // One free place in the window wants one thread; more only when the list has grown
        // while the pool waited at its end.
        const int open = claimable();
        lock.unlock();
        if (open > 1) {
            m_claimable.notify_all();
        } else if (open == 1) {
            m_claimable.notify_one();
        }

        // An edit since the entry was read ahead is seen here, as a one-by-one walk sees it.
        const auto current = m_list.entryAt(position);
        if (!current) {
            return std::nullopt;
        }
        if (slot.entry != current) {
            slot.rows = ConvertEntry(m_mode, *current);
        }
        return std::move(slot.rows);
    }

  private:
    void resolveAhead() {
        std::unique_lock lock(m_mutex);
        for (;;) {
            int position = -1;
            const bool claimed = m_claimable.wait(lock, m_stop, [this, &position] {
                if (m_finished) {
                    return true;
                }
                if (claimable() > 0) {
                    position = m_first + static_cast<int>(m_slots.size());
                    return true;
                }
                return false;
            });
            // Nothing new is started once the batch is stopped.
            if (!claimed || position < 0 || m_stop.stop_requested()) {
                return;
            }
            m_slots.emplace_back();
            lock.unlock();
            fill(position);
            lock.lock();
        }
    }

    // Reads and converts the entry at a position already claimed in m_slots.
    void fill(int position) {
        Slot slot;
        slot.entry = m_list.entryAt(position);
        if (slot.entry) {
            slot.rows = ConvertEntry(m_mode, *slot.entry);
        }
        slot.done = true;
        bool front = false;
        {
            std::lock_guard lock(m_mutex);
            // The slot cannot have been taken: take() waits for it to be done.
            m_slots[static_cast<size_t>(position - m_first)] = std::move(slot);
            front = position == m_first;
        }
        // Only the worker waits for a slot, and only for the front one.
        if (front) {
            m_frontDone.notify_one();
        }
    }

    // Positions a thread of the pool may take now (m_mutex held).
    int claimable() const {
        const int taken = static_cast<int>(m_slots.size());
        const int next = m_first + taken;
        return std::max(0, std::min(m_window - taken, m_list.count() - next));
    }

    const ConvertMode m_mode;
    const TargetListModel& m_list;
    const std::stop_token m_stop;
    const int m_window;

    std::mutex m_mutex;
    std::condition_variable_any m_frontDone;  // the worker waits for its next slot
    std::condition_variable_any m_claimable;  // the pool waits for positions to take
    std::deque<Slot> m_slots;                 // positions m_first, m_first + 1, ... taken so far
    int m_first = 0;                          // the position handed over next
    bool m_finished = false;
    std::vector<std::thread> m_pool;  // joined by the destructor
};

}  // namespace

void RunBatchWorker(ConvertMode mode, const TargetListModel& list, std::stop_token stop,
                    const EntryRowsSink& sink, const BatchWorkerOptions& options) {
    const int inFlight = std::clamp(options.inFlight, 1, 256);
    const int window = options.lookAhead > 0 ? std::max(options.lookAhead, inFlight) : inFlight * 8;
    Lookahead lookahead(mode, list, stop, window);
    lookahead.startPool(std::min(inFlight, std::max(1, list.count())));
    for (int position = 0;; ++position) {
        if (stop.stop_requested() || position >= list.count()) {
            return;
        }
        auto rows = lookahead.take(position);
        // The stop is tested again after the look-up: an abandoned one writes no row.
        if (!rows || stop.stop_requested()) {
            return;
        }
        sink(position, std::move(*rows));
    }
}

}  // namespace quendrix
