// Crawls of a small web site by the scanner component: the HTTP fixture on 127.0.0.1 serves it
// as a proxy, so the site can have hosts of its own names without any name look-up
// (www.site.test and shop.site.test share the site key "site.test", www.other.test is another
// site). Every request goes to the fixture; it answers by path, so the paths of the hosts
// differ. Ticked by the test.
#include "scan_driver.h"
#include "support/http_fixture.h"
#include "support/http_global_init.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QTemporaryDir>

#include <algorithm>
#include <fstream>
#include <map>
#include <set>
#include <sstream>
#include <string>
#include <vector>

namespace quendrix {
namespace {

using test::FoundLink;
using test::HttpFixture;
using test::HttpReply;
using test::ScanDriver;
using test::ScanError;

const std::string kStart = "http://www.site.test/dir/";

// The fixture as the proxy of every request.
void ThroughFixture(THttpScan& scan, const HttpFixture& fixture) {
    scan.SetProxyType(PROXY_USEPROXY);
    scan.SetProxyAddress("127.0.0.1");
    scan.SetProxyPort(fixture.port());
}

HttpReply Leaf() {
    return HttpReply::Html(200, "<html><body><p>leaf</p></body></html>");
}

// The addresses the fixture was asked for, sorted.
std::vector<std::string> Fetched(const HttpFixture& fixture) {
    std::vector<std::string> targets;
    for (const test::HttpRequest& request : fixture.requests()) {
        targets.push_back(request.target);
    }
    std::sort(targets.begin(), targets.end());
    return targets;
}

std::vector<std::string> Sorted(std::vector<std::string> texts) {
    std::sort(texts.begin(), texts.end());
    return texts;
}

// "type address", in the order reported.
std::vector<std::string> Reported(const std::vector<FoundLink>& links) {
    std::vector<std::string> texts;
    for (const FoundLink& link : links) {
        texts.push_back(link.type + " " + link.url);
    }
    return texts;
}

// ---------------------------------------------------------------------------------------------
// Which links are followed and which reported, for each pair of choices. The start page links a
// page of its own path, one of another path, one of another host of the same site, one of
// another site, a mail address and an image; each of those pages links one page of its own
// place and one back on the start host. The leaves (depth 3) link nothing.

void ServeSmallSite(HttpFixture& fixture) {
    fixture.script("/dir/", HttpReply::Html(200,
                                            "<html><body>"
                                            "<a href='a.html'>a</a>"
                                            "<a href='/other/b.html'>b</a>"
                                            "<a href='http://shop.site.test/shop/c.html'>c</a>"
                                            "<a href='http://www.other.test/ext/d.html'>d</a>"
                                            "<a href='mailto:m@site.test'>m</a>"
                                            "<img src='logo.gif'>"
                                            "<a href='a.html'>a again</a>"
                                            "</body></html>"));
    fixture.script("/dir/a.html",
                   HttpReply::Html(200, "<a href='a2.html'>a2</a><a href='/dir/'>start</a>"));
    fixture.script("/other/b.html", HttpReply::Html(200,
                                                    "<a href='b2.html'>b2</a>"
                                                    "<a href='/dir/b3.html'>b3</a>"
                                                    "<a href='/dir/a.html'>a</a>"));
    fixture.script("/shop/c.html",
                   HttpReply::Html(200,
                                   "<a href='c2.html'>c2</a>"
                                   "<a href='http://www.site.test/dir/c3.html'>c3</a>"));
    fixture.script("/ext/d.html",
                   HttpReply::Html(200,
                                   "<a href='d2.html'>d2</a>"
                                   "<a href='http://www.site.test/dir/d3.html'>d3</a>"));
    for (const char* leaf : {"/dir/a2.html", "/other/b2.html", "/dir/b3.html", "/shop/c2.html",
                             "/dir/c3.html", "/ext/d2.html", "/dir/d3.html"}) {
        fixture.script(leaf, Leaf());
    }
}

struct ChoiceCase {
    TLinkScan scan;
    TLinkReport report;
    std::vector<std::string> reported;  // "type address", any order
    std::vector<std::string> fetched;   // absolute request targets, any order
};

const std::string S = "http://www.site.test";
const std::string Shop = "http://shop.site.test";
const std::string Ext = "http://www.other.test";

const std::vector<std::string> kFetchAll = {
    S + "/dir/",           S + "/dir/a.html",    S + "/other/b.html",
    Shop + "/shop/c.html", Ext + "/ext/d.html",  S + "/dir/a2.html",
    S + "/other/b2.html",  S + "/dir/b3.html",   Shop + "/shop/c2.html",
    S + "/dir/c3.html",    Ext + "/ext/d2.html", S + "/dir/d3.html"};
const std::vector<std::string> kFetchSite = {
    S + "/dir/",         S + "/dir/a2.html",     S + "/dir/a.html",
    S + "/other/b.html", Shop + "/shop/c.html",  S + "/other/b2.html",
    S + "/dir/b3.html",  Shop + "/shop/c2.html", S + "/dir/c3.html"};
const std::vector<std::string> kFetchPath = {S + "/dir/", S + "/dir/a.html", S + "/dir/a2.html"};

// What the start page reports by choice of report.
const std::vector<std::string> kStartAll = {
    "htm " + S + "/dir/a.html",   "htm " + S + "/other/b.html", "htm " + Shop + "/shop/c.html",
    "htm " + Ext + "/ext/d.html", "mail m@site.test",           "gif " + S + "/dir/logo.gif"};
const std::vector<std::string> kStartSite = {
    "htm " + S + "/dir/a.html", "htm " + S + "/other/b.html", "htm " + Shop + "/shop/c.html",
    "mail m@site.test", "gif " + S + "/dir/logo.gif"};
// The start's path key is /dir/; a page's path key with a file name in it (/dir/a.html) is
// contained by no other address, so the pages below the start report nothing by path.
const std::vector<std::string> kStartPath = {"htm " + S + "/dir/a.html", "mail m@site.test",
                                             "gif " + S + "/dir/logo.gif"};

std::vector<std::string> Plus(std::vector<std::string> a, const std::vector<std::string>& b) {
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

TEST(SiteScan, FollowsAndReportsByEachPairOfChoices) {
    const std::vector<std::string> a2 = {"htm " + S + "/dir/a2.html"};
    const std::vector<std::string> b = {"htm " + S + "/other/b2.html", "htm " + S + "/dir/b3.html"};
    const std::vector<std::string> c = {"htm " + Shop + "/shop/c2.html",
                                        "htm " + S + "/dir/c3.html"};
    const std::vector<std::string> dAll = {"htm " + Ext + "/ext/d2.html",
                                           "htm " + S + "/dir/d3.html"};
    const std::vector<std::string> dSite = {"htm " + Ext + "/ext/d2.html"};

    const std::vector<ChoiceCase> cases = {
        {scanAllLinks, reportAllLinks, Plus(Plus(Plus(Plus(kStartAll, a2), b), c), dAll),
         kFetchAll},
        {scanAllLinks, reportCurrentSiteLinks, Plus(Plus(Plus(Plus(kStartSite, a2), b), c), dSite),
         kFetchAll},
        {scanAllLinks, reportCurrentPathLinks, kStartPath, kFetchAll},
        {scanInitialSite, reportAllLinks, Plus(Plus(Plus(kStartAll, a2), b), c), kFetchSite},
        {scanInitialSite, reportCurrentSiteLinks, Plus(Plus(Plus(kStartSite, a2), b), c),
         kFetchSite},
        {scanInitialSite, reportCurrentPathLinks, kStartPath, kFetchSite},
        {scanInitialPath, reportAllLinks, Plus(kStartAll, a2), kFetchPath},
        {scanInitialPath, reportCurrentSiteLinks, Plus(kStartSite, a2), kFetchPath},
        {scanInitialPath, reportCurrentPathLinks, kStartPath, kFetchPath},
    };
    for (const ChoiceCase& choice : cases) {
        SCOPED_TRACE("LinkScan " + std::to_string(choice.scan) + ", LinkReport " +
                     std::to_string(choice.report));
        HttpFixture fixture;
        ServeSmallSite(fixture);
        ScanDriver driver;
        ThroughFixture(driver.scan, fixture);
        driver.scan.SetLinkScan(choice.scan);
        driver.scan.SetLinkReport(choice.report);
        ASSERT_TRUE(driver.scan.StartScan(kStart));
        ASSERT_TRUE(driver.runToEnd());

        // Sorted, so a link reported twice would show as two entries.
        EXPECT_EQ(Sorted(Reported(driver.links)), Sorted(choice.reported));
        EXPECT_EQ(Fetched(fixture), Sorted(choice.fetched));
        EXPECT_TRUE(driver.errors.empty());
    }
}

// ---------------------------------------------------------------------------------------------
// A site with everything a page can hold, crawled with the page's choices (follow the start's
// site, report the page's site) and robots.txt asked for.

void ServeRichSite(HttpFixture& fixture) {
    fixture.script("/dir/",
                   HttpReply::Html(200,
                                   "<html><head><title>Start</title></head><body>\n"
                                   "<a href=\"page1.html\">one</a>\n"
                                   "<img src=\"http://shop.site.test/img/s.gif\">\n"
                                   "<a href=\"http://shop.site.test/shop/index.html\">shop</a>\n"
                                   "<a href=\"http://www.other.test/ext/index.html\">other</a>\n"
                                   "<a href=\"mailto:desk@site.test?subject=hi\">mail</a>\n"
                                   "<a href=\"based.html\">base</a>\n"
                                   "<a href=\"frames.html\">frames</a>\n"
                                   "<a href=\"options.html\">options</a>\n"
                                   "<a href=\"javascript:openwin('popup.html')\">popup</a>\n"
                                   "<a href=\"missing.html\">gone</a>\n"
                                   "<a href=\"counter.html\">counter</a>\n"
                                   "<a href=page1.html>one again</a>\n"
                                   "</body></html>"));
    fixture.script("/dir/page1.html", HttpReply::Html(200,
                                                      "<a href='deep/level3.html'>3</a>"
                                                      "<img src='pic.jpeg'>"));
    fixture.script("/dir/deep/level3.html", HttpReply::Html(200, "<a href='level4.html'>4</a>"));
    fixture.script("/robots.txt", HttpReply::Html(200, "User-agent: *\nDisallow: /private/\n"));
    fixture.script("/shop/index.html", HttpReply::Html(200, "<a href='cart.html'>cart</a>"));
    fixture.script("/dir/based.html", HttpReply::Html(200,
                                                      "<a href='before.html'>before</a>"
                                                      "<base href='http://shop.site.test/shop/'>"
                                                      "<a href='after.html'>after</a>"));
    fixture.script("/dir/frames.html",
                   HttpReply::Html(200,
                                   "<frameset><frame src='f1.html'><frame src='f2.html'>"
                                   "</frameset>"));
    fixture.script("/dir/options.html",
                   HttpReply::Html(200,
                                   "<form><select><option value='/dir/opt.html'>One</option>"
                                   "<option value='Two'>Two</option></select>"
                                   "<input value='Send'></form>"));
    for (const char* leaf :
         {"/dir/popup.html", "/dir/counter.html", "/shop/cart.html", "/dir/before.html", "/shop/",
          "/shop/after.html", "/dir/f1.html", "/dir/f2.html", "/dir/opt.html"}) {
        fixture.script(leaf, Leaf());
    }
}

// Each page's reports in text order (pages arrive in any order).
std::map<std::string, std::vector<std::string>> ByPage(const std::vector<FoundLink>& links) {
    std::map<std::string, std::vector<std::string>> pages;
    for (const FoundLink& link : links) {
        pages[link.from].push_back(link.type + " " + link.url + " '" + link.hrefOrSrc + "'");
    }
    return pages;
}

const std::map<std::string, std::vector<std::string>> kRichReports = {
    {S + "/dir/",
     {"htm " + S + "/dir/page1.html 'H'", "gif " + Shop + "/img/s.gif 'S'",
      "htm " + Shop + "/shop/index.html 'H'", "mail desk@site.test 'H'",
      "htm " + S + "/dir/based.html 'H'", "htm " + S + "/dir/frames.html 'H'",
      "htm " + S + "/dir/options.html 'H'", "htm " + S + "/dir/popup.html 'H'",
      "htm " + S + "/dir/missing.html 'H'", "htm " + S + "/dir/counter.html 'H'"}},
    {S + "/dir/page1.html",
     {"htm " + S + "/dir/deep/level3.html 'H'", "jpg " + S + "/dir/pic.jpeg 'S'"}},
    {S + "/dir/deep/level3.html", {"htm " + S + "/dir/deep/level4.html 'H'"}},
    {S + "/robots.txt", {"txt " + S + "/robots.txt ' '"}},
    {Shop + "/shop/index.html", {"htm " + Shop + "/shop/cart.html 'H'"}},
    // The links before the base resolve against the page, the base itself and those after it
    // against the base, which is also the page they come from.
    {S + "/dir/based.html", {"htm " + S + "/dir/before.html 'H'"}},
    {Shop + "/shop/", {"htm " + Shop + "/shop/ ' '", "htm " + Shop + "/shop/after.html 'H'"}},
    {S + "/dir/frames.html", {"htm " + S + "/dir/f1.html 'S'", "htm " + S + "/dir/f2.html 'S'"}},
    {S + "/dir/options.html", {"htm " + S + "/dir/opt.html ' '"}},
};

// Every page of the start's site down to depth 3, robots.txt of the first host whose first link
// was a followed page (www.site.test), never of shop.site.test (first seen in an image), nothing
// of www.other.test, not level4.html (depth 4).
const std::vector<std::string> kRichFetched = {S + "/dir/",
                                               S + "/dir/page1.html",
                                               S + "/robots.txt",
                                               Shop + "/shop/index.html",
                                               S + "/dir/based.html",
                                               S + "/dir/frames.html",
                                               S + "/dir/options.html",
                                               S + "/dir/popup.html",
                                               S + "/dir/missing.html",
                                               S + "/dir/counter.html",
                                               S + "/dir/deep/level3.html",
                                               Shop + "/shop/cart.html",
                                               S + "/dir/before.html",
                                               Shop + "/shop/",
                                               Shop + "/shop/after.html",
                                               S + "/dir/f1.html",
                                               S + "/dir/f2.html",
                                               S + "/dir/opt.html"};

void RichChoices(THttpScan& scan) {
    scan.SetLinkScan(scanInitialSite);
    scan.SetLinkReport(reportCurrentSiteLinks);
    scan.SetSeekRobotsTxt(true);
}

TEST(SiteScan, ReportsEveryKindOfLinkOnceAndFollowsTheSiteDownToDepthThree) {
    HttpFixture fixture;
    ServeRichSite(fixture);
    ScanDriver driver;
    ThroughFixture(driver.scan, fixture);
    RichChoices(driver.scan);
    ASSERT_TRUE(driver.scan.StartScan(kStart));
    ASSERT_TRUE(driver.runToEnd());

    EXPECT_EQ(ByPage(driver.links), kRichReports);
    EXPECT_EQ(Fetched(fixture), Sorted(kRichFetched));
    EXPECT_EQ(driver.errors, (std::vector<ScanError>{{S + "/dir/missing.html", 404, "ERROR"}}));
    // Every page analysed once, the 404 page not at all.
    EXPECT_EQ(driver.pages.size(), kRichFetched.size() - 1);
    // The web links carry their parts; a mail address none.
    const auto shop = std::find_if(driver.links.begin(), driver.links.end(), [](const auto& l) {
        return l.url == Shop + "/shop/index.html";
    });
    ASSERT_NE(shop, driver.links.end());
    EXPECT_EQ(shop->host, "shop.site.test");
    EXPECT_EQ(shop->path, "/shop/index.html");
    EXPECT_EQ(shop->pathWithFile, "/shop/index.html");
    const auto mail = std::find_if(driver.links.begin(), driver.links.end(),
                                   [](const auto& l) { return l.type == "mail"; });
    ASSERT_NE(mail, driver.links.end());
    EXPECT_EQ(mail->host + mail->path + mail->pathWithFile + mail->extra, "");
    // The request of a followed link names the page it was found on.
    const auto cart = fixture.requests("/shop/cart.html");
    ASSERT_EQ(cart.size(), 1u);
    EXPECT_EQ(cart[0].header("Referer"), Shop + "/shop/index.html");
}

TEST(SiteScan, TheTypeFilterListsOnlyItsTypesAndTheResultsFileStillGetsEveryLink) {
    QTemporaryDir folder;
    ASSERT_TRUE(folder.isValid());
    const std::string results = folder.filePath("results.txt").toStdString();
    HttpFixture fixture;
    ServeRichSite(fixture);
    ScanDriver driver;
    ThroughFixture(driver.scan, fixture);
    RichChoices(driver.scan);
    driver.scan.SetTypeFilterText("GIF\r\nmail\n");
    driver.scan.SetTypeFilterEnabled(true);
    driver.scan.SetFileOfResults(results);
    ASSERT_TRUE(driver.scan.StartScan(kStart));
    ASSERT_TRUE(driver.runToEnd());

    EXPECT_EQ(Reported(driver.links),
              (std::vector<std::string>{"gif " + Shop + "/img/s.gif", "mail desk@site.test"}));
    // Pages are followed all the same.
    EXPECT_EQ(Fetched(fixture), Sorted(kRichFetched));

    std::vector<std::string> expected;
    for (const auto& [page, lines] : kRichReports) {
        for (const std::string& line : lines) {
            const std::string typeAndUrl = line.substr(0, line.size() - 4);  // less " 'H'"
            const auto blank = typeAndUrl.find(' ');
            expected.push_back("\"" + typeAndUrl.substr(0, blank) + "\";\"" +
                               typeAndUrl.substr(blank + 1) + "\"");
        }
    }
    std::ifstream file(results, std::ios::binary);
    std::stringstream content;
    content << file.rdbuf();
    std::vector<std::string> lines;
    std::string text = content.str();
    for (std::size_t start = 0; start < text.size();) {
        const auto end = text.find("\r\n", start);
        ASSERT_NE(end, std::string::npos) << "a line without its CR LF";
        lines.push_back(text.substr(start, end - start));
        start = end + 2;
    }
    EXPECT_EQ(Sorted(lines), Sorted(expected));
}

TEST(SiteScan, TheKeywordFilterDropsTheLinkAndItsPage) {
    HttpFixture fixture;
    ServeRichSite(fixture);
    ScanDriver driver;
    ThroughFixture(driver.scan, fixture);
    RichChoices(driver.scan);
    driver.scan.SetKeywordsFilterEnabled(true);
    ASSERT_TRUE(driver.scan.StartScan(kStart));
    ASSERT_TRUE(driver.runToEnd());

    auto expected = kRichReports;
    auto& start = expected[S + "/dir/"];
    start.erase(std::find(start.begin(), start.end(), "htm " + S + "/dir/counter.html 'H'"));
    EXPECT_EQ(ByPage(driver.links), expected);
    EXPECT_TRUE(fixture.requests("/dir/counter.html").empty());
}

// A stop asked for by a handler ends the page before its next link; nothing is reported,
// analysed or reported as an error afterwards, and the scan ends eleven quiet ticks after its
// last slot came to rest. A second scan then reports everything again.
TEST(SiteScan, StopEndsTheScanAndASecondScanReportsEverythingAgain) {
    HttpFixture fixture;
    ServeRichSite(fixture);
    ScanDriver driver;
    ThroughFixture(driver.scan, fixture);
    RichChoices(driver.scan);
    bool stopAnswer = false;
    driver.onLink = [&](const FoundLink& link, std::string&, bool&) {
        if (link.url == Shop + "/shop/index.html") {
            stopAnswer = driver.scan.StopScan();
        }
    };
    ASSERT_TRUE(driver.scan.StartScan(kStart));
    ASSERT_TRUE(driver.tickUntil([&] { return driver.scan.IsStopping(); }));
    EXPECT_TRUE(stopAnswer);
    // The start page up to the link that stopped it.
    EXPECT_EQ(
        Reported(driver.links),
        (std::vector<std::string>{"htm " + S + "/dir/page1.html", "gif " + Shop + "/img/s.gif",
                                  "htm " + Shop + "/shop/index.html"}));
    const std::size_t logged = driver.log.size();
    EXPECT_FALSE(driver.scan.StopScan()) << "a second stop while stopping";

    ASSERT_TRUE(driver.runToEnd(100)) << "the stopped scan did not end";
    // The last change of the statistics (the last slot at rest, the queue emptied), then ten
    // quiet ticks of the count-down, and the eleventh ends the scan.
    EXPECT_EQ(driver.ticks - driver.lastStatisticsTick, 11);
    EXPECT_EQ(
        std::vector<std::string>(driver.log.begin() + static_cast<long>(logged), driver.log.end()),
        (std::vector<std::string>{"working 0"}));
    EXPECT_EQ(driver.scan.Analyzer().KnownUrls.Count(), 0u);
    EXPECT_EQ(driver.scan.Analyzer().KnownHosts.Count(), 0u);

    driver.onLink = nullptr;
    driver.clearRecords();
    ASSERT_TRUE(driver.scan.StartScan(""));  // the last address again
    ASSERT_TRUE(driver.runToEnd());
    EXPECT_EQ(ByPage(driver.links), kRichReports);
}

// robots.txt belongs to the scheme, host and port of the site: a site on port 8080 is asked on
// port 8080, not on port 80 of the same host (another server, or none).
TEST(SiteScan, RobotsTxtIsAskedOfTheSitesOwnPort) {
    HttpFixture fixture;
    fixture.script("/dir/", HttpReply::Html(200,
                                            "<a href='a.html'>a</a>"
                                            "<a href='http://shop.site.test/s.html'>s</a>"));
    fixture.script("/dir/a.html", Leaf());
    fixture.script("/s.html", Leaf());
    fixture.script("/robots.txt", HttpReply::Html(200, "User-agent: *"));
    ScanDriver driver;
    ThroughFixture(driver.scan, fixture);
    RichChoices(driver.scan);
    ASSERT_TRUE(driver.scan.StartScan("http://www.site.test:8080/dir/"));
    ASSERT_TRUE(driver.runToEnd());

    std::vector<std::string> robots;
    for (const test::HttpRequest& request : fixture.requests("/robots.txt")) {
        robots.push_back(request.target);
    }
    EXPECT_EQ(Sorted(robots), (std::vector<std::string>{"http://shop.site.test/robots.txt",
                                                        "http://www.site.test:8080/robots.txt"}));
    EXPECT_EQ(
        Sorted(Reported(driver.links)),
        (std::vector<std::string>{
            "htm http://shop.site.test/s.html", "htm http://www.site.test:8080/dir/a.html",
            "txt http://shop.site.test/robots.txt", "txt http://www.site.test:8080/robots.txt"}));
}

// Links are queued only while the queue is shorter than MaxQueueSize; all are reported.
TEST(SiteScan, AFullQueueTakesNoMoreLinksButAllAreReported) {
    HttpFixture fixture;
    std::string start;
    std::vector<std::string> expected;
    for (int i = 1; i <= 30; ++i) {
        const std::string name = "p" + std::to_string(i) + ".html";
        start += "<a href='" + name + "'>" + name + "</a>";
        fixture.script("/dir/" + name, Leaf());
        if (i <= 10) {
            expected.push_back(S + "/dir/" + name);
        }
    }
    fixture.script("/dir/", HttpReply::Html(200, start));
    expected.push_back(kStart);
    ScanDriver driver;
    ThroughFixture(driver.scan, fixture);
    driver.scan.SetMaxQueueSize(10);
    ASSERT_TRUE(driver.scan.StartScan(kStart));
    ASSERT_TRUE(driver.runToEnd());
    EXPECT_EQ(driver.links.size(), 30u);
    EXPECT_EQ(Fetched(fixture), Sorted(expected));
}

// Without the proxy: a host's site key is its last two labels, so the loopback addresses
// 127.0.0.1 and 127.1.0.1 are one site ("0.1") and 127.0.0.2 is another ("0.2"). Each has a
// fixture of its own; robots.txt is asked of each followed host on its own port.
TEST(SiteScan, LoopbackAddressesWithTheSameLastTwoNumbersAreOneSite) {
    HttpFixture start;
    HttpFixture sameSite("127.1.0.1");
    HttpFixture otherSite("127.0.0.2");
    start.script(
        "/", HttpReply::Html(200, "<a href='a.html'>a</a><a href='" + sameSite.url("/b.html") +
                                      "'>b</a><a href='" + otherSite.url("/c.html") + "'>c</a>"));
    start.script("/a.html", Leaf());
    start.script("/robots.txt", HttpReply::Html(200, "User-agent: *"));
    sameSite.script("/b.html", Leaf());
    sameSite.script("/robots.txt", HttpReply::Html(200, "User-agent: *"));
    ScanDriver driver;
    RichChoices(driver.scan);
    ASSERT_TRUE(driver.scan.StartScan(start.url("/")));
    ASSERT_TRUE(driver.runToEnd());

    EXPECT_EQ(Sorted(Reported(driver.links)),
              Sorted({"htm " + start.url("/a.html"), "htm " + sameSite.url("/b.html"),
                      "txt " + start.url("/robots.txt"), "txt " + sameSite.url("/robots.txt")}));
    std::vector<std::string> paths;
    for (const auto* fixture : {&start, &sameSite}) {
        for (const test::HttpRequest& request : fixture->requests()) {
            paths.push_back(fixture->url(request.target));
        }
    }
    EXPECT_EQ(Sorted(paths), Sorted({start.url("/"), start.url("/a.html"), start.url("/robots.txt"),
                                     sameSite.url("/b.html"), sameSite.url("/robots.txt")}));
    EXPECT_TRUE(otherSite.requests().empty());
    EXPECT_TRUE(driver.errors.empty());
}

}  // namespace
}  // namespace quendrix
