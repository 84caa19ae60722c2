// Fuzz target for the network information's parsers: the first byte chooses the reader
// (resolv.conf, a dhclient lease file, a key=value lease file, a route dump datagram, a link
// dump datagram, a lease file name with a host name), the rest is its input. Built with
// libFuzzer under clang; with other compilers the seed files given on the command line are
// replayed.
#include "net/network_info_parse.h"

#include <arpa/inet.h>

#include <cstdint>
#include <cstdlib>
#include <map>
#include <string>
#include <string_view>
#include <vector>

namespace {

// Every address that comes out is one an IPv4 parser takes back.
void checkAddress(const std::string& text, bool emptyAllowed) {
    in_addr address{};
    if (text.empty() ? !emptyAllowed : inet_pton(AF_INET, text.c_str(), &address) != 1) {
        std::abort();
    }
}

void checkRefusal(const quendrix::Result<bool>& parsed) {
    if (!parsed && parsed.error().text.empty()) {
        std::abort();  // every refusal says why
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace quendrix::net;
    if (size == 0) {
        return 0;
    }
    const std::span<const std::uint8_t> bytes(data + 1, size - 1);
    const std::string_view text(reinterpret_cast<const char*>(bytes.data()), bytes.size());
    switch (data[0] % 6) {
        case 0: {
            const auto config = parseResolvConf(text);
            for (const auto& server : config.nameservers) {
                checkAddress(server, false);
            }
            break;
        }
        case 1:
            for (const auto& lease : parseDhclientLeases(text)) {
                checkAddress(lease.address, false);
                checkAddress(lease.server, true);
                if (lease.obtained < 0 || (lease.obtained != 0 && lease.obtained > lease.expires)) {
                    std::abort();
                }
            }
            break;
        case 2:
            if (const auto lease = parseKeyValueLease(text, 1000)) {
                checkAddress(lease->address, false);
                checkAddress(lease->server, true);
                if (lease->obtained != 1000 || (lease->expires != 0 && lease->expires < 1000)) {
                    std::abort();
                }
            }
            break;
        case 3: {
            std::vector<RouteGateway> gateways;
            checkRefusal(parseRouteDatagram(bytes, 1, gateways));
            for (const auto& route : gateways) {
                checkAddress(route.gateway, false);
            }
            break;
        }
        case 4: {
            std::map<unsigned, std::string> kinds;
            checkRefusal(parseLinkDatagram(bytes, 1, kinds));
            for (const auto& [index, kind] : kinds) {
                if (index == 0 || kind.empty()) {
                    std::abort();
                }
            }
            break;
        }
        default: {
            const std::string name = leaseFileInterface(text);
            if (name.size() > text.size()) {
                std::abort();
            }
            std::string domain;
            const std::size_t half = text.size() / 2;
            const std::string host = hostNameFrom(text.substr(0, half), text.substr(half), domain);
            if (host.find('.') != std::string::npos) {
                std::abort();
            }
            break;
        }
    }
    return 0;
}

#include "support/fuzz_replay_main.h"
