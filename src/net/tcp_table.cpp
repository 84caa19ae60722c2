// TCP connection table: the sock_diag dump, the /proc files and the rules that turn both into
// sorted IPv4 rows.
#include "net/tcp_table.h"

#include "net/netlink_dump.h"
#include "net/whole_file.h"

#include <arpa/inet.h>
#include <linux/inet_diag.h>
#include <linux/netlink.h>
#include <linux/rtnetlink.h>
#include <linux/sock_diag.h>
#include <netinet/in.h>
#include <sys/socket.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstring>
#include <optional>
#include <tuple>

namespace quendrix::net {
namespace {

// Linux's TCP state numbers (include/net/tcp_states.h).
constexpr int kLinuxEstablished = 1;
constexpr int kLinuxListen = 10;

using Address6 = std::array<std::uint8_t, 16>;

// The IPv4 address an IPv6 socket address stands for: the embedded address of a v4-mapped one
// (::ffff:a.b.c.d), or 0.0.0.0 for :: when `unspecifiedIsIpv4` (a dual-stack socket's
// wildcard, or a listener's empty remote end). Anything else is pure IPv6.
std::optional<std::uint32_t> ipv4Of(const Address6& address, bool unspecifiedIsIpv4) {
    const bool zeroPrefix = std::all_of(address.begin(), address.begin() + 10,
                                        [](std::uint8_t byte) { return byte == 0; });
    if (!zeroPrefix) {
        return std::nullopt;
    }
    std::uint32_t last = 0;
    std::memcpy(&last, address.data() + 12, 4);  // stays in network byte order
    if (address[10] == 0xff && address[11] == 0xff) {
        return last;
    }
    if (address[10] == 0 && address[11] == 0 && last == 0 && unspecifiedIsIpv4) {
        return 0;
    }
    return std::nullopt;
}

bool isShownState(int linuxState) {
    return linuxState == kLinuxListen || linuxState == kLinuxEstablished;
}

void addIpv4Row(int linuxState, std::uint32_t local, std::uint16_t localPort, std::uint32_t remote,
                std::uint16_t remotePort, std::vector<TcpConnection>& rows) {
    if (isShownState(linuxState)) {
        rows.push_back({tcpStateFromLinux(linuxState), local, localPort, remote, remotePort});
    }
}

// An IPv6 socket's row, when it carries IPv4 traffic. `dualStack`: the socket is not
// IPv6-only, so its :: wildcard listens on IPv4 too.
void addIpv6Row(int linuxState, const Address6& local, std::uint16_t localPort,
                const Address6& remote, std::uint16_t remotePort, bool dualStack,
                std::vector<TcpConnection>& rows) {
    if (!isShownState(linuxState)) {
        return;
    }
    const auto local4 = ipv4Of(local, dualStack);
    const auto remote4 = ipv4Of(remote, true);
    if (local4 && remote4) {
        addIpv4Row(linuxState, *local4, localPort, *remote4, remotePort, rows);
    }
}

Error malformed(const char* text) {
    return {ErrorCode::Malformed, 0, text};
}
Error truncated(const char* text) {
    return {ErrorCode::Truncated, 0, text};
}

// One SOCK_DIAG_BY_FAMILY message's payload.
Result<void> parseInetDiagMessage(std::span<const std::uint8_t> payload,
                                  std::vector<TcpConnection>& rows) {
    inet_diag_msg message{};
    if (payload.size() < sizeof message) {
        return truncated("inet_diag message shorter than its header");
    }
    std::memcpy(&message, payload.data(), sizeof message);
    const int state = message.idiag_state;
    const std::uint16_t localPort = ntohs(message.id.idiag_sport);
    const std::uint16_t remotePort = ntohs(message.id.idiag_dport);
    if (message.idiag_family == AF_INET) {
        addIpv4Row(state, message.id.idiag_src[0], localPort, message.id.idiag_dst[0], remotePort,
                   rows);
        return {};
    }
    if (message.idiag_family != AF_INET6 || !isShownState(state)) {
        return {};
    }
    // The kernel reports INET_DIAG_SKV6ONLY for every full IPv6 socket; without it the
    // socket counts as dual-stack, as the default of net.ipv6.bindv6only makes it.
    bool v6Only = false;
    const auto attributes = walkNetlinkAttributes(
        payload.subspan(std::min<std::size_t>(NLMSG_ALIGN(sizeof message), payload.size())),
        [&v6Only](std::uint16_t type, std::span<const std::uint8_t> data) {
            if (type == INET_DIAG_SKV6ONLY && !data.empty()) {
                v6Only = data[0] != 0;
            }
        });
    if (!attributes) {
        return attributes.error();
    }
    Address6 local{};
    Address6 remote{};
    std::memcpy(local.data(), message.id.idiag_src, local.size());
    std::memcpy(remote.data(), message.id.idiag_dst, remote.size());
    addIpv6Row(state, local, localPort, remote, remotePort, !v6Only, rows);
    return {};
}

// A run of hexadecimal digits as a number; nullopt for an empty run or another character.
std::optional<std::uint32_t> hexNumber(std::string_view digits) {
    if (digits.empty() || digits.size() > 8) {
        return std::nullopt;
    }
    std::uint32_t value = 0;
    for (const char c : digits) {
        int digit = 0;
        if (c >= '0' && c <= '9') {
            digit = c - '0';
        } else if (c >= 'A' && c <= 'F') {
            digit = c - 'A' + 10;
        } else if (c >= 'a' && c <= 'f') {
            digit = c - 'a' + 10;
        } else {
            return std::nullopt;
        }
        value = value << 4 | static_cast<std::uint32_t>(digit);
    }
    return value;
}

// "0100007F:0050" (IPv4) or 32 hex digits and a port (IPv6). The kernel prints each 32-bit
// word of the address as the number it is in memory, so the words go back to memory as they
// are and the bytes come out in network order on any machine.
struct ProcEndpoint {
    Address6 address6{};
    std::uint32_t address4 = 0;
    std::uint16_t port = 0;
};

std::optional<ProcEndpoint> parseProcEndpoint(std::string_view text, bool ipv6) {
    const std::size_t addressDigits = ipv6 ? 32 : 8;
    if (text.size() != addressDigits + 5 || text[addressDigits] != ':') {
        return std::nullopt;
    }
    ProcEndpoint endpoint;
    for (std::size_t word = 0; word < addressDigits / 8; ++word) {
        const auto value = hexNumber(text.substr(word * 8, 8));
        if (!value) {
            return std::nullopt;
        }
        if (ipv6) {
            std::memcpy(endpoint.address6.data() + word * 4, &*value, 4);
        } else {
            endpoint.address4 = *value;
        }
    }
    const auto port = hexNumber(text.substr(addressDigits + 1));
    if (!port) {
        return std::nullopt;
    }
    endpoint.port = static_cast<std::uint16_t>(*port);
    return endpoint;
}

// The next blank-separated field of a line; empty at its end.
std::string_view nextField(std::string_view& line) {
    const std::size_t start = line.find_first_not_of(' ');
    if (start == std::string_view::npos) {
        line = {};
        return {};
    }
    line.remove_prefix(start);
    const std::size_t end = std::min(line.find(' '), line.size());
    const std::string_view field = line.substr(0, end);
    line.remove_prefix(end);
    return field;
}

}  // namespace

TcpState tcpStateFromLinux(int linuxState) {
    // Indexed by Linux's number: ESTABLISHED, SYN_SENT, SYN_RECV, FIN_WAIT1, FIN_WAIT2,
    // TIME_WAIT, CLOSE, CLOSE_WAIT, LAST_ACK, LISTEN, CLOSING, NEW_SYN_RECV.
    static constexpr std::array<TcpState, 13> kStates = {
        TcpState::Closed,      TcpState::Established, TcpState::SynSent,   TcpState::SynReceived,
        TcpState::FinWait1,    TcpState::FinWait2,    TcpState::TimeWait,  TcpState::Closed,
        TcpState::CloseWait,   TcpState::LastAck,     TcpState::Listening, TcpState::Closing,
        TcpState::SynReceived,
    };
    if (linuxState < 1 || linuxState >= static_cast<int>(kStates.size())) {
        return TcpState::Closed;
    }
    return kStates[static_cast<std::size_t>(linuxState)];
}

bool tcpTableLess(const TcpConnection& a, const TcpConnection& b) {
    return std::make_tuple(ntohl(a.localAddress), a.localPort, ntohl(a.remoteAddress), a.remotePort,
                           static_cast<int>(a.state)) <
           std::make_tuple(ntohl(b.localAddress), b.localPort, ntohl(b.remoteAddress), b.remotePort,
                           static_cast<int>(b.state));
}

void sortTcpTable(std::vector<TcpConnection>& rows) {
    std::sort(rows.begin(), rows.end(), tcpTableLess);
}

Result<bool> parseSockDiagDatagram(std::span<const std::uint8_t> bytes, std::uint32_t sequence,
                                   std::vector<TcpConnection>& rows) {
    return walkNetlinkDatagram(
        bytes, sequence,
        [&rows](std::uint16_t type, std::span<const std::uint8_t> payload) -> Result<void> {
            if (type != SOCK_DIAG_BY_FAMILY) {
                return {};  // kinds this reader does not ask for
            }
            return parseInetDiagMessage(payload, rows);
        });
}

Result<void> parseProcNetTcp(std::string_view text, bool ipv6, std::vector<TcpConnection>& rows) {
    // The first line holds the column titles.
    std::size_t lineStart = text.find('\n');
    while (lineStart != std::string_view::npos && lineStart + 1 < text.size()) {
        const std::size_t lineEnd = text.find('\n', lineStart + 1);
        std::string_view line = text.substr(
            lineStart + 1, lineEnd == std::string_view::npos ? text.npos : lineEnd - lineStart - 1);
        lineStart = lineEnd;
        const std::string_view slot = nextField(line);
        if (slot.empty()) {
            continue;  // a blank line
        }
        const auto local = parseProcEndpoint(nextField(line), ipv6);
        const auto remote = parseProcEndpoint(nextField(line), ipv6);
        const std::string_view stateText = nextField(line);
        const auto state = stateText.size() == 2 ? hexNumber(stateText) : std::nullopt;
        if (slot.back() != ':' || !local || !remote || !state) {
            return malformed("a line of the TCP table file is not a table row");
        }
        const int linuxState = static_cast<int>(*state);
        if (ipv6) {
            // No IPv6-only flag in the file: a listener on :: counts as dual-stack.
            addIpv6Row(linuxState, local->address6, local->port, remote->address6, remote->port,
                       true, rows);
        } else {
            addIpv4Row(linuxState, local->address4, local->port, remote->address4, remote->port,
                       rows);
        }
    }
    return {};
}

Result<std::vector<TcpConnection>> TcpTable::read() {
    if (m_source == Source::ProcFiles) {
        return readProcFiles();
    }
    auto rows = readNetlink();
    if (rows || m_source == Source::Netlink) {
        return rows;
    }
    // Netlink refused (a kernel without sock_diag, a sandbox that forbids the socket): the
    // /proc files hold the same table, only slower to read. When both fail, netlink's code
    // is the one reported, and the text gives both reasons.
    auto fromFiles = readProcFiles();
    if (fromFiles) {
        return fromFiles;
    }
    Error error = rows.error();
    error.text = "netlink: " + error.text + "; /proc/net/tcp and tcp6: " + fromFiles.error().text;
    return error;
}

Result<std::vector<TcpConnection>> TcpTable::readNetlink() {
    auto socket = openNetlinkSocket(NETLINK_SOCK_DIAG);
    if (!socket) {
        return socket.error();
    }
    std::vector<TcpConnection> rows;
    std::uint32_t sequence = 0;
    for (const int family : {AF_INET, AF_INET6}) {
        inet_diag_req_v2 request{};
        request.sdiag_family = static_cast<std::uint8_t>(family);
        request.sdiag_protocol = IPPROTO_TCP;
        request.idiag_states = 1U << kLinuxListen | 1U << kLinuxEstablished;
        const auto dumped = runNetlinkDump(
            socket->get(), SOCK_DIAG_BY_FAMILY,
            std::span<const std::uint8_t>(reinterpret_cast<const std::uint8_t*>(&request),
                                          sizeof request),
            ++sequence, m_buffer,
            [&rows](std::uint16_t type, std::span<const std::uint8_t> payload) -> Result<void> {
                if (type != SOCK_DIAG_BY_FAMILY) {
                    return {};
                }
                return parseInetDiagMessage(payload, rows);
            });
        if (!dumped) {
            return dumped.error();
        }
    }
    sortTcpTable(rows);
    m_lastSource = Source::Netlink;
    return rows;
}

Result<std::vector<TcpConnection>> TcpTable::readProcFiles() {
    std::vector<TcpConnection> rows;
    if (auto read = readWholeFile("/proc/net/tcp", m_text); !read) {
        return read.error();
    }
    if (auto parsed = parseProcNetTcp(m_text, false, rows); !parsed) {
        return parsed.error();
    }
    // Without IPv6 in the kernel there is no tcp6 file, and no IPv6 socket either.
    if (auto read = readWholeFile("/proc/net/tcp6", m_text); !read) {
        if (read.error().systemError != ENOENT) {
            return read.error();
        }
    } else if (auto parsed = parseProcNetTcp(m_text, true, rows); !parsed) {
        return parsed.error();
    }
    sortTcpTable(rows);
    m_lastSource = Source::ProcFiles;
    return rows;
}

}  // namespace quendrix::net
