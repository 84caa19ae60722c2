// One download slot of the website scanner: the state the download scheduler drives through
// one fetch at a time, over the scheduler's network thread. Lives on the user-interface thread;
// the network thread never touches it. What a fetch learns reaches the slot only through
// takeIn, which the scheduler calls at the start of its tick.
#pragma once

#include "http/fetch_service.h"
#include "tools/scanner/crack_url.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <string>

namespace quendrix {

enum class TSlotState { Retired = 0, Idle, Assigning, Downloading, Finished, Received, Failed };

enum TProxyType { PROXY_DIRECT, PROXY_USEPROXY, PROXY_DEFAULT };

class TMFHttpGet {
  public:
    static constexpr const char* kDefaultAgent =
        "Mozilla/4.0 (compatible; MSIE 5.0; Windows NT; DigExt)";

    // The service outlives its slots.
    explicit TMFHttpGet(http::FetchService& service) : m_service(service) {}
    // Abandons a fetch still running (its end is still posted, for an id no slot has).
    ~TMFHttpGet();
    TMFHttpGet(const TMFHttpGet&) = delete;
    TMFHttpGet& operator=(const TMFHttpGet&) = delete;

    // Begins fetching the address already split into Url; `now` is the tick count in
    // milliseconds (Deadline := now + TimeOutMs). An invalid Url makes the slot Idle at once.
    void StartFetch(std::uint32_t now);
    // Stops the current fetch as soon as possible; its end arrives through takeIn like any end.
    void Abort();
    // The scheduler has handled Finished: the slot forgets its fetch.
    void Reap();

    // The fetch this slot waits for (0: none).
    http::FetchId fetchId() const { return m_fetch; }
    // One post of this slot's fetch: alive moves Deadline to now + TimeOutMs; the end copies
    // outcome, status, head, content length and body and makes the slot Finished.
    void takeIn(http::FetchPost&& post, std::uint32_t now);

    TCrackUrl Url;
    TSlotState SlotState = TSlotState::Idle;
    bool Running = false;
    bool Active = false;
    bool AbortRequested = false;
    bool Succeeded = false;
    bool Skipped = false;
    int StatusCode = 0;
    long long ContentLength = 0;
    std::string Head;
    std::string Body;
    std::uint32_t Deadline = 0;
    int TimeOutMs = 300000;
    std::string Agent = kDefaultAgent;
    std::string UserName;
    std::string Password;
    TProxyType ProxyType = PROXY_DEFAULT;
    std::string ProxyAddress;
    int ProxyPort = 80;
    std::string ProxyUser;
    std::string ProxyPassword;
    std::string Referrer;
    int Depth = 1;
    int RetryCount = 0;
    int CountArea = 0;
    char LinkKind = ' ';
    bool KeepBody = true;
    // The head decision's copy of the scheduler's HtmlOnly, taken at each assignment.
    bool HtmlOnly = false;
    // What the page analysis of a received body produced on the network thread (may be null).
    std::shared_ptr<const void> Analysis;
    // The page analysis, run on the network thread over a received body; its result becomes
    // Analysis. Copied into each fetch at its start; may be empty.
    std::function<std::shared_ptr<const void>(const std::string& body)> Analyse;

  private:
    http::FetchService& m_service;
    http::FetchId m_fetch = 0;
};

}  // namespace quendrix
