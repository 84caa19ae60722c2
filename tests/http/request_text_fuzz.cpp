// Fuzz target for the HTTP client's text rules: any bytes, read as a raw header block and as an
// address. A header value holds no line break and no blanks at its ends; a content length is
// never negative; an escaped address keeps everything up to its host, holds nothing a request
// line may not carry after it, and escaping it again changes nothing.
#include "http/request_text.h"

#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

namespace {

void Check(bool condition) {
    if (!condition) {
        std::abort();
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    for (const char* name : {"Content-Type", "content-length", "X"}) {
        if (const auto value = quendrix::http::HeaderValue(text, name)) {
            Check(value->empty() || (value->front() != ' ' && value->back() != ' '));
            Check(value->find("\r\n") == std::string::npos);
        }
    }
    Check(quendrix::http::ContentLengthOf(text) >= 0);

    const std::string escaped = quendrix::http::EscapeForRequest(text);
    Check(quendrix::http::EscapeForRequest(escaped) == escaped);
    const std::size_t scheme = text.find("://");
    const std::size_t start =
        scheme == std::string_view::npos ? 0 : text.find_first_of("/?#", scheme + 3);
    if (start != std::string_view::npos) {
        Check(std::string_view(escaped).substr(0, start) == text.substr(0, start));
        for (const char c : std::string_view(escaped).substr(start)) {
            const auto byte = static_cast<unsigned char>(c);
            Check(byte > 0x20 && byte < 0x7f);
            Check(std::string_view("\"<>\\^`{|}").find(c) == std::string_view::npos);
        }
    } else {
        Check(escaped == text);
    }
    return 0;
}

#include "support/fuzz_replay_main.h"
