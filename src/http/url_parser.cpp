#include "http/url_parser.h"

#include <curl/curl.h>

#include <charconv>
#include <memory>
#include <string_view>

namespace quendrix::http {
namespace {

struct UrlDeleter {
    void operator()(CURLU* handle) const { curl_url_cleanup(handle); }
};
using UrlHandle = std::unique_ptr<CURLU, UrlDeleter>;

// One part of the handle; an absent part is nothing, any other failure is `failed`.
std::optional<std::string> GetPart(CURLU* handle, CURLUPart part, unsigned flags, bool& failed) {
    char* text = nullptr;
    const CURLUcode code = curl_url_get(handle, part, &text, flags);
    if (code != CURLUE_OK) {
        const bool absent = code == CURLUE_NO_USER || code == CURLUE_NO_PASSWORD ||
                            code == CURLUE_NO_QUERY || code == CURLUE_NO_FRAGMENT;
        failed = failed || !absent;
        return std::nullopt;
    }
    std::string result(text);
    curl_free(text);
    return result;
}

bool EqualsIgnoringCase(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) {
        return false;
    }
    for (std::size_t i = 0; i < a.size(); ++i) {
        auto lower = [](unsigned char c) { return c >= 'A' && c <= 'Z' ? c + 32 : c; };
        if (lower(static_cast<unsigned char>(a[i])) != lower(static_cast<unsigned char>(b[i]))) {
            return false;
        }
    }
    return true;
}

// libcurl reports "/" for an address without a path; the address itself tells: after the scheme
// and its slashes, the host part ends at the first "/", "?" or "#", and only a "/" starts a path.
bool HasPath(const std::string& address) {
    std::size_t at = address.find(':');
    if (at == std::string::npos) {
        return false;
    }
    at = address.find_first_not_of('/', at + 1);
    if (at == std::string::npos) {
        return false;
    }
    at = address.find_first_of("/?#", at);
    return at != std::string::npos && address[at] == '/';
}

bool HasEmptyQuery(std::string_view address) {
    address = address.substr(0, address.find('#'));
    const std::size_t question = address.find('?');
    return question != std::string_view::npos && question + 1 == address.size();
}

// libcurl escapes blanks and bytes above 127 of a relative reference (a blank in its query even
// becomes "+") and refuses control characters. Combined addresses keep every character as
// written, so each such byte, and every "%" (which makes the way back exact), travels as an
// escape that Unescape turns back.
std::string Escape(std::string_view text, bool percent = true) {
    static constexpr char kHex[] = "0123456789ABCDEF";
    std::string result;
    result.reserve(text.size());
    for (const char c : text) {
        const auto byte = static_cast<unsigned char>(c);
        if ((percent && byte == '%') || byte <= ' ' || byte >= 0x7f) {
            result += '%';
            result += kHex[byte >> 4];
            result += kHex[byte & 0x0f];
        } else {
            result += c;
        }
    }
    return result;
}

int HexValue(char c) {
    if (c >= '0' && c <= '9') {
        return c - '0';
    }
    if (c >= 'A' && c <= 'F') {
        return c - 'A' + 10;
    }
    if (c >= 'a' && c <= 'f') {
        return c - 'a' + 10;
    }
    return -1;
}

std::string Unescape(std::string_view text) {
    std::string result;
    result.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '%' && i + 2 < text.size() && HexValue(text[i + 1]) >= 0 &&
            HexValue(text[i + 2]) >= 0) {
            result += static_cast<char>(HexValue(text[i + 1]) * 16 + HexValue(text[i + 2]));
            i += 2;
        } else {
            result += text[i];
        }
    }
    return result;
}

}  // namespace

std::optional<UrlParts> SplitUrl(const std::string& address) {
    // libcurl reads a C string: a NUL would silently cut the address.
    if (address.find('\0') != std::string::npos) {
        return std::nullopt;
    }
    UrlHandle handle(curl_url());
    if (!handle) {
        return std::nullopt;
    }
    // Paths stay as written ("." and ".." segments included); blanks are taken as they come.
    if (curl_url_set(handle.get(), CURLUPART_URL, address.c_str(),
                     CURLU_PATH_AS_IS | CURLU_ALLOW_SPACE) != CURLUE_OK) {
        return std::nullopt;
    }
    bool failed = false;
    UrlParts parts;
    const std::optional<std::string> scheme = GetPart(handle.get(), CURLUPART_SCHEME, 0, failed);
    const std::optional<std::string> user =
        GetPart(handle.get(), CURLUPART_USER, CURLU_URLDECODE, failed);
    const std::optional<std::string> password =
        GetPart(handle.get(), CURLUPART_PASSWORD, CURLU_URLDECODE, failed);
    const std::optional<std::string> host =
        GetPart(handle.get(), CURLUPART_HOST, CURLU_URLDECODE, failed);
    const std::optional<std::string> port =
        GetPart(handle.get(), CURLUPART_PORT, CURLU_DEFAULT_PORT, failed);
    const std::optional<std::string> path =
        GetPart(handle.get(), CURLUPART_PATH, CURLU_URLDECODE, failed);
    std::optional<std::string> query = GetPart(handle.get(), CURLUPART_QUERY, 0, failed);
    const std::optional<std::string> fragment =
        GetPart(handle.get(), CURLUPART_FRAGMENT, CURLU_URLDECODE, failed);
    if (failed || !scheme || !host || host->empty() || !port || !path) {
        return std::nullopt;
    }
    if (query && !query->empty()) {
        // libcurl decodes a query as a form, "+" into a blank; an address's query keeps its "+".
        std::string plusKept;
        for (const char c : *query) {
            plusKept += c == '+' ? std::string("%2B") : std::string(1, c);
        }
        if (curl_url_set(handle.get(), CURLUPART_QUERY, plusKept.c_str(), 0) != CURLUE_OK) {
            return std::nullopt;
        }
        query = GetPart(handle.get(), CURLUPART_QUERY, CURLU_URLDECODE, failed);
        if (failed || !query) {
            return std::nullopt;
        }
    }
    unsigned portNumber = 0;
    const auto [end, error] =
        std::from_chars(port->data(), port->data() + port->size(), portNumber);
    if (error != std::errc() || end != port->data() + port->size() || portNumber > 65535) {
        return std::nullopt;
    }
    // libcurl gives the scheme in lower case; it always stands at the very start.
    parts.scheme = EqualsIgnoringCase(std::string_view(address).substr(0, scheme->size()), *scheme)
                       ? address.substr(0, scheme->size())
                       : *scheme;
    parts.user = user.value_or(std::string());
    parts.password = password.value_or(std::string());
    parts.host = *host;
    parts.port = static_cast<std::uint16_t>(portNumber);
    parts.path = HasPath(address) ? *path : std::string();
    parts.hasQuery = query.has_value();
    parts.query = query.value_or(std::string());
    // libcurl forgets a "#" with nothing after it; any "#" starts the fragment.
    parts.hasFragment = fragment.has_value() || address.find('#') != std::string::npos;
    parts.fragment = fragment.value_or(std::string());
    return parts;
}

std::optional<std::string> CombineUrl(const std::string& base, const std::string& reference) {
    // Any scheme may stand in an absolute reference; it then stands for itself.
    constexpr unsigned kFlags = CURLU_NON_SUPPORT_SCHEME;
    UrlHandle handle(curl_url());
    if (!handle) {
        return std::nullopt;
    }
    const bool based =
        curl_url_set(handle.get(), CURLUPART_URL, Escape(base).c_str(), kFlags) == CURLUE_OK;
    if (!based) {
        // Without a usable base only an absolute reference makes an address.
        handle.reset(curl_url());
        if (!handle) {
            return std::nullopt;
        }
    }
    // libcurl reads an empty reference or a lone fragment as an empty last segment (the base's
    // folder); either stands for the base itself, with the reference's fragment.
    const bool sameDocument = reference.empty() || reference.front() == '#';
    if (sameDocument && based) {
        const std::string fragment = reference.size() > 1 ? Escape(reference.substr(1)) : "";
        if (curl_url_set(handle.get(), CURLUPART_FRAGMENT,
                         fragment.empty() ? nullptr : fragment.c_str(), 0) != CURLUE_OK) {
            return std::nullopt;
        }
    } else if (curl_url_set(handle.get(), CURLUPART_URL, Escape(reference).c_str(), kFlags) !=
               CURLUE_OK) {
        return std::nullopt;
    }
    bool failed = false;
    const std::optional<std::string> combined = GetPart(handle.get(), CURLUPART_URL, 0, failed);
    if (!combined) {
        return std::nullopt;
    }
    std::string result = Unescape(*combined);
    // libcurl drops a "?" or a "#" with nothing after it; the reference's stays.
    if (HasEmptyQuery(reference) && !HasEmptyQuery(result)) {
        const std::size_t hash = result.find('#');
        if (std::string_view(result).substr(0, hash).find('?') == std::string_view::npos) {
            result.insert(hash == std::string::npos ? result.size() : hash, "?");
        }
    }
    if (!reference.empty() && reference.back() == '#' && result.find('#') == std::string::npos) {
        result += '#';
    }
    return result;
}

std::string EscapeUnsafe(std::string_view address) {
    return Escape(address, false);
}

}  // namespace quendrix::http
