// The scanner component against servers that misbehave, all on 127.0.0.1: a body without end,
// a body dripped a byte at a time, a redirect loop, a 401 that repeats after the credentials,
// a server that never answers. The scan goes on with the rest of the site, no page grows
// without bound, and Stop ends the scan within a bounded number of ticks. Ticked by the test;
// a tick waits only briefly for the network thread, since these servers hold slots for ever.
#include "scan_driver.h"
#include "support/http_fixture.h"
#include "support/http_global_init.h"
#include "support/scripted_server.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <string>
#include <vector>

namespace quendrix {
namespace {

using namespace std::chrono_literals;
using test::HttpFixture;
using test::HttpReply;
using test::ScanDriver;
using test::ScanError;

// Two answers no fixture script gives: /drip.html, an HTML page whose body comes one byte every
// 50 ms (at most `limit` bytes); any other path, a head that never ends (header lines until the
// client leaves, at most 64 MiB).
class TrickleServer : public test::ScriptedServer {
  public:
    explicit TrickleServer(std::size_t limit)
        : ScriptedServer("127.0.0.1", 0, Serving::Concurrently, 16), m_limit(limit) {
        start();
    }
    ~TrickleServer() override { shutdown(); }
    std::string url(const std::string& path) const {
        return "http://127.0.0.1:" + std::to_string(port()) + path;
    }

  private:
    void serve(int client) override {
        std::string head;
        char buffer[4096];
        while (head.find("\r\n\r\n") == std::string::npos && head.size() < 65536) {
            if (!waitFor(client, POLLIN)) {
                return;
            }
            const ssize_t n = recv(client, buffer, sizeof buffer, MSG_DONTWAIT);
            if (n == 0 || (n < 0 && errno != EAGAIN && errno != EINTR)) {
                return;
            }
            if (n > 0) {
                head.append(buffer, static_cast<std::size_t>(n));
            }
        }
        if (head.rfind("GET /drip.html ", 0) != 0) {
            const std::string line = "X-Padding: " + std::string(1000, 'p') + "\r\n";
            bool going = sendAll(client, "HTTP/1.0 200 OK\r\nContent-Type: text/html\r\n");
            for (std::size_t sent = 0; going && sent < 64u * 1024 * 1024; sent += line.size()) {
                going = sendAll(client, line);
            }
            return;
        }
        if (!sendAll(client, "HTTP/1.0 200 OK\r\nContent-Type: text/html\r\n\r\n<html>")) {
            return;
        }
        for (std::size_t sent = 0; sent < m_limit; ++sent) {
            if (!pause(50ms) || !sendAll(client, "x")) {
                return;
            }
        }
    }

    std::size_t m_limit;
};

std::string Links(const std::vector<std::string>& addresses) {
    std::string page;
    for (const std::string& address : addresses) {
        page += "<a href='" + address + "'>x</a>\n";
    }
    return page;
}

TEST(HostileScan, TheScanSurvivesEveryBadServerAndStopEndsItInBoundedTicks) {
    HttpFixture fixture;
    TrickleServer trickle(4000);  // 200 s of drip at the most: longer than the test runs
    fixture.script(
        "/", HttpReply::Html(
                 200, Links({"good.html", "endless.html", "loop.html", "auth.html", "never.html",
                             trickle.url("/drip.html"), trickle.url("/head.html")})));
    fixture.script("/good.html", HttpReply::Html(200, "<a href='good2.html'>2</a>"));
    fixture.script("/good2.html", HttpReply::Html(200, "<p>fine</p>"));
    fixture.script("/endless.html", HttpReply::Endless());
    fixture.script("/loop.html", HttpReply::Redirect("/loop2.html"));
    fixture.script("/loop2.html", HttpReply::Redirect("/loop.html"));
    fixture.script("/auth.html", HttpReply::Make(401,
                                                 {"WWW-Authenticate: Basic realm=\"x\"",
                                                  "Content-Type: text/html", "Content-Length: 4"},
                                                 "<p/>"));
    fixture.script("/never.html", HttpReply::Never());

    ScanDriver driver(100ms);
    driver.scan.SetRetries(1);
    // No time-out while the test runs: the slots held for ever are ended by Stop.
    driver.scan.SetTimeOut(3600);
    driver.scan.SetUserName("user");
    driver.scan.SetPassword("wrong");
    ASSERT_TRUE(driver.scan.StartScan(fixture.url("/")));

    // Until the good pages are in, the loop, the 401 and the endless head given up, and the
    // endless body cut off.
    const auto settled = [&] {
        const bool goodDone =
            std::count(driver.pages.begin(), driver.pages.end(), fixture.url("/good2.html")) == 1;
        bool endlessRunning = fixture.requests("/endless.html").empty();
        TMFDwnld& dwnld = driver.scan.Scheduler();
        for (std::size_t i = 0; i < dwnld.PoolSize(); ++i) {
            if (dwnld.Slot(i).Url.GetUrl() == fixture.url("/endless.html") &&
                dwnld.Slot(i).SlotState != TSlotState::Idle) {
                endlessRunning = true;
            }
        }
        return goodDone && driver.errors.size() >= 3 && !endlessRunning;
    };
    ASSERT_TRUE(driver.tickUntil(settled, 3000)) << "pages " << driver.pages.size();

    EXPECT_EQ(driver.pages, (std::vector<std::string>{fixture.url("/"), fixture.url("/good.html"),
                                                      fixture.url("/good2.html")}));
    // Each tried twice (Retries 1), then given up with the last status. libcurl ends a head
    // past its own bound (300 KiB) as a plain failure.
    const auto byAddress = [](std::vector<ScanError> list) {
        std::sort(list.begin(), list.end(),
                  [](const ScanError& a, const ScanError& b) { return a.url < b.url; });
        return list;
    };
    EXPECT_EQ(byAddress(driver.errors), byAddress({{fixture.url("/auth.html"), 401, ""},
                                                   {fixture.url("/loop.html"), 302, ""},
                                                   {trickle.url("/head.html"), 200, ""}}));
    // Asked with the credentials once per attempt; then the 401 ended the attempt.
    const auto auth = fixture.requests("/auth.html");
    ASSERT_EQ(auth.size(), 4u);
    EXPECT_FALSE(auth[0].header("Authorization").has_value());
    EXPECT_TRUE(auth[1].header("Authorization").has_value());
    // The endless body was cut off at the fetch's cap (had it been read to the fixture's end,
    // 256 MiB, the page would have been analysed) and not tried again.
    EXPECT_EQ(fixture.requests("/endless.html").size(), 1u);
    // Still busy: the server that never answers and the drip, each holding a slot.
    EXPECT_TRUE(driver.scan.IsWorking());
    EXPECT_TRUE(driver.anySlotDownloading());

    const std::size_t logged = driver.log.size();
    const int stoppedAt = driver.ticks;
    ASSERT_TRUE(driver.scan.StopScan());
    // An aborted fetch always posts its end: the ticks may wait for it.
    driver.postWait = 30s;
    ASSERT_TRUE(driver.runToEnd(40)) << "the stop did not end the scan";
    // The aborts' ends come in on the next ticks (one each at the most); then ten quiet ticks
    // and the eleventh.
    EXPECT_LE(driver.ticks - stoppedAt, 11 + 6 + 2);
    EXPECT_EQ(
        std::vector<std::string>(driver.log.begin() + static_cast<long>(logged), driver.log.end()),
        std::vector<std::string>{"working 0"});
    // The held connections were closed by the client.
    const std::size_t asked = fixture.requests().size();
    EXPECT_TRUE(fixture.waitForConnectionsEnded(asked, 20s));
}

// Closing the program while a fetch is held: the component goes at once, and the connection
// it held is closed.
TEST(HostileScan, TheComponentGoesAtOnceWhileAFetchIsHeld) {
    HttpFixture fixture;
    fixture.script("/", HttpReply::Never());
    {
        ScanDriver driver(100ms);
        ASSERT_TRUE(driver.scan.StartScan(fixture.url("/")));
        driver.tick();
        ASSERT_TRUE(fixture.waitForRequests(1, 20s));
        driver.tick();
        EXPECT_TRUE(driver.anySlotDownloading());
    }
    EXPECT_TRUE(fixture.waitForConnectionsEnded(1, 20s));
}

}  // namespace
}  // namespace quendrix
