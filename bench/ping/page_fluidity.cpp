// How fluid the Batch Ping page stays while a run pours 100,000 rows into its grid (20,000
// loopback entries pinged 5 times each): the page is shown (offscreen) and a zero timer notes
// the gap between event-loop turns. Also gives the cost per echo through the whole page.
//
//   QT_QPA_PLATFORM=offscreen bench_ping_page_fluidity
#include "core/result_table_model.h"
#include "core/target_list_model.h"
#include "core/widgets/target_list_panel.h"
#include "net/icmp_echo.h"
#include "support/event_loop_gaps.h"
#include "support/loopback_targets.h"
#include "support/silent_host.h"
#include "tools/ping/ping_page.h"
#include "tools/ping/ping_run.h"

#include <QApplication>
#include <QComboBox>

#include <benchmark/benchmark.h>

namespace quendrix {
namespace {

void BM_PingPageFluidity(benchmark::State& state) {
    const int count = static_cast<int>(state.range(0));
    constexpr int kPingCount = 5;
    const QStringList entries = test::LoopbackTargets(count);
    auto echo = std::make_shared<net::IcmpEcho>();
    if (auto reason = echo->unavailableReason()) {
        state.SkipWithError(reason->c_str());
        return;
    }
    for (auto _ : state) {
        bench::SilentHost host;
        PingPage page(host, echo);
        page.resize(880, 600);
        page.show();
        page.findChild<QComboBox*>(QStringLiteral("ComboBox1"))
            ->setCurrentText(QString::number(kPingCount));
        page.list()->model()->replaceAll(entries);
        QApplication::processEvents();

        bench::EventLoopGaps gaps;
        gaps.start();
        page.ping_start_buttonClick();
        page.run()->waitForIdle(600000);
        const double seconds = gaps.stop();
        state.SetIterationTime(seconds);

        const double rows = page.grid()->resultCount();
        state.counters["rows"] = rows;
        state.counters["successful"] = page.run()->counters().successful;
        gaps.report(state);
        state.counters["us_per_echo"] = rows > 0 ? seconds * 1e6 / rows : 0;
    }
}
BENCHMARK(BM_PingPageFluidity)
    ->Arg(20000)
    ->Iterations(1)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace quendrix
