// The cost of one download scheduler Tick on the user-interface thread, over a 6-slot pool with
// 32,000 addresses queued, against the tests' HTTP fixture on 127.0.0.1:
//   SteadyBusy   all six slots Downloading on a server that never answers: the tick of a scan
//                whose slots all wait (take-in of nothing, deadline checks), with and without
//                the CheckProgress that follows it on every timer event
//   Assignment   every slot takes two addresses per tick (addresses the parser rejects, so no
//                fetch starts): the queue's take, the split and the settings copied into the
//                slot; FIFO and LeavesFirst (which walks the whole queue at each take). The
//                twelve addresses taken are queued again inside the timing (Enqueue included)
//   LiveScan     a real scan of 200 pages: each tick as the timer runs it (Tick, CheckProgress)
//                timed alone; between ticks the benchmark waits for the network thread's posts
//                untimed, so the figure is the mean over start, finish and hand-on ticks
//                (takes in ends, moves bodies, starts fetches)
// The clock advances 1 ms per tick here: the figure does not depend on the step, and the
// deadline of a fetch stays ahead for the whole run.
#include "support/http_fixture.h"
#include "tools/scanner/dwnld.h"

#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdint>
#include <string>

namespace quendrix {
namespace {

using namespace std::chrono_literals;

constexpr int kSlots = 6;
constexpr std::size_t kQueued = 32000;

void Configure(TMFDwnld& dwnld) {
    dwnld.ConcurrentDownloads = kSlots;
    dwnld.HtmlOnly = true;
    dwnld.TimeOut = 2000000;  // far beyond any run
    dwnld.Agent = TMFHttpGet::kDefaultAgent;
    dwnld.ProxyType = PROXY_DIRECT;
    // The scanner always has a statistics handler; without one a scan never ends.
    dwnld.OnStatistics = [](int, int, int, int, int, int) {};
}

void Fill(TMFDwnld& dwnld, const std::string& address, std::size_t count) {
    for (std::size_t i = 0; i < count; ++i) {
        dwnld.Enqueue(address + std::to_string(i), "http://127.0.0.1/", 0, true, 'A', 0,
                      1 + static_cast<int>(i % 3));
    }
}

void BM_TickSteadyBusy(benchmark::State& state) {
    const bool withCheck = state.range(0) != 0;
    test::HttpFixture fixture;
    fixture.script("/never", test::HttpReply::Never());
    TMFDwnld dwnld;
    Configure(dwnld);
    Fill(dwnld, fixture.url("/never?"), kQueued + kSlots);
    std::uint32_t now = 1000;
    dwnld.Tick(now);
    if (!fixture.waitForRequests(kSlots, 30s)) {
        state.SkipWithError("the six requests never reached the server");
        return;
    }
    for (auto _ : state) {
        dwnld.Tick(++now);
        if (withCheck) {
            benchmark::DoNotOptimize(dwnld.CheckProgress());
        }
    }
    if (dwnld.QueueCount() != kQueued ||
        dwnld.Slot(kSlots - 1).SlotState != TSlotState::Downloading) {
        state.SkipWithError("the pool did not stay busy");
    }
    state.SetLabel(withCheck ? "Tick + CheckProgress" : "Tick");
}
BENCHMARK(BM_TickSteadyBusy)->Arg(0)->Arg(1)->Unit(benchmark::kMicrosecond);

void BM_TickAssignment(benchmark::State& state) {
    TMFDwnld dwnld;
    Configure(dwnld);
    dwnld.LeavesFirst = state.range(0) != 0;
    const std::string rejected = "no address ";
    Fill(dwnld, rejected, kQueued);
    std::uint32_t now = 1000;
    dwnld.Tick(now);  // makes the pool
    Fill(dwnld, rejected, 2 * kSlots);
    for (auto _ : state) {
        dwnld.Tick(++now);
        Fill(dwnld, rejected, 2 * kSlots);
    }
    if (dwnld.QueueCount() != kQueued) {
        state.SkipWithError("the queue did not stay at 32,000");
    }
    state.SetLabel(dwnld.LeavesFirst ? "LeavesFirst" : "FIFO");
}
BENCHMARK(BM_TickAssignment)->Arg(0)->Arg(1)->Unit(benchmark::kMicrosecond);

void BM_TickLiveScan(benchmark::State& state) {
    test::HttpFixture fixture;
    fixture.script("/page", test::HttpReply::Html(200, std::string(2000, 'x')));
    TMFDwnld dwnld;
    Configure(dwnld);
    int pages = 0;
    dwnld.OnPageReceived = [&pages](TMFHttpGet&) { ++pages; };
    Fill(dwnld, fixture.url("/page?"), kQueued);
    std::uint32_t now = 1000;
    for (auto _ : state) {
        bool waiting = false;
        for (std::size_t i = 0; i < dwnld.PoolSize(); ++i) {
            waiting = waiting || dwnld.Slot(i).SlotState == TSlotState::Downloading;
        }
        if (waiting && !dwnld.Service().waitForPosted(1, 30s)) {
            state.SkipWithError("no post from the network thread within 30 s");
            break;
        }
        const auto start = std::chrono::steady_clock::now();
        dwnld.Tick(++now);
        benchmark::DoNotOptimize(dwnld.CheckProgress());
        const auto end = std::chrono::steady_clock::now();
        state.SetIterationTime(std::chrono::duration<double>(end - start).count());
        if (dwnld.QueueCount() < kQueued - 2 * kSlots) {
            Fill(dwnld, fixture.url("/page?"), 2 * kSlots);
        }
    }
    state.counters["pages"] = pages;
}
BENCHMARK(BM_TickLiveScan)->UseManualTime()->Iterations(3000)->Unit(benchmark::kMicrosecond);

}  // namespace
}  // namespace quendrix
