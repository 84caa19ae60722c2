// Fuzz target for the address splitter: any bytes. The text comes back exactly; a split address
// has components that fit their buffers and hold no control character, keys drawn from them,
// and splitting the same text again gives the same parts; a refused one keeps nothing.
#include "tools/scanner/crack_url.h"

#include <cstdint>
#include <cstdlib>
#include <string>

namespace {

void Check(bool condition) {
    if (!condition) {
        std::abort();
    }
}

bool Fits(const std::string& component) {
    if (component.size() >= 1024) {
        return false;
    }
    for (const char c : component) {
        if (static_cast<unsigned char>(c) < 32) {
            return false;
        }
    }
    return true;
}

bool SameParts(const quendrix::TCrackUrl& a, const quendrix::TCrackUrl& b) {
    return a.Url == b.Url && a.Scheme == b.Scheme && a.HostName == b.HostName && a.Port == b.Port &&
           a.UserName == b.UserName && a.Password == b.Password && a.UrlPath == b.UrlPath &&
           a.ExtraInfo == b.ExtraInfo && a.Valid == b.Valid && a.SiteKey == b.SiteKey &&
           a.PathKey == b.PathKey;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string address(reinterpret_cast<const char*>(data), size);
    quendrix::TCrackUrl url;
    const bool valid = url.Crack(address);
    Check(valid == url.Valid);
    Check(url.GetUrl() == address);
    Check(!url.PathKey.empty());
    if (valid) {
        for (const std::string* component : {&url.Scheme, &url.HostName, &url.UserName,
                                             &url.Password, &url.UrlPath, &url.ExtraInfo}) {
            Check(Fits(*component));
        }
        Check(!url.HostName.empty() && !url.Scheme.empty());
        Check(url.PathKey.compare(0, url.UrlPath.size(), url.UrlPath) == 0);
        // The last two labels, or the first of two.
        const std::string& host = url.HostName;
        const std::string& site = url.SiteKey;
        Check(site.size() <= host.size());
        Check(host.compare(host.size() - site.size(), std::string::npos, site) == 0 ||
              host.compare(0, site.size() + 1, site + ".") == 0);
        Check(url.ExtraInfo.empty() || url.ExtraInfo[0] == '?' || url.ExtraInfo[0] == '#');
    } else {
        Check(url.Scheme.empty() && url.HostName.empty() && url.Port == 0 && url.UserName.empty() &&
              url.Password.empty() && url.UrlPath.empty() && url.ExtraInfo.empty() &&
              url.SiteKey.empty() && url.PathKey == "/");
    }
    // Each split overwrites the last one completely.
    const quendrix::TCrackUrl first = url;
    url.Crack("http://user:pw@other.example.com:81/p/q?x#y");
    url.Crack(address);
    Check(SameParts(url, first));
    return 0;
}

#include "support/fuzz_replay_main.h"
