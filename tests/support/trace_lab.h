// What the trace lab (tests/lab/trace/run-trace-lab.sh) tells the program it runs: which socket
// the run has, the routers' addresses facing the client, and the destinations that show a
// reply at hop 4, a silent hop 2, an unreachable answer at hop 4 and no answer at all.
#pragma once

#include <cstdlib>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

namespace quendrix::test {

struct TraceLab {
    std::string run;                // raw | datagram | none
    std::vector<std::string> hops;  // the three routers, hop 1 first
    std::string target;             // answers at hop 4
    std::string silentHop2;         // hop 2 never answers for it
    std::string unreachableHop4;    // the third router answers host-unreachable at hop 4
    std::string dropped;            // never answers

    bool hasSocket() const { return run != "none"; }

    // The lab's values, or nothing outside the lab.
    static std::optional<TraceLab> FromEnvironment() {
        const auto setting = [](const char* name) {
            const char* value = std::getenv(name);
            return std::string(value != nullptr ? value : "");
        };
        TraceLab lab{setting("QUENDRIX_TRACE_LAB_EXPECT"),
                     {},
                     setting("QUENDRIX_TRACE_LAB_TARGET"),
                     setting("QUENDRIX_TRACE_LAB_SILENT_HOP2"),
                     setting("QUENDRIX_TRACE_LAB_UNREACHABLE_HOP4"),
                     setting("QUENDRIX_TRACE_LAB_DROPPED")};
        if (lab.run.empty()) {
            return std::nullopt;
        }
        std::istringstream hops(setting("QUENDRIX_TRACE_LAB_HOPS"));
        for (std::string hop; hops >> hop;) {
            lab.hops.push_back(hop);
        }
        return lab;
    }
};

// What a trace lab test says when it is started outside the lab.
inline constexpr char kOutsideTraceLab[] =
    "runs only inside the trace lab (tests/lab/trace/run-trace-lab.sh)";

}  // namespace quendrix::test
