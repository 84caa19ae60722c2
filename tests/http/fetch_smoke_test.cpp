#include "http/fetch_service.h"
#include "net/whois_fixture_server.h"
#include "support/http_global_init.h"

#include <gtest/gtest.h>

namespace quendrix::http {
namespace {
using namespace std::chrono_literals;

TEST(FetchSmoke, PlainPage) {
    test::WhoisFixtureServer server(test::WhoisScript{
        "HTTP/1.0 200 OK\r\nContent-Type: text/html\r\nContent-Length: 5\r\n\r\nhello"});
    FetchService service;
    FetchRequest request;
    request.url = "http://127.0.0.1:" + std::to_string(server.port()) + "/a b?x";
    request.agent = "Agent";
    request.proxy = ProxyMode::Direct;
    const FetchId id = service.start(request);
    ASSERT_TRUE(service.waitForPosted(1, 60s));
    auto posts = service.takePosted();
    ASSERT_EQ(posts.size(), 1u);
    EXPECT_EQ(posts[0].id, id);
    EXPECT_TRUE(posts[0].succeeded);
    EXPECT_EQ(posts[0].statusCode, 200);
    EXPECT_EQ(posts[0].body, "hello");
    EXPECT_EQ(posts[0].contentLength, 5);
    EXPECT_EQ(posts[0].head,
              "HTTP/1.0 200 OK\r\nContent-Type: text/html\r\nContent-Length: 5\r\n\r\n");
    EXPECT_EQ(server.received().at(0), "GET /a%20b?x HTTP/1.0\r\n");
}

}  // namespace
}  // namespace quendrix::http
