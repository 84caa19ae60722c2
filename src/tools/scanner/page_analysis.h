// The website scanner's text work on a received page: the body compacted, the tag texts it knows
// marked with control characters, link values cut out and cleaned, and the head's title and
// four-letter tags read. This is deliberately not an HTML parser: a small marker scheme finds
// what it finds, and only that (an attribute whose name stands on the line after its tag name
// is glued to it and never found). Pure functions over bytes, safe on any thread: the download
// scheduler runs AnalysePage on its network thread over each received body, and the link
// decisions (TLinkAnalyzer) take the result in on the user-interface thread.
#pragma once

#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace quendrix {

// Marker codes written into a compacted page text. Compaction removes every control character
// first, so a marker can only come from the tag table.
enum TLinkMarker : char {
    kMarkHref = 4,    // a value follows: HREF= or OPENWIN(
    kMarkValue = 5,   // a value follows: VALUE=
    kMarkSrc = 6,     // a value follows: SRC=
    kMarkBase = 7,    // a value follows: BASE HREF=
    kMarkOpen = 14,   // an area opens: <A <FRAME <OPTION <APPLET
    kMarkClose = 16,  // an area closes
    kMarkSelf = 32,   // not written into texts: the marker of a robots.txt page's own address
};

// A tag text and the marker written in place of its last character.
struct TCmpString {
    std::string_view Pattern;
    char Marker;
};

// The tag texts in the order they are tried; a later one overwrites an earlier one ending at the
// same character, so "BASE HREF=" leaves kMarkBase, not kMarkHref.
extern const TCmpString kTagPatterns[14];

// Drops every control character (a line feed becomes a blank when lineFeedToBlank is set), turns
// double quotes, single quotes and commas into blanks when quotesToBlank is set, and drops a
// blank that follows a kept "=" or comes before a blank or "=" of the input: href = 'a.html'
// becomes "href=a.html ".
std::string CompactText(std::string_view text, bool quotesToBlank, bool lineFeedToBlank);

// Writes the markers of kTagPatterns into a compacted text (matched without regard to the case of
// a-z). True when at least one was written.
bool MarkTags(std::string& text);

// Closes an area left open: a second opening marker (third character or later) gets a closing
// marker written on the character before it.
void CloseAreas(std::string& text);

// One link value found in a page, in text order; nothing is resolved or filtered yet.
struct TLinkCandidate {
    std::string Value;
    char Marker = kMarkHref;  // kMarkHref, kMarkValue, kMarkSrc or kMarkBase
    bool operator==(const TLinkCandidate&) const = default;
};

// A value cut out after a marker, cleaned (a script call's argument kept, cut before "<" and
// ">"), or nothing when it is refused (TOP.WINDOW; any of ( ) + [ ]; exactly "="; a VALUE= text
// that is not a path).
bool CleanLinkValue(std::string& value, char marker);

// Every accepted value of a marked text (after CloseAreas), cleaned, with its marker, in text
// order. A BASE HREF value keeps its place in the list.
std::vector<TLinkCandidate> ExtractLinks(std::string_view marked);

// The title or one four-letter head tag with up to three attribute / value pairs.
struct TMetaTag {
    std::string TagType;
    std::string Tag1stAttrib, Tag1stValue;
    std::string Tag2ndAttrib, Tag2ndValue;
    std::string Tag3rdAttrib, Tag3rdValue;
    bool operator==(const TMetaTag&) const = default;
};

// One tag text without its "<" and ">" (a four-letter name, a blank, attributes): the tag when
// its last pair reached its value; nothing when it did not, or when a fourth pair would begin.
bool ParseHeadTag(std::string_view tag, TMetaTag& result);

// The title and the head tags of a body, in text order: nothing without both "<HEAD>" and
// "</HEAD>".
std::vector<TMetaTag> ScanHead(std::string_view body);

// What the network thread learns from one body.
struct TPageAnalysis {
    std::vector<TLinkCandidate> Links;
    std::vector<TMetaTag> MetaTags;
};

// The whole text work over a body: compaction, markers, areas, link values, head tags.
TPageAnalysis AnalyseBody(std::string_view body);

// The download scheduler's Analyse hook (TMFDwnld::Analyse): AnalyseBody wrapped for the slot.
std::shared_ptr<const void> AnalysePage(const std::string& body);

// The result AnalysePage left in a slot's Analysis (null when there is none). Analysis must hold
// nothing but what AnalysePage made.
inline const TPageAnalysis* PageAnalysisOf(const std::shared_ptr<const void>& analysis) {
    return static_cast<const TPageAnalysis*>(analysis.get());
}

}  // namespace quendrix
