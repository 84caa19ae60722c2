// The one wait that every blocking network call uses: until a descriptor is ready, a deadline
// passes, or the caller's stop token is triggered. A stop wakes the wait at once through an
// eventfd, so Stop ends an echo, a trace hop or a fetch promptly without polling in slices.
#pragma once

#include "net/result.h"

#include <poll.h>

#include <chrono>
#include <stop_token>

namespace quendrix::net {

enum class WaitOutcome {
    Ready,     // the descriptor has the events asked for
    TimedOut,  // the deadline passed first
    Stopped,   // a stop was requested (before or during the wait)
};

class Waiter {
  public:
    using Clock = std::chrono::steady_clock;

    Waiter();
    ~Waiter();
    Waiter(const Waiter&) = delete;
    Waiter& operator=(const Waiter&) = delete;

    // Waits for `events` on fd. A stop already requested or a deadline already passed ends
    // the wait without blocking. Fails only when the system cannot wait (no eventfd, poll
    // failing). One wait at a time per Waiter; the stop may come from any thread.
    Result<WaitOutcome> wait(int fd, Clock::time_point deadline, const std::stop_token& stop,
                             short events = POLLIN);

  private:
    int m_wakeFd = -1;
    int m_wakeError = 0;
};

}  // namespace quendrix::net
