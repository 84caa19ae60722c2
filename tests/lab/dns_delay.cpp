// lab_dns_delay: a UDP DNS forwarder for the DNS lab that slows every exchange down, since
// the lab's kernel has no netem. Each query waits half the delay before it goes upstream and
// each answer waits the other half before it goes back; queries never wait for each other.
//
//   lab_dns_delay --listen 127.0.0.1:53 --upstream 127.0.0.2:53 --delay-ms 20
//
// Both addresses must be loopback: this program only ever lives inside a lab namespace.
#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <deque>
#include <optional>
#include <string>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

volatile std::sig_atomic_t g_stop = 0;

void onSignal(int) {
    g_stop = 1;
}

// One datagram waiting for its moment. The delay is the same for every datagram of a
// direction, so each direction is a plain FIFO already sorted by due time.
struct Held {
    Clock::time_point due;
    sockaddr_in client{};
    std::vector<unsigned char> bytes;
};

// A query sent upstream under our own id, waiting for its answer.
struct InFlight {
    bool used = false;
    sockaddr_in client{};
    unsigned char originalId[2] = {};
    Clock::time_point sent;
};

constexpr auto kForgetAfter = std::chrono::seconds(10);

std::optional<sockaddr_in> parseLoopback(const std::string& text) {
    const auto colon = text.rfind(':');
    if (colon == std::string::npos) {
        return std::nullopt;
    }
    sockaddr_in address{};
    address.sin_family = AF_INET;
    if (inet_pton(AF_INET, text.substr(0, colon).c_str(), &address.sin_addr) != 1) {
        return std::nullopt;
    }
    char* end = nullptr;
    const long port = std::strtol(text.c_str() + colon + 1, &end, 10);
    if (*end != '\0' || port <= 0 || port > 65535) {
        return std::nullopt;
    }
    address.sin_port = htons(static_cast<std::uint16_t>(port));
    if ((ntohl(address.sin_addr.s_addr) >> 24) != 127) {
        return std::nullopt;
    }
    return address;
}

int udpSocket() {
    const int fd = socket(AF_INET, SOCK_DGRAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
    if (fd < 0) {
        std::perror("lab_dns_delay: socket");
        std::exit(1);
    }
    const int size = 4 << 20;
    setsockopt(fd, SOL_SOCKET, SO_RCVBUF, &size, sizeof size);
    setsockopt(fd, SOL_SOCKET, SO_SNDBUF, &size, sizeof size);
    return fd;
}

sockaddr* asSockaddr(sockaddr_in* address) {
    return reinterpret_cast<sockaddr*>(address);
}

class Forwarder {
  public:
    Forwarder(const sockaddr_in& listen, const sockaddr_in& upstream,
              std::chrono::microseconds delay)
        : m_inDelay(delay / 2), m_outDelay(delay - delay / 2), m_inFlight(65536) {
        m_listenFd = udpSocket();
        sockaddr_in bindAddress = listen;
        if (bind(m_listenFd, asSockaddr(&bindAddress), sizeof bindAddress) != 0) {
            std::perror("lab_dns_delay: bind");
            std::exit(1);
        }
        m_upstreamFd = udpSocket();
        sockaddr_in upstreamAddress = upstream;
        if (connect(m_upstreamFd, asSockaddr(&upstreamAddress), sizeof upstreamAddress) != 0) {
            std::perror("lab_dns_delay: connect");
            std::exit(1);
        }
    }

    ~Forwarder() {
        close(m_listenFd);
        close(m_upstreamFd);
    }

    Forwarder(const Forwarder&) = delete;
    Forwarder& operator=(const Forwarder&) = delete;

    void run() {
        sigset_t blocked;
        sigset_t waitMask;
        sigemptyset(&blocked);
        sigaddset(&blocked, SIGTERM);
        sigaddset(&blocked, SIGINT);
        // Signals only arrive inside ppoll, so a stop is never lost between checks.
        sigprocmask(SIG_BLOCK, &blocked, &waitMask);
        while (g_stop == 0) {
            pollfd fds[2] = {{m_listenFd, POLLIN, 0}, {m_upstreamFd, POLLIN, 0}};
            timespec timeout{};
            const timespec* timeoutPointer = nextTimeout(&timeout);
            const int ready = ppoll(fds, 2, timeoutPointer, &waitMask);
            if (ready < 0 && errno != EINTR) {
                std::perror("lab_dns_delay: ppoll");
                return;
            }
            if (ready > 0) {
                if ((fds[0].revents & POLLIN) != 0) {
                    readQueries();
                }
                if ((fds[1].revents & POLLIN) != 0) {
                    readAnswers();
                }
            }
            releaseDue();
        }
    }

  private:
    const timespec* nextTimeout(timespec* timeout) const {
        std::optional<Clock::time_point> next;
        if (!m_queries.empty()) {
            next = m_queries.front().due;
        }
        if (!m_answers.empty() && (!next || m_answers.front().due < *next)) {
            next = m_answers.front().due;
        }
        if (!next) {
            return nullptr;
        }
        const auto wait =
            std::chrono::duration_cast<std::chrono::nanoseconds>(*next - Clock::now());
        const auto nanoseconds = wait.count() > 0 ? wait.count() : 0;
        timeout->tv_sec = static_cast<time_t>(nanoseconds / 1000000000);
        timeout->tv_nsec = static_cast<long>(nanoseconds % 1000000000);
        return timeout;
    }

    void readQueries() {
        for (;;) {
            Held held;
            held.bytes.resize(65536);
            socklen_t length = sizeof held.client;
            const ssize_t got = recvfrom(m_listenFd, held.bytes.data(), held.bytes.size(), 0,
                                         asSockaddr(&held.client), &length);
            if (got < 0) {
                return;
            }
            if (got < 12) {
                continue;  // not even a DNS header
            }
            held.bytes.resize(static_cast<size_t>(got));
            held.due = Clock::now() + m_inDelay;
            m_queries.push_back(std::move(held));
        }
    }

    void readAnswers() {
        for (;;) {
            Held held;
            held.bytes.resize(65536);
            const ssize_t got = recv(m_upstreamFd, held.bytes.data(), held.bytes.size(), 0);
            if (got < 0) {
                return;
            }
            if (got < 12) {
                continue;
            }
            held.bytes.resize(static_cast<size_t>(got));
            const unsigned id = (unsigned{held.bytes[0]} << 8) | held.bytes[1];
            InFlight& slot = m_inFlight[id];
            if (!slot.used) {
                continue;  // late answer to a forgotten query
            }
            slot.used = false;
            --m_inFlightCount;
            held.bytes[0] = slot.originalId[0];
            held.bytes[1] = slot.originalId[1];
            held.client = slot.client;
            held.due = Clock::now() + m_outDelay;
            m_answers.push_back(std::move(held));
        }
    }

    // Clients pick their own ids, so two of them may use the same one: every query goes
    // upstream under a fresh id of ours and gets its own id back with the answer.
    std::optional<unsigned> takeId(const Held& query) {
        if (m_inFlightCount == m_inFlight.size()) {
            forgetOld();
            if (m_inFlightCount == m_inFlight.size()) {
                return std::nullopt;
            }
        }
        while (m_inFlight[m_nextId].used) {
            m_nextId = (m_nextId + 1) % m_inFlight.size();
        }
        const unsigned id = m_nextId;
        m_nextId = (m_nextId + 1) % m_inFlight.size();
        InFlight& slot = m_inFlight[id];
        slot.used = true;
        slot.client = query.client;
        slot.originalId[0] = query.bytes[0];
        slot.originalId[1] = query.bytes[1];
        slot.sent = Clock::now();
        ++m_inFlightCount;
        return id;
    }

    void forgetOld() {
        const auto now = Clock::now();
        for (InFlight& slot : m_inFlight) {
            if (slot.used && now - slot.sent > kForgetAfter) {
                slot.used = false;
                --m_inFlightCount;
            }
        }
        m_lastForget = now;
    }

    void releaseDue() {
        const auto now = Clock::now();
        while (!m_queries.empty() && m_queries.front().due <= now) {
            Held& query = m_queries.front();
            if (const auto id = takeId(query)) {
                query.bytes[0] = static_cast<unsigned char>(*id >> 8);
                query.bytes[1] = static_cast<unsigned char>(*id & 0xff);
                if (send(m_upstreamFd, query.bytes.data(), query.bytes.size(), 0) < 0) {
                    m_inFlight[*id].used = false;
                    --m_inFlightCount;
                }
            }
            m_queries.pop_front();
        }
        while (!m_answers.empty() && m_answers.front().due <= now) {
            Held& answer = m_answers.front();
            sendto(m_listenFd, answer.bytes.data(), answer.bytes.size(), 0,
                   asSockaddr(&answer.client), sizeof answer.client);
            m_answers.pop_front();
        }
        if (now - m_lastForget > kForgetAfter) {
            forgetOld();
        }
    }

    const std::chrono::microseconds m_inDelay;
    const std::chrono::microseconds m_outDelay;
    int m_listenFd = -1;
    int m_upstreamFd = -1;
    std::deque<Held> m_queries;
    std::deque<Held> m_answers;
    std::vector<InFlight> m_inFlight;
    size_t m_inFlightCount = 0;
    unsigned m_nextId = 0;
    Clock::time_point m_lastForget = Clock::now();
};

int usage() {
    std::fprintf(stderr,
                 "usage: lab_dns_delay --listen 127.0.0.1:53 --upstream 127.0.0.2:53 "
                 "--delay-ms N\n(both addresses loopback)\n");
    return 2;
}

}  // namespace

int main(int argc, char** argv) {
    std::optional<sockaddr_in> listen;
    std::optional<sockaddr_in> upstream;
    long delayMs = -1;
    for (int i = 1; i + 1 < argc; i += 2) {
        const std::string option = argv[i];
        const std::string value = argv[i + 1];
        if (option == "--listen") {
            listen = parseLoopback(value);
        } else if (option == "--upstream") {
            upstream = parseLoopback(value);
        } else if (option == "--delay-ms") {
            char* end = nullptr;
            delayMs = std::strtol(value.c_str(), &end, 10);
            if (*end != '\0') {
                delayMs = -1;
            }
        } else {
            return usage();
        }
    }
    if (argc % 2 == 0 || !listen || !upstream || delayMs < 0 || delayMs > 60000) {
        return usage();
    }
    struct sigaction action {};
    action.sa_handler = onSignal;
    sigaction(SIGTERM, &action, nullptr);
    sigaction(SIGINT, &action, nullptr);

    Forwarder forwarder(*listen, *upstream, std::chrono::milliseconds(delayMs));
    forwarder.run();
    return 0;
}
