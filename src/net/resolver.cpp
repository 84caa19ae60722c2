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
Result<HostEntry> withHostBuffer(Call call) {
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
        if (result == nullptr || rc != 0) {
            switch (herr) {
                case HOST_NOT_FOUND:
                case TRY_AGAIN:
                case NO_RECOVERY:
                case NO_DATA:
                    return resolverError(herr);
                default:
                    // NETDB_INTERNAL: a system failure, whose errno is the return value.
                    return Error::fromErrno(rc != 0 ? rc : errno != 0 ? errno : EIO);
            }
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

Result<std::string> ownHostName() {
    char name[HOST_NAME_MAX + 1] = {};
    if (gethostname(name, sizeof name - 1) != 0) {
        return Error::fromErrno(errno);
    }
    if (name[0] == '\0') {
        return resolverError(HOST_NOT_FOUND);
    }
    return std::string(name);
}

}  // namespace

int LookupsInProgress() {
    return g_lookupsInProgress.load(std::memory_order_relaxed);
}

Error resolverError(int herr) {
    switch (herr) {
        case HOST_NOT_FOUND:
            return {ErrorCode::HostNotFound, herr, hstrerror(herr)};
        case TRY_AGAIN:
            return {ErrorCode::TryAgain, herr, hstrerror(herr)};
        case NO_RECOVERY:
            return {ErrorCode::NoRecovery, herr, hstrerror(herr)};
        case NO_DATA:
            return {ErrorCode::NoData, herr, hstrerror(herr)};
        default:
            return Error::fromErrno(errno != 0 ? errno : EIO);
    }
}

Result<HostEntry> lookupHost(const std::string& name) {
    // The system resolver does not answer an empty name; this computer's own name is meant.
    std::string host = name;
    if (host.empty()) {
        auto own = ownHostName();
        if (!own) {
            return own.error();
        }
        host = std::move(*own);
    }
    auto entry = withHostBuffer([&](hostent* e, char* buf, size_t len, hostent** res, int* herr) {
        return gethostbyname_r(host.c_str(), e, buf, len, res, herr);
    });
    if (entry && entry->addresses.empty()) {
        return resolverError(NO_DATA);
    }
    return entry;
}

Result<std::string> lookupAddress(std::uint32_t address) {
    auto entry = withHostBuffer([&](hostent* e, char* buf, size_t len, hostent** res, int* herr) {
        return gethostbyaddr_r(&address, sizeof address, AF_INET, e, buf, len, res, herr);
    });
    if (!entry) {
        return entry.error();
    }
    if (entry->officialName.empty()) {
        return resolverError(HOST_NOT_FOUND);
    }
    return std::move(entry->officialName);
}

bool isDottedLiteral(const std::string& text) {
    if (text.empty() || text.front() < '0' || text.front() > '9' || text.back() == '.') {
        return false;
    }
    for (const char c : text) {
        if ((c < '0' || c > '9') && c != '.') {
            return false;
        }
    }
    return true;
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
