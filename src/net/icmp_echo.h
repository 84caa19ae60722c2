// One ICMP echo at a time to an IPv4 address: send data with a time-to-live and a time-out,
// report the reply's size, round-trip time and echoed data, or why no reply came. This is the
// echo service the batch ping sends every attempt through.
//
// It sends through the shared ICMP socket (datagram where net.ipv4.ping_group_range admits
// the user, else raw), reads replies with the shared ICMP decoder and waits with the shared
// Waiter, so a stop ends a wait at once. The socket is opened on first use and kept for the
// following echoes; it is reopened after an error.
#pragma once

#include "net/icmp_socket.h"
#include "net/waiter.h"

#include <chrono>
#include <cstdint>
#include <mutex>
#include <optional>
#include <span>
#include <stop_token>
#include <string>
#include <vector>

namespace quendrix::net {

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
    std::optional<std::string> unavailableReasonLocked();
    EchoResult echoLocked(std::uint32_t address, std::span<const std::uint8_t> data,
                          std::chrono::milliseconds timeout, const std::stop_token& stop,
                          int timeToLive);

    std::mutex m_mutex;
    IcmpSocket m_socket;
    Waiter m_waiter;
    std::uint16_t m_sequence = 0;
    std::optional<Error> m_openFailure;  // why the last attempt to open a socket failed
    bool m_noticeGiven = false;
    std::vector<std::uint8_t> m_receiveBuffer;
};

}  // namespace quendrix::net
