// Fuzz target for the echo reply parser: any bytes, read with and without an IP header.
// Built with libFuzzer under clang; with other compilers the same entry point replays the
// seed files given on the command line, so the seeds run as an ordinary test.
#include "net/icmp_echo.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <vector>

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

#ifndef QUENDRIX_LIBFUZZER
int main(int argc, char** argv) {
    for (int i = 1; i < argc; ++i) {
        std::ifstream file(argv[i], std::ios::binary);
        if (!file) {
            std::fprintf(stderr, "cannot read %s\n", argv[i]);
            return 1;
        }
        const std::vector<std::uint8_t> input((std::istreambuf_iterator<char>(file)),
                                              std::istreambuf_iterator<char>());
        LLVMFuzzerTestOneInput(input.data(), input.size());
    }
    std::printf("replayed %d seeds\n", argc - 1);
    return 0;
}
#endif
