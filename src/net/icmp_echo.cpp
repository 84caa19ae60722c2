// ICMP echo over a datagram socket (kernel-managed identifier, no privilege where the group
// range allows it) or a raw socket. Replies are matched by sequence, identifier and source, so
// other processes' echo replies and late replies of earlier requests are skipped.
#include "net/icmp_echo.h"

#include <arpa/inet.h>
#include <linux/filter.h>
#include <linux/icmp.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <climits>
#include <cstring>
#include <utility>

namespace quendrix::net {
namespace {

constexpr std::size_t kIcmpHeaderSize = 8;
constexpr std::size_t kIpv4HeaderMin = 20;
constexpr std::uint8_t kTypeEchoReply = 0;
constexpr std::uint8_t kTypeEchoRequest = 8;
// An IPv4 datagram is at most 65535 bytes; a raw socket hands over the whole of it.
constexpr std::size_t kReceiveBufferSize = 65536;

std::uint16_t readBigEndian16(const std::uint8_t* p) {
    return static_cast<std::uint16_t>((p[0] << 8) | p[1]);
}

void writeBigEndian16(std::uint8_t* p, std::uint16_t value) {
    p[0] = static_cast<std::uint8_t>(value >> 8);
    p[1] = static_cast<std::uint8_t>(value & 0xff);
}

// The Internet checksum (RFC 1071) over bytes, as a big-endian 16-bit value.
std::uint16_t internetChecksum(std::span<const std::uint8_t> bytes) {
    std::uint32_t sum = 0;
    std::size_t i = 0;
    for (; i + 1 < bytes.size(); i += 2) {
        sum += readBigEndian16(bytes.data() + i);
    }
    if (i < bytes.size()) {
        sum += static_cast<std::uint32_t>(bytes[i]) << 8;
    }
    while ((sum >> 16) != 0) {
        sum = (sum & 0xffff) + (sum >> 16);
    }
    return static_cast<std::uint16_t>(~sum & 0xffff);
}

std::string errorText(int error) {
    char buffer[256];
    // GNU strerror_r: returns the text, which need not be in buffer.
    return strerror_r(error, buffer, sizeof buffer);
}

std::string programPath() {
    char buffer[PATH_MAX];
    ssize_t n = readlink("/proc/self/exe", buffer, sizeof buffer - 1);
    if (n <= 0) {
        return "<program>";
    }
    return std::string(buffer, static_cast<std::size_t>(n));
}

// Identifiers for raw sockets: distinct per process and per instance, because every raw ICMP
// socket of the host sees every echo reply.
std::uint16_t nextRawIdentifier() {
    static std::atomic<unsigned> counter{0};
    unsigned pid = static_cast<unsigned>(getpid());
    return static_cast<std::uint16_t>((pid * 131u + counter.fetch_add(1) * 40503u) & 0xffff);
}

// Send errors that say something about this request (its size, its time-to-live, the way to
// its destination) rather than about the socket, which stays usable.
bool concernsTheRequest(int error) {
    switch (error) {
        case EMSGSIZE:
        case EINVAL:
        case ENETUNREACH:
        case EHOSTUNREACH:
        case EACCES:  // broadcast destination
        case EPERM:   // refused by a local firewall rule
        case ENOBUFS:
        case EAGAIN:
            return true;
        default:
            return false;
    }
}

// Lets only datagrams with our ICMP identifier into a raw socket's queue, so the host's
// other echo traffic neither fills it nor costs us a wake-up. The program sees the IPv4
// header first: X = header length, then the identifier is the half-word at X + 4.
bool attachIdentifierFilter(int fd, std::uint16_t identifier) {
    sock_filter code[] = {
        BPF_STMT(BPF_LDX | BPF_B | BPF_MSH, 0),
        BPF_STMT(BPF_LD | BPF_H | BPF_IND, 4),
        BPF_JUMP(BPF_JMP | BPF_JEQ | BPF_K, identifier, 0, 1),
        BPF_STMT(BPF_RET | BPF_K, 0xffffffffu),
        BPF_STMT(BPF_RET | BPF_K, 0),
    };
    sock_fprog program{};
    program.len = sizeof code / sizeof code[0];
    program.filter = code;
    return setsockopt(fd, SOL_SOCKET, SO_ATTACH_FILTER, &program, sizeof program) == 0;
}

void signalWake(int fd) {
    std::uint64_t one = 1;
    // A full counter or a closed descriptor cannot happen while a call waits; nothing to do.
    [[maybe_unused]] ssize_t n = write(fd, &one, sizeof one);
}

}  // namespace

std::optional<ParsedEchoReply> parseEchoReply(std::span<const std::uint8_t> bytes,
                                              bool withIpHeader) {
    ParsedEchoReply reply;
    if (withIpHeader) {
        if (bytes.size() < kIpv4HeaderMin) {
            return std::nullopt;
        }
        const unsigned version = bytes[0] >> 4;
        const std::size_t headerSize = static_cast<std::size_t>(bytes[0] & 0x0f) * 4;
        if (version != 4 || headerSize < kIpv4HeaderMin || bytes.size() < headerSize) {
            return std::nullopt;
        }
        if (bytes[9] != IPPROTO_ICMP) {
            return std::nullopt;
        }
        const std::size_t totalLength = readBigEndian16(bytes.data() + 2);
        if (totalLength < headerSize || totalLength > bytes.size()) {
            return std::nullopt;
        }
        std::memcpy(&reply.source, bytes.data() + 12, sizeof reply.source);
        bytes = bytes.subspan(headerSize, totalLength - headerSize);
    }
    if (bytes.size() < kIcmpHeaderSize) {
        return std::nullopt;
    }
    if (bytes[0] != kTypeEchoReply || bytes[1] != 0) {
        return std::nullopt;
    }
    if (internetChecksum(bytes) != 0) {
        return std::nullopt;
    }
    reply.identifier = readBigEndian16(bytes.data() + 4);
    reply.sequence = readBigEndian16(bytes.data() + 6);
    reply.data = bytes.subspan(kIcmpHeaderSize);
    return reply;
}

IcmpEcho::IcmpEcho() : m_wakeFd(eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK)) {
    m_wakeError = m_wakeFd < 0 ? errno : 0;
}

IcmpEcho::~IcmpEcho() {
    closeLocked();
    if (m_wakeFd >= 0) {
        close(m_wakeFd);
    }
}

void IcmpEcho::closeLocked() {
    if (m_socket >= 0) {
        close(m_socket);
    }
    m_socket = -1;
    m_kind = IcmpSocketKind::None;
    m_timeToLive = -1;
}

bool IcmpEcho::openLocked() {
    if (m_socket >= 0) {
        return true;
    }
    // The datagram socket first: it needs no privilege and the kernel hands it only the
    // replies to its own identifier.
    int datagramError = 0;
    int fd = socket(AF_INET, SOCK_DGRAM | SOCK_NONBLOCK | SOCK_CLOEXEC, IPPROTO_ICMP);
    if (fd >= 0) {
        sockaddr_in local{};
        local.sin_family = AF_INET;
        socklen_t length = sizeof local;
        // Binding to port 0 makes the kernel pick the identifier now, so we can read it.
        if (bind(fd, reinterpret_cast<const sockaddr*>(&local), sizeof local) == 0 &&
            getsockname(fd, reinterpret_cast<sockaddr*>(&local), &length) == 0) {
            m_socket = fd;
            m_kind = IcmpSocketKind::Datagram;
            m_identifier = ntohs(local.sin_port);
        } else {
            datagramError = errno;
            close(fd);
        }
    } else {
        datagramError = errno;
    }

    int rawError = 0;
    if (m_socket < 0) {
        fd = socket(AF_INET, SOCK_RAW | SOCK_NONBLOCK | SOCK_CLOEXEC, IPPROTO_ICMP);
        if (fd >= 0) {
            // Only echo replies, not the host's other ICMP traffic (nor our own requests to
            // loopback addresses).
            icmp_filter filter{};
            filter.data = ~(1u << ICMP_ECHOREPLY);
            // Without the filter the matcher still skips everything else; only slower.
            setsockopt(fd, SOL_RAW, ICMP_FILTER, &filter, sizeof filter);
            m_socket = fd;
            m_kind = IcmpSocketKind::Raw;
            m_identifier = nextRawIdentifier();
            m_ownRepliesOnly = attachIdentifierFilter(fd, m_identifier);
        } else {
            rawError = errno;
        }
    }

    if (m_socket < 0) {
        m_openError = rawError != 0 ? rawError : datagramError;
        m_unavailableText =
            "ICMP echo is not available: no ICMP socket can be opened (datagram socket: " +
            errorText(datagramError) + "; raw socket: " + errorText(rawError) + ").";
        const bool refused = (datagramError == EACCES || datagramError == EPERM) &&
                             (rawError == EACCES || rawError == EPERM);
        if (refused) {
            m_unavailableText +=
                " To allow it, either give the program the raw socket capability:\n"
                "    sudo setcap cap_net_raw+ep " +
                programPath() +
                "\nor let your group use ICMP datagram sockets:\n"
                "    sudo sysctl -w net.ipv4.ping_group_range=\"0 2147483647\"";
        }
        return false;
    }
    m_openError = 0;
    m_unavailableText.clear();
    return true;
}

// Without its identifier filter a raw socket receives every echo reply of the host, also
// while no echo of ours is under way. What queued up since our last echo is of no use, and a
// full queue would drop the reply to the next request: empty it before sending.
void IcmpEcho::discardQueuedLocked() {
    m_receiveBuffer.resize(kReceiveBufferSize);
    for (;;) {
        ssize_t n = recv(m_socket, m_receiveBuffer.data(), m_receiveBuffer.size(), 0);
        if (n < 0 && errno != EINTR) {
            return;
        }
    }
}

IcmpSocketKind IcmpEcho::socketKind() {
    std::lock_guard lock(m_mutex);
    openLocked();
    return m_kind;
}

std::optional<std::string> IcmpEcho::unavailableReason() {
    std::lock_guard lock(m_mutex);
    if (openLocked()) {
        return std::nullopt;
    }
    return m_unavailableText;
}

std::optional<std::string> IcmpEcho::takeUnavailableNotice() {
    std::lock_guard lock(m_mutex);
    if (openLocked() || m_noticeGiven) {
        return std::nullopt;
    }
    m_noticeGiven = true;
    return m_unavailableText;
}

EchoResult IcmpEcho::echo(std::uint32_t address, std::span<const std::uint8_t> data,
                          std::chrono::milliseconds timeout, std::stop_token stop, int timeToLive) {
    std::lock_guard lock(m_mutex);
    return echoLocked(address, data, timeout, stop, timeToLive);
}

EchoResult IcmpEcho::echoLocked(std::uint32_t address, std::span<const std::uint8_t> data,
                                std::chrono::milliseconds timeout, const std::stop_token& stop,
                                int timeToLive) {
    using Clock = std::chrono::steady_clock;
    EchoResult result;
    if (stop.stop_requested()) {
        result.failure = EchoFailure::Stopped;
        return result;
    }
    if (m_wakeFd < 0) {
        result.failure = EchoFailure::SocketError;
        result.errorNumber = m_wakeError;
        return result;
    }

    const std::uint16_t sequence = ++m_sequence;
    m_sendBuffer.resize(kIcmpHeaderSize + data.size());
    m_sendBuffer[0] = kTypeEchoRequest;
    m_sendBuffer[1] = 0;
    if (!data.empty()) {
        std::memcpy(m_sendBuffer.data() + kIcmpHeaderSize, data.data(), data.size());
    }

    sockaddr_in destination{};
    destination.sin_family = AF_INET;
    destination.sin_addr.s_addr = address;

    // Send. A socket that fails for a reason other than this request is reopened and the
    // send tried once more, since a broken socket must not end the service for good.
    Clock::time_point sentAt;
    for (int attempt = 0;; ++attempt) {
        if (!openLocked()) {
            result.failure = EchoFailure::SocketUnavailable;
            result.errorNumber = m_openError;
            return result;
        }
        if (m_kind == IcmpSocketKind::Raw && !m_ownRepliesOnly) {
            discardQueuedLocked();
        }
        int error = 0;
        if (m_timeToLive != timeToLive) {
            if (setsockopt(m_socket, IPPROTO_IP, IP_TTL, &timeToLive, sizeof timeToLive) == 0) {
                m_timeToLive = timeToLive;
            } else {
                error = errno;
            }
        }
        if (error == 0) {
            // The kernel puts its own identifier and checksum into a datagram socket's
            // request; for a raw socket they are ours to fill in.
            writeBigEndian16(&m_sendBuffer[2], 0);
            writeBigEndian16(&m_sendBuffer[4], m_identifier);
            writeBigEndian16(&m_sendBuffer[6], sequence);
            writeBigEndian16(&m_sendBuffer[2], internetChecksum(m_sendBuffer));
            sentAt = Clock::now();
            ssize_t sent;
            do {
                sent = sendto(m_socket, m_sendBuffer.data(), m_sendBuffer.size(), 0,
                              reinterpret_cast<const sockaddr*>(&destination), sizeof destination);
            } while (sent < 0 && errno == EINTR);
            if (sent >= 0) {
                break;
            }
            error = errno;
        }
        const bool requestError = concernsTheRequest(error);
        if (!requestError) {
            closeLocked();
        }
        if (requestError || attempt > 0) {
            result.failure = EchoFailure::SocketError;
            result.errorNumber = error;
            return result;
        }
    }

    // A stop request wakes the wait through the eventfd. Its count is drained when a wake
    // was signalled, so the next call starts clean.
    std::atomic<bool> woken{false};
    auto wake = [this, &woken] {
        woken.store(true);
        signalWake(m_wakeFd);
    };
    std::optional<std::stop_callback<decltype(wake)>> onStop;
    if (stop.stop_possible()) {
        onStop.emplace(stop, wake);
    }
    auto drainWake = [&] {
        onStop.reset();
        if (woken.load()) {
            std::uint64_t count = 0;
            [[maybe_unused]] ssize_t n = read(m_wakeFd, &count, sizeof count);
        }
    };

    const Clock::time_point deadline = sentAt + timeout;
    const bool withIpHeader = m_kind == IcmpSocketKind::Raw;
    m_receiveBuffer.resize(kReceiveBufferSize);  // a no-op after the first echo
    for (;;) {
        // Take everything queued; the reply to a loopback echo is usually there already.
        for (;;) {
            sockaddr_in from{};
            socklen_t fromLength = sizeof from;
            ssize_t n = recvfrom(m_socket, m_receiveBuffer.data(), m_receiveBuffer.size(), 0,
                                 reinterpret_cast<sockaddr*>(&from), &fromLength);
            if (n < 0) {
                if (errno == EINTR) {
                    continue;
                }
                if (errno == EAGAIN || errno == EWOULDBLOCK) {
                    break;
                }
                result.failure = EchoFailure::SocketError;
                result.errorNumber = errno;
                closeLocked();
                drainWake();
                return result;
            }
            const Clock::time_point receivedAt = Clock::now();
            auto reply = parseEchoReply(
                std::span<const std::uint8_t>(m_receiveBuffer.data(), static_cast<std::size_t>(n)),
                withIpHeader);
            if (!reply) {
                continue;
            }
            const std::uint32_t source = withIpHeader ? reply->source : from.sin_addr.s_addr;
            if (reply->sequence != sequence || reply->identifier != m_identifier ||
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
            drainWake();
            return result;
        }

        if (stop.stop_requested()) {
            result.failure = EchoFailure::Stopped;
            drainWake();
            return result;
        }
        const Clock::time_point now = Clock::now();
        if (now >= deadline) {
            result.failure = EchoFailure::Timeout;
            drainWake();
            return result;
        }
        const auto remaining = std::chrono::duration_cast<std::chrono::nanoseconds>(deadline - now);
        timespec wait{};
        wait.tv_sec = static_cast<time_t>(remaining.count() / 1'000'000'000);
        wait.tv_nsec = static_cast<long>(remaining.count() % 1'000'000'000);
        pollfd fds[2] = {{m_socket, POLLIN, 0}, {m_wakeFd, POLLIN, 0}};
        if (ppoll(fds, 2, &wait, nullptr) < 0 && errno != EINTR) {
            result.failure = EchoFailure::SocketError;
            result.errorNumber = errno;
            closeLocked();
            drainWake();
            return result;
        }
    }
}

}  // namespace quendrix::net
