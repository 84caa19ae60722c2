// An HTTP/1.x server of the tests' own on 127.0.0.1 (a free port), scripted per path, that
// records every request exactly as the client sent it. Plain C++ on the scripted server base
// (support/scripted_server.h); link `quendrix_test_http_fixture`.
//
//   HttpFixture fx;
//   fx.script("/page.htm", {HttpReply::Html(503, "<p>busy</p>"), HttpReply::Html(200,
//   "<p>ok</p>")}); fetch(fx.url("/page.htm"));             // "http://127.0.0.1:PORT/page.htm"
//   ASSERT_TRUE(fx.waitForRequests(2, 10s));
//   fx.requests()[0].requestLine;           // "GET /page.htm HTTP/1.0"
//   fx.requests()[0].headerLines;           // {"Host: 127.0.0.1:PORT", "User-Agent: ...", ...}
//
// Matching: the n-th request to a path gets the n-th reply of its script, the last reply
// repeats. A request is matched first by its whole target without the fragment ("/a?x=1"),
// then by its path alone ("/a"). A request in absolute form ("GET http://host:port/a HTTP/1.0",
// as clients send to a proxy) is matched the same way by its path, so the fixture serves as a
// proxy too: the test checks the request line and Proxy-Authorization. Paths without a script
// answer 404 with a small text/html page.
//
// Every connection carries one request and is served on a thread of its own: the reply is sent
// and the connection closed (HTTP/1.0), whatever the client asked for. Request bodies are not
// read. A head that does not end within 64 KiB, or that does not start with "METHOD TARGET
// HTTP/x.y", is recorded (the bytes in `raw`, `complete` false for the first) and answered 400; a
// client that leaves before its head is complete is not recorded. The fixture survives clients
// that leave mid-reply or send garbage, and its destructor ends every connection (never-answered
// and endless ones included) and joins every thread at once.
#pragma once

#include "support/scripted_server.h"

#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <map>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

namespace quendrix::test {

// One answer of a script. Build it with the helpers; each head ends in CR LF CR LF and every
// line of it in CR LF.
struct HttpReply {
    enum class Kind {
        Bytes,        // `bytes` sent verbatim, then the connection closes
        NeverAnswer,  // the request is read, nothing is sent; held until the client leaves
        EndlessBody,  // `bytes` (a head) then body bytes until the client leaves (bounded)
    };
    Kind kind = Kind::Bytes;
    std::string bytes;
    std::chrono::milliseconds delay{0};  // waited before answering

    // The size of the endless body's hard bound: the stream stops (and closes) there.
    static constexpr std::size_t kEndlessLimit = 256u * 1024u * 1024u;

    // Raw bytes sent exactly as given.
    static HttpReply Raw(std::string bytes);
    // "HTTP/1.0 <status> <reason>", the header lines exactly as given (without their CR LF), an
    // empty line, the body. Nothing is added: no Content-Length, no Content-Type.
    static HttpReply Make(int status, const std::vector<std::string>& headerLines,
                          const std::string& body);
    // Status line, "Content-Type: text/html", "Content-Length: <body size>", the body.
    static HttpReply Html(int status, const std::string& body);
    // The same with another Content-Type text ("text/plain", "Text/HTML",
    // "text/html; charset=UTF-8").
    static HttpReply Typed(int status, const std::string& contentType, const std::string& body);
    // Status line and "Content-Length" only: no Content-Type at all.
    static HttpReply Untyped(int status, const std::string& body);
    // An HTML answer whose head (status line, header lines, the closing empty line, every line
    // ending in CR LF) is exactly `headLength` characters, by an "X-Padding" header line of the
    // right length. Throws std::invalid_argument when the length is too small for the head.
    static HttpReply PaddedHead(int status, std::size_t headLength, const std::string& body);
    // A redirect: `status` (301, 302, 303, 307, 308) with "Location: <location>" and a small
    // text/html body.
    static HttpReply Redirect(const std::string& location, int status = 302);
    // Accepts, reads the request, never answers.
    static HttpReply Never();
    // A 200 text/html head without a length, then body bytes ('x') until the client leaves,
    // the fixture ends, or kEndlessLimit bytes are sent.
    static HttpReply Endless();

    // The same reply, sent after `wait` (cut short when the fixture ends).
    HttpReply after(std::chrono::milliseconds wait) const;
};

// One request as the client sent it.
struct HttpRequest {
    std::string requestLine;               // "GET /a HTTP/1.0", without CR LF
    std::vector<std::string> headerLines;  // in the order sent, each without its CR LF
    std::string method;                    // "GET"
    std::string target;                    // as sent: "/a?x=1" or "http://host:port/a?x=1"
    std::string path;                      // the target's path: "/a"
    std::string version;                   // "HTTP/1.0"
    std::string raw;                       // the head's bytes, the closing empty line included
    bool complete = true;                  // false: no end of head within 64 KiB
    std::size_t answer = 0;                // which request to its script this was (0-based)

    // The value of the first header line named `name` (compared without letter case), without
    // the spaces around it; nullopt when none was sent.
    std::optional<std::string> header(const std::string& name) const;
    // The names of the header lines in the order sent ("Host", "User-Agent", ...).
    std::vector<std::string> headerNames() const;
};

class HttpFixture : public ScriptedServer {
  public:
    // Listens on 127.0.0.1 (or another loopback address, such as 127.1.0.1: a second host of
    // the tests' own), a free port; throws std::runtime_error when it cannot.
    explicit HttpFixture(const std::string& address = "127.0.0.1");
    ~HttpFixture() override;

    // "http://127.0.0.1:PORT" + path (the address listened on).
    std::string url(const std::string& path) const;
    // "127.0.0.1:PORT", what a client sends as Host.
    std::string hostPort() const;

    // The answers to the requests for `path` (a path, or a path with "?query"), in order; the
    // last repeats. Replaces an earlier script of the path and starts its count afresh.
    void script(const std::string& path, std::vector<HttpReply> replies);
    void script(const std::string& path, HttpReply reply) {
        script(path, std::vector<HttpReply>{std::move(reply)});
    }

    // Every request recorded so far, in the order their heads were complete. A request is
    // recorded before it is answered.
    std::vector<HttpRequest> requests() const;
    // Only those whose path (or whole target without the fragment) is `path`.
    std::vector<HttpRequest> requests(const std::string& path) const;
    // Waits until at least `count` requests are recorded; false when `timeout` passes first.
    bool waitForRequests(std::size_t count, std::chrono::milliseconds timeout) const;
    // Connections whose handling has ended (answered, or the client left, or refused as bad).
    std::size_t connectionsEnded() const;
    // Waits until at least `count` connections have ended; false when `timeout` passes first.
    bool waitForConnectionsEnded(std::size_t count, std::chrono::milliseconds timeout) const;

  private:
    void serve(int client) override;
    HttpReply answerFor(HttpRequest& request);
    void connectionEnded();

    std::string m_address;
    mutable std::mutex m_mutex;
    mutable std::condition_variable m_changed;
    std::map<std::string, std::vector<HttpReply>> m_scripts;
    std::map<std::string, std::size_t> m_counts;  // requests per script key so far
    std::vector<HttpRequest> m_requests;
    std::size_t m_ended = 0;
};

}  // namespace quendrix::test
