// Waits that keep the event loop turning, so queued rows, timers and posted work are applied
// while a test waits for them.
#pragma once

#include <QCoreApplication>
#include <QElapsedTimer>

#include <functional>

namespace quendrix::test {

// Turns the event loop until done() holds; false when timeoutMs passed first.
inline bool WaitUntil(const std::function<bool()>& done, int timeoutMs) {
    QElapsedTimer clock;
    clock.start();
    while (!done()) {
        if (clock.elapsed() > timeoutMs) {
            return false;
        }
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
    }
    return true;
}

inline void ProcessEventsFor(int ms) {
    WaitUntil([] { return false; }, ms);
}

}  // namespace quendrix::test
