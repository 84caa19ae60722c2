// The ordered look-ahead walk on a fake look-up: order under uneven look-up times, the
// in-flight bound, entries edited or removed after they were looked up ahead, and stop while
// look-ups are blocked. The pool is what is tested, so nothing is resolved here.
#include "core/ordered_lookahead.h"
#include "support/live_list.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <random>
#include <set>
#include <stop_token>
#include <string>
#include <thread>
#include <vector>

namespace quendrix {
namespace {

using namespace std::chrono_literals;
using Walk = OrderedLookahead<std::string, std::string>;

using LiveList = test::LiveList<std::string>;

std::vector<std::string> numbered(int count, const std::string& prefix = "e") {
    std::vector<std::string> entries;
    for (int i = 0; i < count; ++i) {
        entries.push_back(prefix + std::to_string(i));
    }
    return entries;
}

std::string resultOf(const std::string& entry) {
    return "found " + entry;
}

// A look-up that records what it was asked and how many ran at once; hold() makes it block
// for chosen entries until release().
class FakeLookup {
  public:
    Walk::Lookup function() {
        return [this](const std::string& entry) { return lookup(entry); };
    }
    void setDelay(std::function<std::chrono::microseconds(const std::string&)> delay) {
        m_delay = std::move(delay);
    }
    void hold(std::function<bool(const std::string&)> held) { m_held = std::move(held); }
    void release() {
        {
            std::lock_guard lock(m_mutex);
            m_released = true;
        }
        m_changed.notify_all();
    }
    // Waits until at least count look-ups are blocked in hold().
    bool waitBlocked(int count) {
        std::unique_lock lock(m_mutex);
        return m_changed.wait_for(lock, 20s, [&] { return m_blocked >= count; });
    }
    bool waitAsked(const std::string& entry) {
        std::unique_lock lock(m_mutex);
        return m_changed.wait_for(
            lock, 20s, [&] { return std::count(m_asked.begin(), m_asked.end(), entry) > 0; });
    }
    bool waitFinished(const std::string& entry) {
        std::unique_lock lock(m_mutex);
        return m_changed.wait_for(lock, 20s, [&] { return finishedLocked(entry); });
    }
    bool finished(const std::string& entry) {
        std::lock_guard lock(m_mutex);
        return finishedLocked(entry);
    }
    std::vector<std::string> asked() {
        std::lock_guard lock(m_mutex);
        return m_asked;
    }
    int maxAtOnce() const { return m_maxAtOnce; }
    int atOnce() const { return m_atOnce; }

  private:
    bool finishedLocked(const std::string& entry) const {
        return std::count(m_finished.begin(), m_finished.end(), entry) > 0;
    }

    std::string lookup(const std::string& entry) {
        const int now = ++m_atOnce;
        int seen = m_maxAtOnce.load();
        while (now > seen && !m_maxAtOnce.compare_exchange_weak(seen, now)) {
        }
        {
            std::unique_lock lock(m_mutex);
            m_asked.push_back(entry);
            m_changed.notify_all();
            if (m_held && m_held(entry)) {
                ++m_blocked;
                m_changed.notify_all();
                // Bounded, so that a walk that waits for a held look-up fails instead of hanging.
                m_changed.wait_for(lock, 20s, [this] { return m_released; });
                --m_blocked;
            }
        }
        if (m_delay) {
            std::this_thread::sleep_for(m_delay(entry));
        }
        --m_atOnce;
        {
            std::lock_guard lock(m_mutex);
            m_finished.push_back(entry);
        }
        m_changed.notify_all();
        return resultOf(entry);
    }

    std::function<std::chrono::microseconds(const std::string&)> m_delay;
    std::function<bool(const std::string&)> m_held;
    std::atomic<int> m_atOnce = 0;
    std::atomic<int> m_maxAtOnce = 0;
    std::mutex m_mutex;
    std::condition_variable m_changed;
    std::vector<std::string> m_asked;
    std::vector<std::string> m_finished;
    int m_blocked = 0;
    bool m_released = false;
};

// Everything a walk reported, in order: "taken 3 e3", "done 3 e3 found e3".
struct Recorder {
    Walk::Events events(std::function<void(int position)> afterDone = {}) {
        return {
            [this](int position, const std::string& entry) {
                {
                    std::lock_guard lock(mutex);
                    log.push_back("taken " + std::to_string(position) + " " + entry);
                }
                changed.notify_all();
            },
            [this, afterDone](int position, const std::string& entry, std::string result) {
                {
                    std::lock_guard lock(mutex);
                    log.push_back("done " + std::to_string(position) + " " + entry + " " + result);
                }
                changed.notify_all();
                if (afterDone) {
                    afterDone(position);
                }
            }};
    }
    std::vector<std::string> snapshot() {
        std::lock_guard lock(mutex);
        return log;
    }
    // Waits (at most 20 s) until the log so far satisfies reached.
    bool waitUntil(const std::function<bool(const std::vector<std::string>&)>& reached) {
        std::unique_lock lock(mutex);
        return changed.wait_for(lock, 20s, [&] { return reached(log); });
    }
    std::mutex mutex;
    std::condition_variable changed;
    std::vector<std::string> log;
};

// What a one-by-one walk over entries reports.
std::vector<std::string> oneByOne(const std::vector<std::string>& entries) {
    std::vector<std::string> log;
    for (std::size_t i = 0; i < entries.size(); ++i) {
        log.push_back("taken " + std::to_string(i) + " " + entries[i]);
        log.push_back("done " + std::to_string(i) + " " + entries[i] + " " + resultOf(entries[i]));
    }
    return log;
}

TEST(OrderedLookahead, ReportsInListOrderWithinTheInFlightBound) {
    const std::vector<std::string> entries = numbered(300);
    const struct {
        int inFlight;
        int lookAhead;
    } cases[] = {{1, 0}, {3, 3}, {8, 0}, {32, 40}};
    for (const auto& c : cases) {
        LiveList list(entries);
        FakeLookup lookup;
        // Uneven times, so that look-ups ahead finish out of order.
        lookup.setDelay([](const std::string& entry) {
            std::minstd_rand random(static_cast<unsigned>(std::hash<std::string>()(entry)));
            return std::chrono::microseconds(random() % 2000);
        });
        std::set<std::thread::id> threads;
        std::mutex threadsMutex;
        const Walk::Lookup recordThread = [&](const std::string& entry) {
            {
                std::lock_guard lock(threadsMutex);
                threads.insert(std::this_thread::get_id());
            }
            return lookup.function()(entry);
        };
        Recorder recorder;
        Walk(list.source<Walk::Source>(), recordThread, {c.inFlight, c.lookAhead})
            .run(recorder.events(), std::stop_token());

        EXPECT_EQ(recorder.log, oneByOne(entries)) << "inFlight " << c.inFlight;
        EXPECT_EQ(lookup.asked().size(), entries.size()) << "each entry looked up once";
        EXPECT_LE(lookup.maxAtOnce(), c.inFlight);
        if (c.inFlight == 1) {
            // No pool: everything on the walking thread.
            EXPECT_EQ(threads, std::set<std::thread::id>{std::this_thread::get_id()});
        } else {
            EXPECT_GE(lookup.maxAtOnce(), 2) << "inFlight " << c.inFlight;
        }
    }
}

TEST(OrderedLookahead, EntriesEditedAfterTheyWereLookedUpAheadAreLookedUpAgain) {
    LiveList list(numbered(30));
    FakeLookup lookup;
    // e6's look-up blocks: it is edited while still running, and the walk must not wait for
    // it (its slot stays taken until it returns, a window later).
    lookup.hold([](const std::string& entry) { return entry == "e6"; });
    Recorder recorder;
    bool e6EndedBeforeRow6 = true;
    std::vector<std::string> askedBeforeRelease;
    Walk(list.source<Walk::Source>(), lookup.function(), {3, 8})
        .run(recorder.events([&](int position) {
            if (position == 2) {
                ASSERT_TRUE(lookup.waitFinished("e5"));
                ASSERT_TRUE(lookup.waitBlocked(1));
                list.edit(5, "new5");  // done ahead
                list.edit(6, "new6");  // still running ahead
            }
            if (position == 6) {
                e6EndedBeforeRow6 = lookup.finished("e6");
            }
            if (position == 12) {
                askedBeforeRelease = lookup.asked();
                lookup.release();
            }
            if (position == 29) {
                // The pool has stopped at the end; the walk sees the list grow.
                list.append("late30");
                list.append("late31");
            }
        }),
             std::stop_token());

    EXPECT_FALSE(e6EndedBeforeRow6) << "the walk waited for the stale look-up";
    // The window is 13 to 20 at row 12, but position 14 shares its slot with the stale e6,
    // which is still running: the pool waits for it there.
    for (const char* beyond : {"e14", "e15", "e20"}) {
        EXPECT_EQ(std::count(askedBeforeRelease.begin(), askedBeforeRelease.end(), beyond), 0)
            << beyond;
    }
    EXPECT_EQ(recorder.log, oneByOne(list.entries()));
    EXPECT_EQ(list.entries()[5], "new5");
    const std::vector<std::string> asked = lookup.asked();
    for (const char* entry : {"e5", "new5", "e6", "new6", "late31"}) {
        EXPECT_EQ(std::count(asked.begin(), asked.end(), entry), 1) << entry;
    }
    EXPECT_LE(lookup.maxAtOnce(), 3);
}

TEST(OrderedLookahead, AShrunkListEndsWhereItNowEnds) {
    LiveList list(numbered(100));
    FakeLookup lookup;
    Recorder recorder;
    Walk(list.source<Walk::Source>(), lookup.function(), {4, 0})
        .run(recorder.events([&](int position) {
            if (position == 5) {
                // Positions 8 and 9 were looked up ahead with other entries.
                ASSERT_TRUE(lookup.waitAsked("e9"));
                list.resize(8);
                list.append("x8");
                list.append("x9");
            }
        }),
             std::stop_token());
    EXPECT_EQ(list.entries().size(), 10u);
    EXPECT_EQ(recorder.log, oneByOne(list.entries()));

    // Emptied while the walk is at its first entry.
    LiveList emptied(numbered(50));
    Recorder second;
    Walk(emptied.source<Walk::Source>(), lookup.function(), {4, 0})
        .run(second.events([&](int) { emptied.resize(0); }), std::stop_token());
    EXPECT_EQ(second.log, oneByOne({"e0"}));
}

// A walk on a thread of its own. However the test leaves it, an ASSERT returning early
// included, the walk is stopped, the held look-ups are released and the thread is joined.
class BackgroundWalk {
  public:
    BackgroundWalk(FakeLookup& lookup, std::function<void(std::stop_token)> walk)
        : m_lookup(lookup), m_thread([this, walk = std::move(walk)](std::stop_token stop) {
              walk(std::move(stop));
              m_returned = true;
          }) {}
    ~BackgroundWalk() {
        m_thread.request_stop();
        m_lookup.release();
    }
    BackgroundWalk(const BackgroundWalk&) = delete;
    BackgroundWalk& operator=(const BackgroundWalk&) = delete;

    void stop() { m_thread.request_stop(); }
    void join() { m_thread.join(); }
    bool returned() const { return m_returned; }

  private:
    FakeLookup& m_lookup;
    std::atomic<bool> m_returned = false;
    std::jthread m_thread;  // last: started once the rest exists, joined before it goes
};

TEST(OrderedLookahead, StopWithLookUpsBlockedReportsNothingMoreAndJoinsThePool) {
    const int inFlight = 6;
    for (const bool grown : {false, true}) {
        // From e10 on every look-up blocks until released. Grown: the list has ten entries
        // until the walk reaches its end, so the pool has nothing to claim at e10 until the
        // walking thread takes it.
        LiveList list(numbered(grown ? 10 : 200));
        FakeLookup lookup;
        lookup.hold([](const std::string& entry) { return std::stoi(entry.substr(1)) >= 10; });
        Recorder recorder;
        BackgroundWalk walking(lookup, [&](std::stop_token stop) {
            Walk(list.source<Walk::Source>(), lookup.function(), {inFlight, 0})
                .run(recorder.events([&](int position) {
                    if (grown && position == 9) {
                        for (const std::string& entry : numbered(200)) {
                            if (std::stoi(entry.substr(1)) >= 10) {
                                list.append(entry);
                            }
                        }
                    }
                }),
                     stop);
        });
        // The walk is at e10, and every look-up at once is blocked: none can start until one
        // returns.
        ASSERT_TRUE(recorder.waitUntil([](const std::vector<std::string>& log) {
            return !log.empty() && log.back() == "taken 10 e10";
        }));
        ASSERT_TRUE(lookup.waitBlocked(inFlight)) << "grown " << grown;
        const std::size_t askedBeforeStop = lookup.asked().size();
        walking.stop();
        // The walk returns only once the blocked look-ups have come back: give a wrong one
        // the time to return early.
        std::this_thread::sleep_for(50ms);
        EXPECT_FALSE(walking.returned());
        EXPECT_EQ(lookup.atOnce(), inFlight);
        lookup.release();
        walking.join();

        std::vector<std::string> expected = oneByOne(numbered(10));
        expected.push_back("taken 10 e10");
        EXPECT_EQ(recorder.snapshot(), expected)
            << "nothing reported after the stop; grown " << grown;
        EXPECT_EQ(lookup.asked().size(), askedBeforeStop) << "no look-up started after the stop";
        EXPECT_EQ(lookup.atOnce(), 0) << "every look-up ended before the walk returned";
        EXPECT_EQ(lookup.maxAtOnce(), inFlight);
    }

    // Stopped before it starts: nothing at all.
    LiveList list(numbered(20));
    std::stop_source early;
    early.request_stop();
    FakeLookup unused;
    Recorder none;
    Walk(list.source<Walk::Source>(), unused.function(), {inFlight, 0})
        .run(none.events(), early.get_token());
    EXPECT_TRUE(none.log.empty());
    EXPECT_TRUE(unused.asked().empty());
}

// Places that open while the walking thread is itself blocked in a look-up (here: the list
// grows from inside a look-up on a pool thread) are claimed up to the bound all the same,
// not only when the walking thread next hands a row over.
TEST(OrderedLookahead, PlacesOpenedWhileTheWalkingThreadIsBlockedAreClaimedUpToTheBound) {
    const int inFlight = 6;
    LiveList list(numbered(5));
    FakeLookup lookup;
    // e0 (the walking thread's own) and everything appended block; e4 grows the list.
    lookup.hold([](const std::string& entry) { return entry == "e0" || entry[0] == 'x'; });
    const Walk::Lookup growing = [&](const std::string& entry) {
        if (entry == "e4") {
            for (const std::string& appended : numbered(20, "x")) {
                list.append(appended);
            }
        }
        return lookup.function()(entry);
    };
    Recorder recorder;
    BackgroundWalk walking(lookup, [&](std::stop_token stop) {
        Walk(list.source<Walk::Source>(), growing, {inFlight, 0}).run(recorder.events(), stop);
    });
    ASSERT_TRUE(lookup.waitBlocked(inFlight));
    EXPECT_EQ(lookup.atOnce(), inFlight);
    walking.stop();
    lookup.release();
    walking.join();
    EXPECT_EQ(recorder.snapshot(), std::vector<std::string>{"taken 0 e0"});
    EXPECT_EQ(lookup.maxAtOnce(), inFlight);
}

}  // namespace
}  // namespace quendrix
