// Non-blocking socket driven through the shared Waiter, so both the connect and every read
// wait can be woken by a stop from another thread without closing the descriptor under the
// worker's feet.
#include "net/whois_client.h"

#include "net/file_descriptor.h"
#include "net/resolver.h"
#include "net/waiter.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <vector>

namespace quendrix::net {
namespace {

constexpr auto kNoDeadline = Waiter::Clock::time_point::max();

Error stoppedError() {
    return {ErrorCode::Stopped, 0, "Stopped"};
}

// Waits for events on fd with no deadline; Ready, or the failure (Stopped included).
Result<void> waitFor(Waiter& waiter, int fd, short events, const std::stop_token& stop) {
    auto outcome = waiter.wait(fd, kNoDeadline, stop, events);
    if (!outcome) {
        return outcome.error();
    }
    if (*outcome == WaitOutcome::Stopped) {
        return stoppedError();
    }
    return {};  // Ready (TimedOut cannot happen without a deadline)
}

// One connection attempt to address:port; the connected socket or the failure.
Result<int> connectTo(Waiter& waiter, std::uint32_t address, std::uint16_t port,
                      const std::stop_token& stop) {
    const int fd = socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
    if (fd < 0) {
        return Error::fromErrno(errno);
    }
    FileDescriptor guard(fd);
    sockaddr_in peer{};
    peer.sin_family = AF_INET;
    peer.sin_port = htons(port);
    peer.sin_addr.s_addr = address;
    if (connect(fd, reinterpret_cast<const sockaddr*>(&peer), sizeof peer) != 0) {
        if (errno != EINPROGRESS) {
            return Error::fromErrno(errno);
        }
        if (auto waited = waitFor(waiter, fd, POLLOUT, stop); !waited) {
            return waited.error();
        }
        int error = 0;
        socklen_t length = sizeof error;
        if (getsockopt(fd, SOL_SOCKET, SO_ERROR, &error, &length) != 0) {
            return Error::fromErrno(errno);
        }
        if (error != 0) {
            return Error::fromErrno(error);
        }
    }
    return guard.release();
}

Result<void> sendAll(Waiter& waiter, int fd, const std::string& bytes,
                     const std::stop_token& stop) {
    std::size_t sent = 0;
    while (sent < bytes.size()) {
        const ssize_t n = send(fd, bytes.data() + sent, bytes.size() - sent, MSG_NOSIGNAL);
        if (n >= 0) {
            sent += static_cast<std::size_t>(n);
            continue;
        }
        if (errno == EINTR) {
            continue;
        }
        if (errno != EAGAIN && errno != EWOULDBLOCK) {
            return Error::fromErrno(errno);
        }
        if (auto waited = waitFor(waiter, fd, POLLOUT, stop); !waited) {
            return waited.error();
        }
    }
    return {};
}

Result<WhoisReply> readAll(Waiter& waiter, int fd, const std::stop_token& stop,
                           const WhoisClient::ArrivedBytes& arrived) {
    WhoisReply reply;
    std::vector<char> buffer(64 * 1024);
    for (;;) {
        const ssize_t n = recv(fd, buffer.data(), buffer.size(), 0);
        if (n == 0) {
            return reply;  // the server's orderly close ends the reply
        }
        if (n > 0) {
            const std::size_t room = kWhoisReplyLimit - reply.bytes.size();
            const std::size_t take = std::min(static_cast<std::size_t>(n), room);
            reply.bytes.append(buffer.data(), take);
            if (arrived && take > 0) {
                arrived(std::string_view(buffer.data(), take));
            }
            if (take < static_cast<std::size_t>(n) || reply.bytes.size() == kWhoisReplyLimit) {
                // At the limit: whether or not more would have come, the reply is marked cut
                // unless the server closes right here.
                if (take == static_cast<std::size_t>(n)) {
                    // Exactly at the limit: a close now means the reply was complete.
                    char extra = 0;
                    if (auto waited = waitFor(waiter, fd, POLLIN, stop); !waited) {
                        return waited.error();
                    }
                    const ssize_t more = recv(fd, &extra, 1, 0);
                    if (more == 0) {
                        return reply;
                    }
                    if (more < 0 && errno != EAGAIN && errno != EWOULDBLOCK && errno != EINTR) {
                        return Error::fromErrno(errno);
                    }
                }
                reply.cut = true;
                return reply;
            }
            continue;
        }
        if (errno == EINTR) {
            continue;
        }
        if (errno != EAGAIN && errno != EWOULDBLOCK) {
            return Error::fromErrno(errno);
        }
        if (stop.stop_requested()) {
            return stoppedError();
        }
        if (auto waited = waitFor(waiter, fd, POLLIN, stop); !waited) {
            return waited.error();
        }
    }
}

}  // namespace

Result<WhoisReply> WhoisClient::query(const std::string& server, const std::string& query,
                                      const std::stop_token& stop,
                                      const ArrivedBytes& arrived) const {
    if (stop.stop_requested()) {
        return stoppedError();
    }
    auto host = lookupHost(server);
    if (!host) {
        return host.error();
    }
    // The look-up may have taken long; a stop during it ends the query before any connect.
    if (stop.stop_requested()) {
        return stoppedError();
    }
    Waiter waiter;
    // The addresses in the resolver's order; the first that accepts serves the query.
    Result<int> connected = Error{};
    for (const std::uint32_t address : host->addresses) {
        connected = connectTo(waiter, address, m_port, stop);
        if (connected || connected.code() == ErrorCode::Stopped) {
            break;
        }
    }
    if (!connected) {
        return connected.error();
    }
    const FileDescriptor socket(*connected);
    if (auto sent = sendAll(waiter, socket.get(), query + "\r\n", stop); !sent) {
        return sent.error();
    }
    return readAll(waiter, socket.get(), stop, arrived);
}

}  // namespace quendrix::net
