// The download scheduler driven tick by tick against the HTTP fixture on 127.0.0.1: real
// fetches on the network thread, the time given to each tick by the test. Between ticks the
// test waits for the network thread's posts (never sleeps), so every tick sees a known state.
#include "tools/scanner/dwnld.h"

#include "support/http_fixture.h"
#include "support/http_global_init.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <chrono>
#include <cstdint>
#include <ostream>
#include <stdexcept>
#include <string>
#include <vector>

namespace quendrix {
namespace {

using namespace std::chrono_literals;
using test::HttpFixture;
using test::HttpReply;

struct ErrorEvent {
    std::string address;
    std::uint32_t code = 0;
    std::string message;
    bool operator==(const ErrorEvent&) const = default;
};

void PrintTo(const ErrorEvent& event, std::ostream* out) {
    *out << "{\"" << event.address << "\", " << event.code << ", \"" << event.message << "\"}";
}

using Stats = std::array<int, 6>;  // InQueue, Downloading, ToAnalyze, Done, Retries, Errors

// A scheduler with every handler recording, its fixture, and the scanner's timer played by
// the test: tick() is one timer event (Tick, then CheckProgress while working; a scan that
// has ended is set not working).
class Scan {
  public:
    explicit Scan(bool withStatistics = true) {
        // Straight to the fixture, whatever proxy the environment names.
        dwnld.ProxyType = PROXY_DIRECT;
        dwnld.OnPageReceived = [this](TMFHttpGet& slot) {
            pages.push_back(slot.Url.GetUrl());
            bodies.push_back(slot.Body);
        };
        if (withStatistics) {
            dwnld.OnStatistics = [this](int inQueue, int downloading, int toAnalyze, int done,
                                        int retries, int errorCount) {
                stats.push_back({inQueue, downloading, toAnalyze, done, retries, errorCount});
            };
        }
        dwnld.OnError = [this](const std::string& address, std::uint32_t code,
                               const std::string& message) {
            errors.push_back({address, code, message});
        };
        dwnld.OnWorking = [this](bool value) { working.push_back(value); };
    }

    bool enqueue(const std::string& path, int retryCount = 0, int depth = 1,
                 const std::string& referrer = "") {
        return dwnld.Enqueue(fixture.url(path), referrer, 0, true, ' ', retryCount, depth);
    }

    // One timer event; false once the scan has ended.
    bool tick(std::uint32_t step = 200) {
        now += step;
        dwnld.Tick(now);
        if (!dwnld.Working) {
            return false;
        }
        if (!dwnld.CheckProgress()) {
            dwnld.SetWorking(false);
            return false;
        }
        return true;
    }

    bool anyIn(TSlotState state) {
        for (std::size_t i = 0; i < dwnld.PoolSize(); ++i) {
            if (dwnld.Slot(i).SlotState == state) {
                return true;
            }
        }
        return false;
    }

    // Waits for the network thread's next post (or one already waiting); false, with a failure
    // recorded, when none comes.
    bool waitForPost(std::size_t count = 1) {
        const bool posted = dwnld.Service().waitForPosted(count, 30s);
        EXPECT_TRUE(posted) << "no post from the network thread";
        return posted;
    }

    // Ticks until the scan ends, waiting for the network thread whenever a slot waits for a
    // fetch. Gives the number of ticks.
    int runToEnd(int limit = 500) {
        for (int ticks = 1; ticks <= limit; ++ticks) {
            if (anyIn(TSlotState::Downloading) && !waitForPost()) {
                return ticks;
            }
            if (!tick()) {
                return ticks;
            }
        }
        ADD_FAILURE() << "the scan did not end within " << limit << " ticks";
        return limit;
    }

    Stats counters() const {
        return {static_cast<int>(dwnld.QueueCount()),
                0,
                0,
                dwnld.DoneCount,
                dwnld.RequeueCount,
                dwnld.ErrorCount};
    }

    std::vector<std::string> requestedPaths() const {
        std::vector<std::string> paths;
        for (const test::HttpRequest& request : fixture.requests()) {
            paths.push_back(request.path);
        }
        return paths;
    }

    HttpFixture fixture;
    TMFDwnld dwnld;
    std::uint32_t now = 1000;
    std::vector<std::string> pages;
    std::vector<std::string> bodies;
    std::vector<ErrorEvent> errors;
    std::vector<Stats> stats;
    std::vector<bool> working;
};

TEST(TUrlInQueue, FirstInFirstOutAcrossTheRingsEndAndPastItsFirstSize) {
    TUrlInQueue queue;
    EXPECT_EQ(queue.Capacity(), 32000u);
    // Wrap the ring: the front walks on while the back follows it round.
    int next = 0;
    int taken = 0;
    for (int round = 0; round < 3; ++round) {
        for (int i = 0; i < 20000; ++i) {
            queue.Append(std::to_string(next++), TUrlObject{});
        }
        while (queue.Count() > 5000) {
            ASSERT_EQ(queue.Take().Address, std::to_string(taken++));
        }
    }
    EXPECT_EQ(queue.Capacity(), 32000u);
    // Past the first size: it grows, order kept.
    for (int i = 0; i < 40000; ++i) {
        queue.Append(std::to_string(next++), TUrlObject{});
    }
    EXPECT_GT(queue.Capacity(), 32000u);
    while (!queue.Empty()) {
        ASSERT_EQ(queue.Take().Address, std::to_string(taken++));
    }
    EXPECT_EQ(taken, next);
}

TEST(TUrlInQueue, TakingFromTheMiddleKeepsTheOrderOfTheRest) {
    struct Case {
        std::size_t index;
        std::vector<std::string> rest;
    };
    for (const Case& c : {Case{0, {"b", "c", "d", "e"}}, Case{1, {"a", "c", "d", "e"}},
                          Case{3, {"a", "b", "c", "e"}}, Case{4, {"a", "b", "c", "d"}}}) {
        TUrlInQueue queue;
        // Start near the ring's end so the entries straddle it.
        for (int i = 0; i < 31998; ++i) {
            queue.Append("x", TUrlObject{});
        }
        while (!queue.Empty()) {
            queue.Take();
        }
        for (const char* address : {"a", "b", "c", "d", "e"}) {
            queue.Append(address, TUrlObject{});
        }
        const std::string expected(1, static_cast<char>('a' + c.index));
        EXPECT_EQ(queue.Take(c.index).Address, expected);
        std::vector<std::string> rest;
        for (std::size_t i = 0; i < queue.Count(); ++i) {
            rest.push_back(queue.At(i).Address);
        }
        EXPECT_EQ(rest, c.rest) << "taking index " << c.index;
    }
}

// The per-slot step order: a fetch that ends is Finished on the tick that takes its end in
// (and Received after that step), handed on the next tick, and the slot takes its next address
// the tick after that. Settings reach every request.
TEST(TMFDwnld, TwoSlotsStartTwoFetchesAndTakeTheNextOnlyAfterFinishedAndReceived) {
    Scan scan;
    scan.dwnld.ConcurrentDownloads = 2;
    scan.dwnld.Agent = "agent/1";
    scan.dwnld.HtmlOnly = true;
    for (int i = 1; i <= 5; ++i) {
        scan.fixture.script("/p" + std::to_string(i),
                            HttpReply::Html(200, "<p>" + std::to_string(i)));
        ASSERT_TRUE(scan.enqueue("/p" + std::to_string(i), 0, 1, "http://referrer.test/"));
    }
    EXPECT_EQ(scan.working, std::vector<bool>{true});

    ASSERT_TRUE(scan.tick());  // the pool is made and both slots start
    ASSERT_EQ(scan.dwnld.PoolSize(), 2u);
    EXPECT_EQ(scan.dwnld.QueueCount(), 3u);
    for (std::size_t i = 0; i < 2; ++i) {
        EXPECT_EQ(scan.dwnld.Slot(i).SlotState, TSlotState::Downloading);
        EXPECT_EQ(scan.dwnld.Slot(i).Url.GetUrl(), scan.fixture.url("/p" + std::to_string(i + 1)));
        EXPECT_TRUE(scan.dwnld.Slot(i).HtmlOnly);
        EXPECT_EQ(scan.dwnld.Slot(i).Referrer, "http://referrer.test/");
    }

    ASSERT_TRUE(scan.waitForPost(2));
    ASSERT_TRUE(scan.tick());  // both ends taken in: Finished, then Received
    EXPECT_EQ(scan.dwnld.Slot(0).SlotState, TSlotState::Received);
    EXPECT_EQ(scan.dwnld.Slot(1).SlotState, TSlotState::Received);
    EXPECT_EQ(scan.dwnld.QueueCount(), 3u);
    EXPECT_TRUE(scan.pages.empty());

    ASSERT_TRUE(scan.tick());  // handed on; the slots are Idle but take nothing yet
    EXPECT_EQ(scan.pages,
              (std::vector<std::string>{scan.fixture.url("/p1"), scan.fixture.url("/p2")}));
    EXPECT_EQ(scan.bodies, (std::vector<std::string>{"<p>1", "<p>2"}));
    EXPECT_EQ(scan.dwnld.Slot(0).SlotState, TSlotState::Idle);
    EXPECT_EQ(scan.dwnld.QueueCount(), 3u);

    ASSERT_TRUE(scan.tick());  // the next two start
    EXPECT_EQ(scan.dwnld.QueueCount(), 1u);
    EXPECT_EQ(scan.dwnld.Slot(0).Url.GetUrl(), scan.fixture.url("/p3"));
    EXPECT_EQ(scan.dwnld.Slot(1).Url.GetUrl(), scan.fixture.url("/p4"));

    scan.runToEnd();
    EXPECT_EQ(scan.pages.size(), 5u);
    // Each address fetched once (two at a time reach the server in either order).
    std::vector<std::string> requested = scan.requestedPaths();
    std::sort(requested.begin(), requested.end());
    EXPECT_EQ(requested, (std::vector<std::string>{"/p1", "/p2", "/p3", "/p4", "/p5"}));
    for (const test::HttpRequest& request : scan.fixture.requests()) {
        EXPECT_EQ(request.header("User-Agent"), "agent/1");
        EXPECT_EQ(request.header("Referer"), "http://referrer.test/");
    }
    EXPECT_EQ(scan.counters(), (Stats{0, 0, 0, 5, 0, 0}));
    EXPECT_EQ(scan.stats.back(), (Stats{0, 0, 0, 5, 0, 0}));
    EXPECT_EQ(scan.working, (std::vector<bool>{true, false}));
    EXPECT_TRUE(scan.errors.empty());
}

// What each answer becomes: how often it is fetched, what is reported with which code and
// text, and the counters. ErrorCount counts addresses given up, never a status error.
TEST(TMFDwnld, AnswersAreHandedOnRetriedOrReportedByStatus) {
    struct Case {
        const char* name;
        std::vector<HttpReply> replies;
        int retryCount;  // of the queued address
        std::size_t fetches;
        std::vector<ErrorEvent> errors;  // address "" stands for the page's address
        Stats counters;                  // InQueue, -, -, Done, Retries, Errors
        std::size_t pages;
    };
    const std::vector<Case> cases = {
        {"200", {HttpReply::Html(200, "<p>ok")}, 0, 1, {}, {0, 0, 0, 1, 0, 0}, 1},
        {"503 four times: the last status, an empty text",
         {HttpReply::Html(503, "<p>busy")},
         0,
         4,
         {{"", 503, ""}},
         {0, 0, 0, 0, 3, 1},
         0},
        {"503 then 200",
         {HttpReply::Html(503, "<p>busy"), HttpReply::Html(200, "<p>ok")},
         0,
         2,
         {},
         {0, 0, 0, 1, 1, 0},
         1},
        {"404 page: reported once, not retried, not counted",
         {HttpReply::Html(404, "<p>gone")},
         0,
         1,
         {{"", 404, "ERROR"}},
         {0, 0, 0, 0, 0, 0},
         0},
        {"206 is retried like a server error",
         {HttpReply::Html(206, "<p>part")},
         0,
         4,
         {{"", 206, ""}},
         {0, 0, 0, 0, 3, 1},
         0},
        {"a plain failure (no content type) carries the status it got",
         {HttpReply::Untyped(200, "<p>ok")},
         0,
         4,
         {{"", 200, ""}},
         {0, 0, 0, 0, 3, 1},
         0},
        {"not HTML is skipped silently",
         {HttpReply::Typed(200, "text/plain", "text")},
         0,
         1,
         {},
         {0, 0, 0, 0, 0, 0},
         0},
        {"an address queued with its retries used (robots.txt) is tried once",
         {HttpReply::Html(503, "<p>busy")},
         3,
         1,
         {{"", 503, ""}},
         {0, 0, 0, 0, 0, 1},
         0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Scan scan;
        scan.fixture.script("/page", c.replies);
        ASSERT_TRUE(scan.enqueue("/page", c.retryCount));
        scan.runToEnd();

        std::vector<ErrorEvent> expected = c.errors;
        for (ErrorEvent& event : expected) {
            event.address = scan.fixture.url("/page");
        }
        EXPECT_EQ(scan.errors, expected);
        EXPECT_EQ(scan.fixture.requests("/page").size(), c.fetches);
        EXPECT_EQ(scan.counters(), c.counters);
        EXPECT_EQ(scan.stats.back(), c.counters);
        EXPECT_EQ(scan.pages.size(), c.pages);
        EXPECT_EQ(scan.working, (std::vector<bool>{true, false}));
    }
}

// The scheduler's credentials and proxy settings reach the request through the slot that
// fetches: a first 401 answered with UserName/Password, a first 407 from a named proxy (the
// fixture serves as one) with ProxyUser/ProxyPassword.
TEST(TMFDwnld, CredentialsAndProxySettingsAreCopiedIntoTheSlots) {
    struct Case {
        const char* name;
        int refusal;
        bool throughProxy;
        const char* header;
        const char* expected;  // Basic "u:p" / "pu:pp"
    };
    for (const Case& c :
         {Case{"401", 401, false, "Authorization", "Basic dTpw"},
          Case{"407 from a named proxy", 407, true, "Proxy-Authorization", "Basic cHU6cHA="}}) {
        SCOPED_TRACE(c.name);
        Scan scan;
        scan.dwnld.UserName = "u";
        scan.dwnld.Password = "p";
        scan.dwnld.ProxyUser = "pu";
        scan.dwnld.ProxyPassword = "pp";
        if (c.throughProxy) {
            scan.dwnld.ProxyType = PROXY_USEPROXY;
            scan.dwnld.ProxyAddress = "127.0.0.1";
            scan.dwnld.ProxyPort = scan.fixture.port();
        }
        scan.fixture.script("/page",
                            {HttpReply::Html(c.refusal, "<p>who"), HttpReply::Html(200, "<p>in")});
        ASSERT_TRUE(scan.enqueue("/page"));
        scan.runToEnd();
        EXPECT_EQ(scan.pages, std::vector<std::string>{scan.fixture.url("/page")});
        const std::vector<test::HttpRequest> requests = scan.fixture.requests("/page");
        ASSERT_EQ(requests.size(), 2u);
        EXPECT_EQ(requests[1].header(c.header), c.expected);
        EXPECT_EQ(requests[0].target.rfind("http://", 0) == 0, c.throughProxy);
    }
}

// A retried address goes behind everything that waited meanwhile.
TEST(TMFDwnld, RetriesGoToTheBackOfTheQueue) {
    Scan scan;
    scan.dwnld.ConcurrentDownloads = 1;
    scan.fixture.script("/busy", {HttpReply::Html(503, "<p>busy"), HttpReply::Html(200, "<p>ok")});
    scan.fixture.script("/b", HttpReply::Html(200, "<p>b"));
    scan.fixture.script("/c", HttpReply::Html(200, "<p>c"));
    for (const char* path : {"/busy", "/b", "/c"}) {
        ASSERT_TRUE(scan.enqueue(path, 0, 2, "http://127.0.0.1/from"));
    }
    scan.runToEnd();
    EXPECT_EQ(scan.requestedPaths(), (std::vector<std::string>{"/busy", "/b", "/c", "/busy"}));
    EXPECT_EQ(scan.fixture.requests("/busy").back().header("Referer"), "http://127.0.0.1/from");
    EXPECT_EQ(scan.counters(), (Stats{0, 0, 0, 3, 1, 0}));
}

// LeavesFirst takes the deepest address (the oldest of the deepest); off, the front.
TEST(TMFDwnld, LeavesFirstTakesTheDeepestAddressFirst) {
    struct Case {
        bool leavesFirst;
        std::vector<std::string> order;
    };
    for (const Case& c :
         {Case{false, {"/a", "/b", "/c", "/d"}}, Case{true, {"/b", "/d", "/c", "/a"}}}) {
        Scan scan;
        scan.dwnld.ConcurrentDownloads = 1;
        scan.dwnld.LeavesFirst = c.leavesFirst;
        const std::vector<std::pair<std::string, int>> queued = {
            {"/a", 1}, {"/b", 3}, {"/c", 2}, {"/d", 3}};
        for (const auto& [path, depth] : queued) {
            scan.fixture.script(path, HttpReply::Html(200, "<p>x"));
            ASSERT_TRUE(scan.enqueue(path, 0, depth));
        }
        scan.runToEnd();
        EXPECT_EQ(scan.requestedPaths(), c.order) << "LeavesFirst " << c.leavesFirst;
    }
}

// A fetch past its deadline is reported once as a time-out, counted, aborted and not retried.
// The deadline is compared across the tick count's wrap (after 49.7 days).
TEST(TMFDwnld, AFetchPastItsDeadlineTimesOutOnceAndIsNotRetried) {
    for (const std::uint32_t start : {std::uint32_t{1000}, std::uint32_t{0xFFFFFE00}}) {
        SCOPED_TRACE(start);
        Scan scan;
        scan.now = start;
        scan.dwnld.TimeOut = 1;
        scan.fixture.script("/never", HttpReply::Never());
        ASSERT_TRUE(scan.enqueue("/never"));
        ASSERT_TRUE(scan.tick());  // starts: Deadline = start + 200 + 1000
        ASSERT_EQ(scan.dwnld.Slot(0).SlotState, TSlotState::Downloading);
        ASSERT_TRUE(scan.fixture.waitForRequests(1, 30s));
        for (int i = 0; i < 5; ++i) {  // up to the deadline itself: not yet past it
            ASSERT_TRUE(scan.tick());
            ASSERT_TRUE(scan.errors.empty()) << "at tick " << i;
        }
        ASSERT_TRUE(scan.tick());  // past it
        const ErrorEvent timeOut{"timeout : " + scan.fixture.url("/never"), 0, "TimeOut"};
        EXPECT_EQ(scan.errors, std::vector<ErrorEvent>{timeOut});
        EXPECT_EQ(scan.dwnld.ErrorCount, 1);
        EXPECT_TRUE(scan.dwnld.Slot(0).AbortRequested);
        // Still Downloading until the aborted fetch's end comes in; never reported twice.
        EXPECT_EQ(scan.dwnld.Slot(0).SlotState, TSlotState::Downloading);
        scan.runToEnd();
        EXPECT_EQ(scan.errors, std::vector<ErrorEvent>{timeOut});
        EXPECT_EQ(scan.fixture.requests("/never").size(), 1u);
        EXPECT_EQ(scan.counters(), (Stats{0, 0, 0, 0, 0, 1}));
    }
}

// A stop during a scan: the queue empties, the fetches end as aborted, no error and no page
// comes any more, and the scan ends on the eleventh quiet tick after the last end.
TEST(TMFDwnld, RequestStopWindsTheScanDownAndItEndsOnTheEleventhQuietTick) {
    Scan scan;
    scan.fixture.script("/never", HttpReply::Never());
    scan.fixture.script("/failing", HttpReply::Html(503, "<p>busy"));
    for (int i = 0; i < 3; ++i) {
        ASSERT_TRUE(scan.enqueue("/never?" + std::to_string(i)));
    }
    for (int i = 0; i < 10; ++i) {
        ASSERT_TRUE(scan.enqueue("/failing?" + std::to_string(i)));
    }
    ASSERT_TRUE(scan.tick());
    ASSERT_TRUE(scan.fixture.waitForRequests(3, 30s));
    EXPECT_EQ(scan.dwnld.QueueCount(), 10u);

    scan.dwnld.RequestStop();
    EXPECT_TRUE(scan.dwnld.Stopping);
    EXPECT_TRUE(scan.dwnld.Enqueue(scan.fixture.url("/late"), "", 0, true, ' ', 0, 1));
    EXPECT_EQ(scan.dwnld.QueueCount(), 10u);  // dropped
    ASSERT_TRUE(scan.waitForPost(3));
    ASSERT_TRUE(scan.tick());  // the ends are taken in and the slots go Idle: the last activity
    EXPECT_EQ(scan.dwnld.QueueCount(), 0u);
    EXPECT_FALSE(scan.anyIn(TSlotState::Downloading));
    EXPECT_FALSE(scan.anyIn(TSlotState::Finished));

    int quiet = 0;
    while (scan.tick()) {
        ++quiet;
        ASSERT_LE(quiet, 10);
    }
    EXPECT_EQ(quiet, 10);
    EXPECT_EQ(scan.working, (std::vector<bool>{true, false}));
    EXPECT_FALSE(scan.dwnld.Stopping);  // SetWorking(false) clears it
    EXPECT_TRUE(scan.errors.empty());
    EXPECT_TRUE(scan.pages.empty());
    EXPECT_EQ(scan.counters(), (Stats{0, 0, 0, 0, 0, 0}));
    EXPECT_EQ(scan.fixture.requests().size(), 3u);
}

// An end the network thread posted before the stop reached it keeps its outcome: a page that
// arrived counts as done, though it is no longer handed on.
TEST(TMFDwnld, AnEndPostedBeforeTheStopKeepsItsOutcome) {
    Scan scan;
    scan.fixture.script("/page", HttpReply::Html(200, "<p>ok"));
    ASSERT_TRUE(scan.enqueue("/page"));
    ASSERT_TRUE(scan.tick());
    ASSERT_TRUE(scan.waitForPost());
    scan.dwnld.RequestStop();
    scan.runToEnd();
    EXPECT_EQ(scan.dwnld.DoneCount, 1);
    EXPECT_TRUE(scan.pages.empty());
    EXPECT_TRUE(scan.errors.empty());
}

// Lowering ConcurrentDownloads retires an idle surplus slot at once and a busy one once it is
// idle; retired slots take no address. The pool is cut when every surplus slot is retired.
TEST(TMFDwnld, LoweringConcurrentDownloadsRetiresIdleSlotsAtOnceAndBusyOnesWhenIdle) {
    Scan scan;
    scan.dwnld.ConcurrentDownloads = 3;
    scan.fixture.script("/never", HttpReply::Never());
    scan.fixture.script("/page", HttpReply::Html(200, "<p>ok"));
    scan.fixture.script("/extra", HttpReply::Html(200, "<p>ok"));
    ASSERT_TRUE(scan.enqueue("/never"));
    ASSERT_TRUE(scan.enqueue("/page"));
    ASSERT_TRUE(scan.tick());
    ASSERT_EQ(scan.dwnld.PoolSize(), 3u);
    ASSERT_EQ(scan.dwnld.Slot(2).SlotState, TSlotState::Idle);

    scan.dwnld.ConcurrentDownloads = 1;
    ASSERT_TRUE(scan.enqueue("/extra"));
    ASSERT_TRUE(scan.tick());
    EXPECT_EQ(scan.dwnld.Slot(2).SlotState, TSlotState::Retired);
    EXPECT_NE(scan.dwnld.Slot(1).SlotState, TSlotState::Retired);
    EXPECT_EQ(scan.dwnld.PoolSize(), 3u);

    // Slot 1's page comes in and is handed on; the tick after, it is retired and the pool cut.
    while (scan.dwnld.PoolSize() == 3u && scan.pages.empty()) {
        if (scan.dwnld.Slot(1).SlotState == TSlotState::Downloading) {
            ASSERT_TRUE(scan.waitForPost());
        }
        ASSERT_TRUE(scan.tick());
        ASSERT_EQ(scan.dwnld.Slot(2).SlotState, TSlotState::Retired);
    }
    ASSERT_EQ(scan.pages, std::vector<std::string>{scan.fixture.url("/page")});
    ASSERT_TRUE(scan.tick());
    EXPECT_EQ(scan.dwnld.PoolSize(), 1u);
    EXPECT_EQ(scan.dwnld.Slot(0).SlotState, TSlotState::Downloading);  // /never, untouched
    EXPECT_EQ(scan.dwnld.QueueCount(), 1u);  // /extra waits for the one slot left
    EXPECT_TRUE(scan.fixture.requests("/extra").empty());
}

// Raising ConcurrentDownloads again before the surplus was cut: the retired slots serve again.
TEST(TMFDwnld, RaisingConcurrentDownloadsBeforeTheCutBringsRetiredSlotsBack) {
    Scan scan;
    scan.dwnld.ConcurrentDownloads = 3;
    scan.fixture.script("/never", HttpReply::Never());
    scan.fixture.script("/extra", HttpReply::Html(200, "<p>ok"));
    ASSERT_TRUE(scan.enqueue("/never?0"));
    ASSERT_TRUE(scan.enqueue("/never?1"));
    ASSERT_TRUE(scan.tick());
    scan.dwnld.ConcurrentDownloads = 1;
    ASSERT_TRUE(scan.tick());
    ASSERT_EQ(scan.dwnld.Slot(2).SlotState, TSlotState::Retired);

    scan.dwnld.ConcurrentDownloads = 3;
    ASSERT_TRUE(scan.enqueue("/extra"));
    ASSERT_TRUE(scan.tick());
    EXPECT_EQ(scan.dwnld.Slot(2).SlotState, TSlotState::Downloading);
    EXPECT_EQ(scan.dwnld.Slot(2).Url.GetUrl(), scan.fixture.url("/extra"));
    EXPECT_EQ(scan.dwnld.QueueCount(), 0u);
}

// Without a statistics handler every tick counts as changed, so a scan never ends by itself:
// neither one run without a handler from its start, nor one whose handler is removed once its
// last change was reported (a shut-down scanner, which must stay silent: no working(false)).
TEST(TMFDwnld, WithoutAStatisticsHandlerTheScanNeverEndsByItself) {
    for (const bool removedMidScan : {false, true}) {
        SCOPED_TRACE(removedMidScan ? "handler removed mid-scan" : "no handler from the start");
        Scan scan(/*withStatistics=*/removedMidScan);
        scan.fixture.script("/page", HttpReply::Html(200, "<p>ok"));
        ASSERT_TRUE(scan.enqueue("/page"));
        while (scan.pages.empty()) {
            if (scan.anyIn(TSlotState::Downloading)) {
                ASSERT_TRUE(scan.waitForPost());
            }
            ASSERT_TRUE(scan.tick());
        }
        if (removedMidScan) {
            ASSERT_EQ(scan.stats.back(), (Stats{0, 0, 0, 1, 0, 0}));
            scan.dwnld.Enabled = false;
            scan.dwnld.OnPageReceived = nullptr;
            scan.dwnld.OnStatistics = nullptr;
            scan.dwnld.OnError = nullptr;
            scan.dwnld.RequestStop();
        }
        for (int i = 0; i < 40; ++i) {
            ASSERT_TRUE(scan.tick()) << "ended at quiet tick " << i;
        }
        EXPECT_EQ(scan.dwnld.IdleCountdown, TMFDwnld::kQuietTicks);
        EXPECT_EQ(scan.working, std::vector<bool>{true});
    }
}

// ResetCounters: counters to 0, the last reported values to 99999 (so the next check reports
// even an all-zero picture), six zeros raised, the queue emptied. A new scan starts with it.
TEST(TMFDwnld, ResetCountersReportsZerosAndEmptiesTheQueue) {
    Scan scan;
    ASSERT_TRUE(scan.enqueue("/a"));
    ASSERT_TRUE(scan.enqueue("/b"));
    EXPECT_EQ(scan.stats, std::vector<Stats>{Stats{}});  // the first Enqueue reset them
    scan.dwnld.DoneCount = 4;
    scan.dwnld.ErrorCount = 5;
    scan.dwnld.RequeueCount = 6;
    scan.dwnld.LastReported = {2, 0, 0, 4, 6, 5};

    scan.dwnld.ResetCounters();
    EXPECT_EQ(scan.stats, (std::vector<Stats>{Stats{}, Stats{}}));
    EXPECT_EQ(scan.counters(), Stats{});
    EXPECT_EQ(scan.dwnld.LastReported, (Stats{99999, 99999, 99999, 99999, 99999, 99999}));
    EXPECT_TRUE(scan.dwnld.CheckProgress());
    EXPECT_EQ(scan.stats.back(), Stats{});  // reported again though nothing is queued
    EXPECT_EQ(scan.stats.size(), 3u);
}

// Enqueue: refused while not enabled, dropped while stopping, and the first address of a scan
// starts it (counters reset, the queue emptied, working raised).
TEST(TMFDwnld, EnqueueRefusesWhenDisabledDropsWhenStoppingAndStartsAScan) {
    Scan scan;
    scan.dwnld.Enabled = false;
    EXPECT_FALSE(scan.enqueue("/a"));
    EXPECT_EQ(scan.dwnld.QueueCount(), 0u);
    EXPECT_TRUE(scan.working.empty());

    scan.dwnld.Enabled = true;
    scan.dwnld.ErrorCount = 7;
    EXPECT_TRUE(scan.enqueue("/a"));
    EXPECT_EQ(scan.working, std::vector<bool>{true});
    EXPECT_EQ(scan.dwnld.ErrorCount, 0);
    EXPECT_EQ(scan.dwnld.QueueCount(), 1u);
    EXPECT_TRUE(scan.enqueue("/a"));  // the same address may stand twice
    EXPECT_EQ(scan.dwnld.QueueCount(), 2u);

    scan.dwnld.RequestStop();
    EXPECT_TRUE(scan.enqueue("/b"));
    EXPECT_EQ(scan.dwnld.QueueCount(), 2u);
    EXPECT_EQ(scan.working, std::vector<bool>{true});

    // SetWorking(false) clears Stopping and raises the handler.
    scan.dwnld.SetWorking(false);
    EXPECT_FALSE(scan.dwnld.Stopping);
    EXPECT_FALSE(scan.dwnld.Working);
    EXPECT_EQ(scan.working, (std::vector<bool>{true, false}));
}

// A page handler that throws leaves the scheduler able to tick on; one that ticks again from
// inside (an event loop run during analysis) changes nothing.
TEST(TMFDwnld, AHandlerThatThrowsOrTicksAgainLeavesTheSchedulerTicking) {
    Scan scan;
    scan.dwnld.ConcurrentDownloads = 1;
    scan.fixture.script("/a", HttpReply::Html(200, "<p>a"));
    scan.fixture.script("/b", HttpReply::Html(200, "<p>b"));
    ASSERT_TRUE(scan.enqueue("/a"));
    ASSERT_TRUE(scan.enqueue("/b"));
    int handled = 0;
    scan.dwnld.OnPageReceived = [&](TMFHttpGet& slot) {
        if (++handled == 1) {
            throw std::runtime_error("analysis failed");
        }
        const TSlotState before = slot.SlotState;
        scan.dwnld.Tick(scan.now + 100);
        EXPECT_EQ(slot.SlotState, before);
        scan.pages.push_back(slot.Url.GetUrl());
    };
    bool thrown = false;
    for (int ticks = 0; ticks < 20 && !thrown; ++ticks) {
        if (scan.anyIn(TSlotState::Downloading)) {
            ASSERT_TRUE(scan.waitForPost());
        }
        try {
            scan.tick();
        } catch (const std::runtime_error&) {
            thrown = true;
        }
    }
    ASSERT_TRUE(thrown);
    scan.runToEnd();
    EXPECT_EQ(scan.pages, std::vector<std::string>{scan.fixture.url("/b")});
    EXPECT_EQ(scan.dwnld.DoneCount, 2);
    EXPECT_EQ(scan.working, (std::vector<bool>{true, false}));
}

// An address the parser rejects sends the slot back to Idle without a fetch.
TEST(TMFDwnld, AnInvalidAddressGoesBackToIdleWithoutAFetch) {
    Scan scan;
    ASSERT_TRUE(scan.dwnld.Enqueue("not an address", "", 0, true, ' ', 0, 1));
    ASSERT_TRUE(scan.tick());
    EXPECT_EQ(scan.dwnld.QueueCount(), 0u);
    EXPECT_EQ(scan.dwnld.Slot(0).SlotState, TSlotState::Idle);
    EXPECT_EQ(scan.dwnld.Slot(0).fetchId(), 0u);
    EXPECT_FALSE(scan.dwnld.Slot(0).Running);
    scan.runToEnd();
    EXPECT_TRUE(scan.errors.empty());
    EXPECT_EQ(scan.counters(), Stats{});
}

}  // namespace
}  // namespace quendrix
