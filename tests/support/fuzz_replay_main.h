// Included once by each fuzz target after its LLVMFuzzerTestOneInput. Under clang the target
// is built with libFuzzer, which brings its own main(); with other compilers this main()
// replays the seed files given on the command line, so the seeds run as an ordinary test.
#pragma once

#ifndef QUENDRIX_LIBFUZZER
#include <cstdint>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <vector>

int main(int argc, char** argv) {
    for (int i = 1; i < argc; ++i) {
        std::ifstream file(argv[i], std::ios::binary);
        if (!file) {
            std::fprintf(stderr, "cannot read %s\n", argv[i]);
            return 1;
        }
        const std::vector<std::uint8_t> input((std::istreambuf_iterator<char>(file)),
                                              std::istreambuf_iterator<char>());
        LLVMFuzzerTestOneInput(input.data(), input.size());
    }
    std::printf("replayed %d seeds\n", argc - 1);
    return 0;
}
#endif
