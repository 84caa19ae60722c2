// The scanner's text work on a page body: compaction, tag markers, areas, link values and their
// cleaning, the head's title and tags. Page texts in, candidates and tags out.
#include "tools/scanner/page_analysis.h"

#include "tools/scanner/mark_tags_reference.h"

#include <gtest/gtest.h>

#include <cctype>
#include <memory>
#include <ostream>
#include <random>
#include <string>
#include <vector>

namespace quendrix {

void PrintTo(const TLinkCandidate& link, std::ostream* out) {
    *out << "{\"" << link.Value << "\", " << static_cast<int>(link.Marker) << "}";
}

void PrintTo(const TMetaTag& tag, std::ostream* out) {
    *out << "{" << tag.TagType << " " << tag.Tag1stAttrib << "=[" << tag.Tag1stValue << "] "
         << tag.Tag2ndAttrib << "=[" << tag.Tag2ndValue << "] " << tag.Tag3rdAttrib << "=["
         << tag.Tag3rdValue << "]}";
}

namespace {

struct CompactCase {
    const char* input;
    bool quotesToBlank;
    bool lineFeedToBlank;
    const char* expected;
};

TEST(CompactText, DropsControlsAndBlanksAroundEquals) {
    const CompactCase cases[] = {
        {"href = 'a.html'", true, false, "href=a.html "},
        {"href = 'a.html'", false, false, "href='a.html'"},
        // Words separated only by a line break run together; CR and tab always go.
        {"<a\nhref=x>", true, false, "<ahref=x>"},
        {"<a\r\nhref=x>", false, true, "<a href=x>"},
        {"a\tb\rc\x01"
         "d",
         true, true, "abcd"},
        // Runs of blanks shrink to their last one.
        {"a   b", true, false, "a b"},
        // The look-ahead reads the input: a quote after a blank is not yet a blank.
        {"a \"b", true, false, "a  b"},
        {"a ,b", true, false, "a  b"},
        {"x= =y", true, false, "x==y"},
        // The first character is never dropped as following "=": previous starts as "X".
        {" a", true, false, " a"},
        {"a ", true, false, "a "},
        {"\xc3\xa9t\xc3\xa9", true, false, "\xc3\xa9t\xc3\xa9"},
        {"", true, true, ""},
    };
    for (const CompactCase& c : cases) {
        EXPECT_EQ(CompactText(c.input, c.quotesToBlank, c.lineFeedToBlank), c.expected)
            << "input: " << c.input;
    }
}

// The markers written into a text, as a readable string: each marker as {n}.
std::string Marked(std::string text) {
    const bool marked = MarkTags(text);
    std::string shown;
    for (const char c : text) {
        if (static_cast<unsigned char>(c) < 32) {
            shown += "{" + std::to_string(static_cast<int>(c)) + "}";
        } else {
            shown.push_back(c);
        }
    }
    return (marked ? "" : "(none)") + shown;
}

TEST(MarkTags, WritesEachPatternsMarkerOnItsLastCharacter) {
    const std::pair<const char*, const char*> cases[] = {
        {"<a href=x>", "<{14} href{4}x>"},
        {"<A HREF=x></A>", "<{14} HREF{4}x></A{16}"},
        {"<img src=y>", "<img src{6}y>"},
        {"<br/>", "(none)<br/>"},
        {"<a/>", "<{14}/{16}"},
        {"<frame src=f></frame>", "<FRAM{14} src{6}f></FRAM{16}>"},
        // Later patterns win where two end on one character.
        {"<base href=b>", "<base href{7}b>"},
        {"openwin( p)", "openwin({4}p)"},
        {"<option value=/v>x</option>", "<optio{14} value{5}/v>x</option{16}"},
        // "<A" is the start of "<APPLET" too.
        {"<applet></applet>", "<{14}pple{14}></applet{16}"},
        // Within a pattern the match falls back only to its first character.
        {"<<a", "<<{14}"},
        {"  href=h", "  href{4}h"},
        {"plain text", "(none)plain text"},
    };
    for (const auto& [input, expected] : cases) {
        std::string shown = Marked(input);
        // The pattern's own letters keep their case; compare markers in a case-blind way.
        std::string expectedUpper = expected;
        for (char& c : shown) {
            c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
        }
        for (char& c : expectedUpper) {
            c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
        }
        EXPECT_EQ(shown, expectedUpper) << "input: " << input;
    }
}

// The pass finds each pattern from one character of it; the result must be the character by
// character matcher's, on texts crowded with partial and overlapping patterns.
TEST(MarkTags, WritesWhatTheCharacterByCharacterMatcherWrites) {
    const std::string alphabet = "<>/=( AaHhRrEeFfSsCcOoPpNnWwIiTtLlVvUuBbMm\"x";
    std::mt19937 random(19);
    for (int round = 0; round < 20000; ++round) {
        std::string text(random() % 40, ' ');
        for (char& c : text) {
            c = alphabet[random() % alphabet.size()];
        }
        std::string expected = text;
        const bool expectedMarked = test::MarkTagsReference(expected);
        std::string marked = text;
        ASSERT_EQ(MarkTags(marked), expectedMarked) << text;
        ASSERT_EQ(marked, expected) << text;
    }
}

TEST(CloseAreas, ClosesAnAreaLeftOpenOnTheCharacterBefore) {
    std::string text =
        "x\x0e"
        "ab\x0e"
        "cd\x10\x0e";
    CloseAreas(text);
    EXPECT_EQ(text,
              "x\x0e"
              "a\x10\x0e"
              "cd\x10\x0e");
    // At the first two characters there is nothing before to close on.
    std::string early =
        "\x0e\x0e"
        "a";
    CloseAreas(early);
    EXPECT_EQ(early,
              "\x0e\x0e"
              "a");
}

struct LinksCase {
    const char* name;
    const char* body;
    std::vector<TLinkCandidate> expected;
};

TEST(AnalyseBody, FindsTheLinkValuesTheRulesFind) {
    const LinksCase cases[] = {
        {"anchor", "<a href='a.html'>x</a>", {{"a.html", kMarkHref}}},
        {"image", "<img src='logo.gif'>", {{"logo.gif", kMarkSrc}}},
        {"spaced, upper case", "<A HREF = \"B.HTML\" >", {{"B.HTML", kMarkHref}}},
        {"link outside any area", "<link href=s.css>", {{"s.css", kMarkHref}}},
        {"two on a line",
         "<a href=a.html><a href=b.html>",
         {{"a.html", kMarkHref}, {"b.html", kMarkHref}}},
        // Compaction glues the tag name to the attribute: not found.
        {"attribute on the next line", "<a\nhref='a.html'>x</a>", {}},
        {"option path", "<option value='/dir/x.html'>", {{"/dir/x.html", kMarkValue}}},
        {"input word", "<input value='Send'>", {}},
        {"value with ;", "<option value=/a;b>", {}},
        {"openwin", "<a href=\"javascript:openwin('p.html')\">", {{"p.html", kMarkHref}}},
        // The script call's argument is what remains.
        {"javascript void", "<a href=\"javascript:void(0)\">", {{"0", kMarkHref}}},
        {"call without close", "<a href=f(x.html>", {{"x.html", kMarkHref}}},
        {"bracket first", "<a href=(x)>", {}},
        {"top.window", "<a href=Top.Window.x.html>", {}},
        {"plus", "<a href=a+b.html>", {}},
        {"square brackets", "<a href=a[1].html>", {}},
        {"exactly =", "<a href== >", {}},
        {"cut before <", "<a href=x.html<b>", {{"x.html", kMarkHref}}},
        // A value starting with ">" is cut to nothing and still handed on.
        {"value starting >", "<a href=> x", {{"", kMarkHref}}},
        // Commas are blanks: the value ends at one.
        {"comma", "<a href=a,b.html>", {{"a", kMarkHref}}},
        {"mail", "<a href=mailto:i@x.org?subject=hi>", {{"mailto:i@x.org?subject=hi", kMarkHref}}},
        {"base keeps its place",
         "<a href=a.html><base href=http://b.org/d/><a href=c.html>",
         {{"a.html", kMarkHref}, {"http://b.org/d/", kMarkBase}, {"c.html", kMarkHref}}},
        // An area opening while one is open abandons the value being collected.
        {"abandoned by an area", "<a href= <frame src=f.html>", {{"f.html", kMarkSrc}}},
        {"open at the end", "<a href=x.html", {}},
        {"no pattern", "just text, no tags", {}},
        {"frames",
         "<frameset><frame src=top.html><frame src=main.html></frameset>",
         {{"top.html", kMarkSrc}, {"main.html", kMarkSrc}}},
        {"applet", "<applet code=x value=/a/b.class></applet>", {{"/a/b.class", kMarkValue}}},
    };
    for (const LinksCase& c : cases) {
        EXPECT_EQ(AnalyseBody(c.body).Links, c.expected) << c.name;
    }
}

TEST(AnalysePage, GivesTheSameResultThroughTheSlotHook) {
    const std::string body = "<head><title>T</title></head><a href=a.html>";
    const std::shared_ptr<const void> made = AnalysePage(body);
    const TPageAnalysis* analysis = PageAnalysisOf(made);
    ASSERT_NE(analysis, nullptr);
    EXPECT_EQ(analysis->Links, AnalyseBody(body).Links);
    EXPECT_EQ(analysis->MetaTags, AnalyseBody(body).MetaTags);
    EXPECT_EQ(PageAnalysisOf(nullptr), nullptr);
}

struct HeadCase {
    const char* name;
    const char* body;
    std::vector<TMetaTag> expected;
};

TEST(ScanHead, ReadsTheTitleAndFourLetterTags) {
    const HeadCase cases[] = {
        {"title and tags",
         "<html><HEAD><title>My  Page</title>\n<meta name=\"description\" content=\"A b\">"
         "<link rel=\"stylesheet\" href=\"s.css\" type=text/css></head><body></body>",
         {{"TITLE", "TITLE", "My Page", "", "", "", ""},
          {"META", "NAME", "description", "CONTENT", "A b", "", ""},
          {"LINK", "REL", "stylesheet", "HREF", "s.css", "TYPE", "TEXT/CSS"}}},
        // "=" is never part of a value, even inside quotes; unquoted values are upper case.
        {"refresh",
         "<head><meta http-equiv=refresh content=\"5;URL=x.html\"></head>",
         {{"META", "HTTP-EQUIV", "REFRESH", "CONTENT", "5;URLx.html", "", ""}}},
        {"tag over lines", "<head><meta\nname=x></head>", {{"META", "NAME", "X", "", "", "", ""}}},
        {"base",
         "<head><base href=\"http://b.org/\"></head>",
         {{"BASE", "HREF", "http://b.org/", "", "", "", ""}}},
        // A blank after the last value starts a pair that never reaches its value.
        {"trailing blank", "<head><meta name=x ></head>", {}},
        {"fourth pair", "<head><link a=1 b=2 c=3 d=4></head>", {}},
        {"no value", "<head><meta charset></head>", {}},
        {"other names", "<head><script src=x.js></script><style a=b></style></head>", {}},
        {"no head end", "<head><title>T</title>", {}},
        {"no head", "<title>T</title><meta name=x>", {}},
        {"empty title", "<head><title></title></head>", {{"TITLE", "TITLE", "", "", "", "", ""}}},
        {"head with attributes", "<head lang=en><title>T</title></head>", {}},
    };
    for (const HeadCase& c : cases) {
        EXPECT_EQ(ScanHead(c.body), c.expected) << c.name;
    }
}

}  // namespace
}  // namespace quendrix
