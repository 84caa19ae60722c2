// Look-ups per second in the IP owner table, over addresses spread across the whole table:
// first-level owners, every sub-table, empty slots and a few texts that are not addresses.
#include "core/owner_table.h"

#include <QString>

#include <benchmark/benchmark.h>

#include <random>
#include <string>
#include <vector>

namespace {

using quendrix::whereis::LookupOwner;

// 4,096 addresses: half uniform over the whole address space, half under the first octets
// that have sub-tables (the slower path), plus a sprinkling of "X" and broken texts.
std::vector<std::string> makeAddresses() {
    const int subTableOctets[] = {61,  62,  192, 193, 194, 195, 200,
                                  202, 203, 210, 211, 212, 213, 217};
    std::mt19937 random(20240611);
    std::uniform_int_distribution<int> octet(0, 255);
    std::uniform_int_distribution<int> pick(0, 13);
    std::vector<std::string> addresses;
    for (int i = 0; i < 4096; ++i) {
        if (i % 64 == 0) {
            addresses.push_back(i % 128 == 0 ? "X" : "61.08.x");
            continue;
        }
        const int first = i % 2 == 0 ? octet(random) : subTableOctets[pick(random)];
        addresses.push_back(std::to_string(first) + '.' + std::to_string(octet(random)) + '.' +
                            std::to_string(octet(random)) + '.' + std::to_string(octet(random)));
    }
    return addresses;
}

void lookUpQString(benchmark::State& state) {
    std::vector<QString> addresses;
    for (const std::string& address : makeAddresses()) {
        addresses.push_back(QString::fromStdString(address));
    }
    std::size_t i = 0;
    for (auto _ : state) {
        QString owner = LookupOwner(addresses[i++ & 4095]);
        benchmark::DoNotOptimize(owner);
    }
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(lookUpQString);

void lookUpUtf8(benchmark::State& state) {
    const std::vector<std::string> addresses = makeAddresses();
    std::size_t i = 0;
    for (auto _ : state) {
        std::string_view owner = LookupOwner(std::string_view(addresses[i++ & 4095]));
        benchmark::DoNotOptimize(owner);
    }
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(lookUpUtf8);

}  // namespace

BENCHMARK_MAIN();
