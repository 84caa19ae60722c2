// The system resolver through the reentrant gethostbyname_r / gethostbyaddr_r: unlike
// getaddrinfo they keep the answer's address order (no RFC 6724 re-sorting) and give the
// official name, and they copy into our own buffer so several threads may look up at once.
#include "net/resolver.h"

#include <arpa/inet.h>
#include <netdb.h>
#include <netinet/in.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <climits>
#include <cstring>

namespace quendrix::net {
namespace {

std::atomic<int> g_lookupsInProgress{0};

// Counts the calls that wait inside the C library.
struct LookupInProgress {
    LookupInProgress() { g_lookupsInProgress.fetch_add(1, std::memory_order_relaxed); }
    ~LookupInProgress() { g_lookupsInProgress.fetch_sub(1, std::memory_order_relaxed); }
    LookupInProgress(const LookupInProgress&) = delete;
    LookupInProgress& operator=(const LookupInProgress&) = delete;
};

template <typename Call>
std::optional<HostEntry> withHostBuffer(Call call) {
    const LookupInProgress counted;
    std::vector<char> buffer(2048);
    for (;;) {
        hostent entry{};
        hostent* result = nullptr;
        int herr = 0;
        int rc = call(&entry, buffer.data(), buffer.size(), &result, &herr);
        if (rc == ERANGE && buffer.size() < (1u << 20)) {
            buffer.resize(buffer.size() * 2);
            continue;
        }
        if (rc != 0 || result == nullptr) {
            return std::nullopt;
        }
        HostEntry out;
        if (result->h_name != nullptr) {
            out.officialName = result->h_name;
        }
        if (result->h_addrtype == AF_INET && result->h_length == 4 &&
            result->h_addr_list != nullptr) {
            for (char** p = result->h_addr_list; *p != nullptr; ++p) {
                std::uint32_t address = 0;
                std::memcpy(&address, *p, 4);
                out.addresses.push_back(address);
            }
        }
        return out;
    }
}

std::string ownHostName() {
    char name[HOST_NAME_MAX + 1] = {};
    if (gethostname(name, sizeof name - 1) != 0) {
        return {};
    }
    return name;
}

}  // namespace

int LookupsInProgress() {
    return g_lookupsInProgress.load(std::memory_order_relaxed);
}

std::optional<HostEntry> lookupHost(const std::string& name) {
    // The system resolver does not answer an empty name; this computer's own name is meant.
    const std::string host = name.empty() ? ownHostName() : name;
    if (host.empty()) {
        return std::nullopt;
    }
    auto entry = withHostBuffer([&](hostent* e, char* buf, size_t len, hostent** res, int* herr) {
        return gethostbyname_r(host.c_str(), e, buf, len, res, herr);
    });
    if (entry && entry->addresses.empty()) {
        return std::nullopt;
    }
    return entry;
}

std::optional<std::string> lookupAddress(std::uint32_t address) {
    auto entry = withHostBuffer([&](hostent* e, char* buf, size_t len, hostent** res, int* herr) {
        return gethostbyaddr_r(&address, sizeof address, AF_INET, e, buf, len, res, herr);
    });
    if (!entry || entry->officialName.empty()) {
        return std::nullopt;
    }
    return entry->officialName;
}

std::optional<std::uint32_t> parseDottedText(const std::string& text) {
    in_addr address{};
    if (inet_aton(text.c_str(), &address) == 0) {
        return std::nullopt;
    }
    return address.s_addr;
}

std::string addressToDottedText(std::uint32_t address) {
    char text[INET_ADDRSTRLEN] = {};
    in_addr a{};
    a.s_addr = address;
    inet_ntop(AF_INET, &a, text, sizeof text);
    return text;
}

}  // namespace quendrix::net
