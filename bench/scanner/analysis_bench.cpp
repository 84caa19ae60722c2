// The page analysis of the website scanner:
//   TextWork     the network thread's work on a received body (compaction, tag markers, areas,
//                link values, head tags) over typical HTML, in bytes per second; the 32 MiB case
//                is the longest the network thread can be busy with one capped page (Abort and
//                the other transfers wait that long)
//   HandleLinks  the user-interface thread's part of one received page of 100 links (the link
//                decisions, the events, queuing) with 32,000 addresses already known: links all
//                new (each is inserted into the sorted set, which moves the entries after it
//                in its block of at most 512) and links all known (a binary search each)
//   ProcessLargePage  the same for one 2 MiB page of about 14,000 link values: the longest
//                tick such a page gives the window
#include "tools/scanner/dwnld.h"
#include "tools/scanner/link_analyzer.h"
#include "tools/scanner/page_analysis.h"

#include <benchmark/benchmark.h>

#include <cstddef>
#include <memory>
#include <string>
#include <vector>

namespace quendrix {
namespace {

// Typical article-list HTML: a head with tags, then blocks of text with page links, images,
// outside links with queries and inline script.
std::string TypicalPage(std::size_t bytes) {
    std::string page =
        "<!DOCTYPE html>\n<html lang=\"en\">\n<head>\n<meta charset=\"utf-8\">\n"
        "<title>News and articles</title>\n<meta name=\"description\" content=\"A list\">\n"
        "<link rel=\"stylesheet\" href=\"/css/site.css\" type=\"text/css\">\n"
        "<script src=\"/js/app.js\"></script>\n</head>\n<body>\n";
    for (std::size_t n = 0; page.size() < bytes; ++n) {
        const std::string id = std::to_string(n);
        page += "<div class=\"item\">\n  <h2><a href=\"/articles/" + id +
                ".html\" title=\"Article " + id + "\">Article " + id +
                "</a></h2>\n  <p>Lorem ipsum dolor sit amet, consectetur adipiscing elit, sed do "
                "eiusmod tempor incididunt ut labore et dolore magna aliqua. <img src=\"/img/" +
                id +
                ".png\" alt=\"picture\" width=\"120\" height=\"80\"> Ut enim ad minim veniam, "
                "quis nostrud exercitation ullamco laboris nisi ut aliquip.</p>\n"
                "  <ul><li><a href='https://example.org/read?id=" +
                id +
                "&amp;page=2'>read on</a></li><li><a href=\"mailto:desk@site.com\">mail "
                "us</a></li></ul>\n  <script>var n = \"" +
                id + "\"; function f(a, b) { return a + b; }</script>\n</div>\n";
    }
    page += "</body>\n</html>\n";
    return page;
}

void BM_TextWork(benchmark::State& state) {
    const std::string page = TypicalPage(static_cast<std::size_t>(state.range(0)));
    std::size_t links = 0;
    for (auto _ : state) {
        const TPageAnalysis analysis = AnalyseBody(page);
        links = analysis.Links.size();
        benchmark::DoNotOptimize(analysis);
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * page.size()));
    state.counters["links"] = static_cast<double>(links);
}
BENCHMARK(BM_TextWork)->Arg(100 << 10)->Arg(2 << 20)->Arg(32 << 20)->Unit(benchmark::kMillisecond);

constexpr int kKnown = 32000;
constexpr int kLinksPerPage = 100;

void BM_HandleLinks(benchmark::State& state) {
    const bool newLinks = state.range(0) != 0;
    const std::string site = "http://www.site.com/";
    TMFDwnld dwnld;
    TLinkAnalyzer analyzer(dwnld);
    analyzer.LinkScan = scanInitialSite;
    analyzer.LinkReport = reportCurrentSiteLinks;
    analyzer.StartAddress.Crack(site);
    long reported = 0;
    analyzer.OnLinkFound = [&reported](const std::string&, const std::string&, const std::string&,
                                       const std::string&, const std::string&, const std::string&,
                                       const std::string&, std::string&, char, int,
                                       bool&) { ++reported; };
    for (int i = 0; i < kKnown; ++i) {
        analyzer.KnownUrls.Add(site + "known/" + std::to_string(i * 7919 % kKnown) + ".html");
    }
    analyzer.KnownUrls.Sort();
    analyzer.KnownHosts.Locate("www.site.com", true);

    // Links spread over the set, so insertions land all along it.
    std::string body;
    std::vector<std::string> addresses;
    for (int i = 0; i < kLinksPerPage; ++i) {
        const std::string name =
            (newLinks ? "known/" + std::to_string(i * (kKnown / kLinksPerPage)) + "x"
                      : "known/" + std::to_string(i * (kKnown / kLinksPerPage))) +
            ".html";
        body += "<p><a href=\"/" + name + "\">link</a></p>\n";
        addresses.push_back(site + name);
    }
    const std::shared_ptr<const void> analysis = AnalysePage(body);
    TMFHttpGet slot(dwnld.Service());
    slot.Url.Crack(site);
    slot.Referrer = site;
    slot.Depth = 1;
    slot.Body = body;

    for (auto _ : state) {
        slot.Analysis = analysis;
        analyzer.ProcessPage(slot);
        state.PauseTiming();
        if (newLinks) {
            for (const std::string& address : addresses) {
                const TMFStringList::Position position = analyzer.KnownUrls.Locate(address, false);
                if (position.found) {
                    analyzer.KnownUrls.Delete(position.index);
                }
            }
        }
        dwnld.ResetCounters();
        state.ResumeTiming();
    }
    state.counters["reported"] = static_cast<double>(reported);
    // Seconds per link.
    state.counters["per_link"] = benchmark::Counter(
        kLinksPerPage, benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert);
}
BENCHMARK(BM_HandleLinks)->ArgName("new")->Arg(1)->Arg(0)->Unit(benchmark::kMicrosecond);

// The tick that hands on one large page: a 2 MiB page of typical HTML (about 14,000 link
// values, nearly all new) with 32,000 addresses already known. This is how long the window waits
// for that tick.
void BM_ProcessLargePage(benchmark::State& state) {
    const std::string site = "http://www.site.com/";
    const std::string page = TypicalPage(2 << 20);
    const std::shared_ptr<const void> analysis = AnalysePage(page);
    TMFDwnld dwnld;
    TLinkAnalyzer analyzer(dwnld);
    analyzer.LinkScan = scanInitialSite;
    analyzer.LinkReport = reportCurrentSiteLinks;
    analyzer.StartAddress.Crack(site);
    analyzer.OnLinkFound = [](const std::string&, const std::string&, const std::string&,
                              const std::string&, const std::string&, const std::string&,
                              const std::string&, std::string&, char, int, bool&) {};
    for (int i = 0; i < kKnown; ++i) {
        analyzer.KnownUrls.Add(site + "known/" + std::to_string(i) + ".html");
    }
    analyzer.KnownUrls.Sort();
    const TMFStringList known = analyzer.KnownUrls;
    TMFHttpGet slot(dwnld.Service());
    slot.Url.Crack(site);
    slot.Referrer = site;
    slot.Depth = 1;
    for (auto _ : state) {
        state.PauseTiming();
        analyzer.KnownUrls = known;
        analyzer.KnownHosts.Clear();
        dwnld.ResetCounters();
        slot.Analysis = analysis;
        state.ResumeTiming();
        analyzer.ProcessPage(slot);
    }
    state.counters["links"] = static_cast<double>(PageAnalysisOf(analysis)->Links.size());
    state.counters["known_after"] = static_cast<double>(analyzer.KnownUrls.Count());
}
BENCHMARK(BM_ProcessLargePage)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace quendrix
