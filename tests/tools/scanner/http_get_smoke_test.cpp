#include "net/whois_fixture_server.h"
#include "support/http_global_init.h"
#include "tools/scanner/http_get.h"

#include <gtest/gtest.h>

namespace quendrix {
namespace {
using namespace std::chrono_literals;

TEST(HttpGetSmoke, PlainPageThroughTheSlot) {
    test::WhoisFixtureServer server(test::WhoisScript{
        "HTTP/1.0 200 OK\r\nContent-Type: text/html\r\nContent-Length: 5\r\n\r\nhello"});
    http::FetchService service;
    TMFHttpGet slot(service);
    slot.Url.Url = "http://127.0.0.1:" + std::to_string(server.port()) + "/";
    slot.Url.Valid = true;
    slot.ProxyType = PROXY_DIRECT;
    slot.StartFetch(1000);
    EXPECT_EQ(slot.SlotState, TSlotState::Downloading);
    EXPECT_TRUE(slot.Running);
    EXPECT_EQ(slot.Deadline, 301000u);
    ASSERT_TRUE(service.waitForPosted(1, 60s));
    for (auto& post : service.takePosted()) {
        ASSERT_EQ(post.id, slot.fetchId());
        slot.takeIn(std::move(post), 2000);
    }
    EXPECT_EQ(slot.SlotState, TSlotState::Finished);
    EXPECT_TRUE(slot.Succeeded);
    EXPECT_FALSE(slot.Running);
    EXPECT_EQ(slot.StatusCode, 200);
    EXPECT_EQ(slot.Body, "hello");
}

}  // namespace
}  // namespace quendrix
