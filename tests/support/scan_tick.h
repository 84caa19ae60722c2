// One tick of a scanner component at a test's own clock (its timer stopped). While a slot
// downloads, the tick first waits, at most `wait`, for the network thread to post something,
// so each tick sees a known state without sleeping.
#pragma once

#include "tools/scanner/http_scan.h"

#include <chrono>
#include <cstddef>
#include <cstdint>

namespace quendrix::test {

inline bool AnySlotDownloading(THttpScan& scan) {
    TMFDwnld& scheduler = scan.Scheduler();
    for (std::size_t i = 0; i < scheduler.PoolSize(); ++i) {
        if (scheduler.Slot(i).SlotState == TSlotState::Downloading) {
            return true;
        }
    }
    return false;
}

inline void TickScan(THttpScan& scan, std::uint32_t& now, std::chrono::milliseconds wait) {
    if (AnySlotDownloading(scan)) {
        scan.Scheduler().Service().waitForPosted(1, wait);
    }
    now += THttpScan::kTickMs;
    scan.TickAt(now);
}

}  // namespace quendrix::test
