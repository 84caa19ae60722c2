// A resolver for the hand-off router's look-ups that answers only when the test lets it: a
// name server that has not answered yet. It never waits longer than 20 s, so no
// worker outlives a failing test.
#pragma once

#include "core/hand_off.h"

#include <chrono>
#include <condition_variable>
#include <mutex>

namespace quendrix::test {

class HeldResolver {
  public:
    HandOffRouter::Resolver resolver() {
        return [this](const QString& address) {
            std::unique_lock lock(m_mutex);
            m_changed.wait_for(lock, std::chrono::seconds(20), [this] { return m_released; });
            return QStringLiteral("name-of-") + address;
        };
    }
    void release() {
        const std::lock_guard lock(m_mutex);
        m_released = true;
        m_changed.notify_all();
    }
    ~HeldResolver() { release(); }

  private:
    std::mutex m_mutex;
    std::condition_variable m_changed;
    bool m_released = false;
};

}  // namespace quendrix::test
