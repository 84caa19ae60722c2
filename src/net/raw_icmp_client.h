// The trace's ICMP client: one echo request with a chosen time-to-live, and what answered it
// (the target's echo reply, a router's time exceeded or destination unreachable, or nothing
// within the time-out). Built on the shared ICMP socket, decoder and wait: a raw socket where
// the program may open one, else a datagram socket whose error queue brings the routers'
// answers; both fill the reply status the same way, so callers cannot tell them apart.
//
// The request is 52 bytes: type 8, code 0, checksum, identifier (low 16 bits of the process
// id) and sequence number least significant byte first, the millisecond tick count, 8 zero
// bytes and 32 bytes of payload (the data text, then "E" up to the end). The sequence number
// starts at 3489 for each client and rises by one for every request sent.
//
// Failures are values whose text is what the user is shown: "Socket Error # %d", CR LF and
// the system's text for socket and look-up failures (11001 "Host not found." for an unknown
// name, 10013 "Access denied." when no ICMP socket may be opened), and "Non-echo type
// response received" for an answer to our request of another ICMP type than 0, 3 and 11.
// Whatever does not answer our very request (see EchoProbe) never ends a wait nor fails it,
// whatever its type or length: the host's other ICMP traffic reaches a raw socket too.
#pragma once

#include "net/icmp_socket.h"
#include "net/result.h"
#include "net/waiter.h"

#include <array>
#include <chrono>
#include <cstdint>
#include <mutex>
#include <optional>
#include <span>
#include <stop_token>
#include <string>
#include <string_view>
#include <vector>

namespace quendrix::net {

enum class ReplyStatusKind {
    EchoReply,               // the target answered
    TimedOut,                // nothing of ours came within the time-out
    DestinationUnreachable,  // ICMP type 3, any code
    TimeToLiveExceeded,      // ICMP type 11, any code
};

// The result of the last ping. A time-out reads: 0 bytes, "0.0.0.0", type 0, the ping's
// sequence number, time-to-live 0.
struct TReplyStatus {
    std::int32_t bytesReceived = 0;  // the datagram's size, IP header included
    std::string fromIpAddress = "0.0.0.0";
    std::uint8_t msgType = 0;           // ICMP type
    std::uint16_t sequenceId = 0;       // sequence number of the request answered
    std::uint32_t msRoundTripTime = 0;  // from just before sending to the end of the wait
    std::uint8_t timeToLive = 0;        // TTL byte of the received datagram's IP header
    ReplyStatusKind replyStatusType = ReplyStatusKind::TimedOut;

    bool operator==(const TReplyStatus&) const = default;
};

constexpr std::size_t kEchoRequestSize = 52;
constexpr std::uint16_t kFirstSequenceNumber = 3489;

// The 52-byte echo request, checksum filled in; identifier and sequence are written least
// significant byte first, data beyond 32 bytes is cut off.
std::array<std::uint8_t, kEchoRequestSize> buildEchoRequest(std::uint16_t identifier,
                                                            std::uint16_t sequence,
                                                            std::uint32_t tickCount,
                                                            std::string_view data);

// What makes an answer ours: what our request carried and where it went. Only an answer to
// this very request may end a ping's wait: an echo reply that echoes the identifier, the
// sequence number and the tick count, or a time exceeded or unreachable message quoting a
// request to the target with that identifier and sequence number. Anything else that reaches
// the socket (other ICMP types, short or corrupt datagrams, the answers to another trace that
// happens to use the same identifier) is passed over and the wait goes on.
struct EchoProbe {
    std::uint16_t identifier = 0;  // as written into the request (least significant byte first)
    std::uint16_t sequence = 0;    // likewise
    std::uint32_t tickCount = 0;   // the request's bytes 8 to 11
    std::uint32_t target = 0;      // where the request went, network byte order
};

// What one datagram from a raw socket (IP header first) means to a ping waiting for `probe`:
// the reply status without its round-trip time when it answers the probe, else nullopt.
std::optional<TReplyStatus> readReply(std::span<const std::uint8_t> datagram,
                                      const EchoProbe& probe);

// The same for what a datagram socket hands over: a message without IP header from
// `received.source` (echo replies; socketIdentifier is the identifier the kernel put on the
// wire for us), and an error from the socket's error queue. An error that answers the probe
// with an ICMP type other than 3 and 11 raises "Non-echo type response received".
std::optional<TReplyStatus> readDatagramReply(std::span<const std::uint8_t> message,
                                              const IcmpReceived& received,
                                              std::uint16_t socketIdentifier,
                                              const EchoProbe& probe);
Result<std::optional<TReplyStatus>> readQueuedError(const IcmpQueuedError& error,
                                                    std::uint16_t socketIdentifier,
                                                    const EchoProbe& probe);

// "Socket Error # %d", CR LF, text, for a failure of the socket or the resolver (11001 and
// "Host not found." for an unknown host, 10013 and "Access denied." for a refused socket).
Error socketError(const Error& cause);

class RawIcmpClient {
  public:
    static constexpr int kDefaultTimeToLive = 128;
    static constexpr std::chrono::milliseconds kDefaultReceiveTimeout{5000};

    RawIcmpClient();
    ~RawIcmpClient();
    RawIcmpClient(const RawIcmpClient&) = delete;
    RawIcmpClient& operator=(const RawIcmpClient&) = delete;

    // The target: a dotted address, "LOCALHOST" (any letter case) or a name, whose first
    // address is taken, looked up at every ping.
    void setHost(std::string host);
    std::string host() const;

    void setReceiveTimeout(std::chrono::milliseconds timeout);
    std::chrono::milliseconds receiveTimeout() const;

    // Stores the time-to-live and applies it to the socket, opening the socket if needed;
    // every later opening applies it again.
    Result<void> setTimeToLive(int timeToLive);
    int timeToLive() const;

    // The sequence number the next request carries.
    std::uint16_t sequenceNumber() const;

    // One exchange with the host. A non-zero sequence becomes the current one first. On
    // success replyStatus() tells what answered (a time-out is a success). A stop requested
    // through `stop` ends the wait at once with ErrorCode::Stopped. The socket is closed at
    // the end of every ping. Calls from several threads are served one after the other.
    Result<void> ping(std::string_view data = {}, std::uint16_t sequence = 0,
                      std::stop_token stop = {});

    TReplyStatus replyStatus() const;

    // The kind of socket the last ping or time-to-live setting opened (None before any).
    IcmpSocketKind socketKind() const;

  private:
    Result<void> openLocked();
    Result<std::optional<TReplyStatus>> takeReplyLocked(const EchoProbe& probe);

    mutable std::mutex m_mutex;
    std::string m_host;
    std::chrono::milliseconds m_receiveTimeout = kDefaultReceiveTimeout;
    int m_timeToLive = kDefaultTimeToLive;
    std::uint16_t m_sequence = kFirstSequenceNumber;
    std::uint16_t m_identifier;  // as written into requests
    IcmpSocket m_socket;
    IcmpSocketKind m_socketKind = IcmpSocketKind::None;
    Waiter m_waiter;
    TReplyStatus m_replyStatus;
    std::vector<std::uint8_t> m_receiveBuffer;
};

}  // namespace quendrix::net
