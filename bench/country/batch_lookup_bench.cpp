// The country batch over the DNS lab's benchmark names with the look-up pool at different
// sizes (1 = one look-up at a time). Only meaningful inside the lab with a delay, which is how
// bench/country/batch-vs-peers.sh runs it; outside the lab it refuses to resolve anything.
#include "tools/country/country_lookup.h"

#include <QFile>
#include <QStringList>

#include <benchmark/benchmark.h>

#include <cstdlib>
#include <stop_token>

namespace {

using namespace quendrix::whereis;

QStringList labNames() {
    const char* lab = std::getenv("QUENDRIX_LAB");
    const char* path = std::getenv("QUENDRIX_LAB_NAMES_FILE");
    if (lab == nullptr || QByteArray(lab) != "dns" || path == nullptr) {
        return {};
    }
    QFile file(QString::fromLocal8Bit(path));
    if (!file.open(QIODevice::ReadOnly)) {
        return {};
    }
    return QString::fromLocal8Bit(file.readAll()).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
}

void batchOverLabNames(benchmark::State& state) {
    static const QStringList names = labNames();
    if (names.isEmpty()) {
        state.SkipWithError("run inside the DNS lab with --bench-names (batch-vs-peers.sh)");
        return;
    }
    BatchSource source;
    source.count = [] { return static_cast<int>(names.size()); };
    source.entryAt = [](int position) -> std::optional<QString> { return names.at(position); };
    BatchOptions options;
    options.resolvers = static_cast<int>(state.range(0));
    int rows = 0;
    BatchEvents events;
    events.rowDone = [&rows](const BatchRow&) { ++rows; };
    for (auto _ : state) {
        rows = 0;
        RunBatchLookup(source, events, std::stop_token(), options);
        benchmark::DoNotOptimize(rows);
    }
    state.SetItemsProcessed(state.iterations() * names.size());
}
BENCHMARK(batchOverLabNames)
    ->ArgName("resolvers")
    ->Arg(1)
    ->Arg(8)
    ->Arg(32)
    ->Iterations(1)
    ->Repetitions(3)
    ->ReportAggregatesOnly(true)
    ->UseRealTime()
    ->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
