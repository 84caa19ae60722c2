// main() for benchmarks that use the HTTP library: libcurl's global start comes first, before
// any thread, as in the programs.
#include "http/fetch_service.h"

#include <benchmark/benchmark.h>

int main(int argc, char** argv) {
    quendrix::http::GlobalInit();
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
