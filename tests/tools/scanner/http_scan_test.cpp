// The scanner component's own rules: properties and their minimums, the results file's name,
// StartScan's messages, StopScan and ShutDown, the type filter text, the order of a scan's end
// and the guards against a tick or a start inside a handler. Without network where nothing is
// ticked; scans that run fetch from the HTTP fixture on 127.0.0.1.
#include "scan_driver.h"
#include "support/http_fixture.h"
#include "support/http_global_init.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QEventLoop>
#include <QTemporaryDir>
#include <QTimer>

#include <fstream>
#include <functional>
#include <sstream>
#include <string>
#include <vector>

namespace quendrix {
namespace {

using test::HttpFixture;
using test::HttpReply;
using test::ScanDriver;

std::vector<std::string> Entries(const TMFStringList& list) {
    std::vector<std::string> texts;
    for (const auto& entry : list.Entries()) {
        texts.push_back(entry.text);
    }
    return texts;
}

std::string ReadFile(const std::string& path) {
    std::ifstream file(path, std::ios::binary);
    std::stringstream content;
    content << file.rdbuf();
    return content.str();
}

// Runs in a fresh current folder and goes back afterwards.
class InFolder {
  public:
    InFolder() : m_old(QDir::currentPath()) {
        EXPECT_TRUE(m_folder.isValid());
        QDir::setCurrent(m_folder.path());
    }
    ~InFolder() { QDir::setCurrent(m_old); }
    std::string path() const { return m_folder.path().toStdString(); }

  private:
    QTemporaryDir m_folder;
    QString m_old;
};

TEST(HttpScan, DefaultsAreTheComponentsOwnAndTheSchedulerHoldsTheSame) {
    THttpScan scan;
    EXPECT_EQ(scan.TimeOut(), 300);
    EXPECT_EQ(scan.Retries(), 3);
    EXPECT_EQ(scan.ConcurrentDownloads(), 6);
    EXPECT_EQ(scan.DepthSearchLevel(), 3);
    EXPECT_EQ(scan.MaxQueueSize(), 5000);
    EXPECT_FALSE(scan.LeavesFirst());
    EXPECT_EQ(scan.Agent(), "Mozilla/4.0 (compatible; MSIE 5.0; Windows NT; DigExt)");
    EXPECT_EQ(scan.LinkScan(), scanAllLinks);
    EXPECT_EQ(scan.LinkReport(), reportAllLinks);
    EXPECT_EQ(scan.ProxyType(), PROXY_DEFAULT);
    EXPECT_EQ(scan.ProxyPort(), 80);
    EXPECT_EQ(scan.HttpPort, 80);
    EXPECT_EQ(scan.FileOfResults(), "");
    EXPECT_FALSE(scan.SeekRobotsTxt() || scan.TypeFilterEnabled() || scan.KeywordsFilterEnabled() ||
                 scan.KeywordsLimiterEnabled());
    EXPECT_FALSE(scan.IsWorking() || scan.IsStopping());
    EXPECT_TRUE(scan.Timer().isActive());
    EXPECT_EQ(scan.Timer().interval(), 200);

    TMFDwnld& dwnld = scan.Scheduler();
    EXPECT_TRUE(dwnld.HtmlOnly);
    EXPECT_EQ(dwnld.TimeOut, 300);
    EXPECT_EQ(dwnld.Retries, 3);
    EXPECT_EQ(dwnld.ConcurrentDownloads, 6);
    EXPECT_FALSE(dwnld.LeavesFirst);
    EXPECT_EQ(dwnld.Agent, scan.Agent());
    EXPECT_EQ(Entries(scan.Analyzer().TypeFilterList), (std::vector<std::string>{"gif"}));
    EXPECT_EQ(Entries(scan.Analyzer().KeywordFilterList),
              (std::vector<std::string>{"count", "hitbox", "referer", "stat", "track"}));
    EXPECT_TRUE(scan.Analyzer().KeywordLimiterList.Empty());
}

struct LimitCase {
    const char* name;
    std::function<void(THttpScan&, int)> set;
    std::function<int(THttpScan&)> property;
    std::function<int(THttpScan&)> held;  // the copy the scheduler (or the analysis) uses
    int refused;
    int lowest;
};

TEST(HttpScan, SettersIgnoreAValueBelowTheMinimumAndTheSchedulerHoldsTheProperty) {
    const std::vector<LimitCase> cases = {
        {"TimeOut", &THttpScan::SetTimeOut, &THttpScan::TimeOut,
         [](THttpScan& s) { return s.Scheduler().TimeOut; }, 9, 10},
        {"Retries", &THttpScan::SetRetries, &THttpScan::Retries,
         [](THttpScan& s) { return s.Scheduler().Retries; }, 0, 1},
        {"MaxQueueSize", &THttpScan::SetMaxQueueSize, &THttpScan::MaxQueueSize,
         [](THttpScan& s) { return s.Analyzer().MaxQueueSize; }, 5, 10},
        {"MaxQueueSize 9", &THttpScan::SetMaxQueueSize, &THttpScan::MaxQueueSize,
         [](THttpScan& s) { return s.Analyzer().MaxQueueSize; }, 9, 10},
        {"DepthSearchLevel", &THttpScan::SetDepthSearchLevel, &THttpScan::DepthSearchLevel,
         [](THttpScan& s) { return s.Analyzer().DepthSearchLevel; }, 0, 1},
        {"ConcurrentDownloads", &THttpScan::SetConcurrentDownloads, &THttpScan::ConcurrentDownloads,
         [](THttpScan& s) { return s.Scheduler().ConcurrentDownloads; }, 0, 1},
    };
    for (const LimitCase& limit : cases) {
        SCOPED_TRACE(limit.name);
        THttpScan scan;
        const int before = limit.property(scan);
        limit.set(scan, limit.refused);
        EXPECT_EQ(limit.property(scan), before);
        limit.set(scan, -1);
        EXPECT_EQ(limit.property(scan), before);
        limit.set(scan, limit.lowest);
        EXPECT_EQ(limit.property(scan), limit.lowest);
        EXPECT_EQ(limit.held(scan), limit.lowest);
        limit.set(scan, 42);
        EXPECT_EQ(limit.held(scan), 42);
    }

    THttpScan scan;
    scan.SetLeavesFirst(true);
    scan.SetAgent("agent");
    scan.SetUserName("user");
    scan.SetPassword("secret");
    scan.SetProxyType(PROXY_USEPROXY);
    scan.SetProxyAddress("proxy");
    scan.SetProxyPort(3128);
    scan.SetProxyUser("puser");
    scan.SetProxyPassword("psecret");
    const TMFDwnld& dwnld = scan.Scheduler();
    EXPECT_TRUE(dwnld.LeavesFirst);
    EXPECT_EQ(dwnld.Agent + dwnld.UserName + dwnld.Password + dwnld.ProxyAddress + dwnld.ProxyUser +
                  dwnld.ProxyPassword,
              "agentusersecretproxypuserpsecret");
    EXPECT_EQ(dwnld.ProxyType, PROXY_USEPROXY);
    EXPECT_EQ(dwnld.ProxyPort, 3128);
}

TEST(HttpScan, AResultsFileNameWithoutAFolderGoesIntoDownloadBelowTheCurrentFolder) {
    InFolder folder;
    const std::string current = QDir::currentPath().toStdString();
    const std::vector<std::pair<std::string, std::string>> cases = {
        {"res.txt", current + "/Download/res.txt"},
        {"/tmp/x/res.txt", "/tmp/x/res.txt"},
        {"sub/res.txt", "sub/res.txt"},
        {"", ""},
    };
    for (const auto& [name, stored] : cases) {
        THttpScan scan;
        scan.SetFileOfResults(name);
        EXPECT_EQ(scan.FileOfResults(), stored) << name;
    }
}

TEST(HttpScan, StartScanShowsItsMessageAndAnswersFalse) {
    InFolder folder;  // without a Download folder
    struct Case {
        std::string fileOfResults;
        std::string address;
        std::string message;
    };
    const std::vector<Case> cases = {
        {"", "", "no URL specified"},
        {"", "http://", "Invalid Url : http://"},
        {"", "no address", "Invalid Url : no address"},
        {"res.txt", "http://www.site.test/",
         "unable to create file: " + folder.path() + "/Download/res.txt"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.address);
        ScanDriver driver;
        driver.scan.SetFileOfResults(c.fileOfResults);
        EXPECT_FALSE(driver.scan.StartScan(c.address));
        EXPECT_EQ(driver.messages, std::vector<std::string>{c.message});
        EXPECT_FALSE(driver.scan.IsWorking());
        EXPECT_TRUE(driver.log.empty());
        EXPECT_FALSE(driver.scan.ResultsFileOpen());
    }
}

// Queued without a tick, so nothing is fetched.
TEST(HttpScan, StartScanRaisesWorkingBeforeItReturnsAndQueuesAKnownAddressOnce) {
    InFolder folder;
    ASSERT_TRUE(QDir().mkdir("Download"));
    ScanDriver driver;
    driver.scan.SetFileOfResults("res.txt");
    bool workingInsideStart = false;
    driver.onWorking = [&](bool working) { workingInsideStart = working; };
    EXPECT_TRUE(driver.scan.StartScan("http://www.site.test/"));
    EXPECT_TRUE(workingInsideStart);
    EXPECT_EQ(driver.log, std::vector<std::string>{"working 1"});
    EXPECT_TRUE(driver.messages.empty());
    EXPECT_TRUE(driver.scan.ResultsFileOpen());
    EXPECT_TRUE(QFile::exists("Download/res.txt"));
    EXPECT_EQ(driver.scan.Scheduler().QueueCount(), 1u);

    // The same address (in another letter case) while the scan runs: known, nothing queued.
    EXPECT_TRUE(driver.scan.StartScan("http://WWW.site.test/"));
    EXPECT_EQ(driver.scan.Scheduler().QueueCount(), 1u);
    // An address not yet known joins the running scan.
    EXPECT_TRUE(driver.scan.StartScan("http://www.site.test/other/"));
    EXPECT_EQ(driver.scan.Scheduler().QueueCount(), 2u);
    EXPECT_EQ(driver.log, std::vector<std::string>{"working 1"});

    // An empty address starts the last one again.
    EXPECT_EQ(driver.scan.StartingUrl(), "http://www.site.test/other/");
}

TEST(HttpScan, AnEmptyResultsFileNameOpensNoFile) {
    InFolder folder;
    ScanDriver driver;
    EXPECT_TRUE(driver.scan.StartScan("http://www.site.test/"));
    EXPECT_FALSE(driver.scan.ResultsFileOpen());
    EXPECT_TRUE(QDir().entryList(QDir::NoDotAndDotDot | QDir::AllEntries).isEmpty());
}

TEST(HttpScan, TypeFilterTextIsLowerCasedSplitAtEveryLineEndAndSorted) {
    const std::vector<std::pair<std::string, std::vector<std::string>>> cases = {
        {"GIF\r\nZip\njpg\rmp3", {"gif", "jpg", "mp3", "zip"}},
        {"gif\r\r\n\n\nzip\n", {"gif", "zip"}},
        {" pdf \nMAIL", {" pdf ", "mail"}},
        {"", {}},
    };
    for (const auto& [text, entries] : cases) {
        THttpScan scan;
        scan.SetTypeFilterText(text);
        EXPECT_EQ(Entries(scan.Analyzer().TypeFilterList), entries) << text;
    }
}

TEST(HttpScan, StopScanAnswersOnlyWhenThereIsSomethingToStop) {
    HttpFixture fixture;
    fixture.script(
        "/", HttpReply::Html(200, "<a href='a.html'>a</a>").after(std::chrono::milliseconds(200)));
    ScanDriver driver;
    EXPECT_FALSE(driver.scan.StopScan());
    EXPECT_FALSE(driver.scan.IsStopping());

    ASSERT_TRUE(driver.scan.StartScan(fixture.url("/")));
    driver.tick();  // the start page is being fetched
    EXPECT_TRUE(driver.scan.StopScan());
    EXPECT_TRUE(driver.scan.IsStopping());
    EXPECT_FALSE(driver.scan.StopScan());

    // A start while stopping: known from now on, but dropped; no new scan starts.
    const std::string late = fixture.url("/late.html");
    EXPECT_TRUE(driver.scan.StartScan(late));
    EXPECT_TRUE(driver.scan.Analyzer().KnownUrls.Locate(late, false).found);
    EXPECT_EQ(driver.scan.Scheduler().QueueCount(), 0u);
    ASSERT_TRUE(driver.runToEnd(200));
    EXPECT_EQ(driver.log, (std::vector<std::string>{"working 1", "working 0"}));
    EXPECT_EQ(driver.scan.Analyzer().KnownUrls.Count(), 0u);
    EXPECT_FALSE(driver.scan.IsStopping());
    EXPECT_TRUE(fixture.requests("/late.html").empty());
    EXPECT_FALSE(driver.scan.StopScan());
}

// The end of a scan: OnWorking(false) while the sets are still full and the results file still
// open, then the sets emptied, then the file closed. A second scan reports everything again.
TEST(HttpScan, TheEndRaisesWorkingThenEmptiesTheSetsThenClosesTheResultsFile) {
    QTemporaryDir folder;
    ASSERT_TRUE(folder.isValid());
    const std::string results = folder.filePath("res.txt").toStdString();
    HttpFixture fixture;
    fixture.script("/", HttpReply::Html(200,
                                        "<a href='a.html'>a</a><img src='b.gif'>"
                                        "<a href='mailto:m@x.org'>m</a>"));
    fixture.script("/a.html", HttpReply::Html(200, "<p>a</p>"));
    ScanDriver driver;
    driver.scan.SetFileOfResults(results);
    driver.onLink = [](const test::FoundLink& link, std::string& writeToFile, bool&) {
        if (link.type == "gif") {
            writeToFile = "picture";
        } else if (link.type == "mail") {
            writeToFile.clear();
        }
    };
    std::vector<std::string> atEnd;
    driver.onWorking = [&](bool working) {
        if (!working) {
            atEnd.push_back(std::to_string(driver.scan.Analyzer().KnownUrls.Count()) + " known");
            atEnd.push_back(driver.scan.ResultsFileOpen() ? "open" : "closed");
        }
    };
    ASSERT_TRUE(driver.scan.StartScan(fixture.url("/")));
    ASSERT_TRUE(driver.runToEnd());
    EXPECT_EQ(atEnd, (std::vector<std::string>{"4 known", "open"}));
    EXPECT_EQ(driver.scan.Analyzer().KnownUrls.Count(), 0u);
    EXPECT_FALSE(driver.scan.ResultsFileOpen());
    const std::string first = "\"htm\";\"" + fixture.url("/a.html") + "\"\r\npicture\r\n";
    EXPECT_EQ(ReadFile(results), first);

    const auto firstLinks = driver.links;
    driver.clearRecords();
    ASSERT_TRUE(driver.scan.StartScan(fixture.url("/")));
    ASSERT_TRUE(driver.runToEnd());
    EXPECT_EQ(driver.links, firstLinks);
    EXPECT_EQ(ReadFile(results), first) << "the file is made afresh for the second scan";
}

// A tick started inside a handler of a tick (a modal box's event loop runs the timer) does
// nothing: no statistics, no step of the count-down. A start inside StartScan's own message
// answers true.
TEST(HttpScan, GuardsKeepATickOutOfATickAndAStartOutOfAStart) {
    HttpFixture fixture;
    fixture.script("/", HttpReply::Html(200, "<a href='a.html'>a</a>"));
    fixture.script("/a.html", HttpReply::Html(200, "<p>a</p>"));
    ScanDriver driver;
    int nestedStatistics = 0;
    auto nestedTick = [&] {
        const int before = driver.statistics;
        const int countdown = driver.scan.Scheduler().IdleCountdown;
        driver.scan.TickAt(driver.now + 200);
        driver.scan.TickAt(driver.now + 400);
        nestedStatistics += driver.statistics - before;
        EXPECT_EQ(driver.scan.Scheduler().IdleCountdown, countdown);
    };
    driver.onLink = [&](const test::FoundLink&, std::string&, bool&) { nestedTick(); };
    driver.onWorking = [&](bool working) {
        if (!working) {
            nestedTick();
        }
    };
    ASSERT_TRUE(driver.scan.StartScan(fixture.url("/")));
    ASSERT_TRUE(driver.runToEnd());
    EXPECT_EQ(driver.links.size(), 1u);
    EXPECT_EQ(nestedStatistics, 0);
    EXPECT_EQ(driver.log.back(), "working 0");

    bool inner = false;
    driver.scan.ShowMessage = [&](const std::string&) {
        inner = driver.scan.StartScan(fixture.url("/"));
    };
    EXPECT_FALSE(driver.scan.StartScan("http://"));
    EXPECT_TRUE(inner);
    EXPECT_FALSE(driver.scan.IsWorking()) << "the inner start did nothing";
}

// ShutDown: no page, statistics or error reaches the component any more, the scan does not
// report its end, and the program is ended on the tenth tick.
TEST(HttpScan, ShutDownEndsTheProgramOnTheTenthTickWithoutReportingTheEnd) {
    HttpFixture fixture;
    fixture.script("/", HttpReply::Html(200, "<a href='a.html'>a</a>"));
    ScanDriver driver;
    ASSERT_TRUE(driver.scan.StartScan(fixture.url("/")));
    driver.tick();
    const int statistics = driver.statistics;
    driver.scan.ShutDown();
    EXPECT_TRUE(driver.scan.IsStopping());
    for (int tick = 1; tick <= 9; ++tick) {
        driver.tick();
        EXPECT_EQ(driver.ended, 0) << "tick " << tick;
    }
    driver.tick();
    EXPECT_EQ(driver.ended, 1);
    for (int tick = 0; tick < 20; ++tick) {
        driver.tick();
    }
    EXPECT_EQ(driver.ended, 1);
    EXPECT_EQ(driver.statistics, statistics);
    EXPECT_EQ(driver.log, std::vector<std::string>{"working 1"});
    EXPECT_TRUE(driver.links.empty() && driver.pages.empty() && driver.errors.empty());
    // Nothing starts any more.
    EXPECT_TRUE(driver.scan.StartScan(fixture.url("/b.html")));
    EXPECT_EQ(driver.scan.Scheduler().QueueCount(), 0u);
}

// The component's own 200 ms timer runs the scan to its end, also with no statistics handler.
TEST(HttpScan, ItsOwnTimerRunsAScanToItsEnd) {
    HttpFixture fixture;
    fixture.script("/", HttpReply::Html(200, "<a href='a.html'>a</a>"));
    fixture.script("/a.html", HttpReply::Html(200, "<p>a</p>"));
    THttpScan scan;
    scan.SetProxyType(PROXY_DIRECT);
    QEventLoop loop;
    std::vector<std::string> log;
    scan.OnLinkFound = [&](const std::string& url, const std::string&, const std::string&,
                           const std::string&, const std::string&, const std::string&,
                           const std::string&, std::string&, char, int,
                           bool&) { log.push_back("link " + url); };
    scan.OnWorking = [&](bool working) {
        log.push_back(working ? "working 1" : "working 0");
        if (!working) {
            loop.quit();
        }
    };
    QTimer::singleShot(60000, &loop, &QEventLoop::quit);  // a bound, not an expectation
    ASSERT_TRUE(scan.StartScan(fixture.url("/")));
    loop.exec();
    EXPECT_EQ(log, (std::vector<std::string>{"working 1", "link " + fixture.url("/a.html"),
                                             "working 0"}));
    EXPECT_EQ(fixture.requests().size(), 2u);
}

}  // namespace
}  // namespace quendrix
