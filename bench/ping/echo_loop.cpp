// Sequential echoes to 127.0.0.1 through IcmpEcho, for bench/ping/echo-vs-peers.sh: the same
// work as the minimal C pinger and `ping -c N -i 0 -q`, timed from outside as whole runs.
//
//   bench_icmp_echo_loop [count]   (default 1000; prints the replies and the socket kind)
#include "net/icmp_echo.h"

#include <arpa/inet.h>

#include <cstdio>
#include <cstdlib>
#include <string_view>

int main(int argc, char** argv) {
    using namespace std::chrono_literals;
    const long count = argc > 1 ? std::atol(argv[1]) : 1000;
    if (count < 1 || count > 1'000'000) {
        std::fprintf(stderr, "count must be 1 to 1000000\n");
        return 2;
    }
    constexpr std::string_view kData = "-------Hello,World!---------------";
    const std::span<const std::uint8_t> data(reinterpret_cast<const std::uint8_t*>(kData.data()),
                                             kData.size());
    quendrix::net::IcmpEcho echo;
    if (auto reason = echo.unavailableReason()) {
        std::fprintf(stderr, "%s\n", reason->c_str());
        return 1;
    }
    const std::uint32_t loopback = htonl(INADDR_LOOPBACK);
    long replies = 0;
    for (long i = 0; i < count; ++i) {
        if (echo.echo(loopback, data, 1000ms).replied()) {
            ++replies;
        }
    }
    const bool raw = echo.socketKind() == quendrix::net::IcmpSocketKind::Raw;
    std::printf("%ld/%ld replies over a %s socket\n", replies, count, raw ? "raw" : "datagram");
    return replies == count ? 0 : 1;
}
