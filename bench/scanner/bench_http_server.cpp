// A loopback HTTP server for the fetch benchmarks: the tests' HTTP fixture on 127.0.0.1 with
// one page (/page.htm, 200 text/html, SIZE bytes of body, default 8 KiB) that every request
// for it gets. Prints its port on a line of its own, then serves until standard input closes.
#include "support/http_fixture.h"

#include <cstdio>
#include <cstdlib>
#include <iostream>
#include <string>

int main(int argc, char** argv) {
    const std::size_t size = argc > 1 ? std::strtoul(argv[1], nullptr, 10) : 8192;
    quendrix::test::HttpFixture fixture;
    fixture.script("/page.htm",
                   quendrix::test::HttpReply::Html(200, "<p>" + std::string(size, 'x') + "</p>"));
    std::cout << fixture.port() << std::endl;
    std::string ignored;
    while (std::getline(std::cin, ignored)) {
    }
    return 0;
}
