// Fetches per second of one download slot fetching one page at a time: the page at URL,
// COUNT times (each with its own "?n=" so no cache could answer), through the slot and the
// network thread exactly as the scheduler drives them. Prints "<count> <seconds>".
//
//   scanner_fetch_rate URL COUNT
#include "http/fetch_service.h"
#include "tools/scanner/http_get.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>

int main(int argc, char** argv) {
    using namespace std::chrono;
    quendrix::http::GlobalInit();
    if (argc != 3) {
        std::fprintf(stderr, "usage: scanner_fetch_rate URL COUNT\n");
        return 2;
    }
    const std::string url = argv[1];
    const long count = std::strtol(argv[2], nullptr, 10);
    quendrix::http::FetchService service;
    quendrix::TMFHttpGet slot(service);
    slot.ProxyType = quendrix::PROXY_DIRECT;
    long failed = 0;
    const auto start = steady_clock::now();
    for (long i = 1; i <= count; ++i) {
        slot.Url.Crack(url + "?n=" + std::to_string(i));
        slot.StartFetch(0);
        while (slot.SlotState != quendrix::TSlotState::Finished) {
            if (!service.waitForPosted(1, seconds(30))) {
                std::fprintf(stderr, "no end within 30 s\n");
                return 1;
            }
            for (auto& post : service.takePosted()) {
                slot.takeIn(std::move(post), 0);
            }
        }
        failed += slot.Succeeded && slot.StatusCode == 200 ? 0 : 1;
        slot.Reap();
        slot.SlotState = quendrix::TSlotState::Idle;
    }
    const double seconds = duration<double>(steady_clock::now() - start).count();
    std::printf("%ld %.6f\n", count, seconds);
    if (failed > 0) {
        std::fprintf(stderr, "%ld fetches failed\n", failed);
        return 1;
    }
    return 0;
}
