// The scanner component played tick by tick: its timer stopped, every event recorded, the
// 200 ms tick given by the test's clock. Between ticks the driver waits for the network
// thread's posts while a slot is downloading (never sleeps), so each tick sees a known state.
#pragma once

#include "support/scan_tick.h"
#include "tools/scanner/http_scan.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdint>
#include <functional>
#include <ostream>
#include <string>
#include <vector>

namespace quendrix::test {

// One OnLinkFound, as the page's list would show it.
struct FoundLink {
    std::string url;
    std::string type;
    std::string from;
    std::string host;
    std::string path;
    std::string pathWithFile;
    std::string extra;
    char hrefOrSrc = ' ';
    bool operator==(const FoundLink&) const = default;
};

inline void PrintTo(const FoundLink& link, std::ostream* out) {
    *out << "{" << link.type << " " << link.url << " from " << link.from << " '" << link.hrefOrSrc
         << "'}";
}

struct ScanError {
    std::string url;
    std::uint32_t code = 0;
    std::string message;
    bool operator==(const ScanError&) const = default;
};

inline void PrintTo(const ScanError& error, std::ostream* out) {
    *out << "{\"" << error.url << "\", " << error.code << ", \"" << error.message << "\"}";
}

class ScanDriver {
  public:
    // `postWait`: how long a tick waits for the network thread while a slot downloads. A site
    // that answers everything can wait long (a page always comes); hostile servers that hold
    // slots for ever need a short wait.
    explicit ScanDriver(std::chrono::milliseconds wait = std::chrono::seconds(30))
        : postWait(wait) {
        scan.Timer().stop();
        scan.SetProxyType(PROXY_DIRECT);
        scan.OnLinkFound = [this](const std::string& url, const std::string& type,
                                  const std::string& from, const std::string& host,
                                  const std::string& path, const std::string& pathWithFile,
                                  const std::string& extra, std::string& writeToFile,
                                  char hrefOrSrc, int, bool& follow) {
            links.push_back({url, type, from, host, path, pathWithFile, extra, hrefOrSrc});
            log.push_back("link " + url);
            if (onLink) {
                onLink(links.back(), writeToFile, follow);
            }
        };
        scan.OnPageReceived = [this](const std::string&, const std::string& url, const std::string&,
                                     const std::string&) {
            pages.push_back(url);
            log.push_back("page " + url);
        };
        scan.OnError = [this](const std::string& url, std::uint32_t code,
                              const std::string& message) {
            errors.push_back({url, code, message});
            log.push_back("error " + url);
        };
        scan.OnUpdatedStats = [this](int, int, int, int, int, int) {
            ++statistics;
            lastStatisticsTick = ticks;
        };
        scan.OnWorking = [this](bool working) {
            log.push_back(working ? "working 1" : "working 0");
            if (onWorking) {
                onWorking(working);
            }
        };
        scan.ShowMessage = [this](const std::string& text) { messages.push_back(text); };
        scan.EndProgram = [this] { ++ended; };
    }

    bool anySlotDownloading() { return AnySlotDownloading(scan); }

    bool allSlotsIdle() {
        TMFDwnld& dwnld = scan.Scheduler();
        for (std::size_t i = 0; i < dwnld.PoolSize(); ++i) {
            if (dwnld.Slot(i).SlotState > TSlotState::Idle) {
                return false;
            }
        }
        return dwnld.QueueCount() == 0;
    }

    // One timer event, 200 ms after the last.
    void tick() {
        ++ticks;
        TickScan(scan, now, postWait);
    }

    // Ticks until the scan is no longer working; false when it still is after `maxTicks`.
    bool runToEnd(int maxTicks = 2000) {
        for (int i = 0; i < maxTicks && scan.IsWorking(); ++i) {
            tick();
        }
        return !scan.IsWorking();
    }

    // Ticks until `done` holds (checked before each tick); false after `maxTicks`.
    bool tickUntil(const std::function<bool()>& done, int maxTicks = 2000) {
        for (int i = 0; i < maxTicks; ++i) {
            if (done()) {
                return true;
            }
            tick();
        }
        return done();
    }

    void clearRecords() {
        links.clear();
        pages.clear();
        errors.clear();
        log.clear();
        messages.clear();
    }

    THttpScan scan;
    std::uint32_t now = 1000;
    int ticks = 0;
    std::vector<FoundLink> links;
    std::vector<std::string> pages;
    std::vector<ScanError> errors;
    std::vector<std::string> log;
    std::vector<std::string> messages;
    int statistics = 0;
    // The tick that last reported changed statistics: the scan's last activity.
    int lastStatisticsTick = 0;
    int ended = 0;
    // Called from inside the events, after they are recorded.
    std::function<void(const FoundLink&, std::string& writeToFile, bool& follow)> onLink;
    std::function<void(bool working)> onWorking;
    // How long a tick waits for the network thread while a slot downloads.
    std::chrono::milliseconds postWait;
};

}  // namespace quendrix::test
