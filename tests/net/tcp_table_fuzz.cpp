// Fuzz target for the TCP table's parsers: the first byte chooses the reader (a netlink dump
// datagram, /proc/net/tcp or /proc/net/tcp6 text), the rest is its input. Built with libFuzzer
// under clang; with other compilers the seed files given on the command line are replayed.
#include "net/tcp_table.h"

#include <cstdint>
#include <cstdlib>
#include <string_view>
#include <vector>

namespace {

// Only listening and established rows may come out of any input.
void checkRows(const std::vector<quendrix::net::TcpConnection>& rows) {
    for (const auto& row : rows) {
        if (row.state != quendrix::net::TcpState::Listening &&
            row.state != quendrix::net::TcpState::Established) {
            std::abort();
        }
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0) {
        return 0;
    }
    const std::span<const std::uint8_t> input(data + 1, size - 1);
    std::vector<quendrix::net::TcpConnection> rows;
    switch (data[0] % 3) {
        case 0: {
            const auto parsed = quendrix::net::parseSockDiagDatagram(input, 1, rows);
            if (!parsed && parsed.error().text.empty()) {
                std::abort();  // every refusal says why
            }
            break;
        }
        default: {
            const std::string_view text(reinterpret_cast<const char*>(input.data()), input.size());
            const auto parsed = quendrix::net::parseProcNetTcp(text, data[0] % 3 == 2, rows);
            if (!parsed && parsed.error().text.empty()) {
                std::abort();
            }
            break;
        }
    }
    checkRows(rows);
    quendrix::net::sortTcpTable(rows);
    return 0;
}

#include "support/fuzz_replay_main.h"
