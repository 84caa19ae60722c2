// How long Abort takes to end a fetch waiting on a server that accepts and never answers: from
// the abort to its end posted by the network thread (the fetch has sent its request first).
#include "http/fetch_service.h"
#include "support/http_fixture.h"

#include <benchmark/benchmark.h>

#include <chrono>

namespace {

void BM_AbortOfAWaitingFetch(benchmark::State& state) {
    quendrix::test::HttpFixture fixture;
    fixture.script("/never", quendrix::test::HttpReply::Never());
    quendrix::http::FetchService service;
    quendrix::http::FetchRequest request;
    request.url = fixture.url("/never");
    request.agent = "bench";
    request.proxy = quendrix::http::ProxyMode::Direct;
    std::size_t sent = 0;
    for (auto _ : state) {
        const auto id = service.start(request);
        if (!fixture.waitForRequests(++sent, std::chrono::seconds(30))) {
            state.SkipWithError("the request never reached the server");
            break;
        }
        const auto start = std::chrono::steady_clock::now();
        service.abort(id);
        if (!service.waitForPosted(1, std::chrono::seconds(30))) {
            state.SkipWithError("no end within 30 s");
            break;
        }
        const auto end = std::chrono::steady_clock::now();
        const auto posts = service.takePosted();
        if (posts.size() != 1 || !posts[0].skipped) {
            state.SkipWithError("the end was not a skipped fetch");
            break;
        }
        state.SetIterationTime(std::chrono::duration<double>(end - start).count());
    }
}
BENCHMARK(BM_AbortOfAWaitingFetch)->UseManualTime()->Unit(benchmark::kMicrosecond);

}  // namespace
