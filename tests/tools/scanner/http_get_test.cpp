// The download slot over the network thread, against the HTTP fixture on 127.0.0.1: the fields
// a fetch sets, what reaches the slot through takeIn, Abort.
#include "tools/scanner/http_get.h"
#include "support/http_fixture.h"
#include "support/http_global_init.h"

#include <gtest/gtest.h>

namespace quendrix {
namespace {
using namespace std::chrono_literals;
using test::HttpFixture;
using test::HttpReply;

// Routes the service's posts to the slot as the scheduler's tick does, at `now`, until the slot
// is Finished; false when nothing more came.
bool RunToFinished(http::FetchService& service, TMFHttpGet& slot, std::uint32_t now) {
    while (slot.SlotState != TSlotState::Finished) {
        if (!service.waitForPosted(1, 60s)) {
            return false;
        }
        for (http::FetchPost& post : service.takePosted()) {
            EXPECT_EQ(post.id, slot.fetchId());
            slot.takeIn(std::move(post), now);
        }
    }
    return true;
}

TEST(HttpGet, AnAddressTheParserRejectsNeverStarts) {
    http::FetchService service;
    TMFHttpGet slot(service);
    slot.SlotState = TSlotState::Assigning;
    slot.Url.Crack("no address");
    ASSERT_FALSE(slot.Url.Valid);
    slot.StartFetch(1000);
    EXPECT_EQ(slot.SlotState, TSlotState::Idle);
    EXPECT_FALSE(slot.Running);
    EXPECT_EQ(slot.fetchId(), 0u);
    EXPECT_FALSE(service.waitForPosted(1, 0ms));
}

// A redirected page: status, head and body of the last response, the Url still the address
// asked for (relative links and the referrer of its links depend on it).
TEST(HttpGet, ReceivedPageKeepsTheAddressAskedFor) {
    HttpFixture fixture;
    fixture.script("/old/", HttpReply::Redirect("/new/index.htm", 301));
    fixture.script("/new/index.htm", HttpReply::Html(200, "<a href=x.htm>x</a>"));
    http::FetchService service;
    TMFHttpGet slot(service);
    const std::string address = fixture.url("/old/");
    ASSERT_TRUE(slot.Url.Crack(address));
    slot.ProxyType = PROXY_DIRECT;
    slot.TimeOutMs = 5000;
    slot.ContentLength = 77;
    slot.StartFetch(1000);
    EXPECT_EQ(slot.SlotState, TSlotState::Downloading);
    EXPECT_TRUE(slot.Running);
    EXPECT_TRUE(slot.Active);
    EXPECT_FALSE(slot.AbortRequested);
    EXPECT_EQ(slot.Deadline, 6000u);
    EXPECT_EQ(slot.ContentLength, 0);
    EXPECT_NE(slot.fetchId(), 0u);
    ASSERT_TRUE(RunToFinished(service, slot, 2000));
    EXPECT_TRUE(slot.Succeeded);
    EXPECT_FALSE(slot.Skipped);
    EXPECT_FALSE(slot.Running);
    EXPECT_EQ(slot.StatusCode, 200);
    EXPECT_EQ(slot.Body, "<a href=x.htm>x</a>");
    EXPECT_EQ(slot.ContentLength, 19);
    EXPECT_EQ(slot.Head.substr(0, 17), "HTTP/1.0 200 OK\r\n");
    EXPECT_EQ(slot.Url.GetUrl(), address);
    slot.Reap();
    EXPECT_FALSE(slot.Running);
}

// Each run of ten chunks moves the deadline on from the tick that takes it in.
TEST(HttpGet, AliveMovesTheDeadline) {
    HttpFixture fixture;
    fixture.script("/long.htm", HttpReply::Html(200, std::string(2 * 1024 * 1024, 'x')));
    http::FetchService service;
    TMFHttpGet slot(service);
    ASSERT_TRUE(slot.Url.Crack(fixture.url("/long.htm")));
    slot.ProxyType = PROXY_DIRECT;
    slot.TimeOutMs = 1000;
    slot.StartFetch(0);
    ASSERT_TRUE(RunToFinished(service, slot, 70000));
    EXPECT_TRUE(slot.Succeeded);
    EXPECT_EQ(slot.Deadline, 71000u);
}

// Abort: the slot stays Downloading until the fetch's end comes in, skipped; a StartFetch
// meanwhile starts nothing new; late reports are no longer passed on.
TEST(HttpGet, AbortEndsAWaitingFetchAsSkipped) {
    HttpFixture fixture;
    fixture.script("/never", HttpReply::Never());
    http::FetchService service;
    TMFHttpGet slot(service);
    ASSERT_TRUE(slot.Url.Crack(fixture.url("/never")));
    slot.ProxyType = PROXY_DIRECT;
    slot.StartFetch(0);
    const http::FetchId fetch = slot.fetchId();
    ASSERT_TRUE(fixture.waitForRequests(1, 60s));
    slot.Abort();
    EXPECT_TRUE(slot.AbortRequested);
    EXPECT_FALSE(slot.Active);
    EXPECT_TRUE(slot.Running);
    EXPECT_EQ(slot.SlotState, TSlotState::Downloading);
    slot.StartFetch(10);
    EXPECT_EQ(slot.SlotState, TSlotState::Downloading);
    EXPECT_EQ(slot.fetchId(), fetch);
    ASSERT_TRUE(RunToFinished(service, slot, 20));
    EXPECT_FALSE(slot.Succeeded);
    EXPECT_TRUE(slot.Skipped);
    EXPECT_FALSE(slot.Running);
    EXPECT_EQ(fixture.requests().size(), 1u);

    // Abort on a slot without a fetch only marks it.
    TMFHttpGet idle(service);
    idle.Abort();
    EXPECT_TRUE(idle.AbortRequested);
    EXPECT_EQ(idle.SlotState, TSlotState::Idle);
    EXPECT_FALSE(service.waitForPosted(1, 0ms));
}

// An end posted before the abort reached the network thread keeps its outcome: a page that
// came in while stopping still counts.
TEST(HttpGet, AbortAfterTheEndWasPostedKeepsTheOutcome) {
    HttpFixture fixture;
    fixture.script("/page.htm", HttpReply::Html(200, "<p>x</p>"));
    http::FetchService service;
    TMFHttpGet slot(service);
    ASSERT_TRUE(slot.Url.Crack(fixture.url("/page.htm")));
    slot.ProxyType = PROXY_DIRECT;
    slot.StartFetch(0);
    ASSERT_TRUE(service.waitForPosted(1, 60s));
    slot.Abort();
    EXPECT_TRUE(slot.Running);
    ASSERT_TRUE(RunToFinished(service, slot, 0));
    EXPECT_TRUE(slot.Succeeded);
    EXPECT_FALSE(slot.Skipped);
    EXPECT_TRUE(slot.AbortRequested);
    EXPECT_EQ(slot.Body, "<p>x</p>");
}

// The slot's settings make the request: agent, referrer, the proxy, the credentials of the
// authentication round.
TEST(HttpGet, SettingsReachTheRequest) {
    HttpFixture target;
    HttpFixture proxy;
    proxy.script("/a.htm",
                 {HttpReply::Html(407, "<p>proxy</p>"), HttpReply::Html(200, "<p>ok</p>")});
    http::FetchService service;
    TMFHttpGet slot(service);
    ASSERT_TRUE(slot.Url.Crack(target.url("/a.htm")));
    slot.Agent = "Agent/1";
    slot.Referrer = target.url("/index.htm");
    slot.ProxyType = PROXY_USEPROXY;
    slot.ProxyAddress = "127.0.0.1";
    slot.ProxyPort = proxy.port();
    slot.ProxyUser = "pu";
    slot.ProxyPassword = "pp";
    slot.StartFetch(0);
    ASSERT_TRUE(RunToFinished(service, slot, 0));
    EXPECT_TRUE(slot.Succeeded);
    EXPECT_EQ(slot.Body, "<p>ok</p>");
    const auto requests = proxy.requests();
    ASSERT_EQ(requests.size(), 2u);
    EXPECT_EQ(requests[1].requestLine, "GET " + target.url("/a.htm") + " HTTP/1.0");
    EXPECT_EQ(requests[1].header("User-Agent"), "Agent/1");
    EXPECT_EQ(requests[1].header("Referer"), target.url("/index.htm"));
    EXPECT_EQ(requests[1].header("Proxy-Authorization"), "Basic cHU6cHA=");
    EXPECT_TRUE(target.requests().empty());
}

// A slot that goes away with its fetch running abandons it: the fetch ends, skipped.
TEST(HttpGet, DestroyingASlotAbortsItsFetch) {
    HttpFixture fixture;
    fixture.script("/never", HttpReply::Never());
    http::FetchService service;
    http::FetchId fetch = 0;
    {
        TMFHttpGet slot(service);
        ASSERT_TRUE(slot.Url.Crack(fixture.url("/never")));
        slot.ProxyType = PROXY_DIRECT;
        slot.StartFetch(0);
        fetch = slot.fetchId();
        ASSERT_TRUE(fixture.waitForRequests(1, 60s));
    }
    ASSERT_TRUE(service.waitForPosted(1, 60s));
    const auto posts = service.takePosted();
    ASSERT_EQ(posts.size(), 1u);
    EXPECT_EQ(posts[0].id, fetch);
    EXPECT_TRUE(posts[0].skipped);
}

}  // namespace
}  // namespace quendrix
