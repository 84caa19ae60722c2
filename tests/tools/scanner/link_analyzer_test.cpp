// The scanner's link decisions: a received page in, the events raised and the addresses queued
// in the download scheduler out. The scheduler is never ticked, so Enqueue only queues and no
// fetch starts; the pages are put into a slot by the test as the network thread would leave
// them (with the network thread's analysis, and without it).
#include "tools/scanner/link_analyzer.h"

#include "support/http_global_init.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

namespace quendrix {
namespace {

const std::string kSite = "http://www.site.com/";

// The scanner with the main window's choices (follow the start site, report the page's site),
// recording what it raises and writes.
class Scanner {
  public:
    Scanner() {
        analyzer.LinkScan = scanInitialSite;
        analyzer.LinkReport = reportCurrentSiteLinks;
        analyzer.StartAddress.Crack(kSite);
        analyzer.OnPageReceived = [this](const std::string& host, const std::string& url,
                                         const std::string&, const std::string&) {
            events.push_back("page " + host + " " + url);
        };
        analyzer.OnLinkFound = [this](const std::string& url, const std::string& type,
                                      const std::string& from, const std::string& host,
                                      const std::string& path, const std::string& pathWithFile,
                                      const std::string& extra, std::string& writeToFile,
                                      char hrefOrSrc, int countArea, bool& follow) {
            links.push_back(type + " " + url + " " + hrefOrSrc);
            details.push_back(from + " | " + host + " | " + path + " | " + pathWithFile + " | " +
                              extra + " | " + std::to_string(countArea));
            events.push_back("link " + url);
            if (onLink) {
                onLink(url, writeToFile, follow);
            }
        };
        analyzer.ResultsFile = [this](const std::string& line) { lines.push_back(line); };
    }

    // A page received with status 200 at `depth`, linked from `referrer` (itself when empty).
    void Page(const std::string& url, const std::string& body, int depth = 1,
              bool withNetworkAnalysis = true, const std::string& referrer = {}) {
        TMFHttpGet slot(dwnld.Service());
        slot.Url.Crack(url);
        slot.Referrer = referrer.empty() ? url : referrer;
        slot.Depth = depth;
        slot.StatusCode = 200;
        slot.Head = "HTTP/1.0 200 OK\r\n\r\n";
        slot.Body = body;
        if (withNetworkAnalysis) {
            slot.Analysis = AnalysePage(body);
        }
        analyzer.ProcessPage(slot);
    }

    std::vector<std::string> Queued() const {
        std::vector<std::string> queued;
        const TUrlInQueue& queue = dwnld.Queue();
        for (std::size_t i = 0; i < queue.Count(); ++i) {
            const TUrlInQueue::Entry& entry = queue.At(i);
            queued.push_back(entry.Address + " <- " + entry.Object.Referrer + " d" +
                             std::to_string(entry.Object.Depth) + " k" +
                             std::to_string(static_cast<int>(entry.Object.LinkKind)) + " r" +
                             std::to_string(entry.Object.RetryCount));
        }
        return queued;
    }

    TMFDwnld dwnld;
    TLinkAnalyzer analyzer{dwnld};
    std::vector<std::string> events;
    std::vector<std::string> links;
    std::vector<std::string> details;
    std::vector<std::string> lines;
    std::function<void(const std::string& url, std::string& writeToFile, bool& follow)> onLink;
};

struct PageIn {
    std::string url;
    std::string body;
    int depth = 1;
};

struct Case {
    const char* name;
    std::function<void(TLinkAnalyzer&)> setup;
    std::vector<PageIn> pages;
    std::vector<std::string> links;
    std::vector<std::string> queued;
};

void NoSetup(TLinkAnalyzer&) {}

TEST(LinkAnalyzer, ReportsAndQueuesAsTheRulesSay) {
    const std::string a = kSite + "a.html";
    const std::string fromSite = " <- " + kSite;
    const Case cases[] = {
        {"anchor on the start site",
         NoSetup,
         {{kSite, "<a href='a.html'>x</a>"}},
         {"htm " + a + " H"},
         {a + fromSite + " d2 k4 r0"}},
        {"image: reported, not queued",
         NoSetup,
         {{kSite, "<img src='logo.gif'>"}},
         {"gif " + kSite + "logo.gif S"},
         {}},
        {"mail, all links reported",
         [](TLinkAnalyzer& s) { s.LinkReport = reportAllLinks; },
         {{kSite, "<a href='mailto:info'>"}},
         {"mail info H"},
         {}},
        // Mail addresses count as on the page's site and path, whatever link came before.
        {"mail after a link to another site, type filter gif and mail",
         [](TLinkAnalyzer& s) {
             s.TypeFilterEnabled = true;
             s.TypeFilterList.SetText("gif\nmail");
             s.TypeFilterList.Sort();
         },
         {{kSite, "<a href=http://www.other.org/x.html><a href=mailto:a@b.org>"}},
         {"mail a@b.org H"},
         {}},
        {"mail, links of the page's path reported",
         [](TLinkAnalyzer& s) { s.LinkReport = reportCurrentPathLinks; },
         {{kSite + "dir/",
           "<a href=http://www.other.org/dir/x.html>"
           "<a href=\"mailto:a@b.org?subject=x\">"}},
         {"mail a@b.org H"},
         {}},
        {"the same address twice on a page and on another page",
         NoSetup,
         {{kSite, "<a href=a.html><a href=A.HTML>"}, {kSite + "b.html", "<a href=/a.html>", 2}},
         {"htm " + a + " H"},
         {a + fromSite + " d2 k4 r0"}},
        // Not reported, not followed, but remembered: not reported from its own site either.
        {"another site's link is remembered",
         NoSetup,
         {{kSite, "<a href=http://www.other.org/x.html>"},
          {"http://www.other.org/", "<a href=x.html>", 2}},
         {},
         {}},
        // site.com's key is "site", not "site.com"; a.www.site.com's is "site.com".
        {"site keys",
         NoSetup,
         {{kSite, "<a href=http://site.com/x.html><a href=http://a.www.site.com/y.html>"}},
         {"htm http://a.www.site.com/y.html H"},
         {"http://a.www.site.com/y.html" + fromSite + " d2 k4 r0"}},
        {"type filter gif and mail: pages still followed",
         [](TLinkAnalyzer& s) {
             s.TypeFilterEnabled = true;
             s.TypeFilterList.SetText("mail\r\ngif");
             s.TypeFilterList.Sort();
         },
         {{kSite, "<a href=p.html><img src=i.gif><a href=mailto:x@y.org>"}},
         {"gif " + kSite + "i.gif S", "mail x@y.org H"},
         {kSite + "p.html" + fromSite + " d2 k4 r0"}},
        {"the deepest page reports but queues nothing",
         NoSetup,
         {{kSite, "<a href=a.html>", 3}},
         {"htm " + a + " H"},
         {}},
        {"a page one above the deepest queues",
         NoSetup,
         {{kSite, "<a href=a.html>", 2}},
         {"htm " + a + " H"},
         {a + fromSite + " d3 k4 r0"}},
        {"robots.txt with the first followed page link of a host",
         [](TLinkAnalyzer& s) {
             s.SeekRobotsTxt = true;
             s.LinkScan = scanAllLinks;
             s.LinkReport = reportAllLinks;
         },
         {{kSite, "<a href=http://other.org/a.html><a href=http://other.org/b.html>"}},
         {"htm http://other.org/a.html H", "htm http://other.org/b.html H"},
         {"http://other.org/robots.txt <-  d2 k4 r3",
          "http://other.org/a.html" + fromSite + " d2 k4 r0",
          "http://other.org/b.html" + fromSite + " d2 k4 r0"}},
        {"no robots.txt when an image showed the host first",
         [](TLinkAnalyzer& s) {
             s.SeekRobotsTxt = true;
             s.LinkScan = scanAllLinks;
             s.LinkReport = reportAllLinks;
         },
         {{kSite, "<img src=http://other.org/i.gif><a href=http://other.org/a.html>"}},
         {"gif http://other.org/i.gif S", "htm http://other.org/a.html H"},
         {"http://other.org/a.html" + fromSite + " d2 k4 r0"}},
        // Links before the base resolve against the page, those after against the base, which
        // is their FromUrl and Referrer; the base address is itself a link.
        {"base href",
         NoSetup,
         {{kSite, "<a href=a.html><base href=\"http://www.site.com/sub/\"><a href=b.html>"}},
         {"htm " + a + " H", "htm " + kSite + "sub/  ", "htm " + kSite + "sub/b.html H"},
         {a + fromSite + " d2 k4 r0", kSite + "sub/ <- " + kSite + "sub/ d2 k7 r0",
          kSite + "sub/b.html <- " + kSite + "sub/ d2 k4 r0"}},
        // A relative base is taken relative to the page; one that names no web address
        // leaves the page's address in place.
        {"relative base href",
         NoSetup,
         {{kSite + "dir/page.html", "<base href=\"/\"><a href=a.html>"}},
         {"htm " + kSite + "  ", "htm " + a + " H"},
         {kSite + fromSite + " d2 k7 r0", a + fromSite + " d2 k4 r0"}},
        {"mail base href",
         NoSetup,
         {{kSite + "dir/", "<base href=mailto:x@y.org><a href=a.html>"}},
         {"mail x@y.org  ", "htm " + kSite + "dir/a.html H"},
         {kSite + "dir/a.html <- " + kSite + "dir/ d2 k4 r0"}},
        {"a robots.txt page reports itself",
         NoSetup,
         {{kSite + "robots.txt", "User-agent: *\nDisallow: /private/\n", 2}},
         {"txt " + kSite + "robots.txt  "},
         {}},
        {"script links",
         NoSetup,
         {{kSite,
           "<a href=\"javascript:openwin('p.html')\"><a href=\"javascript:void(0)\">"
           "<a href=\"javascript:top.window.close()\">"}},
         {"htm " + kSite + "p.html H", "htm " + kSite + "0 H"},
         {kSite + "p.html" + fromSite + " d2 k4 r0", kSite + "0" + fromSite + " d2 k4 r0"}},
        {"options list",
         NoSetup,
         {{kSite, "<select><option value='/dir/x.html'>X<option value=Send></select>"}},
         {"htm " + kSite + "dir/x.html  "},
         {kSite + "dir/x.html" + fromSite + " d2 k5 r0"}},
        {"attribute on the next line", NoSetup, {{kSite, "<a\nhref='a.html'>x</a>"}}, {}, {}},
        {"refused values",
         NoSetup,
         {{kSite,
           "<a href=a+b.html><a href=x[1].html><a href=ftp://f.org/f.zip>"
           "<a href=http://localhost/x>"}},
         {},
         {}},
        {"keyword filter",
         [](TLinkAnalyzer& s) { s.KeywordsFilterEnabled = true; },
         {{kSite, "<a href=/Track/a.html><a href=b.html>"}},
         {"htm " + kSite + "b.html H"},
         {kSite + "b.html" + fromSite + " d2 k4 r0"}},
        {"keyword limiter",
         [](TLinkAnalyzer& s) {
             s.KeywordsLimiterEnabled = true;
             s.KeywordLimiterList.Add("shop");
         },
         {{kSite, "<a href=/shop/a.html><a href=b.html>"}},
         {"htm " + kSite + "shop/a.html H"},
         {kSite + "shop/a.html" + fromSite + " d2 k4 r0"}},
        {"an empty limiter list never rejects",
         [](TLinkAnalyzer& s) { s.KeywordsLimiterEnabled = true; },
         {{kSite, "<a href=a.html>"}},
         {"htm " + a + " H"},
         {a + fromSite + " d2 k4 r0"}},
        {"full queue",
         [](TLinkAnalyzer& s) { s.MaxQueueSize = 1; },
         {{kSite, "<a href=a.html><a href=b.html>"}},
         {"htm " + a + " H", "htm " + kSite + "b.html H"},
         {a + fromSite + " d2 k4 r0"}},
        {"links of the page's path",
         [](TLinkAnalyzer& s) { s.LinkReport = reportCurrentPathLinks; },
         {{kSite + "dir/", "<a href=a.html><a href=/other/b.html>"}},
         {"htm " + kSite + "dir/a.html H"},
         {kSite + "dir/a.html <- " + kSite + "dir/ d2 k4 r0",
          kSite + "other/b.html <- " + kSite + "dir/ d2 k4 r0"}},
        {"follow the start path",
         [](TLinkAnalyzer& s) {
             s.LinkScan = scanInitialPath;
             s.LinkReport = reportAllLinks;
             s.StartAddress.Crack(kSite + "dir/");
         },
         {{kSite + "dir/", "<a href=a.html><a href=/other/b.html>"}},
         {"htm " + kSite + "dir/a.html H", "htm " + kSite + "other/b.html H"},
         {kSite + "dir/a.html <- " + kSite + "dir/ d2 k4 r0"}},
        // A value cut to nothing resolves to the page's base.
        {"empty value",
         NoSetup,
         {{kSite + "dir/", "<a href=> x"}},
         {"htm " + kSite + "dir/ H"},
         {kSite + "dir/ <- " + kSite + "dir/ d2 k4 r0"}},
    };
    for (const Case& c : cases) {
        for (const bool withNetworkAnalysis : {true, false}) {
            Scanner scanner;
            c.setup(scanner.analyzer);
            for (const PageIn& page : c.pages) {
                scanner.Page(page.url, page.body, page.depth, withNetworkAnalysis);
            }
            EXPECT_EQ(scanner.links, c.links) << c.name << (withNetworkAnalysis ? "" : " (here)");
            EXPECT_EQ(scanner.Queued(), c.queued)
                << c.name << (withNetworkAnalysis ? "" : " (here)");
        }
    }
}

TEST(LinkAnalyzer, GivesTheSplitAddressForWebLinksAndNothingForMail) {
    Scanner scanner;
    scanner.analyzer.LinkReport = reportAllLinks;
    scanner.Page(kSite + "dir/index.html",
                 "<a href='sub/p.php?x=1#top'><a href=mailto:a@b.org><img src=/img/logo.gif>");
    EXPECT_EQ(scanner.links,
              (std::vector<std::string>{"htm " + kSite + "dir/sub/p.php?x=1 H", "mail a@b.org H",
                                        "gif " + kSite + "img/logo.gif S"}));
    const std::string from = kSite + "dir/index.html";
    EXPECT_EQ(scanner.details,
              (std::vector<std::string>{
                  from + " | www.site.com | /dir/sub/p.php | /dir/sub/p.php | ?x=1 | 0",
                  from + " |  |  |  |  | 0",
                  from + " | www.site.com | /img/logo.gif | "
                         "/img/logo.gif |  | 0"}));
}

TEST(LinkAnalyzer, RaisesThePageEventsInOrder) {
    Scanner scanner;
    scanner.analyzer.OnMetaTag = [&scanner](const std::string& url, const std::string& referrer,
                                            const TMetaTag& tag) {
        scanner.events.push_back("meta " + tag.TagType + " " + tag.Tag1stValue + " " + url + " " +
                                 referrer);
    };
    const std::string robots = kSite + "robots.txt";
    scanner.Page(robots,
                 "<html><head><title>Rules</title><meta name=robots content=none></head>"
                 "<a href=a.html></html>",
                 2, true, kSite);
    EXPECT_EQ(scanner.events,
              (std::vector<std::string>{"page www.site.com " + robots,
                                        "meta TITLE Rules " + robots + " " + kSite,
                                        "meta META ROBOTS " + robots + " " + kSite,
                                        "link " + robots, "link " + kSite + "a.html"}));

    // Without a handler the head is not looked at.
    scanner.events.clear();
    scanner.analyzer.OnMetaTag = nullptr;
    scanner.analyzer.ClearSets();
    scanner.Page(robots, "<head><title>Rules</title></head>", 2, false);
    EXPECT_EQ(scanner.events,
              (std::vector<std::string>{"page www.site.com " + robots, "link " + robots}));
}

TEST(LinkAnalyzer, WritesTheResultsFileAsTheHandlerLeavesIt) {
    EXPECT_EQ(ResultsFileLine("htm", "http://a.org/x"), "\"htm\";\"http://a.org/x\"");

    Scanner scanner;
    scanner.analyzer.TypeFilterEnabled = true;  // "gif" only: the lines are written regardless
    scanner.onLink = [](const std::string& url, std::string& writeToFile, bool& follow) {
        if (url.find("custom") != std::string::npos) {
            writeToFile = "my line";
        } else if (url.find("none") != std::string::npos) {
            writeToFile.clear();
        } else if (url.find("stay") != std::string::npos) {
            follow = false;
        }
    };
    scanner.Page(kSite,
                 "<a href=a.html><img src=custom.gif><img src=none.gif>"
                 "<img src=stay.gif><a href=mailto:m@n.org><a href=http://x.org/y.html>");
    EXPECT_EQ(scanner.lines, (std::vector<std::string>{"\"htm\";\"" + kSite + "a.html\"", "my line",
                                                       "\"gif\";\"" + kSite + "stay.gif\"",
                                                       "\"mail\";\"m@n.org\""}));

    // A page link the handler keeps from being followed.
    Scanner kept;
    kept.onLink = [](const std::string&, std::string&, bool& follow) { follow = false; };
    kept.Page(kSite, "<a href=a.html>");
    EXPECT_EQ(kept.links.size(), 1u);
    EXPECT_TRUE(kept.Queued().empty());
}

// The first link that shows a host decides: when that one is not followed (here the handler
// keeps it), the host is known and its robots.txt is never asked for.
TEST(LinkAnalyzer, QueuesRobotsTxtOnlyWithTheFirstLinkOfAHost) {
    Scanner scanner;
    scanner.analyzer.SeekRobotsTxt = true;
    scanner.analyzer.LinkScan = scanAllLinks;
    scanner.analyzer.LinkReport = reportAllLinks;
    scanner.onLink = [](const std::string& url, std::string&, bool& follow) {
        follow = url.find("kept") == std::string::npos;
    };
    scanner.Page(kSite,
                 "<a href=http://other.org/kept.html><a href=http://other.org/a.html>"
                 "<a href=http://third.org/a.html><a href=http://third.org/b.html>");
    EXPECT_EQ(scanner.Queued(),
              (std::vector<std::string>{"http://other.org/a.html <- " + kSite + " d2 k4 r0",
                                        "http://third.org/robots.txt <-  d2 k4 r3",
                                        "http://third.org/a.html <- " + kSite + " d2 k4 r0",
                                        "http://third.org/b.html <- " + kSite + " d2 k4 r0"}));
}

TEST(LinkAnalyzer, StopsBeforeTheNextLinkOnceStopping) {
    for (const bool withNetworkAnalysis : {true, false}) {
        Scanner scanner;
        scanner.onLink = [&scanner](const std::string&, std::string&, bool&) {
            scanner.dwnld.RequestStop();
        };
        scanner.Page(kSite, "<a href=a.html><a href=b.html>", 1, withNetworkAnalysis);
        EXPECT_EQ(scanner.links, (std::vector<std::string>{"htm " + kSite + "a.html H"}));
        EXPECT_TRUE(scanner.Queued().empty());
    }
}

TEST(LinkAnalyzer, ReportsEverythingAgainOnceTheSetsAreEmptied) {
    Scanner scanner;
    scanner.Page(kSite, "<a href=a.html><img src=i.gif>");
    scanner.Page(kSite, "<a href=a.html><img src=i.gif>");
    EXPECT_EQ(scanner.links.size(), 2u);
    scanner.analyzer.ClearSets();
    scanner.Page(kSite, "<a href=a.html><img src=i.gif>");
    EXPECT_EQ(scanner.links.size(), 4u);
}

TEST(LinkAnalyzer, StartsWithTheComponentsLists) {
    TMFDwnld dwnld;
    const TLinkAnalyzer analyzer(dwnld);
    ASSERT_EQ(analyzer.TypeFilterList.Count(), 1u);
    EXPECT_EQ(analyzer.TypeFilterList[0], "gif");
    std::vector<std::string> words;
    for (const TMFStringList::Entry& entry : analyzer.KeywordFilterList.Entries()) {
        words.push_back(entry.text);
    }
    EXPECT_EQ(words, (std::vector<std::string>{"count", "hitbox", "referer", "stat", "track"}));
    EXPECT_TRUE(analyzer.KeywordLimiterList.Empty());
    EXPECT_EQ(analyzer.LinkScan, scanAllLinks);
    EXPECT_EQ(analyzer.LinkReport, reportAllLinks);
    EXPECT_EQ(analyzer.DepthSearchLevel, 3);
    EXPECT_EQ(analyzer.MaxQueueSize, 5000);
}

}  // namespace
}  // namespace quendrix
