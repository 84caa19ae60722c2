// The scanner component with a link to a name that never resolves, in a lab whose name server
// drops every query (each look-up hangs inside the C library). The start page comes from the
// HTTP fixture on the lab's 127.0.0.1. The rest of the site is scanned; the hanging fetch holds
// its slot until its time-out (the test's clock jumps there) or until Stop, and neither waits
// for the look-up.
#include "scan_driver.h"
#include "support/dns_lab.h"
#include "support/http_fixture.h"
#include "support/http_global_init.h"

#include <gtest/gtest.h>

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

const std::string kHanging = "http://hang.lab.test/page.html";

void ServeSite(HttpFixture& fixture) {
    fixture.script(
        "/", HttpReply::Html(200, "<a href='" + kHanging + "'>hangs</a><a href='a.html'>a</a>"));
    fixture.script("/a.html", HttpReply::Html(200, "<p>a</p>"));
}

// Ticks until the fixture's pages are in; the hanging fetch is still downloading then.
void ScanTheRest(ScanDriver& driver, const HttpFixture& fixture) {
    ASSERT_TRUE(driver.scan.StartScan(fixture.url("/")));
    ASSERT_TRUE(driver.tickUntil([&] { return driver.pages.size() == 2; }, 500));
    EXPECT_EQ(driver.pages, (std::vector<std::string>{fixture.url("/"), fixture.url("/a.html")}));
    EXPECT_TRUE(driver.anySlotDownloading());
}

TEST(HostileScanLab, ANameThatNeverResolvesTimesOutOnceAndTheScanEnds) {
    if (!test::InsideDnsLab()) {
        GTEST_SKIP() << test::kOutsideDnsLab;
    }
    HttpFixture fixture;
    ServeSite(fixture);
    ScanDriver driver(100ms);
    driver.scan.SetTimeOut(10);
    ScanTheRest(driver, fixture);

    // Ten seconds of the scan's clock later the look-up has not come back: a time-out, counted
    // and not tried again; the abort's end comes at once.
    driver.now += 10 * 1000;
    driver.tick();
    EXPECT_EQ(driver.errors, (std::vector<ScanError>{{"timeout : " + kHanging, 0, "TimeOut"}}));
    // An aborted fetch always posts its end: the ticks may wait for it.
    driver.postWait = 20s;
    ASSERT_TRUE(driver.runToEnd(30));
    EXPECT_EQ(driver.errors, (std::vector<ScanError>{{"timeout : " + kHanging, 0, "TimeOut"}}));
    EXPECT_EQ(driver.scan.Scheduler().ErrorCount, 1);
}

TEST(HostileScanLab, StopEndsAScanWhoseFetchHangsInNameResolution) {
    if (!test::InsideDnsLab()) {
        GTEST_SKIP() << test::kOutsideDnsLab;
    }
    const auto begun = std::chrono::steady_clock::now();
    {
        HttpFixture fixture;
        ServeSite(fixture);
        ScanDriver driver(100ms);
        ScanTheRest(driver, fixture);
        const int stoppedAt = driver.ticks;
        ASSERT_TRUE(driver.scan.StopScan());
        driver.postWait = 20s;
        ASSERT_TRUE(driver.runToEnd(30));
        EXPECT_LE(driver.ticks - stoppedAt, 11 + 2);
        EXPECT_TRUE(driver.errors.empty());
        EXPECT_EQ(driver.log.back(), "working 0");
    }
    // Neither the stop nor the component's end waited for the 30 s look-up.
    EXPECT_LT(std::chrono::steady_clock::now() - begun, 29s);
}

}  // namespace
}  // namespace quendrix
