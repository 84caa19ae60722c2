// The ordered look-ahead walk that the batch tools share: the entries of a live list are
// looked up ahead of the current position on a small pool of threads, but handed over strictly
// in list order, as a one-by-one walk would hand them over. The converter and the country batch
// run it; the pool's bookkeeping is not a template (ordered_lookahead.cpp), only the typed
// entries and results are.
#pragma once

#include <condition_variable>
#include <cstddef>
#include <functional>
#include <mutex>
#include <optional>
#include <stop_token>
#include <thread>
#include <utility>
#include <vector>

namespace quendrix {

struct LookaheadOptions {
    // Look-ups at once, the walking thread's own included (clamped to 1..256). With 1 every
    // look-up runs on the walking thread and no pool is started.
    int inFlight = 32;
    // Positions the pool may run ahead of the one handed over next (at least inFlight); 0 for
    // 8 times inFlight. Bounds what waits behind one slow look-up.
    int lookAhead = 0;
};

namespace detail {

// What the pool does with the positions it claims; OrderedLookahead supplies it.
class LookaheadWork {
  public:
    virtual ~LookaheadWork() = default;
    // The list's length now. Called with the pool's lock held.
    virtual int liveCount() = 0;
    // Reads the entry at position into slot. Called with the pool's lock held, so that the
    // walking thread sees the entry as soon as it sees the position claimed.
    virtual void readAhead(int position, std::size_t slot) = 0;
    // Looks up the entry read into slot. Called on a pool thread without the lock.
    virtual void resolveAhead(std::size_t slot) = 0;
    // Whether the entry read into slot is the one the walking thread now has at the front.
    // Called on the walking thread with the lock held.
    virtual bool frontMatches(std::size_t slot) = 0;
};

// The threads, the window and the in-flight count of one walk. Positions are claimed in
// order, each into the slot position % window; the walking thread takes the front position
// from the pool, or resolves it itself when no pool thread has claimed it (start, list grown,
// entry edited since it was read ahead, one look-up at a time).
class LookaheadPool {
  public:
    enum class Front {
        Ready,    // the pool has looked up the same entry: the result is in the front's slot
        Own,      // the walking thread resolves it; finishFront(true) when done
        Stopped,  // stop was requested
    };

    LookaheadPool(LookaheadWork& work, const LookaheadOptions& options, std::stop_token stop);
    // Ends the walk: no new look-up starts, and the threads are joined (look-ups still in
    // progress are waited for).
    ~LookaheadPool();
    LookaheadPool(const LookaheadPool&) = delete;
    LookaheadPool& operator=(const LookaheadPool&) = delete;

    static LookaheadOptions normalized(const LookaheadOptions& options);
    std::size_t slotOf(int position) const { return static_cast<std::size_t>(position % m_window); }

    // The walking thread's calls for the front position: takeFront, then finishFront unless
    // stopped. takeFront waits for the pool's look-up of the front, or claims the front for
    // the walking thread (waiting for room in the in-flight count) when nobody has claimed it
    // or its entry has changed since it was read ahead.
    Front takeFront();
    // The front has been taken (own: the walking thread resolved it); moves on to the next.
    void finishFront(bool own);

  private:
    enum class SlotState { Free, Running, Done, Abandoned };
    struct Slot {
        int position = -1;
        SlotState state = SlotState::Free;
    };

    void poolThread();
    bool claimOwn(std::unique_lock<std::mutex>& lock);
    int claimablePlaces();
    // Wakes or starts pool threads for the places opened; unlocks before waking, so that a
    // woken thread does not block on the lock at once.
    void wakeClaimers(std::unique_lock<std::mutex>& lock);
    // With the lock held: one claimer for the places open now. Starts a thread when none
    // waits and the pool is below its size; true when a waiting thread is to be woken.
    bool pickClaimer();
    // With the lock held (any thread may start one; the destructor joins them all).
    void startThread();

    LookaheadWork& m_work;
    const std::stop_token m_stop;
    const int m_inFlight;
    const int m_window;
    const int m_maxThreads;

    std::mutex m_mutex;
    std::condition_variable_any m_poolWake;   // pool threads wait for a position to claim
    std::condition_variable_any m_frontWake;  // the walking thread waits for its front or room
    std::vector<Slot> m_slots;
    int m_first = 0;    // the position handed over next
    int m_next = 0;     // the lowest position nobody has claimed
    int m_running = 0;  // look-ups in progress, the walking thread's and abandoned ones too
    int m_idle = 0;     // pool threads waiting on m_poolWake
    bool m_frontWaiting = false;  // the walking thread waits on m_frontWake
    bool m_needsRoom = false;     // ... for room in the in-flight count: the pool claims nothing
    bool m_finished = false;
    std::vector<std::thread> m_threads;  // started as places open, up to m_maxThreads; joined
};

}  // namespace detail

// Walks a live list: source.count() and source.entryAt(position) are read before each position
// on the walking thread, so edits made during the walk are seen from the next position on; an
// entry edited after it was looked up ahead is looked up again as it now reads. lookup runs on
// pool threads and on the walking thread at once, so it must be thread-safe, and it must not
// throw (failures are results).
template <typename Entry, typename Result>
class OrderedLookahead {
  public:
    struct Source {
        // Any thread, possibly several at once.
        std::function<int()> count;
        // nullopt when the position no longer exists (the list shrank meanwhile).
        std::function<std::optional<Entry>(int position)> entryAt;
    };
    using Lookup = std::function<Result(const Entry& entry)>;
    struct Events {
        // The entry at position is the next one and is being looked up (optional).
        std::function<void(int position, const Entry& entry)> taken;
        // Its result, in list order.
        std::function<void(int position, const Entry& entry, Result result)> done;
    };

    OrderedLookahead(Source source, Lookup lookup, LookaheadOptions options = {})
        : m_source(std::move(source)), m_lookup(std::move(lookup)), m_options(options) {}

    // Walks the list on the calling thread until its end or until stop is requested. Events
    // are called on the calling thread; once stop is seen nothing more is reported. The pool is
    // joined before this returns: a look-up still blocked is waited for, its result dropped.
    void run(const Events& events, std::stop_token stop) const {
        Walk walk(*this, stop);
        for (int position = 0;; ++position) {
            if (stop.stop_requested() || position >= m_source.count()) {
                return;
            }
            const std::optional<Entry> entry = m_source.entryAt(position);
            if (!entry) {
                return;
            }
            if (events.taken) {
                events.taken(position, *entry);
            }
            std::optional<Result> result = walk.resolveFront(position, *entry);
            // Tested again after the look-up: an abandoned one reports nothing.
            if (!result || stop.stop_requested()) {
                return;
            }
            if (events.done) {
                events.done(position, *entry, std::move(*result));
            }
        }
    }

  private:
    // The state of one run: the typed slots and the pool that fills them.
    class Walk final : public detail::LookaheadWork {
      public:
        Walk(const OrderedLookahead& owner, std::stop_token stop)
            : m_owner(owner),
              m_slots(static_cast<std::size_t>(
                  detail::LookaheadPool::normalized(owner.m_options).lookAhead)),
              m_pool(*this, owner.m_options, std::move(stop)) {}

        std::optional<Result> resolveFront(int position, const Entry& entry) {
            m_front = &entry;
            const auto front = m_pool.takeFront();
            m_front = nullptr;
            if (front == detail::LookaheadPool::Front::Stopped) {
                return std::nullopt;
            }
            if (front == detail::LookaheadPool::Front::Own) {
                std::optional<Result> result(m_owner.m_lookup(entry));
                m_pool.finishFront(true);
                return result;
            }
            // Done and not freed yet: nobody else touches the slot.
            Slot& slot = m_slots[m_pool.slotOf(position)];
            std::optional<Result> result = std::move(slot.result);
            slot.result.reset();
            m_pool.finishFront(false);
            return result;
        }

        int liveCount() override { return m_owner.m_source.count(); }

        void readAhead(int position, std::size_t slot) override {
            m_slots[slot].entry = m_owner.m_source.entryAt(position);
            m_slots[slot].result.reset();
        }

        void resolveAhead(std::size_t slot) override {
            Slot& s = m_slots[slot];
            if (s.entry) {
                s.result.emplace(m_owner.m_lookup(*s.entry));
            }
        }

        bool frontMatches(std::size_t slot) override {
            // The slot's entry is fixed while its position is claimed.
            return m_slots[slot].entry == *m_front;
        }

      private:
        struct Slot {
            std::optional<Entry> entry;  // as read when the position was claimed
            std::optional<Result> result;
        };

        const OrderedLookahead& m_owner;
        std::vector<Slot> m_slots;
        const Entry* m_front = nullptr;  // the walking thread's entry during takeFront
        // Declared last, so destroyed first: the threads are joined before the slots go.
        detail::LookaheadPool m_pool;
    };

    Source m_source;
    Lookup m_lookup;
    LookaheadOptions m_options;
};

}  // namespace quendrix
