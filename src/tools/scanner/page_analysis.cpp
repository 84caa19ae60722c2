// The website scanner's text work on a received page (see page_analysis.h).
#include "tools/scanner/page_analysis.h"

#include <algorithm>
#include <array>
#include <cstddef>
#include <cstdint>
#include <utility>

namespace quendrix {

const TCmpString kTagPatterns[14] = {
    {" HREF=", kMarkHref},    {" SRC=", kMarkSrc},      {"<A", kMarkOpen},
    {"/A>", kMarkClose},      {"A/>", kMarkClose},      {"<FRAME", kMarkOpen},
    {"</FRAME", kMarkClose},  {"OPENWIN( ", kMarkHref}, {"BASE HREF=", kMarkBase},
    {"<OPTION", kMarkOpen},   {"/OPTION>", kMarkClose}, {"<APPLET", kMarkOpen},
    {"/APPLET>", kMarkClose}, {" VALUE=", kMarkValue},
};

namespace {

// Only a-z are folded: no other byte of the page's 8-bit text upper-cases into a tag letter.
char Upper(char c) {
    return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c;
}

std::string UpperText(std::string_view text) {
    std::string upper(text);
    for (char& c : upper) {
        c = Upper(c);
    }
    return upper;
}

// The first place of `upperNeedle` (upper case) in `text`, folding a-z of the text.
std::size_t FindNoCase(std::string_view text, std::string_view upperNeedle) {
    if (upperNeedle.empty() || text.size() < upperNeedle.size()) {
        return upperNeedle.empty() ? 0 : std::string_view::npos;
    }
    const std::size_t last = text.size() - upperNeedle.size();
    for (std::size_t i = 0; i <= last; ++i) {
        if (Upper(text[i]) != upperNeedle[0]) {
            continue;
        }
        std::size_t k = 1;
        while (k < upperNeedle.size() && Upper(text[i + k]) == upperNeedle[k]) {
            ++k;
        }
        if (k == upperNeedle.size()) {
            return i;
        }
    }
    return std::string_view::npos;
}

bool IsMarkerByte(char c) {
    return static_cast<unsigned char>(c) <= 12;
}

}  // namespace

std::string CompactText(std::string_view text, bool quotesToBlank, bool lineFeedToBlank) {
    std::string out;
    out.reserve(text.size());
    char previous = 'X';
    const std::size_t size = text.size();
    for (std::size_t i = 0; i < size; ++i) {
        char c = text[i];
        if (static_cast<unsigned char>(c) < 32) {
            if (c == '\n' && lineFeedToBlank) {
                c = ' ';
            } else {
                continue;
            }
        }
        if (quotesToBlank && (c == '"' || c == '\'' || c == ',')) {
            c = ' ';
        }
        // The look-ahead reads the input as it stands: a quote that will become a blank does not
        // count as one.
        if (c == ' ' &&
            (previous == '=' || (i + 1 < size && (text[i + 1] == ' ' || text[i + 1] == '=')))) {
            continue;
        }
        out.push_back(c);
        previous = c;
    }
    return out;
}

// The marker pass looks at every character against every pattern, restarting a pattern that
// fails at its first character. No pattern's first character occurs again inside it, so that
// finds exactly the pattern's occurrences in the text: each occurrence is found here from one
// character of it that every page has few of ("<", "/", "=" or "("), and checked whole against
// the text as it was before any marker.
bool MarkTags(std::string& text) {
    struct Anchor {
        std::uint8_t pattern;
        std::uint8_t offset;
    };
    struct AnchorTable {
        std::array<std::uint8_t, 256> count{};
        std::array<std::array<Anchor, std::size(kTagPatterns)>, 256> anchors{};
    };
    static const AnchorTable kAnchors = [] {
        AnchorTable table;
        for (std::size_t p = 0; p < std::size(kTagPatterns); ++p) {
            const std::string_view pattern = kTagPatterns[p].Pattern;
            const std::size_t offset = pattern.find_first_of("</=(");
            const auto c = static_cast<unsigned char>(pattern[offset]);
            table.anchors[c][table.count[c]++] =
                Anchor{static_cast<std::uint8_t>(p), static_cast<std::uint8_t>(offset)};
        }
        return table;
    }();

    // (last character, pattern) of every occurrence; written once all are found.
    std::vector<std::pair<std::size_t, std::size_t>> found;
    const std::size_t size = text.size();
    for (std::size_t i = 0; i < size; ++i) {
        const auto c = static_cast<unsigned char>(text[i]);
        const std::size_t count = kAnchors.count[c];
        for (std::size_t a = 0; a < count; ++a) {
            const Anchor anchor = kAnchors.anchors[c][a];
            const std::string_view pattern = kTagPatterns[anchor.pattern].Pattern;
            if (i < anchor.offset || i - anchor.offset + pattern.size() > size) {
                continue;
            }
            const std::size_t start = i - anchor.offset;
            std::size_t k = 0;
            while (k < pattern.size() && Upper(text[start + k]) == pattern[k]) {
                ++k;
            }
            if (k == pattern.size()) {
                found.emplace_back(start + pattern.size() - 1, anchor.pattern);
            }
        }
    }
    // Where two patterns end on one character, the later in the table is written last.
    std::sort(found.begin(), found.end());
    for (const auto& [last, pattern] : found) {
        text[last] = kTagPatterns[pattern].Marker;
    }
    return !found.empty();
}

void CloseAreas(std::string& text) {
    bool open = false;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == kMarkOpen) {
            if (!open) {
                open = true;
            } else if (i >= 2) {
                // Close on the character before; that closing marker is read next, then this
                // opening marker opens again.
                text[i - 1] = kMarkClose;
                i -= 2;
            }
        } else if (text[i] == kMarkClose) {
            open = false;
        }
    }
}

bool CleanLinkValue(std::string& value, char marker) {
    if (UpperText(value).find("TOP.WINDOW") != std::string::npos) {
        return false;
    }
    // A script call: its argument is the link.
    const std::size_t open = value.find('(');
    if (open != std::string::npos && open >= 1) {
        value = value.substr(open + 1, 32000);
        const std::size_t close = value.find(')');
        if (close != std::string::npos && close >= 1) {
            value.resize(close);
        }
    }
    if (const std::size_t lt = value.find('<'); lt != std::string::npos) {
        value.resize(lt);
    }
    if (const std::size_t gt = value.find('>'); gt != std::string::npos) {
        value.resize(gt);
    }
    if (value.find_first_of("()+[]") != std::string::npos || value == "=") {
        return false;
    }
    if (marker == kMarkValue) {
        return value.find_first_of(" ;") == std::string::npos &&
               value.find('/') != std::string::npos;
    }
    return true;
}

std::vector<TLinkCandidate> ExtractLinks(std::string_view marked) {
    std::vector<TLinkCandidate> links;
    bool collecting = false;
    char marker = kMarkHref;
    std::string value;
    for (const char c : marked) {
        if (c == kMarkOpen || c == kMarkClose) {
            // A value being collected is abandoned.
            collecting = false;
            value.clear();
        } else if (IsMarkerByte(c)) {
            marker = c;
            collecting = true;
            value.clear();
        } else if (!collecting) {
            continue;
        } else if (value.empty()) {
            if (c != ' ') {
                value.push_back(c);
            }
        } else if (c == ' ' || c == '>') {
            if (CleanLinkValue(value, marker)) {
                links.push_back({std::move(value), marker});
            }
            collecting = false;
            value.clear();
        } else {
            value.push_back(c);
        }
    }
    // A value still open at the end of the text is dropped.
    return links;
}

bool ParseHeadTag(std::string_view tag, TMetaTag& result) {
    std::array<std::string, 3> attributes;
    std::array<std::string, 3> values;
    std::size_t pair = 0;
    bool inValue = false;
    bool inQuote = false;
    for (std::size_t i = 5; i < tag.size(); ++i) {
        const char c = tag[i];
        if (c == '=') {
            inValue = true;
        } else if (c == '"') {
            inQuote = !inQuote;
        } else if (c == ' ' && !inQuote) {
            if (!inValue) {
                continue;
            }
            if (pair == 2) {
                return false;  // a fourth pair: the tag is abandoned
            }
            ++pair;
            inValue = false;
        } else if (inValue) {
            values[pair].push_back(inQuote ? c : Upper(c));
        } else {
            attributes[pair].push_back(Upper(c));
        }
    }
    if (!inValue) {
        return false;
    }
    result = TMetaTag{UpperText(tag.substr(0, 4)),
                      attributes[0],
                      values[0],
                      attributes[1],
                      values[1],
                      attributes[2],
                      values[2]};
    return true;
}

std::vector<TMetaTag> ScanHead(std::string_view body) {
    std::vector<TMetaTag> tags;
    const std::size_t headStart = FindNoCase(body, "<HEAD>");
    const std::size_t headEnd = FindNoCase(body, "</HEAD>");
    if (headStart == std::string_view::npos || headEnd == std::string_view::npos) {
        return tags;
    }
    const std::size_t from = headStart + 6;
    const std::string head = CompactText(
        headEnd > from ? body.substr(from, headEnd - from) : std::string_view{}, false, true);
    const std::string headUpper = UpperText(head);

    const std::size_t titleStart = headUpper.find("<TITLE>");
    const std::size_t titleEnd = headUpper.find("</TITLE>");
    if (titleStart != std::string::npos && titleEnd != std::string::npos) {
        const std::size_t textFrom = titleStart + 7;
        TMetaTag title;
        title.TagType = "TITLE";
        title.Tag1stAttrib = "TITLE";
        if (titleEnd > textFrom) {
            title.Tag1stValue = head.substr(textFrom, titleEnd - textFrom);
        }
        tags.push_back(std::move(title));
    }

    // Only four-letter tag names followed by a blank (META, LINK, BASE...) are read.
    bool inTag = false;
    std::string tag;
    for (const char c : head) {
        if (c == '<') {
            inTag = true;
            tag.clear();
        } else if (c == '>') {
            TMetaTag parsed;
            if (inTag && tag.size() > 5 && tag[4] == ' ' && ParseHeadTag(tag, parsed)) {
                tags.push_back(std::move(parsed));
            }
            inTag = false;
        } else if (inTag) {
            tag.push_back(c);
        }
    }
    return tags;
}

TPageAnalysis AnalyseBody(std::string_view body) {
    TPageAnalysis analysis;
    analysis.MetaTags = ScanHead(body);
    std::string text = CompactText(body, true, false);
    if (MarkTags(text)) {
        CloseAreas(text);
        analysis.Links = ExtractLinks(text);
    }
    return analysis;
}

std::shared_ptr<const void> AnalysePage(const std::string& body) {
    return std::make_shared<const TPageAnalysis>(AnalyseBody(body));
}

}  // namespace quendrix
