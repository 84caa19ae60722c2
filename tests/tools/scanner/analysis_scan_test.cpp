// The page analysis in its place: the download scheduler fetches pages from the HTTP fixture on
// 127.0.0.1, the network thread analyses each body (the Analyse hook), and the tick hands the
// page to the link decisions, which queue what is followed. Ticked by the test; between ticks
// it waits for the network thread's posts.
#include "support/http_fixture.h"
#include "support/http_global_init.h"
#include "tools/scanner/dwnld.h"
#include "tools/scanner/link_analyzer.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdint>
#include <string>
#include <vector>

namespace quendrix {
namespace {

using namespace std::chrono_literals;
using test::HttpFixture;
using test::HttpReply;

TEST(AnalysisScan, CrawlsTheSiteDownToTheDepthLimitWithTheNetworkThreadsAnalysis) {
    HttpFixture fixture;
    fixture.script("/", HttpReply::Html(200,
                                        "<html><head><title>Start</title></head>"
                                        "<a href='a.html'>A</a><img src=\"logo.gif\">"
                                        "<a href=mailto:desk@site.org>mail</a>"
                                        "<a href=http://www.other.org/x.html>x</a>"
                                        "<a href=a.html>again</a>"));
    fixture.script("/a.html", HttpReply::Html(200, "<a href=\"/deep/b.html\">B</a>"));
    fixture.script("/deep/b.html", HttpReply::Html(200, "<a href=c.html>C</a>"));

    TMFDwnld dwnld;
    dwnld.ProxyType = PROXY_DIRECT;
    dwnld.HtmlOnly = true;
    dwnld.Analyse = AnalysePage;
    TLinkAnalyzer analyzer(dwnld);
    analyzer.LinkScan = scanInitialSite;
    analyzer.LinkReport = reportCurrentSiteLinks;
    const std::string start = fixture.url("/");
    analyzer.StartAddress.Crack(start);
    analyzer.KnownUrls.Locate(start, true);

    std::vector<std::string> events;
    int analysedOnTheNetworkThread = 0;
    dwnld.OnStatistics = [](int, int, int, int, int, int) {};
    dwnld.OnPageReceived = [&](TMFHttpGet& slot) {
        if (PageAnalysisOf(slot.Analysis) != nullptr) {
            ++analysedOnTheNetworkThread;
        }
        analyzer.ProcessPage(slot);
    };
    analyzer.OnPageReceived = [&](const std::string&, const std::string& url, const std::string&,
                                  const std::string&) { events.push_back("page " + url); };
    analyzer.OnMetaTag = [&](const std::string&, const std::string&, const TMetaTag& tag) {
        events.push_back("meta " + tag.TagType + " " + tag.Tag1stValue);
    };
    analyzer.OnLinkFound = [&](const std::string& url, const std::string& type, const std::string&,
                               const std::string&, const std::string&, const std::string&,
                               const std::string&, std::string&, char, int,
                               bool&) { events.push_back(type + " " + url); };
    ASSERT_TRUE(dwnld.Enqueue(start, start, 0, true, ' ', 0, 1));

    std::uint32_t now = 1000;
    for (int ticks = 0; dwnld.Working; ++ticks) {
        ASSERT_LT(ticks, 500) << "the scan did not end";
        for (std::size_t i = 0; i < dwnld.PoolSize(); ++i) {
            if (dwnld.Slot(i).SlotState == TSlotState::Downloading) {
                ASSERT_TRUE(dwnld.Service().waitForPosted(1, 30s));
                break;
            }
        }
        now += 200;
        dwnld.Tick(now);
        if (!dwnld.CheckProgress()) {
            dwnld.SetWorking(false);
        }
    }

    EXPECT_EQ(events,
              (std::vector<std::string>{
                  "page " + start, "meta TITLE Start", "htm " + fixture.url("/a.html"),
                  "gif " + fixture.url("/logo.gif"), "mail desk@site.org",
                  "page " + fixture.url("/a.html"), "htm " + fixture.url("/deep/b.html"),
                  "page " + fixture.url("/deep/b.html"), "htm " + fixture.url("/deep/c.html")}));
    EXPECT_EQ(analysedOnTheNetworkThread, 3);
    std::vector<std::string> paths;
    for (const test::HttpRequest& request : fixture.requests()) {
        paths.push_back(request.path);
    }
    EXPECT_EQ(paths, (std::vector<std::string>{"/", "/a.html", "/deep/b.html"}));
}

}  // namespace
}  // namespace quendrix
