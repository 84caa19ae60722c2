// The connection table's texts: padded addresses, port and service texts, state names, the
// compacting back to dotted text, and whole rows.
#include "tools/monitor/tcp_conn_status.h"

#include <arpa/inet.h>

#include <gtest/gtest.h>

namespace quendrix::monitor {
namespace {

std::uint32_t ipv4(const char* text) {
    in_addr address{};
    EXPECT_EQ(inet_pton(AF_INET, text, &address), 1) << text;
    return address.s_addr;
}

TEST(TcpConnStatus, AddressTextIsFifteenCharactersAndCompactsBack) {
    const struct {
        const char* dotted;
        const char* padded;
    } cases[] = {
        {"192.168.1.5", "192.168.  1.  5"}, {"10.0.0.1", " 10.  0.  0.  1"},
        {"0.0.0.0", "  0.  0.  0.  0"},     {"255.255.255.255", "255.255.255.255"},
        {"1.22.133.4", "  1. 22.133.  4"},
    };
    for (const auto& c : cases) {
        const QString padded = addressText(ipv4(c.dotted));
        EXPECT_EQ(padded, QString::fromLatin1(c.padded)) << c.dotted;
        EXPECT_EQ(padded.size(), 15) << c.dotted;
        EXPECT_EQ(compactAddress(padded), QString::fromLatin1(c.dotted)) << c.dotted;
    }
    // Fixed positions: the remote text of a listening row is no address.
    EXPECT_EQ(compactAddress(QStringLiteral("...")), QStringLiteral("......"));
}

TEST(TcpConnStatus, PortTexts) {
    const struct {
        std::uint16_t port;
        const char* text;
    } cases[] = {
        {80, "HTTP"},   {20, "FTP "},    {53, "DNS "},     {123, "NTP "},    {0, "LOOPBACK"},
        {7, "ECHO"},    {19, "CHARGEN"}, {138, "NBDGRAM"}, {161, "SNMP"},    {81, "  81"},
        {8080, "8080"}, {1, "   1"},     {162, " 162"},    {65535, "65535"}, {443, " 443"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(portText(c.port), QString::fromLatin1(c.text)) << c.port;
    }
}

TEST(TcpConnStatus, StateNames) {
    EXPECT_EQ(stateName(net::TcpState::Closed), QStringLiteral("closed"));
    EXPECT_EQ(stateName(net::TcpState::Listening), QStringLiteral("listening"));
    EXPECT_EQ(stateName(net::TcpState::SynReceived), QStringLiteral("syn_rcvd"));
    EXPECT_EQ(stateName(net::TcpState::Established), QStringLiteral("established"));
    EXPECT_EQ(stateName(net::TcpState::CloseWait), QStringLiteral("close_wait"));
    EXPECT_EQ(stateName(net::TcpState::TimeWait), QStringLiteral("time_wait"));
    EXPECT_EQ(stateName(net::TcpState::DeleteTcb), QStringLiteral("delete_tcb"));
    EXPECT_EQ(stateName(static_cast<net::TcpState>(13)), QString());
}

TEST(TcpConnStatus, RowsOfListeningAndEstablishedConnections) {
    using net::TcpState;
    // Listening on port 80 of all local addresses.
    EXPECT_EQ(connStatus({TcpState::Listening, 0, 80, 0, 0}),
              (TTcpConnStatus{"  0.  0.  0.  0", "HTTP", "...", "...", "listening"}));
    EXPECT_EQ(
        connStatus({TcpState::Established, ipv4("10.250.3.1"), 40001, ipv4("10.250.3.2"), 20}),
        (TTcpConnStatus{" 10.250.  3.  1", "40001", " 10.250.  3.  2", "FTP ", "established"}));
    // A remote address of 0 hides the remote port as well.
    EXPECT_EQ(connStatus({TcpState::Listening, ipv4("127.0.0.1"), 8080, 0, 81}),
              (TTcpConnStatus{"127.  0.  0.  1", "8080", "...", "...", "listening"}));
}

}  // namespace
}  // namespace quendrix::monitor
