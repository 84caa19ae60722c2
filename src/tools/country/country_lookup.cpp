#include "tools/country/country_lookup.h"

#include "core/target.h"
#include "tools/country/owner_table.h"

#include <algorithm>
#include <condition_variable>
#include <map>
#include <mutex>
#include <thread>
#include <vector>

namespace quendrix::whereis {

QString LookupTarget(const QString& target) {
    return LookupOwner(ResolveName(ReduceTarget(target)));
}

namespace {

using Lookup = std::function<QString(const QString&)>;

// Resolves the entries just ahead of the batch's position on a few threads of its own, lowest
// position first. The batch uses a result only if its entry still reads the same when the batch
// reaches that position, so an entry edited meanwhile is looked up again as it now stands.
class LookAhead {
  public:
    LookAhead(int threads, Lookup lookup, const std::stop_token& batchStop)
        : m_lookup(std::move(lookup)), m_followBatch(batchStop, [this] { m_stop.request_stop(); }) {
        m_threads.reserve(static_cast<std::size_t>(threads));
        for (int i = 0; i < threads; ++i) {
            m_threads.emplace_back([this] { work(); });
        }
    }

    LookAhead(const LookAhead&) = delete;
    LookAhead& operator=(const LookAhead&) = delete;

    ~LookAhead() {
        // Threads blocked in the resolver end when their look-up returns.
        m_stop.request_stop();
        for (std::thread& thread : m_threads) {
            thread.join();
        }
    }

    void want(int position, const QString& entry) {
        {
            std::lock_guard lock(m_mutex);
            Task task;
            task.entry = entry;
            if (!m_tasks.try_emplace(position, std::move(task)).second) {
                return;
            }
        }
        m_changed.notify_all();
    }

    // The owner of entry at position: taken from the threads when they looked up the same text,
    // else looked up here. nullopt when the batch was stopped while waiting.
    std::optional<QString> take(int position, const QString& entry) {
        std::unique_lock lock(m_mutex);
        auto it = m_tasks.find(position);
        if (it != m_tasks.end() && it->second.entry == entry) {
            if (it->second.state == Task::State::Running) {
                const bool done = m_changed.wait(lock, m_stop.get_token(), [&] {
                    return it->second.state == Task::State::Done;
                });
                if (!done) {
                    return std::nullopt;
                }
            }
            if (it->second.state == Task::State::Done) {
                QString owner = std::move(it->second.owner);
                m_tasks.erase(it);
                return owner;
            }
        }
        if (it != m_tasks.end()) {
            if (it->second.state == Task::State::Running) {
                it->second.abandoned = true;  // its thread drops it when done
            } else {
                m_tasks.erase(it);
            }
        }
        lock.unlock();
        return m_lookup(entry);
    }

  private:
    struct Task {
        enum class State { Queued, Running, Done };
        QString entry;
        State state = State::Queued;
        bool abandoned = false;
        QString owner;
    };

    std::map<int, Task>::iterator firstQueued() {
        return std::find_if(m_tasks.begin(), m_tasks.end(), [](const auto& task) {
            return task.second.state == Task::State::Queued;
        });
    }

    void work() {
        std::unique_lock lock(m_mutex);
        for (;;) {
            m_changed.wait(lock, m_stop.get_token(),
                           [this] { return firstQueued() != m_tasks.end(); });
            if (m_stop.stop_requested()) {
                return;
            }
            auto it = firstQueued();
            it->second.state = Task::State::Running;
            const int position = it->first;
            const QString entry = it->second.entry;
            lock.unlock();
            QString owner = m_lookup(entry);
            lock.lock();
            // Only take() removes a running task's entry, and it marks it abandoned instead.
            it = m_tasks.find(position);
            if (it->second.abandoned) {
                m_tasks.erase(it);
                continue;
            }
            it->second.owner = std::move(owner);
            it->second.state = Task::State::Done;
            m_changed.notify_all();
        }
    }

    Lookup m_lookup;
    std::mutex m_mutex;
    std::condition_variable_any m_changed;
    std::map<int, Task> m_tasks;  // guarded by m_mutex
    std::stop_source m_stop;
    std::stop_callback<std::function<void()>> m_followBatch;
    std::vector<std::thread> m_threads;
};

}  // namespace

void RunBatchLookup(const BatchSource& source, const BatchEvents& events, std::stop_token stop,
                    const BatchOptions& options) {
    const Lookup lookup = options.lookup ? options.lookup : Lookup(LookupTarget);
    const int resolvers = std::max(1, options.resolvers);
    // The batch's own thread looks up too, so the pool has one thread fewer.
    std::optional<LookAhead> ahead;
    if (resolvers > 1) {
        ahead.emplace(resolvers - 1, lookup, stop);
    }
    const int window = 2 * resolvers;
    int scheduled = 0;  // positions below this were handed to the pool (or are done)

    int successful = 0;
    int failed = 0;
    for (int position = 0; !stop.stop_requested(); ++position) {
        const int count = source.count();
        if (position >= count) {
            break;
        }
        const std::optional<QString> entry = source.entryAt(position);
        if (!entry) {
            break;
        }
        if (events.entryTaken) {
            events.entryTaken(position, *entry);
        }
        std::optional<QString> owner;
        if (ahead) {
            scheduled = std::max(scheduled, position + 1);
            const int end = std::min(count, position + window);
            for (; scheduled < end; ++scheduled) {
                const std::optional<QString> next = source.entryAt(scheduled);
                if (!next) {
                    break;
                }
                ahead->want(scheduled, *next);
            }
            owner = ahead->take(position, *entry);
        } else {
            owner = lookup(*entry);
        }
        if (!owner || stop.stop_requested()) {
            break;
        }
        BatchRow row;
        row.position = position;
        row.entry = *entry;
        row.owner = *owner;
        row.successful = row.owner != kLookupFailed;
        (row.successful ? successful : failed) += 1;
        row.successfulCount = successful;
        row.failedCount = failed;
        if (events.rowDone) {
            events.rowDone(row);
        }
    }
}

}  // namespace quendrix::whereis
