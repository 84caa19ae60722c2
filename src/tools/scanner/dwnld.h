// The website scanner's download scheduler: the queue of addresses still to fetch and a pool of
// download slots sharing one network thread, driven tick by tick on the user-interface thread.
// Each tick first takes in what the network thread has posted, then starts idle slots on
// queued addresses, notices time-outs, collects finished fetches, hands received pages on,
// queues failed addresses again and, through CheckProgress, reports statistics and tells when
// a scan has ended. It knows nothing of HTML: pages, errors, statistics and the working state
// leave through the four handlers.
//
// Time is the caller's: Tick takes the tick count in milliseconds (unsigned, wrapping), so the
// scanner's timer and the tests drive it alike.
#pragma once

#include "http/fetch_service.h"
#include "tools/scanner/http_get.h"
#include "tools/scanner/url_in_queue.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace quendrix {

class TMFDwnld {
  public:
    // A fetch ended with status 200 and the scheduler is not stopping. The slot holds the page
    // (Url, Head, Body, Analysis) until its next assignment.
    using TPageReceivedHandler = std::function<void(TMFHttpGet& slot)>;
    using TStatisticsHandler = std::function<void(int inQueue, int downloading, int toAnalyze,
                                                  int done, int retries, int errors)>;
    // Time-out: ("timeout : " + address, 0, "TimeOut"); a status that is neither a page nor
    // retried: (address, status, "ERROR"); retries used up: (address, last status, "").
    using TErrorHandler = std::function<void(const std::string& address, std::uint32_t code,
                                             const std::string& message)>;
    using TWorkingHandler = std::function<void(bool working)>;

    // What the last reported statistics start from at each reset, so the next check reports.
    static constexpr int kNotReported = 99999;
    static constexpr int kQuietTicks = 10;

    TMFDwnld();
    // Abandons every fetch still running, then ends the network thread.
    ~TMFDwnld();
    TMFDwnld(const TMFDwnld&) = delete;
    TMFDwnld& operator=(const TMFDwnld&) = delete;

    // False when not Enabled. While Stopping the address is dropped (true). The first address
    // of a scan resets the counters and the queue and raises the working handler (true).
    bool Enqueue(const std::string& address, const std::string& referrer, int countArea,
                 bool keepBody, char linkKind, int retryCount, int depth);
    // One pass over the pool at tick count `now` (milliseconds): everything posted by the
    // network thread is taken in first, then each slot takes one step. Nothing is taken in
    // during a tick, so one tick sees one consistent picture. A Tick from inside a handler of a
    // tick does nothing.
    void Tick(std::uint32_t now);
    // False when the scan has ended (the eleventh quiet tick in a row); reports statistics.
    // Run after every Tick while Working.
    bool CheckProgress();
    void SetWorking(bool working);
    // Winds the scan down: the queue is emptied on every tick, every slot is aborted, nothing
    // new is started or retried, no page or error is handed on.
    void RequestStop();
    // Counters to 0, the statistics handler raised with six zeros, the queue emptied.
    void ResetCounters();
    std::size_t QueueCount() const { return m_queue.Count(); }

    // The tick's own steps, public so that their effect can be checked one at a time.
    void StartSlot(std::size_t index, std::uint32_t now);
    void ResizePool();

    std::size_t PoolSize() const { return m_pool.size(); }
    TMFHttpGet& Slot(std::size_t index) { return *m_pool.at(index); }
    const TUrlInQueue& Queue() const { return m_queue; }
    // The network thread the slots share (tests wait on it for posts).
    http::FetchService& Service() { return *m_service; }

    // Slots the pool is brought to; it also sets the network thread's limit of connections to
    // one server (this + 2, never below the pool's length). A value below 1 counts as 1.
    int ConcurrentDownloads = 3;
    // Attempts after the first before an address is given up.
    int Retries = 3;
    // Seconds a fetch may go without progress.
    int TimeOut = 300;
    // Refuse a response whose content type lacks "htm" (decided on the network thread from the
    // copy each slot takes at assignment).
    bool HtmlOnly = false;
    // Take the deepest queued address first (the oldest of the deepest) in place of the front:
    // a crawl then finishes the pages that add no more links before it opens new levels, which
    // keeps the queue short. Costs a walk over the whole queue at each assignment.
    bool LeavesFirst = false;
    // Copied into each slot at assignment.
    std::string Agent;
    std::string UserName;
    std::string Password;
    TProxyType ProxyType = PROXY_DEFAULT;
    std::string ProxyAddress;
    int ProxyPort = 80;
    std::string ProxyUser;
    std::string ProxyPassword;
    // The page analysis run on the network thread over each received body; copied into each
    // slot at assignment. May be empty.
    std::function<std::shared_ptr<const void>(const std::string& body)> Analyse;

    bool Working = false;
    bool Stopping = false;
    bool Enabled = true;
    int DoneCount = 0;
    int ErrorCount = 0;
    int RequeueCount = 0;
    // InQueue, Downloading, ToAnalyze, Done, Retries, Errors as last sent to the statistics
    // handler.
    std::array<int, 6> LastReported{kNotReported, kNotReported, kNotReported,
                                    kNotReported, kNotReported, kNotReported};
    int IdleCountdown = kQuietTicks;

    TPageReceivedHandler OnPageReceived;
    TStatisticsHandler OnStatistics;
    TErrorHandler OnError;
    TWorkingHandler OnWorking;

  private:
    void takeInPosted(std::uint32_t now);
    void step(TMFHttpGet& slot, std::size_t index, std::uint32_t now);
    void stepReceived(TMFHttpGet& slot);
    void stepFailed(TMFHttpGet& slot);
    std::size_t nextEntry() const;
    std::size_t targetSize() const;
    void raiseError(const std::string& address, std::uint32_t code, const std::string& message);

    // Declared first: the slots refer to it, so it outlives them.
    std::unique_ptr<http::FetchService> m_service;
    TUrlInQueue m_queue;
    std::vector<std::unique_ptr<TMFHttpGet>> m_pool;
    long m_hostLimit = -1;
    bool m_inTick = false;
};

}  // namespace quendrix
