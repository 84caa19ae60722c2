// The shared decoder reads 16-bit fields most significant byte first; the request carries its
// identifier and sequence least significant byte first, so they are compared byte-swapped.
#include "net/raw_icmp_client.h"

#include "net/icmp_message.h"
#include "net/resolver.h"

#include <netinet/in.h>
#include <netinet/ip_icmp.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cstring>
#include <utility>

namespace quendrix::net {
namespace {

using Clock = Waiter::Clock;

constexpr std::uint8_t kTypeEchoRequest = 8;
constexpr std::size_t kPayloadOffset = 20;
// An IPv4 datagram is at most 65535 bytes; a raw socket hands over the whole of it, and a
// datagram cut short would read as "Not enough bytes received".
constexpr std::size_t kReceiveBufferSize = 65536;
// A datagram socket hands over no IP header; sizes are counted as if one of 20 bytes came.
constexpr std::int32_t kAssumedIpHeaderSize = 20;

constexpr int kHostNotFoundNumber = 11001;
constexpr int kAccessDeniedNumber = 10013;

std::uint16_t swapBytes(std::uint16_t value) {
    return static_cast<std::uint16_t>((value >> 8) | (value << 8));
}

void writeLittleEndian(std::uint8_t* p, std::uint32_t value, int size) {
    for (int i = 0; i < size; ++i) {
        p[i] = static_cast<std::uint8_t>(value >> (8 * i));
    }
}

std::uint32_t tickCount() {
    return static_cast<std::uint32_t>(
        std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now().time_since_epoch())
            .count());
}

std::uint32_t millisecondsSince(Clock::time_point start) {
    return static_cast<std::uint32_t>(
        std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start).count());
}

bool isLocalhost(const std::string& host) {
    static constexpr std::string_view kLocalhost = "localhost";
    return host.size() == kLocalhost.size() &&
           std::equal(host.begin(), host.end(), kLocalhost.begin(), [](char a, char b) {
               return std::tolower(static_cast<unsigned char>(a)) == b;
           });
}

Result<std::uint32_t> resolveHost(const std::string& host) {
    if (isLocalhost(host)) {
        return htonl(INADDR_LOOPBACK);
    }
    auto entry = lookupHost(host);
    if (!entry) {
        return socketError(entry.error());
    }
    return entry->addresses.front();
}

ReplyStatusKind kindOf(IcmpKind kind) {
    switch (kind) {
        case IcmpKind::DestinationUnreachable:
            return ReplyStatusKind::DestinationUnreachable;
        case IcmpKind::TimeExceeded:
            return ReplyStatusKind::TimeToLiveExceeded;
        default:
            return ReplyStatusKind::EchoReply;
    }
}

Error stopped() {
    return {ErrorCode::Stopped, 0, "stopped"};
}

// Whether a decoded message answers the probe; wireIdentifier is the identifier as the
// decoder reads it from what went out. An echo reply must echo the identifier, the sequence
// number and the tick count (its source may be another address of the target). An error
// message must quote a request to the target with the identifier and sequence number: routers
// need quote no more than the request's first 8 bytes.
bool answersProbe(const IcmpMessage& message, std::uint16_t wireIdentifier,
                  const EchoProbe& probe) {
    if (message.identifier != wireIdentifier || message.sequence != swapBytes(probe.sequence)) {
        return false;
    }
    switch (message.kind) {
        case IcmpKind::EchoReply: {
            std::uint8_t tick[4];
            writeLittleEndian(tick, probe.tickCount, 4);
            return message.data.size() >= sizeof tick &&
                   std::equal(tick, tick + sizeof tick, message.data.begin());
        }
        case IcmpKind::DestinationUnreachable:
        case IcmpKind::TimeExceeded:
            return message.quoted && message.quoted->isEchoRequest &&
                   message.quoted->destination == probe.target;
        case IcmpKind::EchoRequest:  // our own request to a loopback address, say
            return false;
    }
    return false;
}

}  // namespace

std::array<std::uint8_t, kEchoRequestSize> buildEchoRequest(std::uint16_t identifier,
                                                            std::uint16_t sequence,
                                                            std::uint32_t tickCount,
                                                            std::string_view data) {
    std::array<std::uint8_t, kEchoRequestSize> request{};
    request[0] = kTypeEchoRequest;
    writeLittleEndian(&request[4], identifier, 2);
    writeLittleEndian(&request[6], sequence, 2);
    writeLittleEndian(&request[8], tickCount, 4);
    std::fill(request.begin() + kPayloadOffset, request.end(), std::uint8_t{'E'});
    std::copy_n(data.begin(), std::min(data.size(), kEchoRequestSize - kPayloadOffset),
                request.begin() + kPayloadOffset);
    const std::uint16_t checksum = internetChecksum(request);
    request[2] = static_cast<std::uint8_t>(checksum >> 8);
    request[3] = static_cast<std::uint8_t>(checksum & 0xff);
    return request;
}

Error socketError(const Error& cause) {
    int number = cause.systemError;
    std::string text = cause.text;
    if (cause.code == ErrorCode::HostNotFound) {
        number = kHostNotFoundNumber;
        text = "Host not found.";
    } else if (cause.code == ErrorCode::AccessDenied) {
        number = kAccessDeniedNumber;
        text = "Access denied.";
    }
    std::string message = "Socket Error # ";
    message.append(std::to_string(number)).append("\r\n").append(text);
    return {cause.code, number, std::move(message)};
}

std::optional<TReplyStatus> readReply(std::span<const std::uint8_t> datagram,
                                      const EchoProbe& probe) {
    const auto message = decodeIcmpMessage(datagram, true);
    // A raw socket carries the identifier as the request was built with it.
    if (!message || !answersProbe(*message, swapBytes(probe.identifier), probe)) {
        return std::nullopt;
    }
    TReplyStatus status;
    status.bytesReceived = static_cast<std::int32_t>(datagram.size());
    status.fromIpAddress = addressToDottedText(message->source);
    status.msgType = message->type;
    status.sequenceId = probe.sequence;
    status.timeToLive = message->timeToLive;
    status.replyStatusType = kindOf(message->kind);
    return status;
}

std::optional<TReplyStatus> readDatagramReply(std::span<const std::uint8_t> message,
                                              const IcmpReceived& received,
                                              std::uint16_t socketIdentifier,
                                              const EchoProbe& probe) {
    const auto decoded = decodeIcmpMessage(message, false);
    if (!decoded || decoded->kind != IcmpKind::EchoReply ||
        !answersProbe(*decoded, socketIdentifier, probe)) {
        return std::nullopt;
    }
    TReplyStatus status;
    status.bytesReceived = static_cast<std::int32_t>(kAssumedIpHeaderSize + message.size());
    status.fromIpAddress = addressToDottedText(received.source);
    status.msgType = decoded->type;
    status.sequenceId = probe.sequence;
    status.timeToLive = static_cast<std::uint8_t>(std::max(received.timeToLive, 0));
    status.replyStatusType = ReplyStatusKind::EchoReply;
    return status;
}

Result<std::optional<TReplyStatus>> readQueuedError(const IcmpQueuedError& error,
                                                    std::uint16_t socketIdentifier,
                                                    const EchoProbe& probe) {
    if (error.identifier != socketIdentifier || error.sequence != swapBytes(probe.sequence) ||
        error.destination != probe.target) {
        return std::optional<TReplyStatus>();
    }
    if (error.type != ICMP_DEST_UNREACH && error.type != ICMP_TIME_EXCEEDED) {
        return Error{ErrorCode::UnsupportedType, 0, "Non-echo type response received"};
    }
    TReplyStatus status;
    // As a raw socket would count it: IP header, ICMP header, the quoted IP header, the
    // quoted request.
    status.bytesReceived =
        static_cast<std::int32_t>(2 * kAssumedIpHeaderSize + kIcmpHeaderSize + error.quotedSize);
    status.fromIpAddress = addressToDottedText(error.offender);
    status.msgType = error.type;
    status.sequenceId = probe.sequence;
    status.timeToLive = static_cast<std::uint8_t>(std::max(error.timeToLive, 0));
    status.replyStatusType = error.type == ICMP_TIME_EXCEEDED
                                 ? ReplyStatusKind::TimeToLiveExceeded
                                 : ReplyStatusKind::DestinationUnreachable;
    return std::optional<TReplyStatus>(std::move(status));
}

RawIcmpClient::RawIcmpClient()
    : m_identifier(static_cast<std::uint16_t>(static_cast<unsigned>(getpid()) & 0xffff)) {}

RawIcmpClient::~RawIcmpClient() = default;

void RawIcmpClient::setHost(std::string host) {
    std::lock_guard lock(m_mutex);
    m_host = std::move(host);
}

std::string RawIcmpClient::host() const {
    std::lock_guard lock(m_mutex);
    return m_host;
}

void RawIcmpClient::setReceiveTimeout(std::chrono::milliseconds timeout) {
    std::lock_guard lock(m_mutex);
    m_receiveTimeout = timeout;
}

std::chrono::milliseconds RawIcmpClient::receiveTimeout() const {
    std::lock_guard lock(m_mutex);
    return m_receiveTimeout;
}

int RawIcmpClient::timeToLive() const {
    std::lock_guard lock(m_mutex);
    return m_timeToLive;
}

std::uint16_t RawIcmpClient::sequenceNumber() const {
    std::lock_guard lock(m_mutex);
    return m_sequence;
}

TReplyStatus RawIcmpClient::replyStatus() const {
    std::lock_guard lock(m_mutex);
    return m_replyStatus;
}

IcmpSocketKind RawIcmpClient::socketKind() const {
    std::lock_guard lock(m_mutex);
    return m_socketKind;
}

Result<void> RawIcmpClient::openLocked() {
    if (!m_socket.isOpen()) {
        // A raw socket carries the identifier the request is built with, so its kernel
        // filter lets through the answers to exactly that.
        auto opened = IcmpSocket::open(IcmpTraffic::EchoRepliesAndErrors, swapBytes(m_identifier));
        if (!opened) {
            return socketError(opened.error());
        }
        m_socket = std::move(*opened);
        m_socketKind = m_socket.kind();
    }
    if (auto set = m_socket.setTimeToLive(m_timeToLive); !set) {
        m_socket.close();
        return socketError(set.error());
    }
    return {};
}

Result<void> RawIcmpClient::setTimeToLive(int timeToLive) {
    std::lock_guard lock(m_mutex);
    m_timeToLive = timeToLive;
    return openLocked();
}

Result<std::optional<TReplyStatus>> RawIcmpClient::takeReplyLocked(const EchoProbe& probe) {
    using NoReply = std::optional<TReplyStatus>;
    if (m_socket.receivesIpHeader()) {
        for (;;) {
            const auto received = m_socket.receive(m_receiveBuffer);
            if (!received) {
                return socketError(received.error());
            }
            if (!received->has_value()) {
                return NoReply();
            }
            auto reply = readReply(
                std::span<const std::uint8_t>(m_receiveBuffer.data(), (*received)->size), probe);
            if (reply) {
                return reply;
            }
        }
    }

    // A datagram socket: routers' answers wait on the error queue, the target's on the socket;
    // the kernel hands over only what carries this socket's identifier.
    for (;;) {
        const auto queued = m_socket.receiveQueuedError();
        if (!queued) {
            return socketError(queued.error());
        }
        if (!queued->has_value()) {
            break;
        }
        auto reply = readQueuedError(**queued, m_socket.identifier(), probe);
        if (!reply || reply->has_value()) {
            return reply;
        }
    }
    for (;;) {
        const auto received = m_socket.receive(m_receiveBuffer);
        if (!received) {
            return socketError(received.error());
        }
        if (!received->has_value()) {
            return NoReply();
        }
        auto reply = readDatagramReply(
            std::span<const std::uint8_t>(m_receiveBuffer.data(), (*received)->size), **received,
            m_socket.identifier(), probe);
        if (reply) {
            return reply;
        }
    }
}

Result<void> RawIcmpClient::ping(std::string_view data, std::uint16_t sequence,
                                 std::stop_token stop) {
    std::lock_guard lock(m_mutex);
    if (sequence != 0) {
        m_sequence = sequence;
    }
    const std::uint16_t current = m_sequence;
    EchoProbe probe{m_identifier, current, tickCount(), 0};
    const auto request = buildEchoRequest(m_identifier, current, probe.tickCount, data);
    const Clock::time_point start = Clock::now();
    // However the ping ends, the socket goes; once a request is out, its sequence number is
    // used up, so nothing that answers it late can be taken for the next ping's answer.
    struct Finish {
        RawIcmpClient& client;
        bool sent = false;
        ~Finish() {
            client.m_socket.close();
            if (sent) {
                ++client.m_sequence;
            }
        }
    } finish{*this};

    if (stop.stop_requested()) {
        return stopped();
    }
    const auto address = resolveHost(m_host);
    if (!address) {
        return address.error();
    }
    if (auto opened = openLocked(); !opened) {
        return opened;
    }
    probe.target = *address;
    if (auto sent = m_socket.send(*address, request); !sent) {
        return socketError(sent.error());
    }
    finish.sent = true;
    m_receiveBuffer.resize(kReceiveBufferSize);

    const Clock::time_point deadline = start + m_receiveTimeout;
    std::optional<TReplyStatus> reply;
    while (!reply) {
        auto taken = takeReplyLocked(probe);
        if (!taken) {
            return taken.error();
        }
        if (taken->has_value()) {
            reply = std::move(*taken);
            break;
        }
        const auto waited = m_waiter.wait(m_socket.descriptor(), deadline, stop);
        if (!waited) {
            return socketError(waited.error());
        }
        if (*waited == WaitOutcome::Stopped) {
            return stopped();
        }
        if (*waited == WaitOutcome::TimedOut) {
            reply = TReplyStatus{};
            reply->sequenceId = current;
        }
    }
    reply->msRoundTripTime = millisecondsSince(start);
    m_replyStatus = std::move(*reply);
    return {};
}

}  // namespace quendrix::net
