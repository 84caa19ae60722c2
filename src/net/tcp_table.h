// The machine's TCP connection table: the listening and established IPv4 connections, sorted,
// read from the kernel through a sock_diag netlink dump, or from /proc/net/tcp and tcp6 when
// netlink is refused. IPv4 traffic on dual-stack IPv6 sockets counts as IPv4 (a v4-mapped
// address is its IPv4 address, a dual-stack listener on :: listens on 0.0.0.0); pure IPv6
// connections are left out. The parsers are plain functions over bytes and text, so tests and
// the fuzzer drive them directly.
#pragma once

#include "net/result.h"

#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace quendrix::net {

// The state values of the connection table, 1 to 12. Linux's own numbering differs; see
// tcpStateFromLinux.
enum class TcpState : int {
    Closed = 1,
    Listening = 2,
    SynSent = 3,
    SynReceived = 4,
    Established = 5,
    FinWait1 = 6,
    FinWait2 = 7,
    CloseWait = 8,
    Closing = 9,
    LastAck = 10,
    TimeWait = 11,
    DeleteTcb = 12,
};

// Linux's TCP state number (TCP_ESTABLISHED = 1 ... TCP_NEW_SYN_RECV = 12) as a table state.
// A half-open connection of a listener (TCP_NEW_SYN_RECV) is SynReceived; unknown numbers are
// Closed.
TcpState tcpStateFromLinux(int linuxState);

// One row of the table. Addresses in network byte order (the first octet in the lowest byte),
// ports in host order.
struct TcpConnection {
    TcpState state = TcpState::Closed;
    std::uint32_t localAddress = 0;
    std::uint16_t localPort = 0;
    std::uint32_t remoteAddress = 0;
    std::uint16_t remotePort = 0;

    friend bool operator==(const TcpConnection&, const TcpConnection&) = default;
};

// Table order: local address, local port, remote address, remote port, addresses compared as
// numbers with the first octet most significant. Ties (several sockets on one port) go by state,
// so a table has one order whatever source it came from.
bool tcpTableLess(const TcpConnection& a, const TcpConnection& b);
void sortTcpTable(std::vector<TcpConnection>& rows);

// Reads the messages of one received netlink datagram of an inet_diag dump answering the
// request with sequence number `sequence` (other messages are ignored) and appends the
// listening and established IPv4 rows, v4-mapped and dual-stack IPv6 sockets included.
// Returns true once the dump's end (NLMSG_DONE) was read. Fails with Malformed or Truncated for
// bytes that do not form netlink messages, and with System and the kernel's errno when the
// kernel answered with an error.
Result<bool> parseSockDiagDatagram(std::span<const std::uint8_t> bytes, std::uint32_t sequence,
                                   std::vector<TcpConnection>& rows);

// Reads the text of /proc/net/tcp (ipv6 false) or /proc/net/tcp6 (ipv6 true), header line
// first, and appends the listening and established IPv4 rows as parseSockDiagDatagram does.
// The file does not say whether a listener on :: is IPv6-only, so each counts as dual-stack.
// Fails with Malformed on a line that is not a table row.
Result<void> parseProcNetTcp(std::string_view text, bool ipv6, std::vector<TcpConnection>& rows);

// One reader of the table. It keeps its buffers between reads, so one object serves one
// caller at a time (the monitor's ticks never overlap); separate objects read in parallel.
class TcpTable {
  public:
    enum class Source {
        Automatic,  // netlink; the /proc files when netlink fails
        Netlink,
        ProcFiles,
    };

    explicit TcpTable(Source source = Source::Automatic) : m_source(source) {}

    // The listening and established connections now, sorted (tcpTableLess). A failure leaves
    // nothing behind; the next read starts afresh.
    Result<std::vector<TcpConnection>> read();

    // The source that gave the last successful read (Netlink or ProcFiles).
    Source lastSource() const { return m_lastSource; }

  private:
    Result<std::vector<TcpConnection>> readNetlink();
    Result<std::vector<TcpConnection>> readProcFiles();

    Source m_source;
    Source m_lastSource = Source::Automatic;
    std::vector<std::uint8_t> m_buffer;  // kept between reads: a tick allocates nothing new
    std::string m_text;
};

}  // namespace quendrix::net
