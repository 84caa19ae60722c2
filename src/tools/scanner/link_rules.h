// The website scanner's link rules: a raw link value found in a page made into an address, the
// link's type from its file-name extension, and the keyword test of the filter lists.
#pragma once

#include "tools/scanner/crack_url.h"
#include "tools/scanner/mf_string_list.h"

#include <array>
#include <string>
#include <string_view>

namespace quendrix {

// The file-name extensions that keep their own link type; any other extension is a page
// ("htm"). Lower case, in their listing order, which is not byte order ("@@@" comes before
// "123"): look a type up with IsKnownExtension, never by a binary search over this listing.
extern const std::array<std::string_view, 550> KnownExtensions;

// An exact, case-sensitive match of a KnownExtensions key ("gif" is one, "GIF" is not).
bool IsKnownExtension(std::string_view type);

struct ResolvedLink {
    // Empty for a script link or one that does not combine into an address.
    std::string address;
    // "mail" for a mail link (address is then the mail address), else empty.
    std::string type;
};

// Combined addresses of this many characters or more do not fit their buffer and resolve to
// nothing.
inline constexpr std::size_t kCombinedAddressBuffer = 1024;

// A raw link value found on `page`. Mail links give their address up to any "?"; script links
// nothing; "http:" and "https:" links stand as written; anything else is combined with the base
// Scheme://HostName[:Port unless 80]PathKey of the page, keeping every character as written.
// A "#" fragment is cut from web addresses.
ResolvedLink ResolveLink(const std::string& raw, const TCrackUrl& page);

struct LinkClass {
    // "unknown", "htm" (a page) or a KnownExtensions key.
    std::string type;
    // Lower-cased, "http" when the address names none.
    std::string scheme;
};

// The type of a web address from its file-name extension: addresses with a query or a fragment
// and every extension that is not a known key are pages; "jpeg" and "mpeg" are "jpg" and "mpg".
LinkClass ClassifyLink(const std::string& address);

// True when the address, lower-cased (A-Z only), contains one of the words (an empty word never
// matches).
bool ContainsKeyword(const TMFStringList& words, const std::string& address);

}  // namespace quendrix
