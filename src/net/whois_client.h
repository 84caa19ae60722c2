// The whois query client: one TCP connection per query to a server's whois port, the query
// line sent, the reply read as raw bytes until the server closes. Stop (a stop token) ends a
// query blocked in connect or read at once; a name look-up of the server cannot be woken and
// is only noticed when it returns. A caller that shows the reply while it comes (the command
// line) is handed each part as it arrives; the reply returned is the same either way.
#pragma once

#include "net/result.h"

#include <cstddef>
#include <cstdint>
#include <functional>
#include <stop_token>
#include <string>
#include <string_view>

namespace quendrix::net {

// A real reply is a few kilobytes; a server that streams without end is cut here so it
// cannot exhaust memory.
inline constexpr std::size_t kWhoisReplyLimit = 16u * 1024u * 1024u;

struct WhoisReply {
    std::string bytes;  // exactly as received, every byte value kept
    bool cut = false;   // the server sent more than kWhoisReplyLimit; bytes holds the first part
};

class WhoisClient {
  public:
    static constexpr std::uint16_t kDefaultPort = 43;

    // Called on the querying thread with each part of the reply as it is received, in order,
    // before the query returns; only the bytes kept (never past kWhoisReplyLimit).
    using ArrivedBytes = std::function<void(std::string_view)>;

    explicit WhoisClient(std::uint16_t port = kDefaultPort) : m_port(port) {}

    std::uint16_t port() const { return m_port; }

    // Connects to server (a name or a dotted address) and sends query followed by CR LF,
    // nothing else; returns everything the server sent until it closed the connection. No
    // time-out of its own: the stop token is the way out (ErrorCode::Stopped). On any failure
    // the bytes received so far are dropped and the error keeps the system's text (arrived
    // has seen them already).
    Result<WhoisReply> query(const std::string& server, const std::string& query,
                             const std::stop_token& stop = {},
                             const ArrivedBytes& arrived = {}) const;

  private:
    std::uint16_t m_port;
};

}  // namespace quendrix::net
