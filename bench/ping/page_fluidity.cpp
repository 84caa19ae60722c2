// How fluid the Batch Ping page stays while a run pours 100,000 rows into its grid (20,000
// loopback entries pinged 5 times each): the page is shown (offscreen) and a zero timer notes
// the gap between event-loop turns. Also gives the cost per echo through the whole page.
//
//   QT_QPA_PLATFORM=offscreen bench_ping_page_fluidity
#include "core/result_table_model.h"
#include "core/target_list_model.h"
#include "core/widgets/target_list_panel.h"
#include "net/icmp_echo.h"
#include "support/silent_host.h"
#include "tools/ping/ping_page.h"
#include "tools/ping/ping_run.h"

#include <QApplication>
#include <QComboBox>
#include <QElapsedTimer>
#include <QTimer>

#include <benchmark/benchmark.h>

#include <algorithm>
#include <vector>

namespace quendrix {
namespace {

void BM_PingPageFluidity(benchmark::State& state) {
    const int count = static_cast<int>(state.range(0));
    constexpr int kPingCount = 5;
    QStringList entries;
    entries.reserve(count);
    for (int i = 0; i < count; ++i) {
        entries.append(
            QStringLiteral("127.%1.%2.%3").arg(i / 65536).arg(i / 256 % 256).arg(i % 256));
    }
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
        page.ping_start_buttonClick();
        page.run()->waitForIdle(600000);
        ticker.stop();
        const double seconds = static_cast<double>(total.nsecsElapsed()) / 1e9;
        state.SetIterationTime(seconds);

        std::sort(gaps.begin(), gaps.end());
        const double rows = page.grid()->resultCount();
        state.counters["rows"] = rows;
        state.counters["successful"] = page.run()->counters().successful;
        state.counters["turns"] = static_cast<double>(gaps.size());
        state.counters["max_gap_ms"] = gaps.empty() ? 0 : gaps.back();
        state.counters["p99_gap_ms"] =
            gaps.empty() ? 0
                         : gaps[static_cast<size_t>(0.99 * static_cast<double>(gaps.size() - 1))];
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
