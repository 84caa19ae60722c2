// How fluid the converter page stays while a batch pours 100,000 rows into its grid: the
// page is shown (offscreen) and a zero timer notes the gap between event-loop turns. The
// entries are literal loopback addresses, which convert without any query.
//
//   QT_QPA_PLATFORM=offscreen bench_convert_grid_fluidity
#include "core/result_table_model.h"
#include "core/target_list_model.h"
#include "core/widgets/target_list_panel.h"
#include "support/event_loop_gaps.h"
#include "support/loopback_targets.h"
#include "support/silent_host.h"
#include "tools/convert/batch_conversion.h"
#include "tools/convert/converter_page.h"

#include <QApplication>

#include <benchmark/benchmark.h>

namespace quendrix {
namespace {

void BM_GridFluidity(benchmark::State& state) {
    const int count = static_cast<int>(state.range(0));
    const QStringList entries = test::LoopbackTargets(count);
    for (auto _ : state) {
        bench::SilentHost host;
        ConverterPage page(host);
        page.resize(880, 600);
        page.show();
        page.list()->model()->replaceAll(entries);
        QApplication::processEvents();

        bench::EventLoopGaps gaps;
        gaps.start();
        page.B_nametoip_start_buttonClick();
        page.batch()->waitForIdle(600000);
        const double seconds = gaps.stop();
        state.SetIterationTime(seconds);

        const double rows = page.grid()->resultCount();
        state.counters["rows"] = rows;
        gaps.report(state);
        state.counters["rows_per_s"] = rows / seconds;
    }
}
BENCHMARK(BM_GridFluidity)
    ->Arg(100000)
    ->Iterations(1)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace quendrix
