// Whether a test runs inside the DNS lab (tests/lab/): lab-run sets QUENDRIX_LAB=dns and the
// lab marks its resolv.conf, so a lab test never resolves through the machine's own DNS.
#pragma once

#include <cstdlib>
#include <fstream>
#include <iterator>
#include <string>

namespace quendrix::test {

inline bool InsideDnsLab() {
    const char* lab = std::getenv("QUENDRIX_LAB");
    if (lab == nullptr || std::string(lab) != "dns") {
        return false;
    }
    std::ifstream resolvConf("/etc/resolv.conf");
    const std::string text{std::istreambuf_iterator<char>(resolvConf), {}};
    return text.find("# quendrix dns lab") != std::string::npos;
}

// What a lab test says when it is started outside the lab.
inline constexpr char kOutsideDnsLab[] =
    "not inside the DNS lab: run through tests/lab/lab-run dns (ctest -L lab)";

}  // namespace quendrix::test
