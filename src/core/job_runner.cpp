#include "core/job_runner.h"

#include "core/errors.h"
#include "core/prompts.h"

#include <QEventLoop>
#include <QSocketNotifier>
#include <QTimer>

#include <sys/eventfd.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <exception>
#include <iterator>
#include <system_error>

namespace quendrix {
namespace {

// While rows keep coming the UI thread collects them this often ...
constexpr int kCollectMs = 25;
// ... and the worker wakes it early once this many wait, so that applying them overlaps the
// work still to come. A lone row (a slow look-up) is shown at once.
constexpr std::size_t kWakeRows = 256;
// One turn applies rows for about this long: with the grid's own work in the same turn the
// window still answers within some 20 ms while a fast job runs far ahead of it.
constexpr std::chrono::nanoseconds kApplyBudget = std::chrono::milliseconds(8);
// Rows are handed to apply in slices of about this much work, so the turn can stop on time
// without a clock read per row.
constexpr double kSliceNs = 1e6;
// The first slice, before anything is known of what a row costs.
constexpr std::size_t kFirstSliceRows = 64;

}  // namespace

void ShowJobFailure(Prompts& prompts, const JobOutcome& outcome) {
    if (outcome.failed()) {
        prompts.message(QStringLiteral("Quendrix"), outcome.text(), Prompts::Icon::Error);
    }
}

JobRunnerBase::JobRunnerBase(QObject* parent)
    : QObject(parent), m_budget(kApplyBudget), m_wakeFd(eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK)) {
    qRegisterMetaType<JobOutcome>();
    if (m_wakeFd < 0) {
        throw std::system_error(errno, std::generic_category(), "eventfd");
    }
    m_wake = new QSocketNotifier(m_wakeFd, QSocketNotifier::Read, this);
    connect(m_wake, &QSocketNotifier::activated, this, &JobRunnerBase::onWake);
}

JobRunnerBase::~JobRunnerBase() {
    // The typed runner has shut down already; this only covers a runner that never started.
    shutdown();
    delete m_wake;
    ::close(m_wakeFd);
}

JobId JobRunnerBase::launch(
    std::function<void(ContextBase&)> work,
    std::function<std::unique_ptr<ContextBase>(JobId, std::stop_token)> makeContext) {
    auto job = std::make_unique<Job>();
    job->id = m_nextId++;
    std::unique_ptr<ContextBase> context = makeContext(job->id, job->stopSource.get_token());
    job->thread = std::thread([this, context = std::move(context), work = std::move(work)] {
        End end{context->id(), {}};
        try {
            work(*context);
            if (context->m_failed) {
                end.outcome = JobOutcome::Failure(std::move(context->m_error));
            } else if (context->stopRequested()) {
                end.outcome.kind = JobOutcome::Kind::Stopped;
            }
        } catch (const UserError& error) {
            end.outcome =
                JobOutcome::Failure({ErrorCode::System, 0, error.message().toStdString()}, true);
        } catch (const std::system_error& error) {
            const bool errnoValue = error.code().category() == std::generic_category() ||
                                    error.code().category() == std::system_category();
            end.outcome = JobOutcome::Failure(
                {ErrorCode::System, errnoValue ? error.code().value() : 0, error.what()}, true);
        } catch (const std::exception& error) {
            end.outcome = JobOutcome::Failure({ErrorCode::System, 0, error.what()}, true);
        } catch (...) {
            end.outcome = JobOutcome::Failure({ErrorCode::System, 0, "unknown exception"}, true);
        }
        std::lock_guard lock(m_mutex);
        m_ends.push_back(std::move(end));
        // The end is never left for the timer: whoever waits for it hears at once.
        if (!m_posted) {
            m_posted = true;
            postCollect();
        }
    });
    const JobId id = job->id;
    m_jobs.push_back(std::move(job));
    return id;
}

void JobRunnerBase::rowAddedLocked(std::unique_lock<std::mutex>& lock, std::size_t waiting) {
    if (!m_posted && (!m_timerDue || waiting >= kWakeRows)) {
        m_posted = true;
        postCollect();
    }
    lock.unlock();
}

void JobRunnerBase::postCollect() {
    // A counter write: no Qt object is touched off the UI thread, so waking costs no event or
    // slot object made on one thread and deleted on the other.
    eventfd_write(m_wakeFd, 1);
}

void JobRunnerBase::onWake() {
    eventfd_t count = 0;
    eventfd_read(m_wakeFd, &count);
    collect(false);
}

void JobRunnerBase::collect(bool timer) {
    if (m_applying) {
        // Called from an event loop that something applied is running (a message box): the
        // rows being applied must stay where they are, so this collection comes afterwards.
        std::lock_guard lock(m_mutex);
        (timer ? m_timerDue : m_posted) = false;
        m_collectAgain = true;
        return;
    }
    {
        std::lock_guard lock(m_mutex);
        if (timer) {
            m_timerDue = false;
            // A wake-up on its way does this turn's work: two collections in one turn would
            // spend the time twice.
            if (m_posted) {
                return;
            }
        } else {
            m_posted = false;
        }
    }
    m_turnClock.start();
    bool armTimer = false;
    bool again = false;  // something may be left for the next turn
    for (;;) {
        if (!m_backlog) {
            std::lock_guard lock(m_mutex);
            const bool rows = takeWaitingLocked();
            // An end comes after all its job's rows, so it is due once the rows taken with it
            // have been applied.
            m_dueEnds.insert(m_dueEnds.end(), std::make_move_iterator(m_ends.begin()),
                             std::make_move_iterator(m_ends.end()));
            m_ends.clear();
            if (!rows && m_dueEnds.empty()) {
                break;  // the worker wakes us for its next row
            }
            if (rows && !m_timerDue) {
                armTimer = true;
                m_timerDue = true;
            }
        }
        m_applying = true;
        m_backlog = !applyTaken();
        m_applying = false;
        Q_EMIT collected();
        if (m_backlog) {
            again = true;
            break;
        }
        std::vector<End> ends;
        ends.swap(m_dueEnds);
        for (const End& end : ends) {
            finishJob(end);
        }
        if (m_turnClock.nsecsElapsed() >= m_budget.count()) {
            again = true;  // whatever waits now is taken next turn
            break;
        }
    }
    if (again || m_collectAgain) {
        m_collectAgain = false;
        bool post = false;
        {
            std::lock_guard lock(m_mutex);
            post = !m_posted;
            m_posted = true;
        }
        if (post) {
            // A posted call rather than the worker's wake-up: after posted events the event
            // loop runs its timers again at their usual priority, so a long backlog does not
            // hold back the window's own timers.
            QMetaObject::invokeMethod(
                this, [this] { collect(false); }, Qt::QueuedConnection);
        }
    }
    if (armTimer) {
        QTimer::singleShot(kCollectMs, this, [this] { collect(true); });
    }
}

std::size_t JobRunnerBase::sliceRows() {
    m_sliceStartNs = m_turnClock.nsecsElapsed();
    const double left = static_cast<double>(m_budget.count() - m_sliceStartNs);
    if (left <= 0) {
        return 1;
    }
    if (m_nsPerRow <= 0) {
        return kFirstSliceRows;
    }
    return static_cast<std::size_t>(std::max(1.0, std::min(left, kSliceNs) / m_nsPerRow));
}

bool JobRunnerBase::sliceApplied(std::size_t rows) {
    const qint64 now = m_turnClock.nsecsElapsed();
    const double perRow = static_cast<double>(now - m_sliceStartNs) / static_cast<double>(rows);
    // Smoothed, so one slow row (a page's own work) does not shrink every slice after it.
    m_nsPerRow = m_nsPerRow <= 0 ? perRow : (3 * m_nsPerRow + perRow) / 4;
    return now >= m_budget.count();
}

void JobRunnerBase::finishJob(const End& end) {
    const auto it = std::find_if(m_jobs.begin(), m_jobs.end(),
                                 [&](const auto& job) { return job->id == end.id; });
    if (it == m_jobs.end()) {
        return;
    }
    // The worker has handed over its end: joining waits only for its return.
    (*it)->thread.join();
    const bool stopped = (*it)->stopped;
    m_jobs.erase(it);
    if (!stopped) {
        Q_EMIT ended(end.id, end.outcome);
    }
    Q_EMIT workerReturned(end.id);
}

const JobRunnerBase::Job* JobRunnerBase::findJob(JobId id) const {
    for (const auto& job : m_jobs) {
        if (job->id == id) {
            return job.get();
        }
    }
    return nullptr;
}

bool JobRunnerBase::live(JobId id) const {
    const Job* job = findJob(id);
    return job != nullptr && !job->stopped;
}

void JobRunnerBase::stop(JobId id) {
    for (auto& job : m_jobs) {
        if (job->id == id && !job->stopped) {
            job->stopSource.request_stop();
            job->stopped = true;
            Q_EMIT ended(id, {JobOutcome::Kind::Stopped, {}, false});
            return;
        }
    }
}

void JobRunnerBase::stopAll() {
    std::vector<JobId> ids;
    for (const auto& job : m_jobs) {
        ids.push_back(job->id);
    }
    for (const JobId id : ids) {
        stop(id);
    }
}

bool JobRunnerBase::isRunning() const {
    return std::any_of(m_jobs.begin(), m_jobs.end(), [](const auto& job) { return !job->stopped; });
}

bool JobRunnerBase::isRunning(JobId id) const {
    return live(id);
}

bool JobRunnerBase::isWorkerBusy(JobId id) const {
    return findJob(id) != nullptr;
}

namespace {

// Runs an event loop until done() holds after a job's end, or the time is up.
template <typename Done>
bool waitUntil(JobRunnerBase* runner, int timeoutMs, Done done) {
    if (done()) {
        return true;
    }
    QEventLoop loop;
    QTimer timer;
    timer.setSingleShot(true);
    QObject::connect(&timer, &QTimer::timeout, &loop, &QEventLoop::quit);
    const auto check = [&] {
        if (done()) {
            loop.quit();
        }
    };
    QObject::connect(runner, &JobRunnerBase::ended, &loop, check);
    QObject::connect(runner, &JobRunnerBase::workerReturned, &loop, check);
    timer.start(timeoutMs);
    loop.exec();
    return done();
}

}  // namespace

bool JobRunnerBase::wait(JobId id, int timeoutMs) {
    return waitUntil(this, timeoutMs, [this, id] { return !isRunning(id); });
}

bool JobRunnerBase::waitForIdle(int timeoutMs) {
    return waitUntil(this, timeoutMs, [this] { return !isRunning(); });
}

bool JobRunnerBase::waitForWorkers(int timeoutMs) {
    return waitUntil(this, timeoutMs, [this] { return !isWorkerBusy(); });
}

void JobRunnerBase::shutdown() {
    for (auto& job : m_jobs) {
        job->stopSource.request_stop();
        job->stopped = true;
    }
    for (auto& job : m_jobs) {
        if (job->thread.joinable()) {
            job->thread.join();
        }
    }
    m_jobs.clear();
    // Rows still taken belong to no live job now and are skipped; their ends are dropped.
    m_dueEnds.clear();
    std::lock_guard lock(m_mutex);
    m_ends.clear();
}

}  // namespace quendrix
