// A stop callback writes the eventfd, which the wait polls beside the descriptor. The count
// is read back only when a wake was written, so the next wait starts clean without a system
// call in the common case.
#include "net/waiter.h"

#include <sys/eventfd.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstdint>
#include <optional>

namespace quendrix::net {

Waiter::Waiter() : m_wakeFd(eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK)) {
    m_wakeError = m_wakeFd < 0 ? errno : 0;
}

Waiter::~Waiter() {
    if (m_wakeFd >= 0) {
        close(m_wakeFd);
    }
}

Result<WaitOutcome> Waiter::wait(int fd, Clock::time_point deadline, const std::stop_token& stop,
                                 short events) {
    if (m_wakeFd < 0) {
        return Error::fromErrno(m_wakeError);
    }
    if (stop.stop_requested()) {
        return WaitOutcome::Stopped;
    }
    std::atomic<bool> woken{false};
    auto wake = [this, &woken] {
        woken.store(true);
        std::uint64_t one = 1;
        // The counter cannot overflow with one write per wait; nothing else can fail here.
        [[maybe_unused]] ssize_t n = write(m_wakeFd, &one, sizeof one);
    };
    std::optional<std::stop_callback<decltype(wake)>> onStop;
    if (stop.stop_possible()) {
        onStop.emplace(stop, wake);
    }
    const auto finish = [&](Result<WaitOutcome> outcome) {
        // After the callback is gone no wake can come any more: what was written is read.
        onStop.reset();
        if (woken.load()) {
            std::uint64_t count = 0;
            [[maybe_unused]] ssize_t n = read(m_wakeFd, &count, sizeof count);
        }
        return outcome;
    };

    for (;;) {
        if (stop.stop_requested()) {
            return finish(WaitOutcome::Stopped);
        }
        const Clock::time_point now = Clock::now();
        if (now >= deadline) {
            return finish(WaitOutcome::TimedOut);
        }
        const auto remaining = std::chrono::duration_cast<std::chrono::nanoseconds>(deadline - now);
        timespec timeout{};
        timeout.tv_sec = static_cast<time_t>(remaining.count() / 1'000'000'000);
        timeout.tv_nsec = static_cast<long>(remaining.count() % 1'000'000'000);
        pollfd fds[2] = {{fd, events, 0}, {m_wakeFd, POLLIN, 0}};
        const int n = ppoll(fds, 2, &timeout, nullptr);
        if (n < 0) {
            if (errno == EINTR) {
                continue;
            }
            return finish(Error::fromErrno(errno));
        }
        if (fds[1].revents != 0) {
            return finish(WaitOutcome::Stopped);
        }
        // Errors and hang-ups count as ready: the call that follows reads them.
        if (fds[0].revents != 0) {
            return finish(WaitOutcome::Ready);
        }
    }
}

}  // namespace quendrix::net
