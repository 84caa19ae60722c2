// The marker pass as the scanner describes it, character by character: every pattern keeps a
// match position that advances on its next character and otherwise restarts (at its first
// character when that one matches). Matched on an upper-cased copy made before any marker is
// written; a later pattern ending on the same character overwrites an earlier one's marker.
// The product's MarkTags must write exactly the same markers.
#pragma once

#include "tools/scanner/page_analysis.h"

#include <array>
#include <cstddef>
#include <string>

namespace quendrix::test {

inline bool MarkTagsReference(std::string& text) {
    std::string upper = text;
    for (char& c : upper) {
        if (c >= 'a' && c <= 'z') {
            c = static_cast<char>(c - 'a' + 'A');
        }
    }
    std::array<std::size_t, std::size(kTagPatterns)> position{};
    bool marked = false;
    for (std::size_t i = 0; i < upper.size(); ++i) {
        for (std::size_t p = 0; p < std::size(kTagPatterns); ++p) {
            const std::string_view pattern = kTagPatterns[p].Pattern;
            if (upper[i] == pattern[position[p]]) {
                if (++position[p] == pattern.size()) {
                    text[i] = kTagPatterns[p].Marker;
                    position[p] = 0;
                    marked = true;
                }
            } else {
                position[p] = upper[i] == pattern[0] ? 1 : 0;
            }
        }
    }
    return marked;
}

}  // namespace quendrix::test
