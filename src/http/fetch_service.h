// The website scanner's network thread: one libcurl multi handle on one thread of its own, which
// owns every transfer (each easy handle is created and closed there, exactly once). Callers on
// the user-interface thread start and abort fetches and take in what the thread posted; nothing
// here calls back into the caller's thread. Every fetch posts, in order, "alive" after every
// tenth chunk of its body and exactly one end.
#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace quendrix::http {

// 0 is never a fetch's id.
using FetchId = std::uint64_t;

// Direct: no proxy at all. Named: proxyAddress:proxyPort. Default: the environment's
// http_proxy / no_proxy, as Linux programs do.
enum class ProxyMode { Direct, Named, Default };

struct FetchRequest {
    // The absolute address to ask for, exactly as the scanner holds it.
    std::string url;
    std::string agent;
    std::string referrer;
    // Answered once to a first 401 / a first 407.
    std::string userName, password;
    ProxyMode proxy = ProxyMode::Default;
    std::string proxyAddress;
    long proxyPort = 80;
    std::string proxyUser, proxyPassword;
    bool keepBody = true;
    // The head decision's copy of the scheduler's setting: refuse a content type without "htm".
    bool htmlOnly = false;
    // Runs on the network thread over a received body before the end is posted (the page
    // analysis); its result travels in the end. May be empty.
    std::function<std::shared_ptr<const void>(const std::string& body)> analyse;
};

struct FetchPost {
    enum class Kind { Alive, End };
    FetchId id = 0;
    Kind kind = Kind::End;
    // End only.
    bool succeeded = false;
    bool skipped = false;
    int statusCode = 0;
    std::string head;
    long long contentLength = 0;
    std::string body;
    std::shared_ptr<const void> analysis;
};

class FetchService {
  public:
    FetchService();
    // Abandons every fetch and joins the network thread; never waits for a name look-up.
    ~FetchService();
    FetchService(const FetchService&) = delete;
    FetchService& operator=(const FetchService&) = delete;

    FetchId start(FetchRequest request);
    // Ends the fetch as soon as possible: its end (false, skipped) is posted at once, unless
    // its end was posted already. Unknown or ended ids are ignored.
    void abort(FetchId id);
    // Connections to one host at a time (0: no limit).
    void setMaxHostConnections(long limit);

    // Everything posted since the last call, in the order posted.
    std::vector<FetchPost> takePosted();
    // Waits until at least `count` posts are waiting to be taken, or the time is up. For tests
    // and the command line; the window never waits.
    bool waitForPosted(std::size_t count, std::chrono::milliseconds timeout);

  private:
    struct State;
    std::unique_ptr<State> m_state;
};

// curl_global_init, once, before any thread: every main() calls it first thing.
void GlobalInit();

}  // namespace quendrix::http
