// The netlink dump loop and the walkers over its messages and attributes.
#include "net/netlink_dump.h"

#include <linux/netlink.h>
#include <linux/rtnetlink.h>
#include <sys/socket.h>
#include <sys/time.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

namespace quendrix::net {
namespace {

Error malformed(const char* text) {
    return {ErrorCode::Malformed, 0, text};
}
Error truncated(const char* text) {
    return {ErrorCode::Truncated, 0, text};
}

// The kernel's negative errno in an error or end message. Received bytes can hold any number,
// INT_MIN included, which has no positive counterpart.
Error kernelError(int status) {
    constexpr int kLargestErrno = 4095;
    if (status < -kLargestErrno) {
        return malformed("netlink error code out of range");
    }
    return Error::fromErrno(-status);
}

}  // namespace

Result<bool> walkNetlinkDatagram(std::span<const std::uint8_t> bytes, std::uint32_t sequence,
                                 const NetlinkMessageHandler& onMessage) {
    std::size_t offset = 0;
    while (offset < bytes.size()) {
        nlmsghdr header{};
        if (bytes.size() - offset < sizeof header) {
            return truncated("netlink datagram ends inside a message header");
        }
        std::memcpy(&header, bytes.data() + offset, sizeof header);
        if (header.nlmsg_len < sizeof header) {
            return malformed("netlink message shorter than its header");
        }
        if (header.nlmsg_len > bytes.size() - offset) {
            return truncated("netlink datagram ends inside a message");
        }
        const auto payload =
            bytes.subspan(offset + NLMSG_HDRLEN,
                          header.nlmsg_len - std::min<std::size_t>(header.nlmsg_len, NLMSG_HDRLEN));
        offset += std::min<std::size_t>(NLMSG_ALIGN(header.nlmsg_len), bytes.size() - offset);
        if (header.nlmsg_seq != sequence) {
            continue;  // not an answer to this request
        }
        switch (header.nlmsg_type) {
            case NLMSG_DONE: {
                // A dump that failed part-way ends with the negative errno here.
                int status = 0;
                if (payload.size() >= sizeof status) {
                    std::memcpy(&status, payload.data(), sizeof status);
                }
                if (status < 0) {
                    return kernelError(status);
                }
                return true;
            }
            case NLMSG_ERROR: {
                int status = 0;
                if (payload.size() < sizeof status) {
                    return truncated("netlink error message without its code");
                }
                std::memcpy(&status, payload.data(), sizeof status);
                if (status < 0) {
                    return kernelError(status);
                }
                if (status > 0) {
                    return malformed("netlink error message with a positive code");
                }
                break;  // an acknowledgement
            }
            case NLMSG_OVERRUN:
                return Error::fromErrno(ENOBUFS);
            case NLMSG_NOOP:
                break;
            default:
                if (auto handled = onMessage(header.nlmsg_type, payload); !handled) {
                    return handled.error();
                }
                break;
        }
    }
    return false;
}

Result<void> walkNetlinkAttributes(
    std::span<const std::uint8_t> bytes,
    const std::function<void(std::uint16_t type, std::span<const std::uint8_t> data)>&
        onAttribute) {
    std::size_t offset = 0;
    while (offset + sizeof(rtattr) <= bytes.size()) {
        rtattr attribute{};
        std::memcpy(&attribute, bytes.data() + offset, sizeof attribute);
        if (attribute.rta_len < sizeof attribute || attribute.rta_len > bytes.size() - offset) {
            return malformed("netlink attribute length outside its message");
        }
        onAttribute(attribute.rta_type,
                    bytes.subspan(offset + RTA_LENGTH(0), attribute.rta_len - RTA_LENGTH(0)));
        offset += RTA_ALIGN(attribute.rta_len);
    }
    return {};
}

Result<FileDescriptor> openNetlinkSocket(int protocol) {
    FileDescriptor socket(::socket(AF_NETLINK, SOCK_RAW | SOCK_CLOEXEC, protocol));
    if (!socket.valid()) {
        return Error::fromErrno(errno);
    }
    // The kernel answers at once; the time-out only guards against a read that never ends.
    const timeval timeout{2, 0};
    ::setsockopt(socket.get(), SOL_SOCKET, SO_RCVTIMEO, &timeout, sizeof timeout);
    return socket;
}

Result<void> runNetlinkDump(int socket, std::uint16_t type, std::span<const std::uint8_t> request,
                            std::uint32_t sequence, std::vector<std::uint8_t>& buffer,
                            const NetlinkMessageHandler& onMessage) {
    std::vector<std::uint8_t> message(NLMSG_HDRLEN + request.size());
    nlmsghdr header{};
    header.nlmsg_len = static_cast<std::uint32_t>(message.size());
    header.nlmsg_type = type;
    header.nlmsg_flags = NLM_F_REQUEST | NLM_F_DUMP;
    header.nlmsg_seq = sequence;
    std::memcpy(message.data(), &header, sizeof header);
    if (!request.empty()) {
        std::memcpy(message.data() + NLMSG_HDRLEN, request.data(), request.size());
    }
    sockaddr_nl kernel{};
    kernel.nl_family = AF_NETLINK;
    ssize_t sent = -1;
    do {
        sent = ::sendto(socket, message.data(), message.size(), 0,
                        reinterpret_cast<const sockaddr*>(&kernel), sizeof kernel);
    } while (sent < 0 && errno == EINTR);
    if (sent < 0) {
        return Error::fromErrno(errno);
    }
    // The kernel fills a dump datagram up to the receive size it has seen, at most 32 KiB.
    buffer.resize(64 * 1024);
    for (;;) {
        const ssize_t received = ::recv(socket, buffer.data(), buffer.size(), MSG_TRUNC);
        if (received < 0) {
            if (errno == EINTR) {
                continue;
            }
            if (errno == EAGAIN || errno == EWOULDBLOCK) {
                return Error{ErrorCode::TimedOut, errno, "the kernel did not finish the dump"};
            }
            return Error::fromErrno(errno);
        }
        if (received == 0) {
            return {};
        }
        if (static_cast<std::size_t>(received) > buffer.size()) {
            return truncated("netlink datagram larger than the receive buffer");
        }
        const auto walked = walkNetlinkDatagram(
            std::span<const std::uint8_t>(buffer.data(), static_cast<std::size_t>(received)),
            sequence, onMessage);
        if (!walked) {
            return walked.error();
        }
        if (*walked) {
            return {};
        }
    }
}

}  // namespace quendrix::net
