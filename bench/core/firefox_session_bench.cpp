// How long the browser buttons and the start-up prefill take to read a large Firefox session:
// a store of about 8 MB of JSON (20 windows of 100 tabs, each with a history of 8 pages, the
// form and scroll data Firefox keeps and an icon as a data address, which keeps the store from
// compressing unrealistically well), decoded, parsed, and read whole from a profile.
//   build/release/bin/firefox_session_bench
#include "core/firefox_session.h"
#include "support/firefox_profile.h"

#include <benchmark/benchmark.h>

#include <cstdint>

namespace {

// Base64-like text that does not compress: the icons' data.
QByteArray IconData(std::uint32_t& seed, int length) {
    static const char kDigits[] =
        "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    QByteArray data;
    for (int i = 0; i < length; ++i) {
        seed = seed * 1664525u + 1013904223u;
        data += kDigits[(seed >> 24) & 63];
    }
    return data;
}

QByteArray LargeSession() {
    std::uint32_t seed = 1;
    QByteArray json = R"({"version":["sessionrestore",1],"selectedWindow":20,"windows":[)";
    for (int window = 1; window <= 20; ++window) {
        json += (window > 1 ? "," : "") + QByteArray(R"({"selected":100,"tabs":[)");
        for (int tab = 1; tab <= 100; ++tab) {
            json += (tab > 1 ? "," : "") + QByteArray(R"({"index":8,"entries":[)");
            for (int entry = 1; entry <= 8; ++entry) {
                const QByteArray id = QByteArray::number(window) + '-' + QByteArray::number(tab) +
                                      '-' + QByteArray::number(entry);
                json +=
                    (entry > 1 ? "," : "") + QByteArray(R"({"url":"https://site)") + id +
                    R"(.example/articles/2026/12/some-long-article-name?ref=)" + id +
                    R"(","title":"An article about )" + id + R"(","cacheKey":0,"ID":)" +
                    QByteArray::number(entry) + R"(,"docshellUUID":"{0b8a5d1e-8f0a-4c6e-9b1a-)" +
                    id +
                    R"(}","referrerInfo":"BBoSnxDOS9qmDeAnom1e0AAAAAAAAAAAwAAAAAAAAEYAAAAAAAEBAAAAAAEA","triggeringPrincipal_base64":"{\"3\":{}}","hasUserInteraction":true,"persist":true})";
            }
            json +=
                R"(],"lastAccessed":1765400000000,"hidden":false,"attributes":{},)"
                R"("formdata":{"id":{"q":"a search the user typed in this tab"}},)"
                R"("scroll":{"scroll":"0,1234"},"userContextId":0,"image":"data:image/png;base64,)" +
                IconData(seed, 1200) + R"("})";
        }
        json += R"(],"width":1280,"height":1024,"screenX":0,"screenY":0,"sizemode":"maximized"})";
    }
    json += R"(],"_closedWindows":[],"session":{"lastUpdate":1765400000000}})";
    return json;
}

const QByteArray& Json() {
    static const QByteArray json = LargeSession();
    return json;
}

void Counters(benchmark::State& state) {
    state.counters["json_MB"] = static_cast<double>(Json().size()) / 1e6;
    state.SetBytesProcessed(state.iterations() * Json().size());
}

void BM_DecodeMozLz4(benchmark::State& state) {
    const std::string file = quendrix::test::MozLz4(Json()).toStdString();
    state.counters["store_MB"] = static_cast<double>(file.size()) / 1e6;
    for (auto _ : state) {
        benchmark::DoNotOptimize(quendrix::firefox::DecodeMozLz4(file));
    }
    Counters(state);
}
BENCHMARK(BM_DecodeMozLz4)->Unit(benchmark::kMillisecond);

void BM_SessionJson(benchmark::State& state) {
    for (auto _ : state) {
        benchmark::DoNotOptimize(quendrix::firefox::WindowInfoFromSessionJson(Json()));
    }
    Counters(state);
}
BENCHMARK(BM_SessionJson)->Unit(benchmark::kMillisecond);

// The whole read as a button does it: profiles.ini, the lock, the file, decode, parse.
void BM_ReadFirefoxWindowInfo(benchmark::State& state) {
    quendrix::test::FirefoxHome home;
    home.writeProfilesIni("[Profile0]\nName=default\nIsRelative=1\nPath=p.default\nDefault=1\n");
    const QString profile = home.makeProfile(QStringLiteral("p.default"));
    quendrix::test::FirefoxHome::lock(profile);
    quendrix::test::FirefoxHome::writeStore(profile, quendrix::test::MozLz4(Json()));
    if (!quendrix::firefox::ReadFirefoxWindowInfo(home.home())) {
        state.SkipWithError("the fixture store gave no page");
        return;
    }
    for (auto _ : state) {
        benchmark::DoNotOptimize(quendrix::firefox::ReadFirefoxWindowInfo(home.home()));
    }
    Counters(state);
}
BENCHMARK(BM_ReadFirefoxWindowInfo)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
