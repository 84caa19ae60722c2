#include "tools/scanner/crack_url.h"

#include "http/url_parser.h"

#include <optional>

namespace quendrix {
namespace {

// Each component is held in a buffer of this many characters, its terminator included.
constexpr std::size_t kComponentBuffer = 1024;

// A segment without a "." after the last "/" names a folder: /dir/sub is /dir/sub/.
std::string MakePathKey(const std::string& path) {
    std::string key = path;
    const std::size_t slash = path.rfind('/');
    if (slash != std::string::npos && slash + 1 < path.size() &&
        path.find('.', slash + 1) == std::string::npos) {
        key += '/';
    }
    return key.empty() ? std::string("/") : key;
}

// The last two labels (a.b.c gives b.c); a host of two labels gives its first (b.c gives b).
std::string MakeSiteKey(const std::string& host) {
    const std::size_t lastDot = host.rfind('.');
    if (lastDot == std::string::npos || lastDot == 0) {
        return std::string();
    }
    const std::string rest = host.substr(0, lastDot);
    const std::size_t dot = rest.rfind('.');
    return dot == std::string::npos ? rest : host.substr(dot + 1);
}

}  // namespace

bool TCrackUrl::Crack(std::string address) {
    *this = TCrackUrl();
    Url = std::move(address);
    const std::optional<http::UrlParts> parts = http::SplitUrl(Url);
    if (parts) {
        Scheme = parts->scheme;
        HostName = parts->host;
        Port = parts->port;
        UserName = parts->user;
        Password = parts->password;
        UrlPath = parts->path;
        if (parts->hasQuery) {
            ExtraInfo += '?' + parts->query;
        }
        if (parts->hasFragment) {
            ExtraInfo += '#' + parts->fragment;
        }
        Valid = true;
        for (const std::string* component :
             {&Scheme, &HostName, &UserName, &Password, &UrlPath, &ExtraInfo}) {
            if (component->size() >= kComponentBuffer) {
                Valid = false;
            }
        }
        if (!Valid) {
            // What did not fit is no result: keep nothing of it.
            std::string url = std::move(Url);
            *this = TCrackUrl();
            Url = std::move(url);
        }
    }
    PathKey = MakePathKey(UrlPath);
    SiteKey = MakeSiteKey(HostName);
    return Valid;
}

}  // namespace quendrix
