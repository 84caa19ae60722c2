// The TCP connection table read from a real kernel: each test makes a network namespace of its
// own (a fresh one has no sockets at all), opens listeners and connections with known ports on
// 127.0.0.1, 10.250.3.x and IPv6, and compares the whole table, netlink and /proc alike. Runs
// only inside the lab as root: `tests/lab/lab-run dns tcp_table_lab_test` (ctest -L lab).
#include "net/tcp_table.h"
#include "net/tcp_table_refusal.h"
#include "support/dns_lab.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sched.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>
#include <ostream>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

namespace quendrix::net {

// Rows as gtest shows them when a comparison fails.
void PrintTo(const TcpConnection& row, std::ostream* out) {
    in_addr local{row.localAddress};
    in_addr remote{row.remoteAddress};
    char localText[INET_ADDRSTRLEN] = {};
    char remoteText[INET_ADDRSTRLEN] = {};
    inet_ntop(AF_INET, &local, localText, sizeof localText);
    inet_ntop(AF_INET, &remote, remoteText, sizeof remoteText);
    *out << localText << ':' << row.localPort << ' ' << remoteText << ':' << row.remotePort
         << " state " << static_cast<int>(row.state);
}

namespace {

std::uint32_t ipv4(const char* text) {
    in_addr address{};
    EXPECT_EQ(inet_pton(AF_INET, text, &address), 1) << text;
    return address.s_addr;
}

struct Row {
    const char* local;
    std::uint16_t localPort;
    const char* remote;
    std::uint16_t remotePort;
    TcpState state;
};

std::vector<TcpConnection> connections(const std::vector<Row>& rows) {
    std::vector<TcpConnection> out;
    for (const auto& row : rows) {
        out.push_back(
            {row.state, ipv4(row.local), row.localPort, ipv4(row.remote), row.remotePort});
    }
    return out;
}

// The table through one source; an empty table with a failure message when the read failed.
std::vector<TcpConnection> readTable(TcpTable::Source source) {
    TcpTable table(source);
    auto rows = table.read();
    EXPECT_TRUE(rows) << (rows ? "" : rows.error().text);
    return rows ? *rows : std::vector<TcpConnection>{};
}

// How many sockets of /proc/net/tcp and tcp6 are in a Linux state (hex as the file writes it).
int socketsInState(const char* linuxStateHex) {
    int count = 0;
    for (const char* path : {"/proc/net/tcp", "/proc/net/tcp6"}) {
        std::ifstream file(path);
        std::string line;
        std::getline(file, line);
        while (std::getline(file, line)) {
            std::istringstream fields(line);
            std::string slot, local, remote, state;
            fields >> slot >> local >> remote >> state;
            count += state == linuxStateHex ? 1 : 0;
        }
    }
    return count;
}

class TcpTableLab : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(test::InsideDnsLab()) << test::kOutsideDnsLab;
        // The lab's name server listens in the lab's namespace, and an earlier test leaves
        // time_wait sockets behind: each test gets an empty namespace of its own. Only this
        // thread moves, and it is the one that opens every socket and reads /proc/self/net.
        ASSERT_EQ(unshare(CLONE_NEWNET), 0) << std::strerror(errno);
        ASSERT_EQ(std::system("ip link set lo up && ip addr add 10.250.3.1/32 dev lo && "
                              "ip addr add 10.250.3.2/32 dev lo && "
                              "ip addr add 10.250.3.10/32 dev lo"),
                  0);
        ASSERT_EQ(readTable(TcpTable::Source::Netlink), std::vector<TcpConnection>{});
    }

    void TearDown() override {
        for (const int fd : m_fds) {
            ::close(fd);
        }
    }

    int keep(int fd) {
        EXPECT_GE(fd, 0) << std::strerror(errno);
        m_fds.push_back(fd);
        return fd;
    }

    static sockaddr_storage endpoint(const char* address, std::uint16_t port, socklen_t& size) {
        sockaddr_storage storage{};
        if (std::strchr(address, ':') != nullptr) {
            auto* in6 = reinterpret_cast<sockaddr_in6*>(&storage);
            in6->sin6_family = AF_INET6;
            in6->sin6_port = htons(port);
            EXPECT_EQ(inet_pton(AF_INET6, address, &in6->sin6_addr), 1) << address;
            size = sizeof(sockaddr_in6);
        } else {
            auto* in4 = reinterpret_cast<sockaddr_in*>(&storage);
            in4->sin_family = AF_INET;
            in4->sin_port = htons(port);
            EXPECT_EQ(inet_pton(AF_INET, address, &in4->sin_addr), 1) << address;
            size = sizeof(sockaddr_in);
        }
        return storage;
    }

    // A listener; an IPv6 one is IPv6-only when asked, else dual-stack.
    int listenOn(const char* address, std::uint16_t port, bool v6Only = false) {
        socklen_t size = 0;
        const sockaddr_storage at = endpoint(address, port, size);
        const int fd = keep(::socket(at.ss_family, SOCK_STREAM | SOCK_CLOEXEC, 0));
        if (at.ss_family == AF_INET6) {
            const int only = v6Only ? 1 : 0;
            EXPECT_EQ(setsockopt(fd, IPPROTO_IPV6, IPV6_V6ONLY, &only, sizeof only), 0);
        }
        EXPECT_EQ(::bind(fd, reinterpret_cast<const sockaddr*>(&at), size), 0)
            << address << ':' << port << ' ' << std::strerror(errno);
        EXPECT_EQ(::listen(fd, 16), 0);
        return fd;
    }

    // A connection from a fixed local end to a listener; returns the client's and the
    // accepted server's descriptors.
    std::pair<int, int> connect(const char* from, std::uint16_t fromPort, const char* to,
                                std::uint16_t toPort, int listener) {
        socklen_t size = 0;
        const sockaddr_storage local = endpoint(from, fromPort, size);
        const int fd = keep(::socket(local.ss_family, SOCK_STREAM | SOCK_CLOEXEC, 0));
        EXPECT_EQ(::bind(fd, reinterpret_cast<const sockaddr*>(&local), size), 0)
            << from << ':' << fromPort << ' ' << std::strerror(errno);
        const sockaddr_storage remote = endpoint(to, toPort, size);
        EXPECT_EQ(::connect(fd, reinterpret_cast<const sockaddr*>(&remote), size), 0)
            << to << ':' << toPort << ' ' << std::strerror(errno);
        const int accepted = keep(::accept4(listener, nullptr, nullptr, SOCK_CLOEXEC));
        return {fd, accepted};
    }

    void forget(int fd) { std::erase(m_fds, fd); }

  private:
    std::vector<int> m_fds;
};

TEST_F(TcpTableLab, ListenersAndConnectionsInTableOrderFromNetlinkAndProcFiles) {
    const int http = listenOn("127.0.0.1", 80);
    listenOn("127.0.0.1", 256);
    const int ftp = listenOn("10.250.3.1", 20);
    listenOn("10.250.3.10", 81);
    const int any = listenOn("0.0.0.0", 8080);
    const int dualStack = listenOn("::", 8081);
    listenOn("::", 9090, true);               // IPv6 only: not in the table
    const int loop6 = listenOn("::1", 9091);  // pure IPv6: not in the table

    connect("127.0.0.1", 40001, "127.0.0.1", 80, http);
    connect("127.0.0.1", 40256, "127.0.0.1", 80, http);
    connect("10.250.3.1", 40006, "127.0.0.1", 80, http);
    connect("10.250.3.2", 40002, "10.250.3.1", 20, ftp);
    connect("10.250.3.1", 40004, "10.250.3.2", 8080, any);
    connect("127.0.0.1", 40003, "127.0.0.1", 8081, dualStack);  // accepted as ::ffff:127.0.0.1
    connect("::1", 40005, "::1", 9091, loop6);

    // Hand-sorted: numbers, not texts or bytes in memory, decide (10.250.3.2 < 10.250.3.10 <
    // 127.0.0.1; port 80 < 256; remote 10.250.3.1 < 127.0.0.1; remote port 40001 < 40256).
    const auto L = TcpState::Listening;
    const auto E = TcpState::Established;
    const auto expected = connections({
        {"0.0.0.0", 8080, "0.0.0.0", 0, L},
        {"0.0.0.0", 8081, "0.0.0.0", 0, L},
        {"10.250.3.1", 20, "0.0.0.0", 0, L},
        {"10.250.3.1", 20, "10.250.3.2", 40002, E},
        {"10.250.3.1", 40004, "10.250.3.2", 8080, E},
        {"10.250.3.1", 40006, "127.0.0.1", 80, E},
        {"10.250.3.2", 8080, "10.250.3.1", 40004, E},
        {"10.250.3.2", 40002, "10.250.3.1", 20, E},
        {"10.250.3.10", 81, "0.0.0.0", 0, L},
        {"127.0.0.1", 80, "0.0.0.0", 0, L},
        {"127.0.0.1", 80, "10.250.3.1", 40006, E},
        {"127.0.0.1", 80, "127.0.0.1", 40001, E},
        {"127.0.0.1", 80, "127.0.0.1", 40256, E},
        {"127.0.0.1", 256, "0.0.0.0", 0, L},
        {"127.0.0.1", 8081, "127.0.0.1", 40003, E},
        {"127.0.0.1", 40001, "127.0.0.1", 80, E},
        {"127.0.0.1", 40003, "127.0.0.1", 8081, E},
        {"127.0.0.1", 40256, "127.0.0.1", 80, E},
    });

    EXPECT_EQ(readTable(TcpTable::Source::Netlink), expected);
    // /proc/net/tcp6 does not say which listeners are IPv6-only: there the one on :: looks
    // dual-stack.
    auto expectedFromFiles = expected;
    expectedFromFiles.insert(expectedFromFiles.begin() + 2, {TcpState::Listening, 0, 9090, 0, 0});
    EXPECT_EQ(readTable(TcpTable::Source::ProcFiles), expectedFromFiles);

    TcpTable automatic;
    const auto rows = automatic.read();
    ASSERT_TRUE(rows);
    EXPECT_EQ(*rows, expected);
    EXPECT_EQ(automatic.lastSource(), TcpTable::Source::Netlink);
}

// A connection closing on one side is close_wait there and fin_wait2 on the other, then
// time_wait once both have closed: none of these is listening or established.
TEST_F(TcpTableLab, ClosingConnectionsLeaveTheTable) {
    const int listener = listenOn("127.0.0.1", 80);
    const auto [client, server] = connect("127.0.0.1", 40001, "127.0.0.1", 80, listener);
    const auto onlyListener = connections({{"127.0.0.1", 80, "0.0.0.0", 0, TcpState::Listening}});
    ASSERT_EQ(readTable(TcpTable::Source::Netlink).size(), 3u);

    ::close(client);
    forget(client);
    char byte = 0;
    // End of stream: the client's FIN has arrived, the server side is in close_wait.
    ASSERT_EQ(::recv(server, &byte, 1, 0), 0);
    ASSERT_EQ(socketsInState("08"), 1);
    EXPECT_EQ(readTable(TcpTable::Source::Netlink), onlyListener);
    EXPECT_EQ(readTable(TcpTable::Source::ProcFiles), onlyListener);

    ::close(server);
    forget(server);
    // The server's FIN goes through loopback at once; allow the softirq a moment.
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
    while (socketsInState("06") == 0 && std::chrono::steady_clock::now() < deadline) {
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    ASSERT_EQ(socketsInState("06"), 1) << "no time_wait socket";
    EXPECT_EQ(readTable(TcpTable::Source::Netlink), onlyListener);
    EXPECT_EQ(readTable(TcpTable::Source::ProcFiles), onlyListener);
}

// Where netlink is refused, the table comes from the /proc files; where those are missing too,
// the read fails and says why for both. The refusals are made in a child process, which
// inherits this namespace and reports through its exit status.
TEST_F(TcpTableLab, RefusedNetlinkFallsBackToProcFiles) {
    const int listener = listenOn("127.0.0.1", 80);
    connect("10.250.3.1", 40001, "127.0.0.1", 80, listener);
    const auto expected = readTable(TcpTable::Source::Netlink);
    ASSERT_EQ(expected.size(), 3u);

    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        if (!test::RefuseNetlinkSockets()) {
            _exit(10);
        }
        TcpTable netlinkOnly(TcpTable::Source::Netlink);
        const auto refused = netlinkOnly.read();
        if (refused || refused.error().systemError != EACCES) {
            _exit(11);
        }
        TcpTable automatic;
        const auto rows = automatic.read();
        if (!rows || *rows != expected || automatic.lastSource() != TcpTable::Source::ProcFiles) {
            _exit(12);
        }
        if (!test::HideProcNetFiles()) {
            _exit(13);
        }
        const auto neither = automatic.read();
        if (neither || neither.error().systemError != EACCES ||
            neither.error().text !=
                "netlink: Permission denied; /proc/net/tcp and tcp6: No such "
                "file or directory") {
            _exit(14);
        }
        _exit(0);
    }
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status));
    // 10: seccomp refused; 11: netlink not refused; 12: the fallback gave other rows; 13: the
    // files could not be hidden; 14: a read of neither did not fail, or not with both reasons.
    EXPECT_EQ(WEXITSTATUS(status), 0);
}

// Enough sockets that the dump spans many netlink datagrams.
TEST_F(TcpTableLab, LargeTableSpansManyDatagrams) {
    const int listener = listenOn("127.0.0.1", 8080);
    constexpr int kConnections = 400;  // 801 descriptors: within the default limit of 1024
    for (int i = 0; i < kConnections; ++i) {
        connect("127.0.0.1", static_cast<std::uint16_t>(20000 + i), "127.0.0.1", 8080, listener);
    }
    const auto fromNetlink = readTable(TcpTable::Source::Netlink);
    ASSERT_EQ(fromNetlink.size(), 1u + 2u * kConnections);
    EXPECT_TRUE(std::is_sorted(fromNetlink.begin(), fromNetlink.end(), tcpTableLess));
    EXPECT_EQ(fromNetlink, readTable(TcpTable::Source::ProcFiles));
}

}  // namespace
}  // namespace quendrix::net
