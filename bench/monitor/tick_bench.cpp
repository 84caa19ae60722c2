// The monitor's tick over the machine's table, in a network namespace of the benchmark's own
// holding QUENDRIX_BENCH_CONNECTIONS loopback connections (default 5000: 10,000 established
// sockets and a listener), beside one `ss -tan state established` run over the same table:
//   SteadyTick  every connection already known, a 99,000-row history: read, key test, nothing new
//   FirstTick   an empty history: the tick that records every connection, rows handed over to
//               the UI thread and written into a grid model as the page writes them
//   TableTexts  the read and the rows' texts alone, on the calling thread
// Wall time throughout (the tick runs on a worker; ss in a child process). Needs root.
#include "core/result_table_model.h"
#include "monitor/loopback_table.h"
#include "tools/monitor/connection_monitor.h"

#include <QCoreApplication>

#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdio>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace quendrix::monitor {
namespace {

constexpr int kHistoryRows = 99000;

// The machine's table; the next read only also hands out `extra` rows no socket has, so one
// tick can fill the history with keys of connections that are gone.
class PaddedSource final : public ConnectionSource {
  public:
    Result<std::vector<TTcpConnStatus>> read() override {
        auto table = m_system.read();
        if (table && !m_extra.empty()) {
            table->insert(table->end(), m_extra.begin(), m_extra.end());
            m_extra.clear();
        }
        return table;
    }
    void padNextRead(int count) {
        m_extra.clear();
        for (int i = 0; i < count; ++i) {
            m_extra.push_back({QStringLiteral(" 10.250.  9.  1"), portText(1024 + i % 60000),
                               addressText(htonl(0x0afa0a00u + static_cast<unsigned>(i / 60000))),
                               QStringLiteral("  81"), QStringLiteral("established")});
        }
    }

  private:
    SystemConnectionSource m_system;
    std::vector<TTcpConnStatus> m_extra;
};

struct Monitor {
    std::shared_ptr<PaddedSource> source = std::make_shared<PaddedSource>();
    ResultTableModel grid{QStringList(8, QString())};
    ConnectionMonitor engine{source, [this](std::span<HistoryRow> rows) {
                                 for (const HistoryRow& row : rows) {
                                     grid.writeRow(HistoryCells(row));
                                 }
                             }};

    Monitor() { engine.stop(); }
    // One tick, to the end of its hand-over.
    bool tick() { return engine.TimerTimer() && engine.waitForTick(600000); }
    void clear() {
        engine.clear();
        engine.stop();
        grid.clearResults();
    }
};

void BM_SteadyTick(benchmark::State& state) {
    Monitor monitor;
    monitor.clear();
    // The history: today's connections and the keys of 99,000 rows in all.
    const int open = [] {
        SystemConnectionSource system;
        auto table = system.read();
        return table ? static_cast<int>(std::count_if(
                           table->begin(), table->end(),
                           [](const TTcpConnStatus& row) { return row.status == u"established"; }))
                     : 0;
    }();
    monitor.source->padNextRead(kHistoryRows - open);
    if (!monitor.tick()) {
        state.SkipWithError("the first tick did not end");
        return;
    }
    const int history = monitor.engine.historyCount();
    for (auto _ : state) {
        if (!monitor.tick()) {
            state.SkipWithError("a tick did not end");
            return;
        }
    }
    if (monitor.engine.historyCount() != history) {
        state.SkipWithError("a steady tick recorded rows");
    }
    state.counters["history"] = history;
}

void BM_FirstTick(benchmark::State& state) {
    Monitor monitor;
    int recorded = 0;
    for (auto _ : state) {
        state.PauseTiming();
        monitor.clear();
        state.ResumeTiming();
        if (!monitor.tick()) {
            state.SkipWithError("a tick did not end");
            return;
        }
        recorded = monitor.engine.historyCount();
    }
    state.counters["recorded"] = recorded;
}

// The part of a tick before the key test: the table read and its rows as texts, on this
// thread, with no hand-over.
void BM_TableTexts(benchmark::State& state) {
    SystemConnectionSource system;
    std::size_t rows = 0;
    for (auto _ : state) {
        auto table = system.read();
        if (!table) {
            state.SkipWithError(table.error().text.c_str());
            return;
        }
        rows = table->size();
    }
    state.counters["rows"] = static_cast<double>(rows);
}

void BM_SsEstablished(benchmark::State& state) {
    bench::SsEstablished(state);
}

BENCHMARK(BM_SteadyTick)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_FirstTick)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_TableTexts)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_SsEstablished)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace
}  // namespace quendrix::monitor

int main(int argc, char** argv) {
    // The monitor's jobs need the application object; it is made after the namespace.
    std::optional<QCoreApplication> app;
    return quendrix::bench::RunLoopbackBenchmarks(argc, argv, "monitor_tick_bench",
                                                  [&] { app.emplace(argc, argv); });
}
