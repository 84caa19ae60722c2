// What the monitor's benchmarks share: a network namespace of the benchmark's own holding many
// loopback connections (a fresh namespace has no socket but these), and one run of
// `ss -tan state established`, the way a user would otherwise look at the same table.
#pragma once

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
#include <functional>
#include <string>

namespace quendrix::bench {

// QUENDRIX_BENCH_CONNECTIONS (0 to 20000), default 5000; -1 when the value is out of range.
inline int ConnectionCountFromEnvironment() {
    const char* text = std::getenv("QUENDRIX_BENCH_CONNECTIONS");
    if (text == nullptr) {
        return 5000;
    }
    const int count = std::atoi(text);
    if (count < 0 || count > 20000) {
        std::fprintf(stderr, "QUENDRIX_BENCH_CONNECTIONS: 0 to 20000\n");
        return -1;
    }
    return count;
}

// Moves the process (still one thread) into a new network namespace with lo up, as the lab
// does, and opens a listener on 127.0.0.1:8080 and `count` connections to it; the descriptors
// stay open until the process ends. The descriptor limit is raised to fit. Needs root.
inline bool OpenLoopbackConnections(int count) {
    if (unshare(CLONE_NEWNET) != 0 || std::system("ip link set lo up") != 0) {
        std::fprintf(stderr, "cannot make a network namespace: %s\n", std::strerror(errno));
        return false;
    }
    const rlim_t needed = static_cast<rlim_t>(2 * count + 256);
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

// One run of `ss -tan state established` per iteration, its output thrown away. Start-up
// included, as the user pays it; wall time, since ss spends it in a child process.
inline void SsEstablished(benchmark::State& state) {
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

// The main of a monitor benchmark: root only (77 otherwise), the connections of
// QUENDRIX_BENCH_CONNECTIONS opened in a namespace of its own before any thread starts (the
// monitor's workers take the namespace from the calling thread), then beforeRun (for example
// the application object) and the benchmarks.
inline int RunLoopbackBenchmarks(int argc, char** argv, const char* name,
                                 const std::function<void()>& beforeRun = {}) {
    if (geteuid() != 0) {
        std::fprintf(stderr, "%s: needs root (a network namespace)\n", name);
        return 77;
    }
    const int connections = ConnectionCountFromEnvironment();
    if (connections < 0) {
        return 2;
    }
    if (!OpenLoopbackConnections(connections)) {
        return 1;
    }
    if (beforeRun) {
        beforeRun();
    }
    benchmark::AddCustomContext("connections", std::to_string(connections));
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}

}  // namespace quendrix::bench
