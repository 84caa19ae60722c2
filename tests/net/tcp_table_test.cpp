// The TCP table's parsers on crafted netlink datagrams and /proc text, and the table order.
// The real kernel's table is in tcp_table_lab_test.
#include "net/tcp_table.h"

#include <arpa/inet.h>
#include <linux/inet_diag.h>
#include <linux/netlink.h>
#include <linux/rtnetlink.h>
#include <linux/sock_diag.h>
#include <netinet/in.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstring>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace quendrix::net {
namespace {

constexpr int kLinuxEstablished = 1;
constexpr int kLinuxTimeWait = 6;
constexpr int kLinuxCloseWait = 8;
constexpr int kLinuxListen = 10;

std::uint32_t ipv4(const char* text) {
    in_addr address{};
    EXPECT_EQ(inet_pton(AF_INET, text, &address), 1) << text;
    return address.s_addr;
}

// Builds netlink datagrams the way the kernel lays them out.
class Datagram {
  public:
    // One inet_diag message; an IPv6 one carries the IPv6-only attribute when v6Only is set.
    Datagram& socket(int family, int state, const char* local, std::uint16_t localPort,
                     const char* remote, std::uint16_t remotePort,
                     std::optional<bool> v6Only = std::nullopt, std::uint32_t sequence = 1) {
        inet_diag_msg message{};
        message.idiag_family = static_cast<std::uint8_t>(family);
        message.idiag_state = static_cast<std::uint8_t>(state);
        message.id.idiag_sport = htons(localPort);
        message.id.idiag_dport = htons(remotePort);
        EXPECT_EQ(inet_pton(family, local, message.id.idiag_src), 1) << local;
        EXPECT_EQ(inet_pton(family, remote, message.id.idiag_dst), 1) << remote;
        std::vector<std::uint8_t> payload(NLMSG_ALIGN(sizeof message));
        std::memcpy(payload.data(), &message, sizeof message);
        if (v6Only) {
            rtattr attribute{static_cast<unsigned short>(RTA_LENGTH(1)), INET_DIAG_SKV6ONLY};
            const std::size_t at = payload.size();
            payload.resize(at + RTA_SPACE(1));
            std::memcpy(payload.data() + at, &attribute, sizeof attribute);
            payload[at + RTA_LENGTH(0)] = *v6Only ? 1 : 0;
        }
        return add(SOCK_DIAG_BY_FAMILY, sequence, payload);
    }

    Datagram& done(std::uint32_t sequence = 1, int status = 0) {
        std::vector<std::uint8_t> payload(sizeof status);
        std::memcpy(payload.data(), &status, sizeof status);
        return add(NLMSG_DONE, sequence, payload);
    }

    Datagram& error(int status, std::uint32_t sequence = 1) {
        nlmsgerr message{};
        message.error = status;
        std::vector<std::uint8_t> payload(sizeof message);
        std::memcpy(payload.data(), &message, sizeof message);
        return add(NLMSG_ERROR, sequence, payload);
    }

    std::vector<std::uint8_t> bytes;

  private:
    Datagram& add(int type, std::uint32_t sequence, const std::vector<std::uint8_t>& payload) {
        nlmsghdr header{};
        header.nlmsg_len = static_cast<std::uint32_t>(NLMSG_LENGTH(payload.size()));
        header.nlmsg_type = static_cast<std::uint16_t>(type);
        header.nlmsg_flags = NLM_F_MULTI;
        header.nlmsg_seq = sequence;
        const std::size_t at = bytes.size();
        bytes.resize(at + NLMSG_SPACE(payload.size()));
        std::memcpy(bytes.data() + at, &header, sizeof header);
        std::memcpy(bytes.data() + at + NLMSG_HDRLEN, payload.data(), payload.size());
        return *this;
    }
};

TEST(SockDiagDatagram, KeepsListeningAndEstablishedIpv4RowsIncludingMappedAndDualStack) {
    Datagram datagram;
    datagram.socket(AF_INET, kLinuxListen, "0.0.0.0", 80, "0.0.0.0", 0)
        .socket(AF_INET, kLinuxEstablished, "10.250.3.1", 40001, "10.250.3.2", 8080)
        .socket(AF_INET, kLinuxTimeWait, "10.250.3.1", 40002, "10.250.3.2", 8080)
        .socket(AF_INET, kLinuxCloseWait, "10.250.3.1", 40003, "10.250.3.2", 8080)
        .socket(AF_INET6, kLinuxEstablished, "::ffff:127.0.0.1", 8081, "::ffff:127.0.0.1", 40003,
                false)
        .socket(AF_INET6, kLinuxListen, "::", 8082, "::", 0, false)   // dual-stack
        .socket(AF_INET6, kLinuxListen, "::", 8083, "::", 0, true)    // IPv6 only
        .socket(AF_INET6, kLinuxListen, "::", 8084, "::", 0)          // no attribute
        .socket(AF_INET6, kLinuxListen, "::1", 8085, "::", 0, false)  // pure IPv6
        .socket(AF_INET6, kLinuxEstablished, "2001:db8::1", 1, "::ffff:10.0.0.1", 2, false)
        .socket(AF_INET6, kLinuxEstablished, "::a00:1", 1, "::ffff:10.0.0.1", 2, false)
        .socket(AF_INET, kLinuxEstablished, "127.0.0.1", 1, "127.0.0.1", 2, {}, 7)  // not ours
        .done();
    std::vector<TcpConnection> rows;
    const auto parsed = parseSockDiagDatagram(datagram.bytes, 1, rows);
    ASSERT_TRUE(parsed) << parsed.error().text;
    EXPECT_TRUE(*parsed);
    const std::vector<TcpConnection> expected = {
        {TcpState::Listening, ipv4("0.0.0.0"), 80, 0, 0},
        {TcpState::Established, ipv4("10.250.3.1"), 40001, ipv4("10.250.3.2"), 8080},
        {TcpState::Established, ipv4("127.0.0.1"), 8081, ipv4("127.0.0.1"), 40003},
        {TcpState::Listening, 0, 8082, 0, 0},
        {TcpState::Listening, 0, 8084, 0, 0},
    };
    EXPECT_EQ(rows, expected);
}

TEST(SockDiagDatagram, EndAndFailuresOfTheDump) {
    std::vector<TcpConnection> rows;

    // A datagram in the middle of the dump: rows, no end yet.
    auto middle = Datagram().socket(AF_INET, kLinuxListen, "127.0.0.1", 80, "0.0.0.0", 0).bytes;
    auto parsed = parseSockDiagDatagram(middle, 1, rows);
    ASSERT_TRUE(parsed);
    EXPECT_FALSE(*parsed);
    EXPECT_EQ(rows.size(), 1u);

    // The kernel refuses the request, or the dump fails part-way: its errno.
    for (const auto& refusal : {Datagram().error(-EPERM).bytes, Datagram().done(1, -EPERM).bytes}) {
        parsed = parseSockDiagDatagram(refusal, 1, rows);
        ASSERT_FALSE(parsed);
        EXPECT_EQ(parsed.code(), ErrorCode::System);
        EXPECT_EQ(parsed.error().systemError, EPERM);
    }
    // Any number may arrive, the one without a positive counterpart too.
    for (const auto& nonsense : {Datagram().error(INT_MIN).bytes, Datagram().done(1, INT_MIN).bytes,
                                 Datagram().error(1).bytes}) {
        EXPECT_EQ(parseSockDiagDatagram(nonsense, 1, rows).code(), ErrorCode::Malformed);
    }
    // An answer to another request ends nothing.
    parsed = parseSockDiagDatagram(Datagram().done(2).bytes, 1, rows);
    ASSERT_TRUE(parsed);
    EXPECT_FALSE(*parsed);

    // Cut anywhere inside a message, or with a length that cannot be.
    const auto whole = Datagram()
                           .socket(AF_INET, kLinuxListen, "127.0.0.1", 80, "0.0.0.0", 0)
                           .socket(AF_INET6, kLinuxListen, "::", 81, "::", 0, false)
                           .bytes;
    for (std::size_t size = 1; size < whole.size(); ++size) {
        std::vector<TcpConnection> partial;
        const auto cut = parseSockDiagDatagram(std::span(whole.data(), size), 1, partial);
        const bool atBoundary = size == NLMSG_SPACE(NLMSG_ALIGN(sizeof(inet_diag_msg)));
        if (atBoundary) {
            EXPECT_TRUE(cut) << size;
        } else {
            ASSERT_FALSE(cut) << size;
            EXPECT_TRUE(cut.code() == ErrorCode::Truncated || cut.code() == ErrorCode::Malformed)
                << size;
        }
    }
    auto shortLength = whole;
    shortLength[0] = 8;  // nlmsg_len below the header's own size
    EXPECT_EQ(parseSockDiagDatagram(shortLength, 1, rows).code(), ErrorCode::Malformed);
}

// Lines written the way the kernel writes them (addresses as the words are in memory on a
// little-endian machine; a big-endian kernel prints them the other way round).
TEST(ProcNetTcp, ReadsIpv4AndMappedRowsInBothFiles) {
    const std::string tcp =
        "  sl  local_address rem_address   st tx_queue rx_queue tr tm->when retrnsmt   uid  "
        "timeout inode\n"
        "   0: 0100007F:0050 00000000:0000 0A 00000000:00000000 00:00000000 00000000     0  "
        "      0 1001 1 0000000000000000 100 0 0 10 0\n"
        "   1: 0103FA0A:9C41 0203FA0A:1F90 01 00000000:00000000 00:00000000 00000000     0  "
        "      0 1002 1 0000000000000000 20 4 30 10 -1\n"
        "   2: 0103FA0A:9C42 0203FA0A:1F90 06 00000000:00000000 03:00001770 00000000     0  "
        "      0 0 3 0000000000000000\n"
        "   3: 0103FA0A:9C43 0203FA0A:1F90 08 00000000:00000000 00:00000000 00000000     0  "
        "      0 1003 1 0000000000000000 20 4 30 10 -1\n";
    const std::string tcp6 =
        "  sl  local_address                         remote_address                        st "
        "tx_queue rx_queue tr tm->when retrnsmt   uid  timeout inode\n"
        "   0: 00000000000000000000000000000000:1F91 00000000000000000000000000000000:0000 0A "
        "00000000:00000000 00:00000000 00000000     0        0 2001 1 0000000000000000 100 0 0 "
        "10 0\n"
        "   1: 0000000000000000FFFF00000100007F:1F91 0000000000000000FFFF00000100007F:9C43 01 "
        "00000000:00000000 00:00000000 00000000     0        0 2002 1 0000000000000000 20 4 30 "
        "10 -1\n"
        "   2: 00000000000000000000000001000000:2383 00000000000000000000000000000000:0000 0A "
        "00000000:00000000 00:00000000 00000000     0        0 2003 1 0000000000000000 100 0 0 "
        "10 0\n";
    std::vector<TcpConnection> rows;
    ASSERT_TRUE(parseProcNetTcp(tcp, false, rows));
    ASSERT_TRUE(parseProcNetTcp(tcp6, true, rows));
    const std::vector<TcpConnection> expected = {
        {TcpState::Listening, ipv4("127.0.0.1"), 80, 0, 0},
        {TcpState::Established, ipv4("10.250.3.1"), 40001, ipv4("10.250.3.2"), 8080},
        {TcpState::Listening, 0, 8081, 0, 0},
        {TcpState::Established, ipv4("127.0.0.1"), 8081, ipv4("127.0.0.1"), 40003},
    };
    EXPECT_EQ(rows, expected);
}

TEST(ProcNetTcp, RefusesLinesThatAreNoTableRows) {
    const std::string header = "  sl  local_address rem_address   st\n";
    for (const char* line : {
             "   0: 0100007F:0050 00000000:0000\n",     // no state
             "   0: 0100007F0050 00000000:0000 0A\n",   // no port separator
             "   0: 0100007G:0050 00000000:0000 0A\n",  // not hexadecimal
             "   0: 0100007F:050 00000000:0000 0A\n",   // short port
             "   0 0100007F:0050 00000000:0000 0A\n",   // slot without its colon
             "   0: 0100007F:0050 00000000:0000 A\n",   // one-digit state
         }) {
        std::vector<TcpConnection> rows;
        const auto parsed = parseProcNetTcp(header + line, false, rows);
        ASSERT_FALSE(parsed) << line;
        EXPECT_EQ(parsed.code(), ErrorCode::Malformed) << line;
    }
    std::vector<TcpConnection> rows;
    EXPECT_TRUE(parseProcNetTcp(header, false, rows));  // an empty table
    EXPECT_TRUE(parseProcNetTcp("", false, rows));
    EXPECT_TRUE(rows.empty());
}

// Addresses and ports compare as numbers: the bytes in memory would put 127.0.0.1 before
// 10.0.0.1 and port 256 before 80.
TEST(TcpTableOrder, LocalThenRemoteAddressesAndPortsAsNumbers) {
    const auto L = TcpState::Listening;
    const auto E = TcpState::Established;
    const std::vector<TcpConnection> sorted = {
        {L, ipv4("0.0.0.0"), 8080, 0, 0},
        {L, ipv4("10.0.0.1"), 80, 0, 0},
        {L, ipv4("10.0.0.1"), 256, 0, 0},
        {E, ipv4("10.0.0.1"), 256, ipv4("10.0.0.2"), 40001},
        {E, ipv4("10.0.0.1"), 256, ipv4("10.0.0.2"), 40256},
        {E, ipv4("10.0.0.1"), 256, ipv4("127.0.0.1"), 1},
        {L, ipv4("10.0.0.2"), 80, 0, 0},
        {L, ipv4("10.0.0.10"), 80, 0, 0},
        {L, ipv4("127.0.0.1"), 80, 0, 0},
        {L, ipv4("192.168.1.5"), 80, 0, 0},
    };
    auto rows = sorted;
    std::reverse(rows.begin(), rows.end());
    sortTcpTable(rows);
    EXPECT_EQ(rows, sorted);
}

TEST(TcpState, LinuxNumbersToTableValues) {
    EXPECT_EQ(tcpStateFromLinux(1), TcpState::Established);
    EXPECT_EQ(tcpStateFromLinux(6), TcpState::TimeWait);
    EXPECT_EQ(tcpStateFromLinux(8), TcpState::CloseWait);
    EXPECT_EQ(tcpStateFromLinux(10), TcpState::Listening);
    EXPECT_EQ(tcpStateFromLinux(12), TcpState::SynReceived);
    EXPECT_EQ(tcpStateFromLinux(0), TcpState::Closed);
    EXPECT_EQ(tcpStateFromLinux(99), TcpState::Closed);
}

}  // namespace
}  // namespace quendrix::net
