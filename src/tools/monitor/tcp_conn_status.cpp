// Display texts of the connection table.
#include "tools/monitor/tcp_conn_status.h"

#include <arpa/inet.h>

#include <algorithm>
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

// The fixed texts are made once and shared by every row (a tick makes thousands of rows).
template <std::size_t N>
std::array<QString, N> sharedTexts(const std::array<const char*, N>& latin1) {
    std::array<QString, N> texts;
    for (std::size_t i = 0; i < N; ++i) {
        texts[i] = text(latin1[i]);
    }
    return texts;
}

const std::array<QString, 29>& serviceNames() {
    static const std::array<QString, 29> names = [] {
        std::array<const char*, 29> latin1{};
        for (std::size_t i = 0; i < kServices.size(); ++i) {
            latin1[i] = kServices[i].second;
        }
        return sharedTexts(latin1);
    }();
    return names;
}

const std::array<QString, 12>& stateNames() {
    static const std::array<QString, 12> names = sharedTexts(kStateNames);
    return names;
}

const QString& noRemoteText() {
    static const QString dots = text("...");
    return dots;
}

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
    // Written in place: one allocation per text, since a tick makes two for every connection.
    const std::uint32_t host = ntohl(address);
    QString result(15, QLatin1Char(' '));
    QChar* field = result.data();
    for (int shift = 24; shift >= 0; shift -= 8, field += 4) {
        const std::uint32_t octet = (host >> shift) & 0xff;
        field[2] = QChar(static_cast<char16_t>(u'0' + octet % 10));
        if (octet >= 10) {
            field[1] = QChar(static_cast<char16_t>(u'0' + octet / 10 % 10));
        }
        if (octet >= 100) {
            field[0] = QChar(static_cast<char16_t>(u'0' + octet / 100));
        }
        if (shift != 0) {
            field[3] = QLatin1Char('.');
        }
    }
    return result;
}

QString portText(std::uint16_t port) {
    for (std::size_t i = 0; i < kServices.size(); ++i) {
        if (kServices[i].first == port) {
            return serviceNames()[i];
        }
    }
    // Right-aligned in four characters; five digits are not cut.
    const qsizetype digits = port >= 10000  ? 5
                             : port >= 1000 ? 4
                             : port >= 100  ? 3
                             : port >= 10   ? 2
                                            : 1;
    QString result(std::max<qsizetype>(digits, 4), QLatin1Char(' '));
    QChar* last = result.data() + result.size() - 1;
    unsigned value = port;
    for (qsizetype i = 0; i < digits; ++i, value /= 10) {
        last[-i] = QChar(static_cast<char16_t>(u'0' + value % 10));
    }
    return result;
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
    return stateNames()[static_cast<std::size_t>(value - 1)];
}

TTcpConnStatus connStatus(const net::TcpConnection& connection) {
    TTcpConnStatus status;
    status.localAddress = addressText(connection.localAddress);
    status.localPort = portText(connection.localPort);
    if (connection.remoteAddress != 0) {
        status.remoteAddress = addressText(connection.remoteAddress);
        status.remotePort = portText(connection.remotePort);
    } else {
        status.remoteAddress = noRemoteText();
        status.remotePort = noRemoteText();
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
