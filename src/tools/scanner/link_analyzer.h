// The website scanner's link decisions on the user-interface thread: a received page is reported,
// its head tags and link values (found on the network thread by AnalysePage) are handed on one
// by one, and each link is resolved, filtered, typed, reported, remembered and, when the crawl
// rules allow, queued in the download scheduler. TLinkAnalyzer holds the scan's sets, choices
// and handlers; the scanner component owns one and sets the scheduler's page handler to
// ProcessPage and its Analyse hook to AnalysePage.
//
// Nothing here lets events run: a page's links are all handled in the tick that received it,
// and a stop asked for by a handler is seen before the next link.
#pragma once

#include "tools/scanner/crack_url.h"
#include "tools/scanner/dwnld.h"
#include "tools/scanner/http_get.h"
#include "tools/scanner/mf_string_list.h"
#include "tools/scanner/page_analysis.h"

#include <functional>
#include <string>

namespace quendrix {

// Which links are followed (fetched): every one, those of the start address's site, those of
// its site and path.
enum TLinkScan { scanAllLinks = 0, scanInitialSite = 1, scanInitialPath = 2 };
// Which links are reported: every one, those of the site (path) of the page they were found on.
enum TLinkReport { reportAllLinks = 0, reportCurrentSiteLinks = 1, reportCurrentPathLinks = 2 };

// A reported link. WriteToFile starts as "x" (the results file gets the standard line); a handler
// may set another text (written as the line) or empty it (nothing written). FollowIfHtmlLink
// starts true; a handler may clear it to keep a page link from being fetched. The component adds
// itself as Sender.
using TOnLinkFound = std::function<void(
    const std::string& UrlFound, const std::string& TypeLink, const std::string& FromUrl,
    const std::string& HostName, const std::string& UrlPath, const std::string& UrlPathWithFile,
    const std::string& ExtraInfos, std::string& WriteToFile, char HrefOrSrc, int CountArea,
    bool& FollowIfHtmlLink)>;
using TOnPageReceived = std::function<void(const std::string& HostName, const std::string& Url,
                                           const std::string& Head, const std::string& Body)>;
using TOnMetaTag = std::function<void(const std::string& Url, const std::string& ReferringUrl,
                                      const TMetaTag& tag)>;
// One line of the results file, without its line end.
using TResultsLineSink = std::function<void(const std::string& line)>;

// The standard results-file line of a link: "type";"address".
std::string ResultsFileLine(const std::string& type, const std::string& address);

class TLinkAnalyzer {
  public:
    // The scheduler queues the followed links; it outlives the analyzer.
    explicit TLinkAnalyzer(TMFDwnld& scheduler);

    // A page received with status 200, in this order: OnPageReceived; the head's title and tags
    // through OnMetaTag (only while it is set); a robots.txt page's own address; every link
    // value in text order. Uses the slot's Analysis when the network thread made one, else does
    // the text work here. A BASE HREF value re-splits the slot's Url when its turn comes, so the
    // links after it resolve against it (and name it as the page they come from). Stops before
    // the next link once the scheduler is Stopping.
    void ProcessPage(TMFHttpGet& slot);

    // One link decision for a raw value found on the slot's page. `splitter` is the page's link
    // splitter: it holds the last link given a type (a mail link leaves it as it was).
    void HandleLink(TMFHttpGet& slot, const std::string& raw, TCrackUrl& splitter, char marker);

    // Empties KnownUrls and KnownHosts, as at the end of every scan.
    void ClearSets();

    // Choices, switches and limits (the component's properties of the same names).
    TLinkScan LinkScan = scanAllLinks;
    TLinkReport LinkReport = reportAllLinks;
    bool TypeFilterEnabled = false;
    bool KeywordsFilterEnabled = false;
    bool KeywordsLimiterEnabled = false;
    bool SeekRobotsTxt = false;
    int MaxQueueSize = 5000;
    int DepthSearchLevel = 3;

    // Every address handled in this scan (sized for 32000) and every web host seen (10000).
    TMFStringList KnownUrls;
    TMFStringList KnownHosts;
    // The types reported while TypeFilterEnabled ("gif"); words that drop a link ("count",
    // "hitbox", "referer", "stat", "track"); words one of which a link must hold (none, so the
    // limiter never rejects). Each kept sorted.
    TMFStringList TypeFilterList;
    TMFStringList KeywordFilterList;
    TMFStringList KeywordLimiterList;
    // The start address of the scan, split; its SiteKey and PathKey decide what is followed.
    TCrackUrl StartAddress;

    TOnLinkFound OnLinkFound;
    TOnPageReceived OnPageReceived;
    TOnMetaTag OnMetaTag;
    // Set while the results file is open.
    TResultsLineSink ResultsFile;

  private:
    // A BASE HREF value becomes the slot's Url: as written when it splits, else resolved
    // against the page (a relative base); a value that gives no address changes nothing.
    void SetBase(TMFHttpGet& slot, const std::string& value);

    TMFDwnld& m_scheduler;
};

}  // namespace quendrix
