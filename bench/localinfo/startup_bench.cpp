// Start-up to a visible window: the main window made with all nine pages, shown, and the event
// loop turned until the platform has exposed it (its first paint). The figure to keep within
// is 100 ms. Side by side in one run: the program's pages (Local Information reading the
// machine's sources on its job), the same with that page an empty frame, as it was before it
// had a tool, and with sources that take 300 ms to read (a slow system), which must not delay
// the window either. The window's settings come from an empty folder of the benchmark's own, and
// the message boxes go to a silent double, so nothing waits for a user.
#include "app/main_window.h"
#include "app/page_registry.h"
#include "core/prompts.h"
#include "core/widgets/tool_page.h"
#include "support/silent_host.h"
#include "tools/localinfo/local_info_page.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QTemporaryDir>
#include <QWindow>

#include <benchmark/benchmark.h>

#include <chrono>
#include <memory>
#include <thread>

namespace quendrix {
namespace {

enum class LocalInformation { Empty, Program, Slow };

std::vector<PageEntry> Pages(LocalInformation kind) {
    std::vector<PageEntry> pages = PageRegistry();
    for (PageEntry& entry : pages) {
        if (entry.objectName != QStringLiteral("local_information_tab")) {
            continue;
        }
        if (kind == LocalInformation::Empty) {
            entry.factory = [name = entry.objectName](const PageServices&, QWidget* parent) {
                return new ToolPage(name, QString(), parent);
            };
        } else if (kind == LocalInformation::Slow) {
            entry.factory = [](const PageServices& services, QWidget* parent) -> ToolPage* {
                localinfo::Sources sources = localinfo::SystemSources();
                sources.readParams = [] {
                    std::this_thread::sleep_for(std::chrono::milliseconds(300));
                    return net::ReadNetworkParams();
                };
                return new LocalInfoPage(services.host, std::move(sources), parent);
            };
        }
    }
    return pages;
}

void StartUpToVisibleWindow(benchmark::State& state, LocalInformation kind) {
    QTemporaryDir dir;
    bench::SilentPrompts prompts;
    for (auto _ : state) {
        QElapsedTimer clock;
        clock.start();
        MainWindowOptions options;
        options.executableDirectory = dir.path();
        options.settingsFiles = {dir.filePath(QStringLiteral("settings.ini")),
                                 dir.filePath(QStringLiteral("settings.ini"))};
        options.prompts = &prompts;
        options.pages = Pages(kind);
        auto window = std::make_unique<Tmain>(options);
        window->show();
        while (window->windowHandle() == nullptr || !window->windowHandle()->isExposed()) {
            QApplication::processEvents(QEventLoop::AllEvents, 5);
        }
        // The turn that paints the exposed window.
        QApplication::processEvents();
        state.SetIterationTime(static_cast<double>(clock.nsecsElapsed()) / 1e9);
        state.PauseTiming();
        window->hide();
        window.reset();
        QApplication::processEvents();
        state.ResumeTiming();
    }
}
BENCHMARK_CAPTURE(StartUpToVisibleWindow, EmptyLocalInformation, LocalInformation::Empty)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond)
    ->Iterations(20);
BENCHMARK_CAPTURE(StartUpToVisibleWindow, ProgramPages, LocalInformation::Program)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond)
    ->Iterations(20);
BENCHMARK_CAPTURE(StartUpToVisibleWindow, SlowSources, LocalInformation::Slow)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond)
    ->Iterations(20);

}  // namespace
}  // namespace quendrix
