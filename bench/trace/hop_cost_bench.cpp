// What the trace engine costs per hop in process, inside the trace lab
// (tests/lab/trace/run-trace-lab.sh): the lab's round trip (one echo to the first router),
// the exchanges of a 4-hop trace made with the ICMP client alone (time-to-live 30, then 1 to
// 4), and the same trace through RunTrace (resolving the dotted target, log lines and rows
// handed over), without and with host names. Each figure is also given per exchange
// (per_exchange): a 4-hop trace is 5 exchanges, the first ping included. Outside the lab
// it says how to run it and exits with 77.
#include "net/raw_icmp_client.h"
#include "tools/trace/trace_run.h"

#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <sstream>
#include <string>
#include <vector>

namespace {

using namespace std::chrono_literals;
using quendrix::net::RawIcmpClient;
using quendrix::net::ReplyStatusKind;
namespace trace = quendrix::trace;

// The lab answers within microseconds; a lost answer shows as an error, not as a long wait.
constexpr auto kWait = 2s;
constexpr int kTraceExchanges = 5;

std::string g_target;
std::vector<std::string> g_hops;

void perExchange(benchmark::State& state, int exchanges) {
    state.counters["per_exchange"] =
        benchmark::Counter(static_cast<double>(state.iterations()) * exchanges,
                           benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
}

// The lab's round trip: the client's echo to the first router and its reply.
void BM_EchoToFirstRouter(benchmark::State& state) {
    RawIcmpClient client;
    client.setHost(g_hops.at(0));
    client.setReceiveTimeout(kWait);
    for (auto _ : state) {
        if (!client.ping() || client.replyStatus().replyStatusType != ReplyStatusKind::EchoReply) {
            state.SkipWithError("the first router did not answer");
            break;
        }
    }
    perExchange(state, 1);
}
BENCHMARK(BM_EchoToFirstRouter)->UseRealTime();

// The exchanges of the 4-hop trace with the client alone: no engine around it.
void BM_ClientTraceExchanges(benchmark::State& state) {
    RawIcmpClient client;
    client.setHost(g_target);
    client.setReceiveTimeout(kWait);
    for (auto _ : state) {
        for (const int timeToLive : {30, 1, 2, 3, 4}) {
            if (!client.setTimeToLive(timeToLive) || !client.ping() ||
                client.replyStatus().replyStatusType == ReplyStatusKind::TimedOut) {
                state.SkipWithError("an exchange failed or timed out");
                return;
            }
        }
    }
    perExchange(state, kTraceExchanges);
}
BENCHMARK(BM_ClientTraceExchanges)->UseRealTime();

// The whole trace through the engine; argument 1 looks up every router's name in the lab DNS.
void BM_RunTrace(benchmark::State& state) {
    trace::TraceClient client;
    const std::string& target = g_target;
    for (auto _ : state) {
        trace::TraceControls controls;
        controls.setHostRevolve(state.range(0) != 0);
        int hops = 0;
        const auto end = trace::RunTrace(client, {target, kWait}, controls, {},
                                         [&hops](trace::TraceEvent event) {
                                             hops += event.kind == trace::TraceEvent::Kind::Hop;
                                         });
        if (!end || *end != trace::TraceEnd::Traced || hops != 4) {
            state.SkipWithError("the trace did not reach the target at hop 4");
            break;
        }
    }
    perExchange(state, kTraceExchanges);
}
BENCHMARK(BM_RunTrace)->ArgName("host_names")->Arg(0)->Arg(1)->UseRealTime();

}  // namespace

int main(int argc, char** argv) {
    const char* target = std::getenv("QUENDRIX_TRACE_LAB_TARGET");
    const char* hops = std::getenv("QUENDRIX_TRACE_LAB_HOPS");
    if (target == nullptr || hops == nullptr ||
        std::getenv("QUENDRIX_TRACE_LAB_EXPECT") == nullptr ||
        std::string(std::getenv("QUENDRIX_TRACE_LAB_EXPECT")) == "none") {
        std::fprintf(stderr,
                     "trace_hop_cost_bench: needs the trace lab with an ICMP socket; run it as\n"
                     "    tests/lab/trace/run-trace-lab.sh --runs raw -- %s\n",
                     argv[0]);
        return 77;
    }
    g_target = target;
    std::istringstream words(hops);
    for (std::string hop; words >> hop;) {
        g_hops.push_back(hop);
    }
    if (g_hops.empty()) {
        std::fprintf(stderr, "trace_hop_cost_bench: QUENDRIX_TRACE_LAB_HOPS is empty\n");
        return 2;
    }
    benchmark::AddCustomContext("target", g_target);
    benchmark::AddCustomContext("run", std::getenv("QUENDRIX_TRACE_LAB_EXPECT"));
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
