// Socket choice, kernel filters, request building and receiving for ICMP over IPv4.
#include "net/icmp_socket.h"

#include "net/icmp_message.h"

#include <arpa/inet.h>
#include <linux/errqueue.h>
#include <linux/filter.h>
#include <linux/icmp.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <climits>
#include <cstring>
#include <utility>

namespace quendrix::net {
namespace {

constexpr std::uint8_t kTypeEchoRequest = 8;

void writeBigEndian16(std::uint8_t* p, std::uint16_t value) {
    p[0] = static_cast<std::uint8_t>(value >> 8);
    p[1] = static_cast<std::uint8_t>(value & 0xff);
}

std::string programPath() {
    char buffer[PATH_MAX];
    ssize_t n = readlink("/proc/self/exe", buffer, sizeof buffer - 1);
    if (n <= 0) {
        return "<program>";
    }
    return std::string(buffer, static_cast<std::size_t>(n));
}

// Identifiers for raw sockets: distinct per process and per socket, because every raw ICMP
// socket of the host sees every echo reply.
std::uint16_t nextRawIdentifier() {
    static std::atomic<unsigned> counter{0};
    unsigned pid = static_cast<unsigned>(getpid());
    return static_cast<std::uint16_t>((pid * 131u + counter.fetch_add(1) * 40503u) & 0xffff);
}

// Lets only datagrams that concern our identifier into a raw socket's queue, so the host's
// other ICMP traffic neither fills it nor costs us a wake-up. The program sees the IPv4
// header first: X = its length. An echo reply carries the identifier at X + 4; an error
// message quotes our request's IP header at X + 8, whose own length Q puts the request's
// identifier at X + 8 + Q + 4.
bool attachIdentifierFilter(int fd, std::uint16_t identifier, IcmpTraffic traffic) {
    sock_filter echoOnly[] = {
        BPF_STMT(BPF_LDX | BPF_B | BPF_MSH, 0),
        BPF_STMT(BPF_LD | BPF_H | BPF_IND, 4),
        BPF_JUMP(BPF_JMP | BPF_JEQ | BPF_K, identifier, 0, 1),
        BPF_STMT(BPF_RET | BPF_K, 0xffffffffu),
        BPF_STMT(BPF_RET | BPF_K, 0),
    };
    sock_filter withErrors[] = {
        BPF_STMT(BPF_LDX | BPF_B | BPF_MSH, 0),
        BPF_STMT(BPF_LD | BPF_B | BPF_IND, 0),                           // A = ICMP type
        BPF_JUMP(BPF_JMP | BPF_JEQ | BPF_K, ICMP_ECHOREPLY, 2, 0),       // -> 5
        BPF_JUMP(BPF_JMP | BPF_JEQ | BPF_K, ICMP_DEST_UNREACH, 3, 0),    // -> 7
        BPF_JUMP(BPF_JMP | BPF_JEQ | BPF_K, ICMP_TIME_EXCEEDED, 2, 10),  // -> 7 / 15
        BPF_STMT(BPF_LD | BPF_H | BPF_IND, 4),
        BPF_JUMP(BPF_JMP | BPF_JEQ | BPF_K, identifier, 7, 8),  // -> 14 / 15
        BPF_STMT(BPF_LD | BPF_B | BPF_IND, 8),                  // the quoted header's length
        BPF_STMT(BPF_ALU | BPF_AND | BPF_K, 0x0f),
        BPF_STMT(BPF_ALU | BPF_LSH | BPF_K, 2),
        BPF_STMT(BPF_ALU | BPF_ADD | BPF_X, 0),
        BPF_STMT(BPF_MISC | BPF_TAX, 0),
        BPF_STMT(BPF_LD | BPF_H | BPF_IND, 12),
        BPF_JUMP(BPF_JMP | BPF_JEQ | BPF_K, identifier, 0, 1),  // -> 14 / 15
        BPF_STMT(BPF_RET | BPF_K, 0xffffffffu),
        BPF_STMT(BPF_RET | BPF_K, 0),
    };
    sock_fprog program{};
    if (traffic == IcmpTraffic::EchoReplies) {
        program.len = sizeof echoOnly / sizeof echoOnly[0];
        program.filter = echoOnly;
    } else {
        program.len = sizeof withErrors / sizeof withErrors[0];
        program.filter = withErrors;
    }
    return setsockopt(fd, SOL_SOCKET, SO_ATTACH_FILTER, &program, sizeof program) == 0;
}

}  // namespace

std::string IcmpPermissionHint() {
    return "To allow it, either give the program the raw socket capability:\n"
           "    sudo setcap cap_net_raw+ep " +
           programPath() +
           "\nor let your group use ICMP datagram sockets:\n"
           "    sudo sysctl -w net.ipv4.ping_group_range=\"0 2147483647\"";
}

bool isRequestError(int error) {
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

IcmpSocket::~IcmpSocket() {
    close();
}

IcmpSocket::IcmpSocket(IcmpSocket&& other) noexcept {
    *this = std::move(other);
}

IcmpSocket& IcmpSocket::operator=(IcmpSocket&& other) noexcept {
    if (this != &other) {
        close();
        m_fd = std::exchange(other.m_fd, -1);
        m_kind = std::exchange(other.m_kind, IcmpSocketKind::None);
        m_traffic = other.m_traffic;
        m_identifier = other.m_identifier;
        m_ownRepliesOnly = other.m_ownRepliesOnly;
        m_receiveTimeToLive = other.m_receiveTimeToLive;
        m_timeToLive = std::exchange(other.m_timeToLive, -1);
        m_sendBuffer = std::move(other.m_sendBuffer);
    }
    return *this;
}

void IcmpSocket::close() {
    if (m_fd >= 0) {
        ::close(m_fd);
    }
    m_fd = -1;
    m_kind = IcmpSocketKind::None;
    m_timeToLive = -1;
}

Result<IcmpSocket> IcmpSocket::open(IcmpTraffic traffic,
                                    std::optional<std::uint16_t> rawIdentifier) {
    IcmpSocket opened;
    opened.m_traffic = traffic;

    // The datagram socket first: it needs no privilege and the kernel hands it only the
    // replies to its own identifier.
    int datagramError = 0;
    int fd = socket(AF_INET, SOCK_DGRAM | SOCK_NONBLOCK | SOCK_CLOEXEC, IPPROTO_ICMP);
    if (fd >= 0) {
        sockaddr_in local{};
        local.sin_family = AF_INET;
        socklen_t length = sizeof local;
        const int on = 1;
        // Binding to port 0 makes the kernel pick the identifier now, so we can read it.
        if (bind(fd, reinterpret_cast<const sockaddr*>(&local), sizeof local) == 0 &&
            getsockname(fd, reinterpret_cast<sockaddr*>(&local), &length) == 0 &&
            (traffic == IcmpTraffic::EchoReplies ||
             (setsockopt(fd, IPPROTO_IP, IP_RECVERR, &on, sizeof on) == 0 &&
              setsockopt(fd, IPPROTO_IP, IP_RECVTTL, &on, sizeof on) == 0))) {
            opened.m_fd = fd;
            opened.m_kind = IcmpSocketKind::Datagram;
            opened.m_identifier = ntohs(local.sin_port);
            opened.m_ownRepliesOnly = true;
            opened.m_receiveTimeToLive = traffic == IcmpTraffic::EchoRepliesAndErrors;
            return opened;
        }
        datagramError = errno;
        ::close(fd);
    } else {
        datagramError = errno;
    }

    fd = socket(AF_INET, SOCK_RAW | SOCK_NONBLOCK | SOCK_CLOEXEC, IPPROTO_ICMP);
    if (fd >= 0) {
        // Only the message types asked for, not the host's other ICMP traffic (nor our own
        // requests to loopback addresses).
        icmp_filter filter{};
        filter.data = ~(1u << ICMP_ECHOREPLY);
        if (traffic == IcmpTraffic::EchoRepliesAndErrors) {
            filter.data &= ~((1u << ICMP_DEST_UNREACH) | (1u << ICMP_TIME_EXCEEDED));
        }
        // Without the filters the reader still skips everything else; only slower.
        setsockopt(fd, SOL_RAW, ICMP_FILTER, &filter, sizeof filter);
        opened.m_fd = fd;
        opened.m_kind = IcmpSocketKind::Raw;
        opened.m_identifier = rawIdentifier ? *rawIdentifier : nextRawIdentifier();
        opened.m_ownRepliesOnly = attachIdentifierFilter(fd, opened.m_identifier, traffic);
        return opened;
    }
    const int rawError = errno;

    const bool refused = (datagramError == EACCES || datagramError == EPERM) &&
                         (rawError == EACCES || rawError == EPERM);
    return Error{
        refused ? ErrorCode::AccessDenied : ErrorCode::System,
        rawError != 0 ? rawError : datagramError,
        "no ICMP socket can be opened (datagram socket: " + Error::errorText(datagramError) +
            "; raw socket: " + Error::errorText(rawError) + ")"};
}

Result<void> IcmpSocket::setTimeToLive(int timeToLive) {
    if (m_timeToLive == timeToLive) {
        return {};
    }
    if (setsockopt(m_fd, IPPROTO_IP, IP_TTL, &timeToLive, sizeof timeToLive) != 0) {
        return Error::fromErrno(errno);
    }
    m_timeToLive = timeToLive;
    return {};
}

Result<void> IcmpSocket::sendEcho(std::uint32_t address, std::uint16_t sequence,
                                  std::span<const std::uint8_t> data) {
    // The kernel puts its own identifier and checksum into a datagram socket's request; for
    // a raw socket they are ours to fill in.
    m_sendBuffer.resize(kIcmpHeaderSize + data.size());
    m_sendBuffer[0] = kTypeEchoRequest;
    m_sendBuffer[1] = 0;
    writeBigEndian16(&m_sendBuffer[2], 0);
    writeBigEndian16(&m_sendBuffer[4], m_identifier);
    writeBigEndian16(&m_sendBuffer[6], sequence);
    if (!data.empty()) {
        std::memcpy(m_sendBuffer.data() + kIcmpHeaderSize, data.data(), data.size());
    }
    writeBigEndian16(&m_sendBuffer[2], internetChecksum(m_sendBuffer));
    return send(address, m_sendBuffer);
}

Result<void> IcmpSocket::send(std::uint32_t address, std::span<const std::uint8_t> message) {
    sockaddr_in destination{};
    destination.sin_family = AF_INET;
    destination.sin_addr.s_addr = address;
    ssize_t sent;
    do {
        sent = sendto(m_fd, message.data(), message.size(), 0,
                      reinterpret_cast<const sockaddr*>(&destination), sizeof destination);
    } while (sent < 0 && errno == EINTR);
    if (sent < 0) {
        return Error::fromErrno(errno);
    }
    return {};
}

Result<std::optional<IcmpReceived>> IcmpSocket::receive(std::span<std::uint8_t> buffer) {
    sockaddr_in from{};
    iovec part{buffer.data(), buffer.size()};
    alignas(cmsghdr) char control[CMSG_SPACE(sizeof(int))];
    msghdr message{};
    message.msg_name = &from;
    message.msg_namelen = sizeof from;
    message.msg_iov = &part;
    message.msg_iovlen = 1;
    if (m_receiveTimeToLive) {
        message.msg_control = control;
        message.msg_controllen = sizeof control;
    }
    ssize_t n;
    do {
        n = recvmsg(m_fd, &message, 0);
    } while (n < 0 && errno == EINTR);
    if (n < 0) {
        if (errno == EAGAIN || errno == EWOULDBLOCK) {
            return std::optional<IcmpReceived>();
        }
        return Error::fromErrno(errno);
    }
    IcmpReceived received;
    received.size = static_cast<std::size_t>(n);
    received.source = from.sin_addr.s_addr;
    if (m_receiveTimeToLive) {
        for (cmsghdr* c = CMSG_FIRSTHDR(&message); c != nullptr; c = CMSG_NXTHDR(&message, c)) {
            if (c->cmsg_level == IPPROTO_IP && c->cmsg_type == IP_TTL) {
                std::memcpy(&received.timeToLive, CMSG_DATA(c), sizeof received.timeToLive);
            }
        }
    }
    return std::optional<IcmpReceived>(received);
}

Result<std::optional<IcmpQueuedError>> IcmpSocket::receiveQueuedError() {
    // What comes back is our own request (from its ICMP header on) with the error beside it;
    // room for all an error message may quote, so its size is known.
    std::uint8_t request[576] = {};
    sockaddr_in to{};
    iovec part{request, sizeof request};
    alignas(cmsghdr) char control[512];
    msghdr message{};
    message.msg_name = &to;
    message.msg_namelen = sizeof to;
    message.msg_iov = &part;
    message.msg_iovlen = 1;
    message.msg_control = control;
    message.msg_controllen = sizeof control;
    for (;;) {
        ssize_t n;
        do {
            n = recvmsg(m_fd, &message, MSG_ERRQUEUE);
        } while (n < 0 && errno == EINTR);
        if (n < 0) {
            if (errno == EAGAIN || errno == EWOULDBLOCK) {
                return std::optional<IcmpQueuedError>();
            }
            return Error::fromErrno(errno);
        }
        int timeToLive = -1;
        for (cmsghdr* c = CMSG_FIRSTHDR(&message); c != nullptr; c = CMSG_NXTHDR(&message, c)) {
            if (c->cmsg_level == IPPROTO_IP && c->cmsg_type == IP_TTL &&
                c->cmsg_len >= CMSG_LEN(sizeof timeToLive)) {
                std::memcpy(&timeToLive, CMSG_DATA(c), sizeof timeToLive);
            }
        }
        for (cmsghdr* c = CMSG_FIRSTHDR(&message); c != nullptr; c = CMSG_NXTHDR(&message, c)) {
            if (c->cmsg_level != IPPROTO_IP || c->cmsg_type != IP_RECVERR ||
                c->cmsg_len < CMSG_LEN(sizeof(sock_extended_err) + sizeof(sockaddr_in))) {
                continue;
            }
            sock_extended_err extended{};
            std::memcpy(&extended, CMSG_DATA(c), sizeof extended);
            if (extended.ee_origin != SO_EE_ORIGIN_ICMP || n < 8) {
                continue;  // a local error (say, a message too big): not an ICMP answer
            }
            IcmpQueuedError error;
            error.type = extended.ee_type;
            error.code = extended.ee_code;
            sockaddr_in offender{};
            std::memcpy(&offender, CMSG_DATA(c) + sizeof extended, sizeof offender);
            error.offender = offender.sin_addr.s_addr;
            // The kernel names the quoted header's destination as the message's address.
            error.destination = to.sin_addr.s_addr;
            error.identifier = static_cast<std::uint16_t>((request[4] << 8) | request[5]);
            error.sequence = static_cast<std::uint16_t>((request[6] << 8) | request[7]);
            error.timeToLive = timeToLive;
            error.quotedSize = static_cast<std::size_t>(n);
            return std::optional<IcmpQueuedError>(error);
        }
        // Nothing of use in this one; the next may be.
        message.msg_namelen = sizeof to;
        message.msg_controllen = sizeof control;
    }
}

void IcmpSocket::discardQueued(std::span<std::uint8_t> scratch) {
    for (;;) {
        ssize_t n = recv(m_fd, scratch.data(), scratch.size(), 0);
        if (n < 0 && errno != EINTR) {
            return;
        }
    }
}

}  // namespace quendrix::net
