// The GeoIP reader on the system's database (/usr/share/tor/geoip): reading the whole file
// once (what the built-in location service's first page pays, on its worker) and one look-up.
#include "tools/locator/geoip_database.h"

#include <benchmark/benchmark.h>

#include <cstdint>

namespace {

using quendrix::locator::GeoIpDatabase;
using quendrix::locator::kSystemGeoIpPath;

void BM_LoadSystemDatabase(benchmark::State& state) {
    for (auto _ : state) {
        auto database = GeoIpDatabase::Load(kSystemGeoIpPath);
        if (!database) {
            state.SkipWithError("no /usr/share/tor/geoip (package tor-geoipdb)");
            return;
        }
        benchmark::DoNotOptimize(database->size());
    }
}
BENCHMARK(BM_LoadSystemDatabase)->Unit(benchmark::kMillisecond);

void BM_LookUp(benchmark::State& state) {
    auto database = GeoIpDatabase::Load(kSystemGeoIpPath);
    if (!database) {
        state.SkipWithError("no /usr/share/tor/geoip (package tor-geoipdb)");
        return;
    }
    std::uint32_t address = 0x01020304;
    for (auto _ : state) {
        benchmark::DoNotOptimize(database->CountryCode(address));
        address = address * 2654435761u + 12345u;  // spread over the whole space
    }
}
BENCHMARK(BM_LookUp);

}  // namespace

BENCHMARK_MAIN();
