// How fluid the Connection Monitor page stays around a 99,000-row history: the page is shown
// (offscreen) over a table the benchmark fills, and a zero timer notes the gap between
// event-loop turns while
//   Fill    one tick hands over 99,000 new connections, each appended and selected in turn
//   Steady  with those 99,000 rows in the grid, 20 ticks each add 40 rows at its end (the
//           selection scrolls there), the rest of the table all known
//
//   QT_QPA_PLATFORM=offscreen monitor_grid_fluidity_bench
#include "core/result_table_model.h"
#include "support/event_loop_gaps.h"
#include "support/silent_host.h"
#include "tools/monitor/monitor_page.h"

#include <QApplication>

#include <arpa/inet.h>

#include <benchmark/benchmark.h>

#include <mutex>
#include <vector>

namespace quendrix {
namespace {

constexpr int kHistoryRows = 99000;
constexpr int kSteadyTicks = 20;
constexpr int kRowsPerTick = 40;

// Each read hands out the first `count` rows of a table of distinct connections.
class GrowingTable final : public monitor::ConnectionSource {
  public:
    GrowingTable() {
        const int total = kHistoryRows + kSteadyTicks * kRowsPerTick;
        m_rows.reserve(total);
        for (int i = 0; i < total; ++i) {
            m_rows.push_back(
                {QStringLiteral("127.  0.  0.  1"),
                 monitor::portText(static_cast<std::uint16_t>(1024 + i % 60000)),
                 monitor::addressText(htonl(0x7f000002u + static_cast<unsigned>(i / 60000))),
                 QStringLiteral("8080"), QStringLiteral("established")});
        }
    }
    void show(int count) {
        std::lock_guard lock(m_mutex);
        m_count = count;
    }
    Result<std::vector<monitor::TTcpConnStatus>> read() override {
        std::lock_guard lock(m_mutex);
        return std::vector<monitor::TTcpConnStatus>(m_rows.begin(), m_rows.begin() + m_count);
    }

  private:
    std::mutex m_mutex;
    std::vector<monitor::TTcpConnStatus> m_rows;
    int m_count = 0;
};

struct ShownPage {
    std::shared_ptr<GrowingTable> table = std::make_shared<GrowingTable>();
    bench::SilentHost host;
    MonitorPage page{host, nullptr, table};

    ShownPage() {
        page.engine().stop();  // ticks are started here, one after the other
        page.resize(880, 600);
        page.show();
        QApplication::processEvents();
    }
    bool tick() { return page.engine().TimerTimer() && page.engine().waitForTick(600000); }
};

void BM_MonitorGridFill(benchmark::State& state) {
    for (auto _ : state) {
        ShownPage shown;
        shown.table->show(kHistoryRows);
        bench::EventLoopGaps gaps;
        gaps.start();
        const bool ended = shown.tick();
        state.SetIterationTime(gaps.stop());
        if (!ended) {
            state.SkipWithError("the tick did not end");
            return;
        }
        state.counters["rows"] = shown.page.history().resultCount();
        gaps.report(state);
    }
}

void BM_MonitorGridSteady(benchmark::State& state) {
    for (auto _ : state) {
        ShownPage shown;
        shown.table->show(kHistoryRows);
        if (!shown.tick()) {
            state.SkipWithError("the first tick did not end");
            return;
        }
        QApplication::processEvents();
        bench::EventLoopGaps gaps;
        gaps.start();
        for (int tick = 1; tick <= kSteadyTicks; ++tick) {
            shown.table->show(kHistoryRows + tick * kRowsPerTick);
            if (!shown.tick()) {
                state.SkipWithError("a tick did not end");
                return;
            }
        }
        state.SetIterationTime(gaps.stop());
        state.counters["rows"] = shown.page.history().resultCount();
        gaps.report(state);
    }
}

BENCHMARK(BM_MonitorGridFill)->Iterations(1)->UseManualTime()->Unit(benchmark::kMillisecond);
BENCHMARK(BM_MonitorGridSteady)->Iterations(1)->UseManualTime()->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace quendrix
