// The sorted text set: its a-z-only case folding, Locate's search and insertion, Sort, lines.
#include "tools/scanner/mf_string_list.h"

#include <gtest/gtest.h>

#include <random>
#include <set>
#include <string>
#include <vector>

namespace quendrix {
namespace {

std::vector<std::string> Texts(const TMFStringList& list) {
    std::vector<std::string> texts;
    for (const TMFStringList::Entry& entry : list.Entries()) {
        texts.push_back(entry.text);
    }
    return texts;
}

int Sign(int value) {
    return (value > 0) - (value < 0);
}

TEST(MFStringList, CompareFoldsOnlyAToZ) {
    struct Case {
        std::string a, b;
        int order;
    };
    const Case cases[] = {
        {"http://Example.COM/", "HTTP://example.com/", 0},
        {"a", "b", -1},
        {"B", "a", 1},
        {"ab", "abc", -1},
        {"", "", 0},
        {"", "a", -1},
        // Folded letters compare as capitals: "_" (0x5F) and "[" (0x5B) come after every letter.
        {"_", "a", 1},
        {"[", "z", 1},
        {"@", "a", -1},
        // Bytes are unsigned, and letters beyond a-z are not folded.
        {"\xc3\xa9", "z", 1},
        {"\xc3\xa9", "\xc3\x89", 1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.a + " / " + c.b);
        EXPECT_EQ(Sign(TMFStringList::Compare(c.a, c.b)), c.order);
        EXPECT_EQ(Sign(TMFStringList::Compare(c.b, c.a)), -c.order);
    }
}

TEST(MFStringList, LocateFindsInsertsAndIgnoresLetterCase) {
    TMFStringList list;
    EXPECT_EQ(list.Locate("x", false).index, 0u);
    EXPECT_FALSE(list.Locate("x", false).found);
    EXPECT_TRUE(list.Empty());

    EXPECT_FALSE(list.Locate("http://b.example.com/", true).found);
    EXPECT_FALSE(list.Locate("http://a.example.com/", true).found);
    EXPECT_FALSE(list.Locate("http://c.example.com/", true).found);
    const TMFStringList::Position again = list.Locate("HTTP://A.Example.Com/", true);
    EXPECT_TRUE(again.found);
    EXPECT_EQ(again.index, 0u);
    EXPECT_EQ(list.Count(), 3u);
    EXPECT_EQ(Texts(list),
              (std::vector<std::string>{"http://a.example.com/", "http://b.example.com/",
                                        "http://c.example.com/"}));

    const TMFStringList::Position absent = list.Locate("http://bb.example.com/", false);
    EXPECT_FALSE(absent.found);
    EXPECT_EQ(absent.index, 2u);
    EXPECT_EQ(list.Count(), 3u);
    EXPECT_EQ(list.Locate("", false).index, 0u);
    EXPECT_EQ(list.Locate("z", false).index, 3u);

    // An inserted text carries no value; values stay with their texts.
    list.SetValue(0, 7);
    list.Locate("http://0.example.com/", true);
    EXPECT_EQ(list.GetValue(0), 0);
    EXPECT_EQ(list.GetValue(1), 7);
}

TEST(MFStringList, LocateWithInsertionKeepsAnOrderedSetOfAnyBytes) {
    // Texts over a small alphabet with both letter cases and the bytes around the letters, so
    // many of them fold to the same entry.
    const std::string alphabet = "aAbB_[@z\xe9";
    std::mt19937 random(20260101);
    auto folded = [](std::string text) {
        for (char& c : text) {
            if (c >= 'a' && c <= 'z') {
                c = static_cast<char>(c - 32);
            }
        }
        return text;
    };
    TMFStringList list;
    std::set<std::string> reference;
    for (int i = 0; i < 2000; ++i) {
        std::string text;
        for (std::size_t length = random() % 4; length > 0; --length) {
            text += alphabet[random() % alphabet.size()];
        }
        const bool isNew = reference.insert(folded(text)).second;
        EXPECT_EQ(list.Locate(text, true).found, !isNew) << text;
    }
    ASSERT_EQ(list.Count(), reference.size());
    for (std::size_t i = 1; i < list.Count(); ++i) {
        EXPECT_LT(TMFStringList::Compare(list[i - 1], list[i]), 0) << i;
    }
}

TEST(MFStringList, SortDeletesEmptyEntriesFirst) {
    TMFStringList list;
    list.SetText("gif\r\n\r\nZIP\r\nhtm\r\n");
    ASSERT_EQ(Texts(list), (std::vector<std::string>{"gif", "", "ZIP", "htm"}));
    list.Sort();
    EXPECT_EQ(Texts(list), (std::vector<std::string>{"gif", "htm", "ZIP"}));

    // Values travel with their texts; equal texts keep their order.
    list.Clear();
    list.Add("b", 1);
    list.Add("A", 2);
    list.Add("", 3);
    list.Add("a", 4);
    list.Sort();
    EXPECT_EQ(Texts(list), (std::vector<std::string>{"A", "a", "b"}));
    EXPECT_EQ(list.GetValue(0), 2);
    EXPECT_EQ(list.GetValue(1), 4);
    EXPECT_EQ(list.GetValue(2), 1);
}

TEST(MFStringList, SetTextSplitsLinesAtCrLfOrBoth) {
    struct Case {
        std::string text;
        std::vector<std::string> lines;
    };
    const Case cases[] = {
        {"a\r\nb\rc\nd\n", {"a", "b", "c", "d"}},
        {"a\n\nb", {"a", "", "b"}},
        {"\n\r", {"", ""}},
        {" untrimmed \r\n", {" untrimmed "}},
        {"", {}},
    };
    TMFStringList list;
    for (const Case& c : cases) {
        list.SetText(c.text);
        EXPECT_EQ(Texts(list), c.lines) << c.text;
    }
}

}  // namespace
}  // namespace quendrix
