// How long importing a 1,000,000-line target file takes: reading and splitting the file,
// and the whole import into a shown list (model reset and view layout), offscreen.
//   build/release/bin/list_import_bench
#include "core/target_list_model.h"
#include "core/widgets/target_list_panel.h"
#include "support/silent_host.h"

#include <QApplication>
#include <QFile>
#include <QListView>
#include <QTemporaryDir>

#include <benchmark/benchmark.h>

namespace {

QString makeFile(const QTemporaryDir& dir, int lines) {
    const QString path = dir.filePath(QStringLiteral("targets.txt"));
    QFile file(path);
    file.open(QIODevice::WriteOnly);
    QByteArray text;
    text.reserve(lines * 20);
    for (int i = 0; i < lines; ++i) {
        text += "host-" + QByteArray::number(i) + ".example.org\r\n";
    }
    file.write(text);
    return path;
}

void BM_ReadTargetFile(benchmark::State& state) {
    QTemporaryDir dir;
    const QString path = makeFile(dir, static_cast<int>(state.range(0)));
    for (auto _ : state) {
        QString error;
        auto lines = quendrix::ReadTargetFile(path, &error);
        benchmark::DoNotOptimize(lines);
    }
    state.SetItemsProcessed(state.iterations() * state.range(0));
}
BENCHMARK(BM_ReadTargetFile)->Arg(1000000)->Unit(benchmark::kMillisecond);

void BM_ImportIntoShownList(benchmark::State& state) {
    QTemporaryDir dir;
    const QString path = makeFile(dir, static_cast<int>(state.range(0)));
    quendrix::bench::SilentHost host;
    quendrix::TargetListConfig config;
    quendrix::TargetListPanel panel(config, host);
    panel.resize(230, 400);
    panel.show();
    for (auto _ : state) {
        panel.importFile(path);
        QApplication::processEvents();  // the view lays out and paints the new list
        state.PauseTiming();
        panel.clearAllClick();
        QApplication::processEvents();
        state.ResumeTiming();
    }
    state.SetItemsProcessed(state.iterations() * state.range(0));
}
BENCHMARK(BM_ImportIntoShownList)->Arg(1000000)->Unit(benchmark::kMillisecond);

}  // namespace
