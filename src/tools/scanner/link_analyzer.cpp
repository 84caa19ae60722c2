// The website scanner's link decisions on the user-interface thread (see link_analyzer.h).
#include "tools/scanner/link_analyzer.h"

#include "tools/scanner/link_rules.h"

#include <cstddef>

namespace quendrix {

namespace {

bool EndsWithRobotsTxt(const std::string& address) {
    constexpr std::string_view kName = "robots.txt";
    if (address.size() < kName.size()) {
        return false;
    }
    const std::size_t from = address.size() - kName.size();
    for (std::size_t i = 0; i < kName.size(); ++i) {
        char c = address[from + i];
        if (c >= 'A' && c <= 'Z') {
            c = static_cast<char>(c - 'A' + 'a');
        }
        if (c != kName[i]) {
            return false;
        }
    }
    return true;
}

char HrefOrSrcOf(char marker) {
    if (marker == kMarkHref) {
        return 'H';
    }
    if (marker == kMarkSrc) {
        return 'S';
    }
    return ' ';
}

// The robots.txt of the link's site: its scheme, host and port. A site served on another port
// than its scheme's own keeps it, so the file is asked of the server that serves the site,
// never of whatever listens on port 80 of the same host.
std::string RobotsTxtOf(const std::string& scheme, const TCrackUrl& link) {
    std::string address = scheme + "://" + link.HostName;
    const unsigned defaultPort = scheme == "https" ? 443 : 80;
    if (link.Port != 0 && link.Port != defaultPort) {
        address += ":" + std::to_string(link.Port);
    }
    return address + "/robots.txt";
}

}  // namespace

std::string ResultsFileLine(const std::string& type, const std::string& address) {
    return "\"" + type + "\";\"" + address + "\"";
}

TLinkAnalyzer::TLinkAnalyzer(TMFDwnld& scheduler) : m_scheduler(scheduler) {
    KnownUrls.Reserve(32000);
    KnownHosts.Reserve(10000);
    TypeFilterList.Add("gif");
    for (const char* word : {"track", "hitbox", "referer", "stat", "count"}) {
        KeywordFilterList.Add(word);
    }
    KeywordFilterList.Sort();
}

void TLinkAnalyzer::ClearSets() {
    KnownUrls.Clear();
    KnownHosts.Clear();
}

void TLinkAnalyzer::ProcessPage(TMFHttpGet& slot) {
    if (OnPageReceived) {
        OnPageReceived(slot.Url.HostName, slot.Url.GetUrl(), slot.Head, slot.Body);
    }

    // The network thread's result, or the same work here when the scheduler had no hook.
    const std::shared_ptr<const void> made = slot.Analysis;
    TPageAnalysis local;
    const TPageAnalysis* analysis = PageAnalysisOf(made);
    if (analysis == nullptr) {
        local = AnalyseBody(slot.Body);
        analysis = &local;
    }

    // Read each time: a handler may remove itself.
    for (const TMetaTag& tag : analysis->MetaTags) {
        if (!OnMetaTag) {
            break;
        }
        OnMetaTag(slot.Url.GetUrl(), slot.Referrer, tag);
    }

    TCrackUrl splitter;
    splitter.Crack(slot.Referrer);

    if (!m_scheduler.Stopping && EndsWithRobotsTxt(slot.Url.GetUrl())) {
        const std::string self = slot.Url.GetUrl();
        HandleLink(slot, self, splitter, kMarkSelf);
    }

    for (const TLinkCandidate& link : analysis->Links) {
        // A stop asked for by a handler ends the page here.
        if (m_scheduler.Stopping) {
            break;
        }
        if (link.Marker == kMarkBase) {
            // From here on the page's address for resolving, for FromUrl, as the Referrer of
            // what it queues and for the current-site tests.
            SetBase(slot, link.Value);
        }
        HandleLink(slot, link.Value, splitter, link.Marker);
    }
    // The page's links are all handled: the slot need not keep them until its next fetch.
    slot.Analysis.reset();
}

void TLinkAnalyzer::SetBase(TMFHttpGet& slot, const std::string& value) {
    TCrackUrl base;
    if (!base.Crack(value)) {
        // A relative base ("/", "../") names an address relative to the page: split as it
        // stands it would leave the page without a host, and every later relative link would
        // resolve to nothing.
        const ResolvedLink resolved = ResolveLink(value, slot.Url);
        if (resolved.type.empty() && !resolved.address.empty()) {
            base.Crack(resolved.address);
        }
    }
    // A base that names no web address at all leaves the page's address as it was.
    if (base.Valid) {
        slot.Url = std::move(base);
    }
}

void TLinkAnalyzer::HandleLink(TMFHttpGet& slot, const std::string& raw, TCrackUrl& splitter,
                               char marker) {
    std::string type = "unknown";
    std::string scheme;
    bool isWeb = true;
    bool valid = true;
    bool newHost = false;

    const ResolvedLink resolved = ResolveLink(raw, slot.Url);
    std::string address = resolved.address;
    const bool mail = resolved.type == "mail";
    if (mail) {
        type = "mail";
    }
    if (address.empty()) {
        valid = false;
    }
    if (KeywordsFilterEnabled && !KeywordFilterList.Empty() &&
        ContainsKeyword(KeywordFilterList, address)) {
        valid = false;
    }
    if (KeywordsLimiterEnabled && !KeywordLimiterList.Empty() &&
        !ContainsKeyword(KeywordLimiterList, address)) {
        valid = false;
    }
    if (valid) {
        if (mail) {
            isWeb = false;
        } else {
            LinkClass link = ClassifyLink(address);
            type = std::move(link.type);
            scheme = std::move(link.scheme);
            if (type == "unknown") {
                valid = false;
            } else {
                splitter.Crack(address);
            }
            if (scheme.rfind("http", 0) != 0) {
                isWeb = false;
            }
        }
    }
    if (valid && isWeb) {
        if (!address.empty() && address.back() == ')') {
            address.pop_back();
        }
        newHost = !KnownHosts.Locate(splitter.HostName, true).found;
    }
    if (valid && !address.empty() && KnownUrls.Locate(address, true).found) {
        valid = false;
    }
    if (!valid) {
        return;  // dropped silently: not reported, not queued
    }

    const bool sameStartSite = splitter.SiteKey == StartAddress.SiteKey;
    const bool sameStartPath =
        sameStartSite && address.find(StartAddress.PathKey) != std::string::npos;
    // A mail link has no host of its own to compare (the splitter still holds the link before
    // it): mail addresses count as on the page's site and path, so they are listed whenever
    // their type is; they are never followed.
    const bool samePageSite = mail || splitter.SiteKey == slot.Url.SiteKey;
    const bool samePagePath =
        mail || (samePageSite && address.find(slot.Url.PathKey) != std::string::npos);

    bool follow = true;
    switch (LinkScan) {
        case scanAllLinks:
            follow = true;
            break;
        case scanInitialSite:
            follow = sameStartSite;
            break;
        case scanInitialPath:
            follow = sameStartPath;
            break;
    }
    bool report = true;
    switch (LinkReport) {
        case reportAllLinks:
            report = true;
            break;
        case reportCurrentSiteLinks:
            report = samePageSite;
            break;
        case reportCurrentPathLinks:
            report = samePagePath;
            break;
    }

    bool followIfHtmlLink = true;
    if (report) {
        std::string writeToFile = "x";
        const char hrefOrSrc = HrefOrSrcOf(marker);
        if ((!TypeFilterEnabled || TypeFilterList.Locate(type, false).found) && OnLinkFound) {
            const std::string fromUrl = slot.Url.GetUrl();
            if (isWeb) {
                OnLinkFound(address, type, fromUrl, splitter.HostName, splitter.PathKey,
                            splitter.UrlPath, splitter.ExtraInfo, writeToFile, hrefOrSrc, 0,
                            followIfHtmlLink);
            } else {
                const std::string none;
                OnLinkFound(address, type, fromUrl, none, none, none, none, writeToFile, hrefOrSrc,
                            0, followIfHtmlLink);
            }
        }
        // Whether or not the type filter let the event through.
        if (ResultsFile) {
            if (writeToFile == "x") {
                ResultsFile(ResultsFileLine(type, address));
            } else if (!writeToFile.empty()) {
                ResultsFile(writeToFile);
            }
        }
    }

    if (followIfHtmlLink && isWeb && type == "htm" && follow) {
        if (newHost && SeekRobotsTxt) {
            // One attempt only: its retry count starts used up.
            m_scheduler.Enqueue(RobotsTxtOf(scheme, splitter), std::string(), 0, true, marker,
                                m_scheduler.Retries, slot.Depth + 1);
        }
        if (m_scheduler.QueueCount() <
                static_cast<std::size_t>(MaxQueueSize > 0 ? MaxQueueSize : 0) &&
            slot.Depth < DepthSearchLevel && !m_scheduler.Stopping) {
            m_scheduler.Enqueue(address, slot.Url.GetUrl(), 0, true, marker, 0, slot.Depth + 1);
        }
    }
}

}  // namespace quendrix
