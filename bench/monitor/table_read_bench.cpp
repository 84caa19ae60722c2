// The connection table read as the monitor's tick does it (one netlink dump per family, rows
// sorted) against the /proc files read and parsed in process, and against only reading the
// text of /proc/net/tcp. Runs as root in a network namespace it makes for itself, holding
// QUENDRIX_BENCH_CONNECTIONS loopback connections (default 5000: 10,000 established sockets
// and a listener), so no other socket of the machine counts.
#include "net/tcp_table.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <sched.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <benchmark/benchmark.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

namespace {

using quendrix::net::TcpTable;

int g_connections = 5000;

// Opens a listener on 127.0.0.1:8080 and `count` connections to it; the descriptors stay open
// until the process ends.
bool openConnections(int count) {
    const rlim_t needed = static_cast<rlim_t>(2 * count + 64);
    rlimit limit{needed, needed};
    if (setrlimit(RLIMIT_NOFILE, &limit) != 0) {
        std::perror("setrlimit");
        return false;
    }
    sockaddr_in at{};
    at.sin_family = AF_INET;
    at.sin_port = htons(8080);
    at.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    const int listener = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (listener < 0 || bind(listener, reinterpret_cast<sockaddr*>(&at), sizeof at) != 0 ||
        listen(listener, 128) != 0) {
        std::perror("listener");
        return false;
    }
    for (int i = 0; i < count; ++i) {
        const int client = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        if (client < 0 || connect(client, reinterpret_cast<sockaddr*>(&at), sizeof at) != 0 ||
            accept4(listener, nullptr, nullptr, SOCK_CLOEXEC) < 0) {
            std::perror("connection");
            return false;
        }
    }
    return true;
}

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

// One run of `ss -tan state established` with its output thrown away: the way a user would
// look at the same table. Start-up included, as the user pays it.
void BM_SsEstablished(benchmark::State& state) {
    char program[] = "ss";
    char tan[] = "-tan";
    char stateWord[] = "state";
    char established[] = "established";
    char* arguments[] = {program, tan, stateWord, established, nullptr};
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
    for (auto _ : state) {
        pid_t child = 0;
        int status = 0;
        if (posix_spawnp(&child, program, &actions, nullptr, arguments, environ) != 0 ||
            waitpid(child, &status, 0) != child || !WIFEXITED(status) || WEXITSTATUS(status) != 0) {
            state.SkipWithError("ss failed");
            break;
        }
    }
    posix_spawn_file_actions_destroy(&actions);
}

// Wall time throughout: the ss run spends its time in a child process.
BENCHMARK(BM_ReadNetlink)->Unit(benchmark::kMicrosecond)->UseRealTime();
BENCHMARK(BM_ReadProcFiles)->Unit(benchmark::kMicrosecond)->UseRealTime();
BENCHMARK(BM_ReadProcNetTcpText)->Unit(benchmark::kMicrosecond)->UseRealTime();
BENCHMARK(BM_SsEstablished)->Unit(benchmark::kMicrosecond)->UseRealTime();

}  // namespace

int main(int argc, char** argv) {
    if (geteuid() != 0) {
        std::fprintf(stderr, "monitor_table_read_bench: needs root (a network namespace)\n");
        return 77;
    }
    if (const char* text = std::getenv("QUENDRIX_BENCH_CONNECTIONS")) {
        g_connections = std::atoi(text);
        if (g_connections < 0 || g_connections > 20000) {
            std::fprintf(stderr, "QUENDRIX_BENCH_CONNECTIONS: 0 to 20000\n");
            return 2;
        }
    }
    // A namespace of our own: only the benchmark's sockets are in its table; lo comes up
    // with `ip`, as the lab does.
    if (unshare(CLONE_NEWNET) != 0 || std::system("ip link set lo up") != 0) {
        std::fprintf(stderr, "cannot make a network namespace: %s\n", std::strerror(errno));
        return 1;
    }
    if (!openConnections(g_connections)) {
        return 1;
    }
    benchmark::AddCustomContext("connections", std::to_string(g_connections));
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
