// Start-up to a visible window: the desktop program started as a user starts it (splash,
// every page built, settings read), timed from just before its exec (QUENDRIX_T0_NS, the
// realtime clock in nanoseconds, set by startup.sh) to the main window's first exposure on
// the X server; prints the milliseconds and closes. Usage: startup_probe FOLDER (settings.ini
// goes there).
#include "app/main_window.h"
#include "app/run.h"
#include "http/fetch_service.h"

#include <QTimer>
#include <QWindow>

#include <cstdio>
#include <cstdlib>
#include <ctime>

namespace {

long long nowNs() {
    timespec now{};
    clock_gettime(CLOCK_REALTIME, &now);
    return static_cast<long long>(now.tv_sec) * 1000000000LL + now.tv_nsec;
}

}  // namespace

int main(int argc, char** argv) {
    using namespace quendrix;
    http::GlobalInit();
    const char* start = std::getenv("QUENDRIX_T0_NS");
    const long long t0 = start != nullptr ? std::atoll(start) : nowNs();
    RunOptions options;
    if (argc > 1) {
        options.executableDirectory = QString::fromLocal8Bit(argv[1]);
    }
    options.started = [t0](Tmain& window) {
        auto* poll = new QTimer(&window);
        QObject::connect(poll, &QTimer::timeout, &window, [&window, poll, t0] {
            if (window.windowHandle() == nullptr || !window.windowHandle()->isExposed()) {
                return;
            }
            poll->stop();
            std::printf("%.2f\n", static_cast<double>(nowNs() - t0) / 1e6);
            std::fflush(stdout);
            window.close();
        });
        poll->start(0);
    };
    return RunQuendrix(argc, argv, options);
}
