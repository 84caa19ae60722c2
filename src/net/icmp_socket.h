// The ICMP socket that echoes and traces send through: an ICMP datagram socket where
// net.ipv4.ping_group_range admits the user (no privilege needed; the kernel owns the
// identifier and hands the socket only its own replies), else a raw ICMP socket (root or
// cap_net_raw; our own identifier, and kernel filters that keep the host's other ICMP traffic
// out). Also the text that tells a user how to grant the permission when neither opens.
#pragma once

#include "net/result.h"

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace quendrix::net {

enum class IcmpSocketKind {
    None,      // no socket could be opened
    Datagram,  // SOCK_DGRAM, IPPROTO_ICMP: the kernel owns the identifier
    Raw,       // SOCK_RAW, IPPROTO_ICMP: every ICMP datagram of the host arrives here
};

// What the socket is to receive; on a raw socket the kernel filters for it.
enum class IcmpTraffic {
    EchoReplies,           // replies to our echoes (batch ping)
    EchoRepliesAndErrors,  // also time exceeded and unreachable quoting our echoes (trace)
};

// One received datagram.
struct IcmpReceived {
    std::size_t size = 0;      // bytes in the buffer; a raw socket's include the IP header
    std::uint32_t source = 0;  // sender, network byte order
    int timeToLive = -1;       // the datagram's TTL where the socket reports it (IP_RECVTTL)
};

// An ICMP error that a datagram socket with IP_RECVERR queued for one of our requests.
struct IcmpQueuedError {
    std::uint8_t type = 0;
    std::uint8_t code = 0;
    std::uint32_t offender = 0;     // the router or host that sent it, network byte order
    std::uint32_t destination = 0;  // where our request it quotes was going, network order
    std::uint16_t identifier = 0;   // of our request it answers (the kernel's)
    std::uint16_t sequence = 0;     // of our request it answers
    int timeToLive = -1;            // of the error message itself, with IP_RECVTTL
    std::size_t quotedSize = 0;     // bytes of our request (from its ICMP header) it quotes
};

class IcmpSocket {
  public:
    IcmpSocket() = default;  // closed
    ~IcmpSocket();
    IcmpSocket(IcmpSocket&& other) noexcept;
    IcmpSocket& operator=(IcmpSocket&& other) noexcept;
    IcmpSocket(const IcmpSocket&) = delete;
    IcmpSocket& operator=(const IcmpSocket&) = delete;

    // Opens the datagram socket where allowed, else the raw one; both non-blocking. For
    // EchoRepliesAndErrors a datagram socket reports errors through its error queue
    // (IP_RECVERR) and the TTL of what it receives (IP_RECVTTL). When neither opens the
    // failure is AccessDenied (neither permitted) or System, with the raw socket's errno and a
    // text naming both sockets' errors. A raw socket carries rawIdentifier when one is given
    // (read as the decoder reads it, most significant byte first), else one of its own.
    static Result<IcmpSocket> open(IcmpTraffic traffic,
                                   std::optional<std::uint16_t> rawIdentifier = std::nullopt);

    bool isOpen() const { return m_fd >= 0; }
    int descriptor() const { return m_fd; }
    IcmpSocketKind kind() const { return m_kind; }
    // The identifier our echo requests carry and replies to them are matched on.
    std::uint16_t identifier() const { return m_identifier; }
    // True when the kernel already drops every datagram not carrying our identifier (raw
    // sockets with the identifier filter; datagram sockets always).
    bool ownRepliesOnly() const { return m_ownRepliesOnly; }
    // A raw socket's datagrams begin with the IP header; a datagram socket's with ICMP.
    bool receivesIpHeader() const { return m_kind == IcmpSocketKind::Raw; }

    // Sets the time-to-live of what is sent from now on (skipped when it is already set).
    Result<void> setTimeToLive(int timeToLive);

    // Sends an echo request with our identifier, the sequence number and data. Retried on
    // EINTR; any other failure is the send's errno.
    Result<void> sendEcho(std::uint32_t address, std::uint16_t sequence,
                          std::span<const std::uint8_t> data);

    // Sends a message built by the caller (checksum included) as it is; a datagram socket's
    // kernel still puts in its own identifier and checksum.
    Result<void> send(std::uint32_t address, std::span<const std::uint8_t> message);

    // Takes the next queued datagram into buffer; nullopt when none is queued.
    Result<std::optional<IcmpReceived>> receive(std::span<std::uint8_t> buffer);

    // Takes the next error of the error queue (datagram sockets with IP_RECVERR); nullopt
    // when none is queued.
    Result<std::optional<IcmpQueuedError>> receiveQueuedError();

    // Throws away everything queued (a raw socket without the identifier filter collects the
    // host's echo replies while idle).
    void discardQueued(std::span<std::uint8_t> scratch);

    void close();

  private:
    int m_fd = -1;
    IcmpSocketKind m_kind = IcmpSocketKind::None;
    IcmpTraffic m_traffic = IcmpTraffic::EchoReplies;
    std::uint16_t m_identifier = 0;
    bool m_ownRepliesOnly = false;
    bool m_receiveTimeToLive = false;
    int m_timeToLive = -1;  // what the socket is set to; -1 for the system's default
    std::vector<std::uint8_t> m_sendBuffer;
};

// The sentences that tell a user how to allow ICMP sockets: the raw socket capability for
// this program, or ICMP datagram sockets for the user's group.
std::string IcmpPermissionHint();

// True for a send errno that concerns the request (its size, time-to-live or way to its
// destination) rather than the socket, which then stays usable.
bool isRequestError(int error);

}  // namespace quendrix::net
