// Time from Stop to the end of a whois query blocked in read on a server (on 127.0.0.1, in
// this process) that has taken the query and will never answer nor close. Each iteration
// opens a new connection; only the stop is timed.
#include "net/whois_client.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <benchmark/benchmark.h>

#include <chrono>
#include <fstream>
#include <stop_token>
#include <string>
#include <thread>

namespace {

using Clock = std::chrono::steady_clock;

// The state letter of a thread of this process ('S' while it sleeps in a wait).
char threadState(pid_t thread) {
    std::ifstream stat("/proc/self/task/" + std::to_string(thread) + "/stat");
    std::string line;
    std::getline(stat, line);
    const auto paren = line.rfind(')');
    return paren == std::string::npos || paren + 2 >= line.size() ? '?' : line[paren + 2];
}

void stopWhileWaitingForTheReply(benchmark::State& state) {
    const int listener = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    if (bind(listener, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
        listen(listener, 16) != 0 ||
        getsockname(listener, reinterpret_cast<sockaddr*>(&address), &length) != 0) {
        state.SkipWithError("cannot listen on 127.0.0.1");
        return;
    }
    const quendrix::net::WhoisClient client(ntohs(address.sin_port));
    for (auto _ : state) {
        std::stop_source stop;
        std::atomic<pid_t> worker{0};
        bool stopped = false;
        std::thread query([&] {
            worker = gettid();
            const auto reply = client.query("127.0.0.1", "example.com", stop.get_token());
            stopped = !reply && reply.code() == quendrix::ErrorCode::Stopped;
        });
        // The server takes the connection and the query line, then holds it open.
        const int connection = accept(listener, nullptr, nullptr);
        char buffer[64];
        [[maybe_unused]] ssize_t n = recv(connection, buffer, sizeof buffer, 0);
        for (int i = 0; i < 1000000 && (worker == 0 || threadState(worker) != 'S'); ++i) {
            std::this_thread::yield();
        }
        const auto started = Clock::now();
        stop.request_stop();
        query.join();
        const auto took = Clock::now() - started;
        state.SetIterationTime(std::chrono::duration<double>(took).count());
        close(connection);
        if (!stopped) {
            state.SkipWithError("the query did not end as stopped");
            break;
        }
    }
    close(listener);
}
BENCHMARK(stopWhileWaitingForTheReply)->UseManualTime()->Unit(benchmark::kMicrosecond);

}  // namespace

BENCHMARK_MAIN();
