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
// name, 10013 "Access denied." when no ICMP socket may be opened), "Not enough bytes
// received" and "Non-echo type response received" for answers that cannot be read.
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

// What one received datagram (IP header first, as a raw socket gives it) means to a ping
// waiting with `identifier` and `sequence` (both as written into the request): the reply
// status without its round-trip time when it answers that request, nullopt when it does not
// (another process's, an earlier request's, our own echo request, or corrupt bytes), or the
// raised failure for bytes too short to read and for ICMP types other than 0, 3 and 11.
Result<std::optional<TReplyStatus>> readReply(std::span<const std::uint8_t> datagram,
                                              std::uint16_t identifier, std::uint16_t sequence);

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
    Result<std::optional<TReplyStatus>> takeReplyLocked(std::uint16_t sequence);

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
