// How fluid the converter page stays while a batch pours 100,000 rows into its grid: the
// page is shown (offscreen) and a zero timer notes the gap between event-loop turns. The
// entries are literal loopback addresses, which convert without any query.
//
//   QT_QPA_PLATFORM=offscreen bench_convert_grid_fluidity
#include "core/result_table_model.h"
#include "core/target_list_model.h"
#include "core/widgets/target_list_panel.h"
#include "support/silent_host.h"
#include "tools/convert/batch_conversion.h"
#include "tools/convert/converter_page.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QTimer>

#include <benchmark/benchmark.h>

#include <algorithm>
#include <vector>

namespace quendrix {
namespace {

void BM_GridFluidity(benchmark::State& state) {
    const int count = static_cast<int>(state.range(0));
    QStringList entries;
    entries.reserve(count);
    for (int i = 0; i < count; ++i) {
        entries.append(
            QStringLiteral("127.%1.%2.%3").arg(i / 65536).arg(i / 256 % 256).arg(i % 256));
    }
    for (auto _ : state) {
        bench::SilentHost host;
        ConverterPage page(host);
        page.resize(880, 600);
        page.show();
        page.list()->model()->replaceAll(entries);
        QApplication::processEvents();

        std::vector<double> gaps;
        QElapsedTimer clock;
        QTimer ticker;
        ticker.setInterval(0);
        QObject::connect(&ticker, &QTimer::timeout, [&] {
            gaps.push_back(static_cast<double>(clock.nsecsElapsed()) / 1e6);
            clock.restart();
        });
        QElapsedTimer total;
        total.start();
        clock.start();
        ticker.start();
        page.B_nametoip_start_buttonClick();
        page.batch()->waitForIdle(600000);
        ticker.stop();
        state.SetIterationTime(static_cast<double>(total.nsecsElapsed()) / 1e9);

        std::sort(gaps.begin(), gaps.end());
        state.counters["rows"] = page.grid()->resultCount();
        state.counters["turns"] = static_cast<double>(gaps.size());
        state.counters["max_gap_ms"] = gaps.empty() ? 0 : gaps.back();
        state.counters["p99_gap_ms"] =
            gaps.empty() ? 0
                         : gaps[static_cast<size_t>(0.99 * static_cast<double>(gaps.size() - 1))];
        state.counters["rows_per_s"] = static_cast<double>(page.grid()->resultCount()) /
                                       (static_cast<double>(total.nsecsElapsed()) / 1e9);
    }
}
BENCHMARK(BM_GridFluidity)
    ->Arg(100000)
    ->Iterations(1)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace quendrix

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
    }
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
