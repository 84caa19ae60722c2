// Pages per second of a whole crawl: the scanner component with its own 200 ms timer, as the
// page and the command line run it (follow the start site, report the links of the page's
// site), from the start address until the scan ends by itself (OnWorking(false), eleven quiet
// ticks after the last page). Prints one line of figures:
//   pages P links L errors E seconds S last_page_seconds T ticks K tick_gap_mean_ms M
//   tick_gap_max_ms X
// seconds run from StartScan to OnWorking(false); last_page_seconds to the last page handed on;
// the tick gaps are the times between the ends of two timer ticks (the tick's own work
// included), so a mean above 200 ms is latency of ours on top of the tick model.
//
//   scanner_crawl_rate [--concurrent N] [--depth N] [--time-limit SECONDS] URL
// defaults: 6 slots, depth 3 (the component's), 1800 s. Exit 0 when the scan ended by itself
// with no error, 1 otherwise, 2 on bad usage.
#include "http/fetch_service.h"
#include "tools/scanner/http_scan.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QTimer>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

namespace {

int Usage() {
    std::fprintf(stderr,
                 "usage: scanner_crawl_rate [--concurrent N] [--depth N] [--time-limit SECONDS] "
                 "URL\n");
    return 2;
}

bool ParseNumber(const char* text, long low, long high, long& value) {
    char* end = nullptr;
    value = std::strtol(text, &end, 10);
    return end != text && *end == '\0' && value >= low && value <= high;
}

}  // namespace

int main(int argc, char** argv) {
    quendrix::http::GlobalInit();
    long concurrent = 6;
    long depth = 3;
    long timeLimit = 1800;
    std::string url;
    for (int i = 1; i < argc; ++i) {
        const char* option = argv[i];
        long* target = std::strcmp(option, "--concurrent") == 0   ? &concurrent
                       : std::strcmp(option, "--depth") == 0      ? &depth
                       : std::strcmp(option, "--time-limit") == 0 ? &timeLimit
                                                                  : nullptr;
        if (target != nullptr) {
            if (i + 1 >= argc || !ParseNumber(argv[++i], 1, 100000, *target)) {
                return Usage();
            }
        } else if (option[0] != '-' && url.empty()) {
            url = option;
        } else {
            return Usage();
        }
    }
    if (url.empty()) {
        return Usage();
    }

    QCoreApplication app(argc, argv);
    quendrix::THttpScan scan;
    scan.SetLinkScan(quendrix::scanInitialSite);
    scan.SetLinkReport(quendrix::reportCurrentSiteLinks);
    scan.SetConcurrentDownloads(static_cast<int>(concurrent));
    scan.SetDepthSearchLevel(static_cast<int>(depth));
    // Loopback only: no proxy from the environment may stand in between.
    scan.SetProxyType(quendrix::PROXY_DIRECT);

    long pages = 0;
    long links = 0;
    long errors = 0;
    double lastPage = 0;
    QElapsedTimer clock;
    scan.ShowMessage = [](const std::string& text) { std::fprintf(stderr, "%s\n", text.c_str()); };
    scan.OnPageReceived = [&](const std::string&, const std::string&, const std::string&,
                              const std::string&) {
        ++pages;
        lastPage = static_cast<double>(clock.nsecsElapsed()) / 1e9;
    };
    scan.OnLinkFound = [&links](const std::string&, const std::string&, const std::string&,
                                const std::string&, const std::string&, const std::string&,
                                const std::string&, std::string&, char, int, bool&) { ++links; };
    scan.OnError = [&errors](const std::string& address, std::uint32_t code,
                             const std::string& text) {
        if (++errors <= 5) {
            std::fprintf(stderr, "error %u %s: %s\n", code, text.c_str(), address.c_str());
        }
    };

    // Connected after the component's own tick, so each call marks the end of a tick.
    long ticks = 0;
    double gapSum = 0;
    double gapMax = 0;
    qint64 lastTickEnd = -1;
    QObject::connect(&scan.Timer(), &QTimer::timeout, &app, [&] {
        const qint64 now = clock.nsecsElapsed();
        if (lastTickEnd >= 0) {
            const double gap = static_cast<double>(now - lastTickEnd) / 1e6;
            gapSum += gap;
            gapMax = std::max(gapMax, gap);
            ++ticks;
        }
        lastTickEnd = now;
    });

    double seconds = 0;
    bool ended = false;
    scan.OnWorking = [&](bool working) {
        if (!working) {
            seconds = static_cast<double>(clock.nsecsElapsed()) / 1e9;
            ended = true;
            QCoreApplication::exit(0);
        }
    };
    QTimer::singleShot(static_cast<int>(timeLimit * 1000), &app, [] {
        std::fprintf(stderr, "no end within the time limit\n");
        QCoreApplication::exit(1);
    });

    clock.start();
    if (!scan.StartScan(url)) {
        return 1;
    }
    app.exec();
    if (!ended) {
        seconds = static_cast<double>(clock.nsecsElapsed()) / 1e9;
    }
    std::printf(
        "pages %ld links %ld errors %ld seconds %.3f last_page_seconds %.3f ticks %ld "
        "tick_gap_mean_ms %.1f tick_gap_max_ms %.1f\n",
        pages, links, errors, seconds, lastPage, ticks, ticks > 0 ? gapSum / ticks : 0.0, gapMax);
    return ended && errors == 0 ? 0 : 1;
}
