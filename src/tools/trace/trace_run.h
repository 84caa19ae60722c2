// The trace: resolve the typed target, ping it once with the largest time-to-live, then send
// echo requests with time-to-live 1, 2, 3 ... and say hop by hop who answered. One engine for
// the page and the command line; it runs on a worker and hands over what the user sees, in
// order: log lines, the clearing of the hop list when the hop step starts, and one row per hop.
//
// Two ways to stop: the soft stop of the Stop button (TraceControls::requestStop) lets the hop
// being waited for run to its end, writes its row and ends the trace; the stop token (closing
// the window, Ctrl-C, a new start abandoning a look-up) ends every wait at once and nothing
// more is handed over.
//
// Plain C++ without Qt, so that the command line's trace starts as quickly as the system's own
// tracing tools. Its texts are the system's bytes (the locale's 8-bit text): the target as
// typed, the log lines, the rows.
#pragma once

#include "net/raw_icmp_client.h"
#include "net/result.h"

#include <atomic>
#include <chrono>
#include <functional>
#include <mutex>
#include <optional>
#include <stop_token>
#include <string>
#include <vector>

namespace quendrix::trace {

// The page's values that a running trace reads anew for every hop, and the soft stop. Any
// thread may change them at any time.
class TraceControls {
  public:
    static constexpr int kDefaultMaxHops = 30;
    static constexpr int kMinMaxHops = 1;
    static constexpr int kMaxMaxHops = 255;

    void setMaxHops(int hops) { m_maxHops.store(hops, std::memory_order_relaxed); }
    int maxHops() const { return m_maxHops.load(std::memory_order_relaxed); }
    void setHostRevolve(bool on) { m_hostRevolve.store(on, std::memory_order_relaxed); }
    bool hostRevolve() const { return m_hostRevolve.load(std::memory_order_relaxed); }

    // The hop being waited for ends as it would, its row is written, and the trace ends.
    void requestStop() { m_stop.store(true, std::memory_order_relaxed); }
    bool stopRequested() const { return m_stop.load(std::memory_order_relaxed); }

    // True while the trace waits for its target's look-up (which may never return); a new
    // start may abandon such a trace instead of waiting for it.
    bool resolving() const { return m_resolving.load(std::memory_order_relaxed); }
    void setResolving(bool on) { m_resolving.store(on, std::memory_order_relaxed); }

  private:
    std::atomic<int> m_maxHops{kDefaultMaxHops};
    std::atomic<bool> m_hostRevolve{false};
    std::atomic<bool> m_stop{false};
    std::atomic<bool> m_resolving{false};
};

// One row of the hop list: the four texts as shown.
struct HopRow {
    int hop = 0;
    std::string ip;
    std::string host;
    std::string note;

    bool operator==(const HopRow&) const = default;
};

// One thing the trace hands over.
struct TraceEvent {
    enum class Kind {
        Log,        // lines appended to the log
        ClearHops,  // the hop step starts: the hop list is emptied
        Hop,        // a hop's row, written over the row with its number or appended
        // A hop answered and its router's name is being looked up (Host Revolve): the row as
        // it is without the name. The Hop event with the name follows, unless the stop token
        // ends the trace first; a look-up cannot be woken, so a command line interrupted then
        // writes this row rather than lose the hop.
        HopAnswered,
    };
    Kind kind = Kind::Log;
    std::vector<std::string> lines;  // Log
    HopRow row;                      // Hop
};

// The client every trace of a program run uses (its sequence numbers run on from trace to
// trace), and the lock that makes each exchange (host, time-to-live, time-out, ping) one unit.
struct TraceClient {
    net::RawIcmpClient client;
    std::mutex exchange;
};

struct TraceRequest {
    std::string typedTarget;  // the target box's text, as typed
    // How long each ping waits for its answer (the page always waits 5 s; tests wait less).
    std::chrono::milliseconds wait = net::RawIcmpClient::kDefaultReceiveTimeout;
};

// How a trace ended without an error.
enum class TraceEnd {
    Traced,       // the hop step ran: target reached, unreachable, Max Hops, or a soft stop
    NotResolved,  // the target has no address: the log says why, no hop was sent
    SoftStopped,  // a soft stop came before the hop step began
    Stopped,      // the stop token ended it; what it handed over last may be cut short
};

// One trace's state as its steps pass it on: what they use, and the resolved address.
struct TraceSteps {
    TraceClient& client;
    const TraceRequest& request;
    TraceControls& controls;
    std::stop_token stop;
    const std::function<void(TraceEvent)>& emit;
    std::string address;  // dotted; set by the resolve step
};

// The three steps of a trace, in order. The first two give the end of the trace when it ends
// there (no address, a stop), nothing when the next step is to run; a raised failure ends it.
// The resolve step logs the target as typed and what it resolved to (or why it did not).
Result<std::optional<TraceEnd>> ResolveStep(TraceSteps& run);
// The first ping, with time-to-live maxHops, and its log line; its outcome does not matter.
Result<std::optional<TraceEnd>> PingHost(TraceSteps& run, const std::string& address, int maxHops);
// The hops, one row each, until the target answers, a router says unreachable, Max Hops (read
// anew for every hop) is reached or a stop comes.
Result<TraceEnd> TraceStep(TraceSteps& run);

// Runs the three steps, handing over each event as it happens. A failure of the ping or hop
// step ("Socket Error # ..." when no ICMP socket may be opened, "Non-echo type response
// received", ...) ends the trace and is returned; rows handed over before it stay.
Result<TraceEnd> RunTrace(TraceClient& client, const TraceRequest& request, TraceControls& controls,
                          std::stop_token stop, const std::function<void(TraceEvent)>& emit);

// The hop's line in the export file and on the command line's output: the four texts joined
// by four blanks.
std::string HopLine(const HopRow& row);

}  // namespace quendrix::trace
