// One ICMP echo at a time to an IPv4 address: send data with a time-to-live and a time-out,
// report the reply's size, round-trip time and echoed data, or why no reply came. This is the
// echo service the batch ping sends every attempt through.
//
// It uses an ICMP datagram socket where net.ipv4.ping_group_range admits the user (no
// privilege needed), else a raw ICMP socket (root or cap_net_raw). The socket is opened on
// first use and kept for the following echoes; it is reopened after an error.
#pragma once

#include <chrono>
#include <cstdint>
#include <mutex>
#include <optional>
#include <span>
#include <stop_token>
#include <string>
#include <vector>

namespace quendrix::net {

enum class IcmpSocketKind {
    None,      // no socket could be opened
    Datagram,  // SOCK_DGRAM, IPPROTO_ICMP: the kernel owns the identifier
    Raw,       // SOCK_RAW, IPPROTO_ICMP: every ICMP datagram of the host arrives here
};

enum class EchoFailure {
    None,               // a reply came
    Timeout,            // no matching reply within the time-out
    Stopped,            // the caller's stop token was triggered before a reply came
    SocketUnavailable,  // neither socket kind could be opened; errorNumber says why
    SocketError,        // sending or receiving failed; errorNumber says why
};

struct EchoResult {
    EchoFailure failure = EchoFailure::Timeout;
    int errorNumber = 0;  // errno for SocketUnavailable and SocketError
    // Size of the echoed data, the round-trip time in whole milliseconds (truncated), the
    // same time in microseconds, and the echoed data; all zero/empty when no reply came.
    std::uint32_t dataSize = 0;
    std::uint32_t roundTripMs = 0;
    std::chrono::microseconds roundTrip{0};
    std::vector<std::uint8_t> data;

    bool replied() const { return failure == EchoFailure::None; }
};

// Fields of an echo reply as received; data points into the received bytes.
struct ParsedEchoReply {
    std::uint32_t source = 0;  // network byte order; 0 when the bytes carry no IP header
    std::uint16_t identifier = 0;
    std::uint16_t sequence = 0;
    std::span<const std::uint8_t> data;
};

// Reads one received datagram: with an IP header in front (raw sockets) or the bare ICMP
// message (datagram sockets). nullopt unless it is a well-formed IPv4 ICMP echo reply with a
// correct checksum.
std::optional<ParsedEchoReply> parseEchoReply(std::span<const std::uint8_t> bytes,
                                              bool withIpHeader);

class IcmpEcho {
  public:
    static constexpr int kDefaultTimeToLive = 64;

    IcmpEcho();
    ~IcmpEcho();
    IcmpEcho(const IcmpEcho&) = delete;
    IcmpEcho& operator=(const IcmpEcho&) = delete;

    // Sends one echo request carrying `data` to `address` (IPv4, network byte order) with the
    // given time-to-live and waits for its reply, at most `timeout`. Only the reply from that
    // address to this very request counts. The round trip is measured on the monotonic clock.
    // A stop requested through `stop` ends the wait at once. Calls from several threads are
    // served one after the other.
    EchoResult echo(std::uint32_t address, std::span<const std::uint8_t> data,
                    std::chrono::milliseconds timeout, std::stop_token stop = {},
                    int timeToLive = kDefaultTimeToLive);

    // The kind of socket in use, opening one if none is open yet.
    IcmpSocketKind socketKind();

    // nullopt when echoes can be sent (a socket is open or can be opened now); otherwise a text
    // for the user that says why not and, when the permission is missing, how to grant it.
    std::optional<std::string> unavailableReason();

    // Like unavailableReason, but gives the text only the first time the service turns out to
    // be unavailable, so a page shows it once rather than at every attempt.
    std::optional<std::string> takeUnavailableNotice();

  private:
    bool openLocked();
    void closeLocked();
    void discardQueuedLocked();
    EchoResult echoLocked(std::uint32_t address, std::span<const std::uint8_t> data,
                          std::chrono::milliseconds timeout, const std::stop_token& stop,
                          int timeToLive);

    std::mutex m_mutex;
    int m_socket = -1;
    int m_wakeFd = -1;  // eventfd written by a stop request
    int m_wakeError = 0;
    IcmpSocketKind m_kind = IcmpSocketKind::None;
    int m_timeToLive = -1;           // what the open socket is set to
    std::uint16_t m_identifier = 0;  // ours (raw) or the kernel's (datagram)
    std::uint16_t m_sequence = 0;
    bool m_ownRepliesOnly = false;  // a raw socket's identifier filter is in place
    int m_openError = 0;
    std::string m_unavailableText;
    bool m_noticeGiven = false;
    std::vector<std::uint8_t> m_sendBuffer;
    std::vector<std::uint8_t> m_receiveBuffer;
};

}  // namespace quendrix::net
