// Fuzz target for the echo reply parser: any bytes, read with and without an IP header.
// Built with libFuzzer under clang; with other compilers the same entry point replays the
// seed files given on the command line, so the seeds run as an ordinary test.
#include "net/icmp_echo.h"

#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::span<const std::uint8_t> bytes(data, size);
    for (bool withIpHeader : {false, true}) {
        if (auto reply = quendrix::net::parseEchoReply(bytes, withIpHeader)) {
            // The echoed data must lie inside the input, after at least the ICMP header.
            const std::uint8_t* begin = reply->data.data();
            if (begin < data + 8 || begin + reply->data.size() > data + size) {
                std::abort();
            }
        }
    }
    return 0;
}

#include "support/fuzz_replay_main.h"
