#include "tools/scanner/dwnld.h"

#include <algorithm>
#include <climits>
#include <utility>

namespace quendrix {

namespace {

// A deadline `Deadline` has passed at `now` when now lies less than half the clock's range after
// it: the tick count wraps after 49.7 days, and a plain unsigned comparison would then keep a
// deadline set just before the wrap from ever passing.
bool Passed(std::uint32_t now, std::uint32_t deadline) {
    return static_cast<std::int32_t>(now - deadline) > 0;
}

// TimeOut seconds as the slot's milliseconds; kept inside the range the wrap-safe comparison
// allows.
int TimeOutMsOf(int seconds) {
    constexpr long long kLimit = INT_MAX;
    return static_cast<int>(std::clamp(static_cast<long long>(seconds) * 1000, 0LL, kLimit));
}

}  // namespace

TMFDwnld::TMFDwnld() : m_service(std::make_unique<http::FetchService>()) {}

TMFDwnld::~TMFDwnld() {
    // The slots abandon their fetches before the network thread they refer to ends.
    m_pool.clear();
    m_service.reset();
}

bool TMFDwnld::Enqueue(const std::string& address, const std::string& referrer, int countArea,
                       bool keepBody, char linkKind, int retryCount, int depth) {
    if (!Enabled) {
        return false;
    }
    if (Stopping) {
        return true;
    }
    if (!Working) {
        ResetCounters();
        SetWorking(true);
    }
    m_queue.Append(address, TUrlObject{depth, countArea, linkKind, keepBody, retryCount, referrer});
    return true;
}

void TMFDwnld::ResetCounters() {
    DoneCount = 0;
    ErrorCount = 0;
    RequeueCount = 0;
    LastReported.fill(kNotReported);
    if (OnStatistics) {
        OnStatistics(0, 0, 0, 0, 0, 0);
    }
    m_queue.Clear();
}

void TMFDwnld::SetWorking(bool working) {
    Working = working;
    if (OnWorking) {
        OnWorking(working);
    }
    if (!working) {
        Stopping = false;
    }
}

void TMFDwnld::RequestStop() {
    Stopping = true;
    for (auto& slot : m_pool) {
        slot->Abort();
    }
}

std::size_t TMFDwnld::targetSize() const {
    return static_cast<std::size_t>(std::max(ConcurrentDownloads, 1));
}

void TMFDwnld::takeInPosted(std::uint32_t now) {
    for (http::FetchPost& post : m_service->takePosted()) {
        // A post whose fetch no slot waits for any more (its slot was destroyed) is dropped.
        for (auto& slot : m_pool) {
            if (slot->fetchId() != 0 && slot->fetchId() == post.id) {
                slot->takeIn(std::move(post), now);
                break;
            }
        }
    }
}

void TMFDwnld::Tick(std::uint32_t now) {
    // A handler that runs a tick of its own (through an event loop) would see slots mid-step.
    if (m_inTick) {
        return;
    }
    // Cleared however the tick ends: a handler that throws must not stop every later tick.
    struct InTick {
        bool& flag;
        explicit InTick(bool& inTick) : flag(inTick) { flag = true; }
        ~InTick() { flag = false; }
        InTick(const InTick&) = delete;
        InTick& operator=(const InTick&) = delete;
    } inTick(m_inTick);
    takeInPosted(now);

    ResizePool();
    // Connections to one server: the value for HTTP/1.0 servers (our requests are HTTP/1.0),
    // ConcurrentDownloads + 2, but never fewer than the pool holds: a slot still finishing its
    // fetch after ConcurrentDownloads was lowered must not wait for a connection behind the
    // others until it times out.
    const long hostLimit = static_cast<long>(std::max(targetSize() + 2, m_pool.size()));
    if (hostLimit != m_hostLimit) {
        m_service->setMaxHostConnections(hostLimit);
        m_hostLimit = hostLimit;
    }

    if (Stopping) {
        m_queue.Clear();
    } else {
        const std::size_t starting = std::min(targetSize(), m_pool.size());
        for (std::size_t i = 0; i < starting && !Stopping; ++i) {
            StartSlot(i, now);
        }
    }
    // By index: a handler may queue addresses, but the pool changes only in ResizePool.
    for (std::size_t i = 0; i < m_pool.size(); ++i) {
        step(*m_pool[i], i, now);
    }
}

void TMFDwnld::step(TMFHttpGet& slot, std::size_t index, std::uint32_t now) {
    switch (slot.SlotState) {
        case TSlotState::Idle:
            StartSlot(index, now);
            break;
        case TSlotState::Downloading:
            if (Passed(now, slot.Deadline)) {
                if (!slot.AbortRequested) {
                    if (!Stopping) {
                        raiseError("timeout : " + slot.Url.GetUrl(), 0, "TimeOut");
                    }
                    ++ErrorCount;
                    slot.Abort();
                }
            } else if (Stopping && !slot.AbortRequested) {
                slot.Abort();
            }
            break;
        case TSlotState::Finished:
            slot.Reap();
            if (slot.Succeeded) {
                slot.SlotState = TSlotState::Received;
            } else {
                slot.SlotState = slot.Skipped ? TSlotState::Idle : TSlotState::Failed;
            }
            break;
        case TSlotState::Received:
            stepReceived(slot);
            break;
        case TSlotState::Failed:
            stepFailed(slot);
            break;
        case TSlotState::Retired:
        case TSlotState::Assigning:
            break;
    }
}

void TMFDwnld::stepReceived(TMFHttpGet& slot) {
    slot.SlotState = TSlotState::Idle;
    const int status = slot.StatusCode;
    if (status == 200) {
        // A page that arrived before a stop still counts as done; it is only not handed on.
        ++DoneCount;
        if (!Stopping && OnPageReceived) {
            OnPageReceived(slot);
        }
    } else if ((status >= 201 && status <= 299) || (status >= 500 && status <= 599)) {
        slot.SlotState = TSlotState::Failed;
    } else if (!Stopping) {
        // Not counted as an error, and never tried again.
        raiseError(slot.Url.GetUrl(), static_cast<std::uint32_t>(status), "ERROR");
    }
}

void TMFDwnld::stepFailed(TMFHttpGet& slot) {
    if (slot.RetryCount >= Retries) {
        if (!Stopping) {
            raiseError(slot.Url.GetUrl(), static_cast<std::uint32_t>(slot.StatusCode), "");
            ++ErrorCount;
        }
    } else if (!Stopping) {
        // At the back of the queue, behind everything that waited meanwhile.
        m_queue.Append(slot.Url.GetUrl(),
                       TUrlObject{slot.Depth, slot.CountArea, slot.LinkKind, slot.KeepBody,
                                  slot.RetryCount + 1, slot.Referrer});
        ++RequeueCount;
    }
    slot.SlotState = TSlotState::Idle;
}

void TMFDwnld::raiseError(const std::string& address, std::uint32_t code,
                          const std::string& message) {
    if (OnError) {
        OnError(address, code, message);
    }
}

std::size_t TMFDwnld::nextEntry() const {
    if (!LeavesFirst) {
        return 0;
    }
    std::size_t deepest = 0;
    for (std::size_t i = 1; i < m_queue.Count(); ++i) {
        if (m_queue.At(i).Object.Depth > m_queue.At(deepest).Object.Depth) {
            deepest = i;
        }
    }
    return deepest;
}

void TMFDwnld::StartSlot(std::size_t index, std::uint32_t now) {
    TMFHttpGet& slot = *m_pool.at(index);
    if (slot.SlotState != TSlotState::Idle) {
        return;
    }
    slot.SlotState = TSlotState::Assigning;
    if (m_queue.Empty()) {
        slot.SlotState = TSlotState::Idle;
        return;
    }
    TUrlInQueue::Entry entry = m_queue.Take(nextEntry());
    slot.Url.Crack(std::move(entry.Address));
    slot.TimeOutMs = TimeOutMsOf(TimeOut);
    slot.RetryCount = entry.Object.RetryCount;
    slot.Depth = entry.Object.Depth;
    slot.CountArea = entry.Object.CountArea;
    slot.LinkKind = entry.Object.LinkKind;
    slot.KeepBody = entry.Object.KeepBody;
    slot.Referrer = std::move(entry.Object.Referrer);
    slot.Agent = Agent;
    slot.UserName = UserName;
    slot.Password = Password;
    slot.ProxyType = ProxyType;
    slot.ProxyAddress = ProxyAddress;
    slot.ProxyPort = ProxyPort;
    slot.ProxyUser = ProxyUser;
    slot.ProxyPassword = ProxyPassword;
    slot.HtmlOnly = HtmlOnly;
    slot.Analyse = Analyse;
    if (Stopping) {
        slot.SlotState = TSlotState::Idle;
        return;
    }
    slot.StartFetch(now);
}

void TMFDwnld::ResizePool() {
    const std::size_t target = targetSize();
    // Slots retired while the pool was smaller serve again when it grows before they are cut.
    for (std::size_t i = 0; i < std::min(target, m_pool.size()); ++i) {
        if (m_pool[i]->SlotState == TSlotState::Retired) {
            m_pool[i]->SlotState = TSlotState::Idle;
        }
    }
    while (m_pool.size() < target) {
        m_pool.push_back(std::make_unique<TMFHttpGet>(*m_service));
    }
    if (m_pool.size() == target) {
        return;
    }
    bool allRetired = true;
    for (std::size_t i = target; i < m_pool.size(); ++i) {
        TMFHttpGet& slot = *m_pool[i];
        if (slot.SlotState == TSlotState::Idle) {
            slot.SlotState = TSlotState::Retired;
        }
        allRetired = allRetired && slot.SlotState == TSlotState::Retired;
    }
    if (allRetired) {
        m_pool.resize(target);
    }
}

bool TMFDwnld::CheckProgress() {
    int downloading = 0;
    int toAnalyze = 0;
    bool busy = false;
    for (const auto& slot : m_pool) {
        downloading += slot->SlotState == TSlotState::Downloading ? 1 : 0;
        toAnalyze += slot->SlotState == TSlotState::Received ? 1 : 0;
        busy = busy || slot->SlotState > TSlotState::Idle;
    }
    const int inQueue = static_cast<int>(std::min<std::size_t>(m_queue.Count(), INT_MAX));
    const std::array<int, 6> current{inQueue,   downloading,  toAnalyze,
                                     DoneCount, RequeueCount, ErrorCount};
    // Without a statistics handler nothing is remembered, so every tick counts as changed and
    // the scan never ends by itself: that keeps a shut-down scanner from reporting its end.
    const bool changed = !OnStatistics || current != LastReported;
    if (changed && OnStatistics) {
        LastReported = current;
        OnStatistics(inQueue, downloading, toAnalyze, DoneCount, RequeueCount, ErrorCount);
    }
    if (inQueue == 0 && downloading == 0 && !changed && !busy) {
        if (IdleCountdown == 0) {
            return false;
        }
        --IdleCountdown;
        return true;
    }
    IdleCountdown = kQuietTicks;
    return true;
}

}  // namespace quendrix
