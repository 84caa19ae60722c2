// The HTTP fixture itself, driven with plain sockets: what it records, what it answers in
// which order, exact head lengths, and an end that does not wait for clients that never leave.
#include "support/http_fixture.h"

#include <gtest/gtest.h>

namespace quendrix::test {
namespace {

using namespace std::chrono_literals;

int Connect(std::uint16_t port) {
    const int fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(port);
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    EXPECT_EQ(connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
    return fd;
}

// Sends `request` and reads the answer until the server closes (bounded by a 10 s receive
// time-out).
std::string Exchange(std::uint16_t port, const std::string& request) {
    const int fd = Connect(port);
    timeval bound{10, 0};
    setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &bound, sizeof bound);
    EXPECT_EQ(send(fd, request.data(), request.size(), MSG_NOSIGNAL),
              static_cast<ssize_t>(request.size()));
    std::string answer;
    char buffer[4096];
    ssize_t n = 0;
    while ((n = recv(fd, buffer, sizeof buffer, 0)) > 0) {
        answer.append(buffer, static_cast<std::size_t>(n));
    }
    close(fd);
    return answer;
}

TEST(HttpFixture, AnswersInScriptOrderAndRecordsEveryRequestAsSent) {
    HttpFixture fx;
    fx.script("/page.htm", {HttpReply::Html(503, "busy"), HttpReply::Html(200, "<p>ok</p>")});
    const std::string get = "GET /page.htm HTTP/1.0\r\nHost: " + fx.hostPort() +
                            "\r\nUser-Agent: agent\r\nReferer: \r\n\r\n";
    const std::string proxied = "GET " + fx.url("/page.htm?q=1") +
                                " HTTP/1.0\r\nHost: x\r\nProxy-Authorization: Basic dTpw\r\n\r\n";

    EXPECT_EQ(Exchange(fx.port(), get),
              "HTTP/1.0 503 Service Unavailable\r\nContent-Type: text/html\r\n"
              "Content-Length: 4\r\n\r\nbusy");
    EXPECT_EQ(Exchange(fx.port(), get).substr(0, 17), "HTTP/1.0 200 OK\r\n");
    EXPECT_EQ(Exchange(fx.port(), proxied).substr(0, 17), "HTTP/1.0 200 OK\r\n");  // repeats
    EXPECT_EQ(Exchange(fx.port(), "GET /elsewhere HTTP/1.1\n\n").substr(0, 22),
              "HTTP/1.0 404 Not Found");

    ASSERT_TRUE(fx.waitForRequests(4, 10s));
    const std::vector<HttpRequest> requests = fx.requests();
    ASSERT_EQ(requests.size(), 4u);
    EXPECT_EQ(requests[0].requestLine, "GET /page.htm HTTP/1.0");
    EXPECT_EQ(
        requests[0].headerLines,
        (std::vector<std::string>{"Host: " + fx.hostPort(), "User-Agent: agent", "Referer: "}));
    EXPECT_EQ(requests[0].headerNames(),
              (std::vector<std::string>{"Host", "User-Agent", "Referer"}));
    EXPECT_EQ(requests[0].header("referer"), "");
    EXPECT_EQ(requests[0].header("Accept"), std::nullopt);
    EXPECT_EQ(requests[0].raw, get);
    EXPECT_EQ(requests[2].requestLine, "GET " + fx.url("/page.htm?q=1") + " HTTP/1.0");
    EXPECT_EQ(requests[2].path, "/page.htm");
    EXPECT_EQ(requests[2].answer, 2u);
    EXPECT_EQ(requests[2].header("Proxy-Authorization"), "Basic dTpw");
    EXPECT_EQ(requests[3].path, "/elsewhere");
    EXPECT_EQ(fx.requests("/page.htm").size(), 3u);
}

TEST(HttpFixture, PaddedHeadsHaveExactlyTheirLength) {
    HttpFixture fx;
    for (const std::size_t length : {std::size_t{2048}, std::size_t{2049}}) {
        const std::string path = "/head" + std::to_string(length);
        fx.script(path, HttpReply::PaddedHead(200, length, "<p>x</p>"));
        const std::string answer = Exchange(fx.port(), "GET " + path + " HTTP/1.0\r\n\r\n");
        EXPECT_EQ(answer.find("\r\n\r\n") + 4, length);
        EXPECT_EQ(answer.substr(length), "<p>x</p>");
    }
    EXPECT_THROW(HttpReply::PaddedHead(200, 20, ""), std::invalid_argument);
}

TEST(HttpFixture, EndsAtOnceWithClientsThatStayOrMisbehave) {
    const int never = [] {
        HttpFixture fx;
        fx.script("/never", HttpReply::Never());
        fx.script("/endless", HttpReply::Endless());
        const int held = Connect(fx.port());
        const std::string get = "GET /never HTTP/1.0\r\n\r\n";
        EXPECT_EQ(send(held, get.data(), get.size(), MSG_NOSIGNAL),
                  static_cast<ssize_t>(get.size()));
        // An endless body the client stops reading and leaves, and garbage that is no request.
        const int reader = Connect(fx.port());
        const std::string endless = "GET /endless HTTP/1.0\r\n\r\n";
        EXPECT_EQ(send(reader, endless.data(), endless.size(), MSG_NOSIGNAL),
                  static_cast<ssize_t>(endless.size()));
        char buffer[1000];
        EXPECT_GT(recv(reader, buffer, sizeof buffer, 0), 0);
        close(reader);
        EXPECT_EQ(Exchange(fx.port(), "\x01\x02 nonsense\r\n\r\n").substr(0, 24),
                  "HTTP/1.0 400 Bad Request");
        EXPECT_TRUE(fx.waitForRequests(3, 10s));
        EXPECT_TRUE(fx.waitForConnectionsEnded(2, 10s));  // the endless one and the garbage
        return held;                                      // still open while the fixture ends
    }();
    char byte = 0;
    EXPECT_EQ(recv(never, &byte, 1, 0), 0);  // the fixture closed it without a word
    close(never);
}

}  // namespace
}  // namespace quendrix::test
