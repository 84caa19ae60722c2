// Fuzz target for the ICMP decoder: any bytes, read with and without an IP header. Built with
// libFuzzer under clang; with other compilers the same entry point replays the seed files given
// on the command line, so the seeds run as an ordinary test.
#include "net/icmp_message.h"

#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::span<const std::uint8_t> bytes(data, size);
    for (bool withIpHeader : {false, true}) {
        const auto message = quendrix::net::decodeIcmpMessage(bytes, withIpHeader);
        if (!message) {
            if (message.error().text.empty()) {
                std::abort();  // every refusal says why
            }
            continue;
        }
        // Echo data lies inside the input, after at least the ICMP header; errors quote a
        // datagram and carry no data of their own.
        const std::uint8_t* begin = message->data.data();
        const bool isEcho = message->kind == quendrix::net::IcmpKind::EchoReply ||
                            message->kind == quendrix::net::IcmpKind::EchoRequest;
        if (isEcho && (begin < data + 8 || begin + message->data.size() > data + size)) {
            std::abort();
        }
        if (isEcho == message->quoted.has_value() || (!isEcho && !message->data.empty())) {
            std::abort();
        }
    }
    return 0;
}

#include "support/fuzz_replay_main.h"
