// Fuzz target for the link classifier and the text set: any bytes. The type is "unknown", "htm"
// or a known extension, never "jpeg" or "mpeg"; the scheme is lower-case. The input's lines,
// located with insertion, make a strictly ordered list in which each of them is then found;
// sorting it only drops the empty entry; a line without capitals is a keyword of the input.
#include "tools/scanner/link_rules.h"

#include <cstdint>
#include <cstdlib>
#include <string>

namespace {

void Check(bool condition) {
    if (!condition) {
        std::abort();
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string input(reinterpret_cast<const char*>(data), size);
    const quendrix::LinkClass link = quendrix::ClassifyLink(input);
    Check(link.type == "unknown" || link.type == "htm" || quendrix::IsKnownExtension(link.type));
    Check(link.type != "jpeg" && link.type != "mpeg");
    Check(link.scheme.find_first_of("ABCDEFGHIJKLMNOPQRSTUVWXYZ") == std::string::npos);
    if (input.find("://", 1) == std::string::npos) {
        Check(link.scheme == "http");
    }

    quendrix::TMFStringList lines;
    lines.SetText(input);
    quendrix::TMFStringList set;
    for (const quendrix::TMFStringList::Entry& line : lines.Entries()) {
        set.Locate(line.text, true);
    }
    for (std::size_t i = 1; i < set.Count(); ++i) {
        Check(quendrix::TMFStringList::Compare(set[i - 1], set[i]) < 0);
    }
    const std::size_t count = set.Count();
    for (const quendrix::TMFStringList::Entry& line : lines.Entries()) {
        const quendrix::TMFStringList::Position position = set.Locate(line.text, true);
        Check(position.found);
        Check(quendrix::TMFStringList::Compare(set[position.index], line.text) == 0);
    }
    Check(set.Count() == count);
    const bool hadEmpty = set.Count() > 0 && set[0].empty();
    set.Sort();
    Check(set.Count() == count - (hadEmpty ? 1 : 0));
    // The input holds each of its lines: one that is not empty and has no capital letters is
    // found in the lowered input.
    for (const quendrix::TMFStringList::Entry& line : lines.Entries()) {
        if (!line.text.empty() &&
            line.text.find_first_of("ABCDEFGHIJKLMNOPQRSTUVWXYZ") == std::string::npos) {
            Check(quendrix::ContainsKeyword(lines, input));
        }
    }
    return 0;
}

#include "support/fuzz_replay_main.h"
