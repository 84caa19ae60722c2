// Scripted servers of the tests' own, on 127.0.0.1 (a free port) or an address of a lab
// namespace. `ScriptedServer` is the base: a listening socket, an accepting thread, and the
// waits and writes a script needs, each of which ends at once when the server shuts down.
// Connections are served one after another (a whois server) or each on a thread of its own
// (an HTTP server, where one client may hold a connection that never gets an answer while
// others are served). Owned threads only; shutting down ends every connection and joins.
//
// `WhoisFixtureServer` is the line server of the whois tests on that base: it records what each
// client sent up to its CR LF and answers as the case scripts it, per connection: reply and
// close, close at once, never close, reset part-way, stream a large amount, or drip the reply
// byte by byte. The HTTP server is support/http_fixture.h.
#pragma once

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/socket.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <list>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace quendrix::test {

class ScriptedServer {
  public:
    enum class Serving {
        OneAtATime,    // the next connection is accepted once the current one is done
        Concurrently,  // every connection on a thread of its own
    };

    ScriptedServer(const ScriptedServer&) = delete;
    ScriptedServer& operator=(const ScriptedServer&) = delete;

    std::uint16_t port() const { return m_port; }

    // Whether the socket listens (false: the address or port could not be had).
    bool listening() const { return m_listening; }

    // Ends every connection and the server and joins their threads; idempotent. A derived
    // class calls it first thing in its destructor, before its own members go.
    void shutdown() {
        if (m_wake >= 0) {
            std::uint64_t one = 1;
            [[maybe_unused]] ssize_t n = write(m_wake, &one, sizeof one);
        }
        if (m_acceptThread.joinable()) {
            m_acceptThread.join();
        }
        for (Connection& connection : m_connections) {
            connection.thread.join();
        }
        m_connections.clear();
        if (m_listen >= 0) {
            close(m_listen);
            m_listen = -1;
        }
        if (m_wake >= 0) {
            close(m_wake);
            m_wake = -1;
        }
    }

  protected:
    explicit ScriptedServer(const char* listenAddress = "127.0.0.1", std::uint16_t port = 0,
                            Serving serving = Serving::OneAtATime, int backlog = 8)
        : m_serving(serving) {
        m_listen = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        m_wake = eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_port = htons(port);
        socklen_t length = sizeof address;
        const int reuse = 1;
        m_listening = m_listen >= 0 && m_wake >= 0 &&
                      inet_pton(AF_INET, listenAddress, &address.sin_addr) == 1 &&
                      setsockopt(m_listen, SOL_SOCKET, SO_REUSEADDR, &reuse, sizeof reuse) == 0 &&
                      bind(m_listen, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0 &&
                      listen(m_listen, backlog) == 0 &&
                      getsockname(m_listen, reinterpret_cast<sockaddr*>(&address), &length) == 0;
        m_port = ntohs(address.sin_port);
    }

    // The derived class's destructor must have called shutdown(); this is the safety net.
    virtual ~ScriptedServer() { shutdown(); }

    // Starts accepting; called by the derived class at the end of its constructor, once
    // serve() can run.
    void start() {
        if (m_listening) {
            m_acceptThread = std::thread([this] { acceptLoop(); });
        }
    }

    // Serves one accepted connection; the base closes `client` after it returns.
    virtual void serve(int client) = 0;

    // Waits for fd to have `events` (or an error or hang-up on it); false when the server is
    // being shut down.
    bool waitFor(int fd, short events) const {
        pollfd fds[2] = {{fd, events, 0}, {m_wake, POLLIN, 0}};
        for (;;) {
            if (poll(fds, 2, -1) < 0) {
                if (errno == EINTR) {
                    continue;
                }
                return false;
            }
            return fds[1].revents == 0;
        }
    }

    enum class Wait { Ready, TimedOut, ShuttingDown };
    // The same, bounded by `timeout`.
    Wait waitFor(int fd, short events, std::chrono::milliseconds timeout) const {
        pollfd fds[2] = {{fd, events, 0}, {m_wake, POLLIN, 0}};
        const auto end = std::chrono::steady_clock::now() + timeout;
        for (;;) {
            const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
                end - std::chrono::steady_clock::now());
            const int n = poll(fds, 2, static_cast<int>(std::max<long long>(left.count(), 0)));
            if (n < 0 && errno == EINTR) {
                continue;
            }
            if (n < 0 || fds[1].revents != 0) {
                return Wait::ShuttingDown;
            }
            return n == 0 ? Wait::TimedOut : Wait::Ready;
        }
    }

    // Waits `duration` unless the server shuts down first (then false).
    bool pause(std::chrono::milliseconds duration) const {
        pollfd wake{m_wake, POLLIN, 0};
        const auto end = std::chrono::steady_clock::now() + duration;
        for (;;) {
            const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
                end - std::chrono::steady_clock::now());
            if (left.count() <= 0) {
                return true;
            }
            const int n = poll(&wake, 1, static_cast<int>(left.count()));
            if (n > 0) {
                return false;
            }
            if (n < 0 && errno != EINTR) {
                return false;
            }
        }
    }

    // Sends everything; false when the client left or the server is shutting down.
    bool sendAll(int fd, const char* data, std::size_t size) const {
        while (size > 0) {
            if (!waitFor(fd, POLLOUT)) {
                return false;
            }
            const ssize_t n = send(fd, data, size, MSG_NOSIGNAL | MSG_DONTWAIT);
            if (n < 0) {
                if (errno == EAGAIN || errno == EINTR) {
                    continue;
                }
                return false;
            }
            data += n;
            size -= static_cast<std::size_t>(n);
        }
        return true;
    }
    bool sendAll(int fd, const std::string& data) const {
        return sendAll(fd, data.data(), data.size());
    }

    // Reads and drops whatever the client sends until it closes (or fails) or the server shuts
    // down: a connection held open.
    void holdUntilClientLeaves(int fd) const {
        char buffer[4096];
        while (waitFor(fd, POLLIN)) {
            const ssize_t n = recv(fd, buffer, sizeof buffer, MSG_DONTWAIT);
            if (n == 0 || (n < 0 && errno != EAGAIN && errno != EINTR)) {
                return;
            }
        }
    }

  private:
    struct Connection {
        std::thread thread;
        std::shared_ptr<std::atomic<bool>> done;
    };

    void acceptLoop() {
        while (waitFor(m_listen, POLLIN)) {
            const int client = accept4(m_listen, nullptr, nullptr, SOCK_CLOEXEC);
            if (client < 0) {
                continue;
            }
            if (m_serving == Serving::OneAtATime) {
                serve(client);
                close(client);
                continue;
            }
            // Joins the connections that have ended, so a long run keeps few threads.
            m_connections.remove_if([](Connection& connection) {
                if (!connection.done->load()) {
                    return false;
                }
                connection.thread.join();
                return true;
            });
            auto done = std::make_shared<std::atomic<bool>>(false);
            m_connections.push_back({std::thread([this, client, done] {
                                         serve(client);
                                         close(client);
                                         done->store(true);
                                     }),
                                     done});
        }
    }

    Serving m_serving;
    int m_listen = -1;
    int m_wake = -1;
    bool m_listening = false;
    std::uint16_t m_port = 0;
    std::thread m_acceptThread;
    std::list<Connection> m_connections;  // the accepting thread's, then shutdown()'s
};

struct WhoisScript {
    enum class Ending {
        Close,       // send the reply, then close
        NeverClose,  // send the reply, then keep the connection open until the client leaves
        Reset,       // send the reply, then reset the connection (RST)
    };
    std::string reply;
    Ending ending = Ending::Close;
    std::size_t streamBytes = 0;  // after the reply, this many more bytes of filler
    bool drip = false;            // send the reply one byte at a time, 1 ms apart
};

class WhoisFixtureServer : public ScriptedServer {
  public:
    explicit WhoisFixtureServer(WhoisScript script)
        : WhoisFixtureServer(std::vector<WhoisScript>{std::move(script)}) {}

    // One script per connection in the order they come; the last serves the rest. Lab tests
    // give an address of their namespace and the real port; others take loopback and any port.
    explicit WhoisFixtureServer(std::vector<WhoisScript> scripts,
                                const char* listenAddress = "127.0.0.1", std::uint16_t port = 0)
        : ScriptedServer(listenAddress, port), m_scripts(std::move(scripts)) {
        EXPECT_TRUE(listening()) << "fixture server could not listen";
        start();
    }

    ~WhoisFixtureServer() override { shutdown(); }

    // What the clients sent, one string per connection (up to and including CR LF, or all
    // they sent before closing).
    std::vector<std::string> received() const {
        std::lock_guard lock(m_mutex);
        return m_received;
    }

    // Waits until `count` connections have sent their query and been sent their reply (not
    // the filler of streamBytes), bounded: false after 60 s.
    bool waitForQueries(std::size_t count) const {
        std::unique_lock lock(m_mutex);
        return m_changed.wait_for(lock, std::chrono::seconds(60),
                                  [&] { return m_received.size() >= count; });
    }

  private:
    void serve(int client) override {
        const WhoisScript& script = m_scripts.at(std::min(m_served++, m_scripts.size() - 1));
        std::string query;
        char byte = 0;
        while (query.size() < 4096 &&
               (query.size() < 2 || query.substr(query.size() - 2) != "\r\n")) {
            if (!waitFor(client, POLLIN) || recv(client, &byte, 1, 0) != 1) {
                break;
            }
            query += byte;
        }
        bool going = true;
        if (script.drip) {
            for (std::size_t i = 0; going && i < script.reply.size(); ++i) {
                going = sendAll(client, &script.reply[i], 1);
                std::this_thread::sleep_for(std::chrono::milliseconds(1));  // the pace of a drip
            }
        } else {
            going = sendAll(client, script.reply);
        }
        // Recorded once the reply is sent (on loopback: in the client's receive queue), so a
        // test that waits for the query knows the reply has reached the client.
        {
            std::lock_guard lock(m_mutex);
            m_received.push_back(query);
        }
        m_changed.notify_all();
        const std::string filler(64 * 1024, 'x');
        for (std::size_t left = script.streamBytes; going && left > 0;) {
            const std::size_t chunk = std::min(left, filler.size());
            going = sendAll(client, filler.data(), chunk);
            left -= chunk;
        }
        if (!going) {
            return;
        }
        switch (script.ending) {
            case WhoisScript::Ending::Close:
                break;
            case WhoisScript::Ending::Reset: {
                linger hard{1, 0};
                setsockopt(client, SOL_SOCKET, SO_LINGER, &hard, sizeof hard);
                break;
            }
            case WhoisScript::Ending::NeverClose:
                // Until the client closes (readable with 0 bytes) or the server shuts down.
                while (waitFor(client, POLLIN) && recv(client, &byte, 1, 0) > 0) {
                }
                break;
        }
    }

    std::vector<WhoisScript> m_scripts;
    std::size_t m_served = 0;  // server thread only
    mutable std::mutex m_mutex;
    mutable std::condition_variable m_changed;
    std::vector<std::string> m_received;
};

// A loopback port that refuses connections: bound by the test, never listening.
struct RefusingPort {
    RefusingPort() {
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t length = sizeof address;
        fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        EXPECT_EQ(::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
        EXPECT_EQ(::getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length), 0);
        port = ntohs(address.sin_port);
    }
    ~RefusingPort() { ::close(fd); }
    RefusingPort(const RefusingPort&) = delete;
    RefusingPort& operator=(const RefusingPort&) = delete;
    int fd = -1;
    std::uint16_t port = 0;
};

}  // namespace quendrix::test
