// A fetch whose name look-up never returns, in a lab whose name server drops every query:
// Abort posts its end at once, and neither the abort nor the service's end waits for the
// look-up, which is left to finish on its own.
#include "http/fetch_service.h"
#include "support/dns_lab.h"
#include "support/http_global_init.h"

#include <gtest/gtest.h>

#include <fstream>
#include <sstream>
#include <string>
#include <thread>

namespace quendrix::http {
namespace {
using namespace std::chrono_literals;

// Whether a UDP socket of this namespace (only the lab's processes and ours live in it) is
// connected to port 53: a look-up waiting for the name server, which here never answers.
bool QueryToTheNameServerIsOpen() {
    std::ifstream table("/proc/net/udp");
    std::string row;
    std::getline(table, row);  // the column names
    while (std::getline(table, row)) {
        std::istringstream fields(row);
        std::string slot, local, remote;
        fields >> slot >> local >> remote;
        // A remote of 0 is a socket that only listens.
        if (remote.size() > 5 && remote.substr(remote.size() - 5) == ":0035" &&
            remote.rfind("00000000", 0) != 0) {
            return true;
        }
    }
    return false;
}

// Polls for the look-up to reach the name server, bounded.
bool WaitForQuery() {
    for (int i = 0; i < 600; ++i) {
        if (QueryToTheNameServerIsOpen()) {
            return true;
        }
        std::this_thread::sleep_for(50ms);
    }
    return false;
}

FetchRequest Request(const std::string& url) {
    FetchRequest request;
    request.url = url;
    request.agent = "lab";
    request.proxy = ProxyMode::Direct;
    return request;
}

TEST(FetchLab, AbortOfAFetchInNameResolutionPostsItsEndAtOnce) {
    if (!test::InsideDnsLab()) {
        GTEST_SKIP() << test::kOutsideDnsLab;
    }
    ASSERT_FALSE(QueryToTheNameServerIsOpen());
    {
        FetchService service;
        const FetchId id = service.start(Request("http://hang.lab.test/page.htm"));
        ASSERT_TRUE(WaitForQuery());
        service.abort(id);
        // The look-up hangs for 30 s; the end comes well before it could return.
        ASSERT_TRUE(service.waitForPosted(1, 20s));
        const auto posts = service.takePosted();
        ASSERT_EQ(posts.size(), 1u);
        EXPECT_EQ(posts[0].id, id);
        EXPECT_FALSE(posts[0].succeeded);
        EXPECT_TRUE(posts[0].skipped);
        // The abort did not wait for the look-up: it is still waiting for its answer.
        EXPECT_TRUE(QueryToTheNameServerIsOpen());

        // The service still serves: a second hanging fetch, left running for the destructor.
        service.start(Request("http://other.lab.test/"));
    }
    // Nor did the service's end: the look-ups are still out.
    EXPECT_TRUE(QueryToTheNameServerIsOpen());
}

}  // namespace
}  // namespace quendrix::http
