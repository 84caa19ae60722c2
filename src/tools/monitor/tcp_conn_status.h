// The connection table as the Connection Monitor shows it: each listening or established
// connection as five display texts (padded addresses, service names for well-known ports,
// state names), and the compacting of a padded address back to dotted text before it is
// resolved or handed on.
#pragma once

#include "net/result.h"
#include "net/tcp_table.h"

#include <QString>

#include <cstdint>
#include <vector>

namespace quendrix::monitor {

// One connection of the table, as texts.
struct TTcpConnStatus {
    QString localAddress;   // padded address text
    QString localPort;      // port text
    QString remoteAddress;  // padded address text, or "..." when the remote address is 0
    QString remotePort;     // port text, or "..." when the remote address is 0
    QString status;         // state name

    friend bool operator==(const TTcpConnStatus&, const TTcpConnStatus&) = default;
};

// The four octets, first to last, each right-aligned in three blanks-filled characters and
// joined by "."; always 15 characters ("192.168.  1.  5"). The address is in network byte order.
QString addressText(std::uint32_t address);

// The service name of a well-known port ("HTTP", "FTP " with its blank), else the number
// right-aligned in four characters (" 81", "8080", "65535": longer numbers are not cut).
QString portText(std::uint16_t port);

// A padded address text back to a dotted one: the characters at 1-3, 5-7, 9-11 and 13-15,
// blanks trimmed, joined by ".". It reads fixed positions, so "..." becomes six dots.
QString compactAddress(const QString& paddedAddress);

// "closed", "listening", ... "delete_tcb" for the state values 1 to 12; empty for others.
QString stateName(net::TcpState state);

// The texts of one row of the table.
TTcpConnStatus connStatus(const net::TcpConnection& connection);

// The table now, as texts, in table order. A failure of the read is a value: the caller adds
// nothing and tries again later.
Result<std::vector<TTcpConnStatus>> readConnectionTable(net::TcpTable& table);

}  // namespace quendrix::monitor
