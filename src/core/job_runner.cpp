#include "core/job_runner.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QElapsedTimer>
#include <QThread>

#include <exception>

namespace quendrix {
namespace {
// One event-loop turn applies results for at most this long, so the window stays fluid
// even when a job produces rows faster than they can be shown.
constexpr qint64 kApplyBudgetMs = 30;
}  // namespace

void JobContext::post(std::function<void()> apply) {
    m_runner.enqueue({m_id, false, std::move(apply)});
}

JobRunner::JobRunner(QObject* parent) : QObject(parent) {}

JobRunner::~JobRunner() {
    for (auto& job : m_jobs) {
        job->stopSource.request_stop();
        job->stopped = true;
    }
    joinAll();
}

void JobRunner::start(Work work, std::function<void()> onDone) {
    auto job = std::make_unique<Job>();
    job->id = m_nextId++;
    job->onDone = std::move(onDone);
    const std::uint64_t id = job->id;
    std::stop_token token = job->stopSource.get_token();
    job->thread = std::thread([this, id, token, work = std::move(work)]() mutable {
        JobContext context(*this, id, token);
        try {
            work(context);
        } catch (const std::exception&) {
            // A job ends with its results so far; errors inside jobs are rows, not throws.
        }
        enqueue({id, true, {}});
    });
    m_jobs.push_back(std::move(job));
    m_started = true;
}

void JobRunner::stop() {
    for (auto& job : m_jobs) {
        job->stopSource.request_stop();
        job->stopped = true;
    }
}

bool JobRunner::isRunning() const {
    for (const auto& job : m_jobs) {
        if (!job->stopped) {
            return true;
        }
    }
    return false;
}

bool JobRunner::waitForIdle(int timeoutMs) {
    QDeadlineTimer deadline(timeoutMs);
    while (isRunning()) {
        if (deadline.hasExpired()) {
            return false;
        }
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
        QThread::msleep(1);
    }
    return true;
}

void JobRunner::joinAll() {
    for (auto& job : m_jobs) {
        if (job->thread.joinable()) {
            job->thread.join();
        }
    }
    std::lock_guard lock(m_mutex);
    m_queue.clear();
}

void JobRunner::enqueue(Entry entry) {
    bool schedule = false;
    {
        std::lock_guard lock(m_mutex);
        m_queue.push_back(std::move(entry));
        if (!m_drainScheduled) {
            m_drainScheduled = true;
            schedule = true;
        }
    }
    if (schedule) {
        QMetaObject::invokeMethod(this, &JobRunner::drain, Qt::QueuedConnection);
    }
}

JobRunner::Job* JobRunner::findJob(std::uint64_t id) {
    for (auto& job : m_jobs) {
        if (job->id == id) {
            return job.get();
        }
    }
    return nullptr;
}

void JobRunner::finishJob(std::uint64_t id) {
    for (auto it = m_jobs.begin(); it != m_jobs.end(); ++it) {
        if ((*it)->id == id) {
            // The thread has queued its last entry; joining waits only for its return.
            (*it)->thread.join();
            const bool stopped = (*it)->stopped;
            auto onDone = std::move((*it)->onDone);
            m_jobs.erase(it);
            if (!stopped && onDone) {
                onDone();
            }
            return;
        }
    }
}

void JobRunner::drain() {
    std::vector<Entry> batch;
    {
        std::lock_guard lock(m_mutex);
        batch.swap(m_queue);
    }
    QElapsedTimer clock;
    clock.start();
    size_t i = 0;
    for (; i < batch.size(); ++i) {
        Entry& entry = batch[i];
        if (entry.finished) {
            finishJob(entry.jobId);
        } else if (Job* job = findJob(entry.jobId); job != nullptr && !job->stopped) {
            entry.apply();
        }
        if (clock.elapsed() >= kApplyBudgetMs && i + 1 < batch.size()) {
            ++i;
            break;
        }
    }
    bool reschedule = false;
    {
        std::lock_guard lock(m_mutex);
        if (i < batch.size()) {
            // Put the rest back in front of anything that arrived meanwhile.
            std::vector<Entry> rest(std::make_move_iterator(batch.begin() + static_cast<long>(i)),
                                    std::make_move_iterator(batch.end()));
            rest.insert(rest.end(), std::make_move_iterator(m_queue.begin()),
                        std::make_move_iterator(m_queue.end()));
            m_queue.swap(rest);
        }
        m_drainScheduled = !m_queue.empty();
        reschedule = m_drainScheduled;
    }
    Q_EMIT applied();
    if (reschedule) {
        QMetaObject::invokeMethod(this, &JobRunner::drain, Qt::QueuedConnection);
    }
}

}  // namespace quendrix
