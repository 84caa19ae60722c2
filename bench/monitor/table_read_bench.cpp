// The connection table read as the monitor's tick does it (one netlink dump per family, rows
// sorted) against the /proc files read and parsed in process, and against only reading the
// text of /proc/net/tcp. Runs as root in a network namespace it makes for itself, holding
// QUENDRIX_BENCH_CONNECTIONS loopback connections (default 5000: 10,000 established sockets
// and a listener), so no other socket of the machine counts.
#include "monitor/loopback_table.h"
#include "net/tcp_table.h"

#include <fcntl.h>
#include <unistd.h>

#include <benchmark/benchmark.h>

#include <cstdio>
#include <string>
#include <vector>

namespace {

using quendrix::net::TcpTable;

void tableRead(benchmark::State& state, TcpTable::Source source) {
    TcpTable table(source);
    std::size_t rows = 0;
    for (auto _ : state) {
        auto read = table.read();
        if (!read) {
            state.SkipWithError(read.error().text.c_str());
            return;
        }
        rows = read->size();
        benchmark::DoNotOptimize(read->data());
    }
    state.counters["rows"] = static_cast<double>(rows);
}

void BM_ReadNetlink(benchmark::State& state) {
    tableRead(state, TcpTable::Source::Netlink);
}
void BM_ReadProcFiles(benchmark::State& state) {
    tableRead(state, TcpTable::Source::ProcFiles);
}

// Only the text of /proc/net/tcp, unparsed: what any reader of the file pays at least.
void BM_ReadProcNetTcpText(benchmark::State& state) {
    std::string text;
    for (auto _ : state) {
        text.clear();
        const int fd = open("/proc/net/tcp", O_RDONLY | O_CLOEXEC);
        char chunk[64 * 1024];
        ssize_t count = 0;
        while ((count = read(fd, chunk, sizeof chunk)) > 0) {
            text.append(chunk, static_cast<std::size_t>(count));
        }
        close(fd);
        benchmark::DoNotOptimize(text.data());
    }
    state.counters["bytes"] = static_cast<double>(text.size());
}

void BM_SsEstablished(benchmark::State& state) {
    quendrix::bench::SsEstablished(state);
}

// Wall time throughout: the ss run spends its time in a child process.
BENCHMARK(BM_ReadNetlink)->Unit(benchmark::kMicrosecond)->UseRealTime();
BENCHMARK(BM_ReadProcFiles)->Unit(benchmark::kMicrosecond)->UseRealTime();
BENCHMARK(BM_ReadProcNetTcpText)->Unit(benchmark::kMicrosecond)->UseRealTime();
BENCHMARK(BM_SsEstablished)->Unit(benchmark::kMicrosecond)->UseRealTime();

}  // namespace

int main(int argc, char** argv) {
    return quendrix::bench::RunLoopbackBenchmarks(argc, argv, "monitor_table_read_bench");
}
