#include "http/request_text.h"

#include <charconv>

namespace quendrix::http {
namespace {

bool MustEscape(unsigned char byte) {
    if (byte <= 0x20 || byte >= 0x7f) {
        return true;
    }
    switch (byte) {
        case '"':
        case '<':
        case '>':
        case '\\':
        case '^':
        case '`':
        case '{':
        case '|':
        case '}':
            return true;
        default:
            return false;
    }
}

char LowerAscii(char c) {
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

bool SameName(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) {
        return false;
    }
    for (std::size_t i = 0; i < a.size(); ++i) {
        if (LowerAscii(a[i]) != LowerAscii(b[i])) {
            return false;
        }
    }
    return true;
}

std::string_view Trim(std::string_view text) {
    while (!text.empty() && (text.front() == ' ' || text.front() == '\t')) {
        text.remove_prefix(1);
    }
    while (!text.empty() && (text.back() == ' ' || text.back() == '\t')) {
        text.remove_suffix(1);
    }
    return text;
}

}  // namespace

std::string EscapeForRequest(std::string_view url) {
    std::size_t start = 0;
    if (const std::size_t scheme = url.find("://"); scheme != std::string_view::npos) {
        start = url.find_first_of("/?#", scheme + 3);
        if (start == std::string_view::npos) {
            return std::string(url);
        }
    }
    static constexpr char kHex[] = "0123456789ABCDEF";
    std::string escaped(url.substr(0, start));
    escaped.reserve(url.size());
    for (const char c : url.substr(start)) {
        const auto byte = static_cast<unsigned char>(c);
        if (MustEscape(byte)) {
            escaped += '%';
            escaped += kHex[byte >> 4];
            escaped += kHex[byte & 0x0f];
        } else {
            escaped += c;
        }
    }
    return escaped;
}

std::optional<std::string> HeaderValue(std::string_view head, std::string_view name) {
    std::size_t lineStart = head.find("\r\n");
    while (lineStart != std::string_view::npos) {
        lineStart += 2;
        const std::size_t lineEnd = head.find("\r\n", lineStart);
        const std::string_view line =
            head.substr(lineStart, lineEnd == std::string_view::npos ? std::string_view::npos
                                                                     : lineEnd - lineStart);
        if (const std::size_t colon = line.find(':');
            colon != std::string_view::npos && SameName(Trim(line.substr(0, colon)), name)) {
            return std::string(Trim(line.substr(colon + 1)));
        }
        lineStart = lineEnd;
    }
    return std::nullopt;
}

long long ContentLengthOf(std::string_view head) {
    const auto text = HeaderValue(head, "Content-Length");
    long long length = 0;
    if (!text ||
        std::from_chars(text->data(), text->data() + text->size(), length).ec != std::errc() ||
        length < 0) {
        return 0;
    }
    return length;
}

}  // namespace quendrix::http
