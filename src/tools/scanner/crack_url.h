// A web address split into its parts, with the two keys that decide whether two addresses
// belong to the same site (SiteKey) and the same path (PathKey). One object per user, reused:
// each Crack overwrites the last result. Texts are bytes as found in pages (UTF-8 here).
#pragma once

#include <cstdint>
#include <string>

namespace quendrix {

class TCrackUrl {
  public:
    // Splits the address; every component decoded. Never throws: an address the parser
    // rejects (no known scheme, a component of 1024 characters or more, no host) leaves
    // Valid false.
    bool Crack(std::string address);
    // The text exactly as given to the last Crack (never a reassembled address).
    const std::string& GetUrl() const { return Url; }

    std::string Url;
    std::string Scheme;
    std::string HostName;
    std::uint16_t Port = 0;
    std::string UserName;
    std::string Password;
    std::string UrlPath;
    std::string ExtraInfo;
    bool Valid = false;
    std::string SiteKey;
    std::string PathKey;
};

}  // namespace quendrix
