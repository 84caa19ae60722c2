// How fluid the window stays while the Website Scanner page lists 20,000 links: the page is
// shown (offscreen) and crawls a site of the tests' HTTP fixture on 127.0.0.1 with its own
// 200 ms timer, while a zero timer notes the gaps between event-loop turns. The start page
// links `pages` pages, each of which links `links` images (reported, never fetched).
//
//   QT_QPA_PLATFORM=offscreen scanner_page_fluidity
#include "core/result_table_model.h"
#include "http/fetch_service.h"
#include "support/event_loop_gaps.h"
#include "support/http_fixture.h"
#include "support/silent_host.h"
#include "tools/scanner/scanner_page.h"

#include <QApplication>
#include <QLineEdit>

#include <benchmark/benchmark.h>

#include <string>

namespace quendrix {
namespace {

// libcurl's global start before main(), so before any thread: the shared offscreen main that
// follows knows nothing of HTTP.
[[maybe_unused]] const bool kHttpStarted = [] {
    http::GlobalInit();
    return true;
}();

using test::HttpFixture;
using test::HttpReply;

void ServeSite(HttpFixture& site, int pages, int links) {
    std::string start;
    for (int page = 0; page < pages; ++page) {
        const std::string name = "/p" + std::to_string(page) + ".html";
        start += "<a href=\"" + name + "\">page</a>\n";
        std::string body;
        for (int link = 0; link < links; ++link) {
            body +=
                "<img src=\"/p" + std::to_string(page) + "/i" + std::to_string(link) + ".gif\">\n";
        }
        site.script(name, HttpReply::Html(200, body));
    }
    site.script("/", HttpReply::Html(200, start));
}

void BM_ScannerPageFluidity(benchmark::State& state) {
    const int pages = static_cast<int>(state.range(0));
    const int links = static_cast<int>(state.range(1));
    HttpFixture site;
    ServeSite(site, pages, links);
    for (auto _ : state) {
        bench::SilentHost host;
        ScannerPage page(host);
        page.resize(700, 560);
        page.show();
        QApplication::processEvents();
        page.findChild<QLineEdit*>(QStringLiteral("Edit111"))
            ->setText(QString::fromStdString(site.hostPort()));

        bench::EventLoopGaps gaps;
        gaps.start();
        page.Button22Click();
        while (page.HttpScan1().IsWorking()) {
            QApplication::processEvents(QEventLoop::WaitForMoreEvents, 50);
        }
        const double seconds = gaps.stop();
        state.SetIterationTime(seconds);

        const double rows = page.grid()->resultCount();
        state.counters["rows"] = rows;
        gaps.report(state);
        // The scan's own end comes about 2.2 s after its last page.
        state.counters["rows_per_s"] = rows / seconds;
    }
}
BENCHMARK(BM_ScannerPageFluidity)
    ->Args({40, 500})
    ->Args({10, 2000})
    ->Iterations(1)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace quendrix
