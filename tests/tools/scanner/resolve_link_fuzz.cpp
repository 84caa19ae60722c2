// Fuzz target for the link resolver: the page's address, a line feed, then the raw link value
// (any bytes). Mail links give the text after their prefix up to a "?"; script links nothing;
// web addresses hold no fragment, and combined ones fit their 1024-character buffer.
#include "tools/scanner/link_rules.h"

#include <cstdint>
#include <cstdlib>
#include <string>

namespace {

void Check(bool condition) {
    if (!condition) {
        std::abort();
    }
}

std::string Upper(std::string text) {
    for (char& c : text) {
        if (c >= 'a' && c <= 'z') {
            c = static_cast<char>(c - 32);
        }
    }
    return text;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string input(reinterpret_cast<const char*>(data), size);
    const std::size_t lineEnd = input.find('\n');
    const std::string pageAddress = input.substr(0, lineEnd);
    const std::string raw =
        lineEnd == std::string::npos ? std::string() : input.substr(lineEnd + 1);
    quendrix::TCrackUrl page;
    page.Crack(pageAddress);
    const quendrix::ResolvedLink link = quendrix::ResolveLink(raw, page);
    const std::string upper = Upper(raw);
    if (upper.find("MAILTO:") != std::string::npos) {
        Check(link.type == "mail");
        const std::string after = raw.size() > 7 ? raw.substr(7) : std::string();
        Check(after.compare(0, link.address.size(), link.address) == 0);
        // Cut at its first "?" unless that stands first.
        Check(link.address.find('?') == std::string::npos || link.address.find('?') == 0);
        return 0;
    }
    Check(link.type.empty());
    if (upper.find("JAVASCRIPT") != std::string::npos) {
        Check(link.address.empty());
        return 0;
    }
    Check(link.address.find('#') == std::string::npos || link.address.find('#') == 0);
    if (upper.rfind("HTTP:", 0) == 0 || upper.rfind("HTTPS:", 0) == 0) {
        Check(raw.compare(0, link.address.size(), link.address) == 0);
    } else {
        Check(link.address.size() < quendrix::kCombinedAddressBuffer);
    }
    return 0;
}

#include "support/fuzz_replay_main.h"
