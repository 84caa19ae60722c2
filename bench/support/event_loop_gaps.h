// The gaps between turns of the event loop while a page works: a zero timer notes each turn,
// so the longest gap is the longest the window could not answer the user. Also times the
// whole run. On a busy machine the wall-clock gaps mostly show the thread waiting for a core,
// so the same gaps are also noted in the UI thread's own CPU time: the work one turn did.
#pragma once

#include <QElapsedTimer>
#include <QTimer>

#include <benchmark/benchmark.h>

#include <time.h>

#include <algorithm>
#include <cstddef>
#include <vector>

namespace quendrix::bench {

class EventLoopGaps {
  public:
    EventLoopGaps() {
        m_ticker.setInterval(0);
        QObject::connect(&m_ticker, &QTimer::timeout, [this] {
            m_gaps.push_back(static_cast<double>(m_clock.nsecsElapsed()) / 1e6);
            m_clock.restart();
            const double cpu = threadCpuMs();
            m_cpuGaps.push_back(cpu - m_cpuAt);
            m_cpuAt = cpu;
        });
    }
    void start() {
        m_gaps.clear();
        m_cpuGaps.clear();
        m_total.start();
        m_clock.start();
        m_cpuAt = threadCpuMs();
        m_ticker.start();
    }
    // Returns the seconds since start().
    double stop() {
        m_ticker.stop();
        const double seconds = static_cast<double>(m_total.nsecsElapsed()) / 1e9;
        std::sort(m_gaps.begin(), m_gaps.end());
        std::sort(m_cpuGaps.begin(), m_cpuGaps.end());
        return seconds;
    }
    // turns, max_gap_ms and p99_gap_ms, and max_cpu_gap_ms (UI-thread CPU time), in
    // milliseconds.
    void report(benchmark::State& state) const {
        state.counters["turns"] = static_cast<double>(m_gaps.size());
        state.counters["max_gap_ms"] = m_gaps.empty() ? 0 : m_gaps.back();
        state.counters["p99_gap_ms"] =
            m_gaps.empty()
                ? 0
                : m_gaps[static_cast<std::size_t>(0.99 * static_cast<double>(m_gaps.size() - 1))];
        state.counters["max_cpu_gap_ms"] = m_cpuGaps.empty() ? 0 : m_cpuGaps.back();
    }

  private:
    static double threadCpuMs() {
        timespec now{};
        clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
        return static_cast<double>(now.tv_sec) * 1e3 + static_cast<double>(now.tv_nsec) / 1e6;
    }

    std::vector<double> m_gaps;
    std::vector<double> m_cpuGaps;
    double m_cpuAt = 0;  // the UI thread's CPU time at the last turn
    QElapsedTimer m_total;
    QElapsedTimer m_clock;  // since the last turn
    QTimer m_ticker;
};

}  // namespace quendrix::bench
