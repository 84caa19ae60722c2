// Display texts of the connection table.
#include "tools/monitor/tcp_conn_status.h"

#include <arpa/inet.h>

#include <array>
#include <utility>

namespace quendrix::monitor {
namespace {

QString text(const char* latin1) {
    return QString::fromLatin1(latin1);
}

// Searched from the first entry; three names carry a trailing blank as they always have.
constexpr std::array<std::pair<std::uint16_t, const char*>, 29> kServices = {{
    {0, "LOOPBACK"}, {7, "ECHO"},      {9, "DISCRD"},   {13, "DAYTIM"}, {17, "QOTD"},
    {19, "CHARGEN"}, {20, "FTP "},     {21, "FTPC"},    {23, "TELNET"}, {25, "SMTP"},
    {37, "TIME"},    {43, "WHOIS"},    {53, "DNS "},    {67, "BOOTPS"}, {68, "BOOTPC"},
    {69, "TFTP"},    {70, "GOPHER"},   {79, "FING"},    {80, "HTTP"},   {88, "KERB"},
    {109, "POP2"},   {110, "POP3"},    {119, "NNTP"},   {123, "NTP "},  {135, "LOCSVC"},
    {137, "NBNAME"}, {138, "NBDGRAM"}, {139, "NBSESS"}, {161, "SNMP"},
}};

constexpr std::array<const char*, 12> kStateNames = {
    "closed",    "listening",  "syn_sent", "syn_rcvd", "established", "fin_wait1",
    "fin_wait2", "close_wait", "closing",  "last_ack", "time_wait",   "delete_tcb",
};

QString trimBlanks(const QString& part) {
    qsizetype begin = 0;
    qsizetype end = part.size();
    while (begin < end && part[begin] == QLatin1Char(' ')) {
        ++begin;
    }
    while (end > begin && part[end - 1] == QLatin1Char(' ')) {
        --end;
    }
    return part.mid(begin, end - begin);
}

}  // namespace

QString addressText(std::uint32_t address) {
    const std::uint32_t host = ntohl(address);
    QString result;
    result.reserve(15);
    for (int shift = 24; shift >= 0; shift -= 8) {
        if (shift != 24) {
            result += QLatin1Char('.');
        }
        result += QString::number((host >> shift) & 0xff).rightJustified(3, QLatin1Char(' '));
    }
    return result;
}

QString portText(std::uint16_t port) {
    for (const auto& [number, name] : kServices) {
        if (number == port) {
            return text(name);
        }
    }
    return QString::number(port).rightJustified(4, QLatin1Char(' '));
}

QString compactAddress(const QString& paddedAddress) {
    QString result;
    for (int part = 0; part < 4; ++part) {
        if (part != 0) {
            result += QLatin1Char('.');
        }
        result += trimBlanks(paddedAddress.mid(part * 4, 3));
    }
    return result;
}

QString stateName(net::TcpState state) {
    const int value = static_cast<int>(state);
    if (value < 1 || value > static_cast<int>(kStateNames.size())) {
        return {};
    }
    return text(kStateNames[static_cast<std::size_t>(value - 1)]);
}

TTcpConnStatus connStatus(const net::TcpConnection& connection) {
    TTcpConnStatus status;
    status.localAddress = addressText(connection.localAddress);
    status.localPort = portText(connection.localPort);
    if (connection.remoteAddress != 0) {
        status.remoteAddress = addressText(connection.remoteAddress);
        status.remotePort = portText(connection.remotePort);
    } else {
        status.remoteAddress = text("...");
        status.remotePort = text("...");
    }
    status.status = stateName(connection.state);
    return status;
}

Result<std::vector<TTcpConnStatus>> readConnectionTable(net::TcpTable& table) {
    auto rows = table.read();
    if (!rows) {
        return rows.error();
    }
    std::vector<TTcpConnStatus> statuses;
    statuses.reserve(rows->size());
    for (const auto& row : *rows) {
        statuses.push_back(connStatus(row));
    }
    return statuses;
}

}  // namespace quendrix::monitor
