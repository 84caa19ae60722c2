// Replies are matched by sequence, identifier and source, so other processes' echo replies
// and late replies of earlier requests are skipped.
#include "net/icmp_echo.h"

#include "net/icmp_message.h"

namespace quendrix::net {
namespace {

// An IPv4 datagram is at most 65535 bytes; a raw socket hands over the whole of it.
constexpr std::size_t kReceiveBufferSize = 65536;

}  // namespace

IcmpEcho::IcmpEcho() = default;

IcmpEcho::~IcmpEcho() = default;

bool IcmpEcho::openLocked() {
    if (m_socket.isOpen()) {
        return true;
    }
    auto opened = IcmpSocket::open(IcmpTraffic::EchoReplies);
    if (!opened) {
        m_openFailure = opened.error();
        return false;
    }
    m_socket = std::move(*opened);
    m_openFailure.reset();
    return true;
}

IcmpSocketKind IcmpEcho::socketKind() {
    std::lock_guard lock(m_mutex);
    openLocked();
    return m_socket.kind();
}

std::optional<std::string> IcmpEcho::unavailableReasonLocked() {
    if (openLocked()) {
        return std::nullopt;
    }
    // Appended piece by piece: gcc 12 at -O3 warns falsely (-Wrestrict) on "literal" + string.
    std::string text = "ICMP echo is not available: ";
    text.append(m_openFailure->text).append(".");
    if (m_openFailure->code == ErrorCode::AccessDenied) {
        text.append(" ").append(IcmpPermissionHint());
    }
    return text;
}

std::optional<std::string> IcmpEcho::unavailableReason() {
    std::lock_guard lock(m_mutex);
    return unavailableReasonLocked();
}

std::optional<std::string> IcmpEcho::takeUnavailableNotice() {
    std::lock_guard lock(m_mutex);
    if (m_noticeGiven) {
        return std::nullopt;
    }
    auto reason = unavailableReasonLocked();
    m_noticeGiven = reason.has_value();
    return reason;
}

EchoResult IcmpEcho::echo(std::uint32_t address, std::span<const std::uint8_t> data,
                          std::chrono::milliseconds timeout, std::stop_token stop, int timeToLive) {
    std::lock_guard lock(m_mutex);
    return echoLocked(address, data, timeout, stop, timeToLive);
}

EchoResult IcmpEcho::echoLocked(std::uint32_t address, std::span<const std::uint8_t> data,
                                std::chrono::milliseconds timeout, const std::stop_token& stop,
                                int timeToLive) {
    using Clock = Waiter::Clock;
    EchoResult result;
    const auto fail = [&](EchoFailure failure, int error) {
        result.failure = failure;
        result.errorNumber = error;
        return result;
    };
    if (stop.stop_requested()) {
        return fail(EchoFailure::Stopped, 0);
    }
    m_receiveBuffer.resize(kReceiveBufferSize);  // a no-op after the first echo

    // Send. A socket that fails for a reason other than this request is reopened and the
    // send tried once more, since a broken socket must not end the service for good.
    const std::uint16_t sequence = ++m_sequence;
    Clock::time_point sentAt;
    for (int attempt = 0;; ++attempt) {
        if (!openLocked()) {
            return fail(EchoFailure::SocketUnavailable, m_openFailure->systemError);
        }
        if (!m_socket.ownRepliesOnly()) {
            // What queued up since our last echo is of no use, and a full queue would drop
            // the reply to this request.
            m_socket.discardQueued(m_receiveBuffer);
        }
        Result<void> sent = m_socket.setTimeToLive(timeToLive);
        if (sent) {
            sentAt = Clock::now();
            sent = m_socket.sendEcho(address, sequence, data);
        }
        if (sent) {
            break;
        }
        const int error = sent.error().systemError;
        const bool requestError = isRequestError(error);
        if (!requestError) {
            m_socket.close();
        }
        if (requestError || attempt > 0) {
            return fail(EchoFailure::SocketError, error);
        }
    }

    const Clock::time_point deadline = sentAt + timeout;
    const bool withIpHeader = m_socket.receivesIpHeader();
    for (;;) {
        // Take everything queued; the reply to a loopback echo is usually there already.
        for (;;) {
            const auto received = m_socket.receive(m_receiveBuffer);
            if (!received) {
                m_socket.close();
                return fail(EchoFailure::SocketError, received.error().systemError);
            }
            if (!received->has_value()) {
                break;
            }
            const Clock::time_point receivedAt = Clock::now();
            const IcmpReceived& datagram = **received;
            const auto reply = decodeIcmpMessage(
                std::span<const std::uint8_t>(m_receiveBuffer.data(), datagram.size), withIpHeader);
            if (!reply || reply->kind != IcmpKind::EchoReply) {
                continue;
            }
            const std::uint32_t source = withIpHeader ? reply->source : datagram.source;
            if (reply->sequence != sequence || reply->identifier != m_socket.identifier() ||
                source != address) {
                continue;  // someone else's reply, or a late one to an earlier request
            }
            const auto elapsed = receivedAt - sentAt;
            result.failure = EchoFailure::None;
            result.roundTrip = std::chrono::duration_cast<std::chrono::microseconds>(elapsed);
            result.roundTripMs = static_cast<std::uint32_t>(
                std::chrono::duration_cast<std::chrono::milliseconds>(elapsed).count());
            result.dataSize = static_cast<std::uint32_t>(reply->data.size());
            result.data.assign(reply->data.begin(), reply->data.end());
            return result;
        }

        const auto waited = m_waiter.wait(m_socket.descriptor(), deadline, stop);
        if (!waited) {
            m_socket.close();
            return fail(EchoFailure::SocketError, waited.error().systemError);
        }
        switch (*waited) {
            case WaitOutcome::Ready:
                break;
            case WaitOutcome::TimedOut:
                return fail(EchoFailure::Timeout, 0);
            case WaitOutcome::Stopped:
                return fail(EchoFailure::Stopped, 0);
        }
    }
}

}  // namespace quendrix::net
