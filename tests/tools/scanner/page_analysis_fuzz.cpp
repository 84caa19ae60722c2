// Fuzz target for the scanner's text work on a page body: any bytes. Compaction leaves no
// control character and no blank after "="; the markers written are only the table's, and
// exactly those of the character-by-character matcher; every link value found is cleaned (no
// blank, control character, bracket, "+", "<" or ">"; never "="; a VALUE= path has a "/" and no
// ";") and carries a value marker; head tags have a type of at most five characters.
#include "tools/scanner/page_analysis.h"

#include "tools/scanner/mark_tags_reference.h"

#include <cstdint>
#include <cstdlib>
#include <string>

namespace {

void Check(bool condition) {
    if (!condition) {
        std::abort();
    }
}

bool IsTableMarker(char c) {
    for (const quendrix::TCmpString& pattern : quendrix::kTagPatterns) {
        if (c == pattern.Marker) {
            return true;
        }
    }
    return false;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string input(reinterpret_cast<const char*>(data), size);
    for (const bool quotes : {false, true}) {
        const std::string compact = quendrix::CompactText(input, quotes, !quotes);
        Check(compact.size() <= input.size());
        for (std::size_t i = 0; i < compact.size(); ++i) {
            Check(static_cast<unsigned char>(compact[i]) >= 32);
            Check(!(compact[i] == ' ' && i > 0 && compact[i - 1] == '='));
            Check(!(quotes && (compact[i] == '"' || compact[i] == '\'' || compact[i] == ',')));
        }
        std::string marked = compact;
        const bool any = quendrix::MarkTags(marked);
        Check(marked.size() == compact.size());
        bool seen = false;
        for (const char c : marked) {
            if (static_cast<unsigned char>(c) < 32) {
                Check(IsTableMarker(c));
                seen = true;
            }
        }
        Check(seen == any);
        std::string reference = compact;
        Check(quendrix::test::MarkTagsReference(reference) == any);
        Check(reference == marked);
        quendrix::CloseAreas(marked);
    }

    const quendrix::TPageAnalysis analysis = quendrix::AnalyseBody(input);
    for (const quendrix::TLinkCandidate& link : analysis.Links) {
        Check(link.Marker == quendrix::kMarkHref || link.Marker == quendrix::kMarkValue ||
              link.Marker == quendrix::kMarkSrc || link.Marker == quendrix::kMarkBase);
        Check(link.Value != "=");
        for (const char c : link.Value) {
            Check(static_cast<unsigned char>(c) > 32);
        }
        Check(link.Value.find_first_of("()+[]<>") == std::string::npos);
        if (link.Marker == quendrix::kMarkValue) {
            Check(link.Value.find('/') != std::string::npos);
            Check(link.Value.find(';') == std::string::npos);
        }
    }
    for (const quendrix::TMetaTag& tag : analysis.MetaTags) {
        Check(tag.TagType.size() <= 5);  // "TITLE" or a four-letter name
    }
    return 0;
}

#include "support/fuzz_replay_main.h"
