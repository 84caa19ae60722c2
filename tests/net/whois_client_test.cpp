// The whois client against the tests' own server on 127.0.0.1: what goes out, what comes back
// byte for byte, the failures with the system's text, the 16 MiB cut, and Stop while the
// query is blocked in connect or in read.
#include "net/whois_client.h"

#include "support/scripted_server.h"

#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <fstream>
#include <future>
#include <thread>

namespace quendrix::net {
namespace {

using test::RefusingPort;
using test::WhoisFixtureServer;
using test::WhoisScript;
using namespace std::chrono_literals;

std::string AllByteValues() {
    std::string bytes;
    for (int i = 0; i < 256; ++i) {
        bytes += static_cast<char>(i);
    }
    return bytes;
}

TEST(WhoisClient, RepliesComeBackExactlyAsSent) {
    struct Case {
        const char* name;
        WhoisScript script;
    };
    const std::string crlf = "Domain: example\r\n\r\nStatus: ok\r\n";
    const Case cases[] = {
        {"CR LF lines", {crlf}},
        {"every byte value, NULs and bytes >= 0x80 included", {AllByteValues() + AllByteValues()}},
        {"close at once: an empty reply, not an error", {""}},
        {"no line end at the end", {"a\nb\rc"}},
        {"a slow drip", {"slow\r\nreply\r\n", WhoisScript::Ending::Close, 0, true}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        WhoisFixtureServer server(c.script);
        std::string arrived;
        const auto reply = WhoisClient(server.port())
                               .query("127.0.0.1", "example.com", {},
                                      [&](std::string_view bytes) { arrived += bytes; });
        ASSERT_TRUE(reply.has_value()) << reply.error().text;
        EXPECT_EQ(reply->bytes, c.script.reply);
        EXPECT_EQ(arrived, c.script.reply);
        EXPECT_FALSE(reply->cut);
        EXPECT_EQ(server.received(), std::vector<std::string>{"example.com\r\n"});
    }
}

TEST(WhoisClient, SendsTheQueryAndCrLfOnlyOneConnectionPerQuery) {
    WhoisFixtureServer server({"ok\n"});
    const WhoisClient client(server.port());
    // localhost is the one name resolved through the machine's resolver here.
    ASSERT_TRUE(client.query("localhost", "b\xc3\xa9.example").has_value());
    ASSERT_TRUE(client.query("127.0.0.1", "").has_value());
    EXPECT_EQ(server.received(), (std::vector<std::string>{"b\xc3\xa9.example\r\n", "\r\n"}));
}

TEST(WhoisClient, FailuresKeepTheSystemsTextAndDropWhatCame) {
    RefusingPort refusing;
    auto reply = WhoisClient(refusing.port).query("127.0.0.1", "example.com");
    ASSERT_FALSE(reply.has_value());
    EXPECT_EQ(reply.code(), ErrorCode::System);
    EXPECT_EQ(reply.error().systemError, ECONNREFUSED);
    EXPECT_EQ(reply.error().text, "Connection refused");

    // A reset after part of the reply: a failure, not the part passed off as the reply.
    WhoisFixtureServer resetting({"partial reply\r\n", WhoisScript::Ending::Reset});
    reply = WhoisClient(resetting.port()).query("127.0.0.1", "example.com");
    ASSERT_FALSE(reply.has_value());
    EXPECT_EQ(reply.error().systemError, ECONNRESET);
    EXPECT_EQ(reply.error().text, "Connection reset by peer");
}

TEST(WhoisClient, AnEndlessStreamIsCutAt16MiBAndMarked) {
    WhoisFixtureServer server({"head\r\n", WhoisScript::Ending::Close, 100u * 1000u * 1000u});
    const auto reply = WhoisClient(server.port()).query("127.0.0.1", "example.com");
    ASSERT_TRUE(reply.has_value()) << reply.error().text;
    EXPECT_TRUE(reply->cut);
    ASSERT_EQ(reply->bytes.size(), kWhoisReplyLimit);
    EXPECT_EQ(reply->bytes.substr(0, 6), "head\r\n");
    EXPECT_EQ(reply->bytes.back(), 'x');
}

TEST(WhoisClient, PartsArriveBeforeTheServerClosesAndNeverPastTheCut) {
    // A server that never closes: its first line is handed over while the query still waits.
    WhoisFixtureServer open({"first part\r\n", WhoisScript::Ending::NeverClose});
    std::stop_source stop;
    std::promise<void> firstPart;
    std::string arrived;
    std::thread query([&] {
        const auto reply =
            WhoisClient(open.port())
                .query("127.0.0.1", "example.com", stop.get_token(), [&](std::string_view bytes) {
                    arrived += bytes;
                    if (arrived == "first part\r\n") {
                        firstPart.set_value();
                    }
                });
        EXPECT_EQ(reply.code(), ErrorCode::Stopped);
    });
    const bool handedOver = firstPart.get_future().wait_for(60s) == std::future_status::ready;
    stop.request_stop();
    query.join();
    EXPECT_TRUE(handedOver);

    WhoisFixtureServer endless({"head\r\n", WhoisScript::Ending::Close, 100u * 1000u * 1000u});
    std::size_t handed = 0;
    const auto reply = WhoisClient(endless.port())
                           .query("127.0.0.1", "example.com", {},
                                  [&](std::string_view bytes) { handed += bytes.size(); });
    ASSERT_TRUE(reply.has_value()) << reply.error().text;
    EXPECT_TRUE(reply->cut);
    EXPECT_EQ(handed, kWhoisReplyLimit);
}

TEST(WhoisClient, AReplyOfExactlyTheLimitIsComplete) {
    WhoisFixtureServer server({"", WhoisScript::Ending::Close, kWhoisReplyLimit});
    const auto reply = WhoisClient(server.port()).query("127.0.0.1", "example.com");
    ASSERT_TRUE(reply.has_value()) << reply.error().text;
    EXPECT_FALSE(reply->cut);
    EXPECT_EQ(reply->bytes.size(), kWhoisReplyLimit);
}

// The state letter of a thread of this process ('S' while it sleeps in a wait).
char ThreadState(pid_t thread) {
    std::ifstream stat("/proc/self/task/" + std::to_string(thread) + "/stat");
    std::string line;
    std::getline(stat, line);
    const auto paren = line.rfind(')');
    return paren == std::string::npos || paren + 2 >= line.size() ? '?' : line[paren + 2];
}

// Runs a query on a thread of its own, stops it once blocked, and gives its result. If the
// stop does not end the query, unblock() frees it so the thread is still joined.
Result<WhoisReply> QueryThenStop(const WhoisClient& client, const std::function<void()>& blocked,
                                 const std::function<void()>& unblock) {
    std::stop_source stop;
    std::atomic<pid_t> worker{0};
    std::promise<Result<WhoisReply>> done;
    auto result = done.get_future();
    std::thread thread([&] {
        worker = gettid();
        done.set_value(client.query("127.0.0.1", "example.com", stop.get_token()));
    });
    blocked();
    for (int i = 0; i < 200000 && (worker == 0 || ThreadState(worker) != 'S'); ++i) {
        std::this_thread::yield();
    }
    stop.request_stop();
    if (result.wait_for(60s) != std::future_status::ready) {
        ADD_FAILURE() << "Stop did not end the query";
        unblock();
    }
    thread.join();
    return result.get();
}

TEST(WhoisClient, StopEndsAQueryBlockedInRead) {
    WhoisFixtureServer server({"first part\r\n", WhoisScript::Ending::NeverClose});
    const auto reply = QueryThenStop(
        WhoisClient(server.port()), [&] { ASSERT_TRUE(server.waitForQueries(1)); },
        [&] { server.shutdown(); });
    ASSERT_FALSE(reply.has_value());
    EXPECT_EQ(reply.code(), ErrorCode::Stopped);
}

TEST(WhoisClient, StopEndsAQueryBlockedInConnect) {
    // A listener whose accept queue is full drops further SYNs: connect keeps waiting.
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    const int listener = socket(AF_INET, SOCK_STREAM, 0);
    ASSERT_EQ(bind(listener, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
    ASSERT_EQ(listen(listener, 0), 0);
    ASSERT_EQ(getsockname(listener, reinterpret_cast<sockaddr*>(&address), &length), 0);
    const int filler = socket(AF_INET, SOCK_STREAM, 0);
    ASSERT_EQ(connect(filler, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);

    const auto reply = QueryThenStop(
        WhoisClient(ntohs(address.sin_port)), [] {}, [&] { close(listener); });
    close(filler);
    close(listener);
    ASSERT_FALSE(reply.has_value());
    EXPECT_EQ(reply.code(), ErrorCode::Stopped);
}

}  // namespace
}  // namespace quendrix::net
