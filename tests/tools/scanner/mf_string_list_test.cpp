// The sorted text set: its a-z-only case folding, Locate's search and insertion, Sort, lines.
#include "tools/scanner/mf_string_list.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstddef>
#include <random>
#include <set>
#include <string>
#include <string_view>
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

// The list as one array, with the binary search over it: what the blocks must be equal to.
struct OneArray {
    std::vector<TMFStringList::Entry> entries;

    TMFStringList::Position Locate(std::string_view text, bool insert) {
        TMFStringList::Position position;
        std::ptrdiff_t low = 0;
        std::ptrdiff_t high = static_cast<std::ptrdiff_t>(entries.size()) - 1;
        while (low <= high) {
            const std::ptrdiff_t middle = (low + high) / 2;
            const int order =
                TMFStringList::Compare(entries[static_cast<std::size_t>(middle)].text, text);
            if (order == 0) {
                return {true, static_cast<std::size_t>(middle)};
            }
            (order < 0 ? low : high) = order < 0 ? middle + 1 : middle - 1;
        }
        position.index = static_cast<std::size_t>(low);
        if (insert) {
            entries.insert(entries.begin() + low, TMFStringList::Entry{std::string(text), 0});
        }
        return position;
    }
};

// Every entry by index and by iteration, with its value.
void ExpectSame(const TMFStringList& list, const OneArray& array) {
    ASSERT_EQ(list.Count(), array.entries.size());
    ASSERT_EQ(list.Entries().size(), array.entries.size());
    std::size_t i = 0;
    for (const TMFStringList::Entry& entry : list.Entries()) {
        ASSERT_LT(i, array.entries.size());
        ASSERT_EQ(entry.text, array.entries[i].text) << i;
        ASSERT_EQ(entry.value, array.entries[i].value) << i;
        ASSERT_EQ(list[i], array.entries[i].text) << i;
        ASSERT_EQ(list.GetValue(i), array.entries[i].value) << i;
        ++i;
    }
    ASSERT_EQ(i, array.entries.size());
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

TEST(MFStringList, InsertsAndDeletesByIndexMatchOneArray) {
    // Runs of insertions at one place split the same block again and again; runs of deletions
    // at one place empty blocks and merge small ones; the values must travel with their texts.
    std::mt19937 random(20261211);
    TMFStringList list;
    OneArray array;
    auto insertAt = [&](std::size_t index, int serial) {
        const std::string text = "entry " + std::to_string(serial);
        list.Insert(index, text, serial);
        array.entries.insert(array.entries.begin() + static_cast<std::ptrdiff_t>(index),
                             TMFStringList::Entry{text, serial});
    };
    auto deleteAt = [&](std::size_t index) {
        list.Delete(index);
        array.entries.erase(array.entries.begin() + static_cast<std::ptrdiff_t>(index));
    };
    int serial = 0;
    for (int round = 0; round < 3; ++round) {
        SCOPED_TRACE(round);
        // Grow to several blocks: at the front, at the end, at one spot, anywhere.
        for (int i = 0; i < 1500; ++i) {
            const std::size_t count = array.entries.size();
            const std::size_t spot = count / 3;
            const std::size_t index = i < 300    ? 0
                                      : i < 600  ? count
                                      : i < 1100 ? std::min(spot, count)
                                                 : random() % (count + 1);
            insertAt(index, ++serial);
            if (i % 97 == 0) {
                ExpectSame(list, array);
            }
        }
        ExpectSame(list, array);
        // Values set by index land on the right entry after all the splits.
        for (std::size_t i = 0; i < array.entries.size(); i += 37) {
            list.SetValue(i, -static_cast<TMFStringList::Value>(i));
            array.entries[i].value = -static_cast<TMFStringList::Value>(i);
        }
        ExpectSame(list, array);
        // Shrink: a run in the middle, from the front, from the back, anywhere; the last round
        // empties the list.
        const std::size_t keep = round == 2 ? 0 : 200;
        for (int i = 0; array.entries.size() > keep; ++i) {
            const std::size_t count = array.entries.size();
            const std::size_t index = i < 400   ? count / 2
                                      : i < 600 ? 0
                                      : i < 800 ? count - 1
                                                : random() % count;
            deleteAt(index);
            if (i % 89 == 0) {
                ExpectSame(list, array);
            }
        }
        ExpectSame(list, array);
    }
    EXPECT_TRUE(list.Empty());
    // An emptied list takes entries again.
    insertAt(0, 1);
    list.Add("added", 2);
    array.entries.push_back(TMFStringList::Entry{"added", 2});
    ExpectSame(list, array);
}

TEST(MFStringList, LocateMatchesOneArrayAtEveryPlace) {
    // An ordered list of a few blocks (made by Sort, then grown by Locate), asked for every entry
    // and for the texts just before, between and after them, with letter cases changed.
    TMFStringList list;
    OneArray array;
    for (int i = 0; i < 3 * static_cast<int>(TMFStringList::kMaxBlock); ++i) {
        const std::string text = "http://site.com/" + std::to_string(100000 + i * 2);
        list.Add(text, i);
        array.entries.push_back(TMFStringList::Entry{text, i});
    }
    list.Sort();
    ExpectSame(list, array);
    for (int i = 0; i < 2 * static_cast<int>(TMFStringList::kMaxBlock); ++i) {
        const std::string text = "http://site.com/" + std::to_string(100001 + (i * 7 % 3000) * 2);
        const TMFStringList::Position expected = array.Locate(text, true);
        const TMFStringList::Position position = list.Locate(text, true);
        ASSERT_EQ(position.found, expected.found) << text;
        ASSERT_EQ(position.index, expected.index) << text;
    }
    ExpectSame(list, array);
    std::vector<std::string> probes = {"", "HTTP://SITE.COM/", "http://site.com/0", "~"};
    for (const TMFStringList::Entry& entry : array.entries) {
        probes.push_back(entry.text);
        probes.push_back(entry.text + "0");
        std::string upper = entry.text;
        upper[0] = 'H';
        probes.push_back(upper);
        probes.push_back(entry.text.substr(0, entry.text.size() - 1));
    }
    for (const std::string& text : probes) {
        const TMFStringList::Position expected = array.Locate(text, false);
        const TMFStringList::Position position = list.Locate(text, false);
        ASSERT_EQ(position.found, expected.found) << text;
        ASSERT_EQ(position.index, expected.index) << text;
    }
}

TEST(MFStringList, LocateOnEqualOrUnorderedEntriesMatchesOneArray) {
    // Sort keeps equal texts ("gif" and "GIF" in a type list), and Add appends out of order:
    // which equal entry is found and where an absent text goes are the single array's answers.
    std::mt19937 random(7);
    TMFStringList list;
    OneArray array;
    for (int i = 0; i < 1300; ++i) {
        std::string text(1, static_cast<char>('a' + random() % 6));
        if (random() % 2 != 0) {
            text[0] = static_cast<char>(text[0] - 32);
        }
        list.Add(text, i);
        array.entries.push_back(TMFStringList::Entry{text, i});
    }
    for (bool sorted : {false, true}) {
        SCOPED_TRACE(sorted);
        if (sorted) {
            list.Sort();
            std::stable_sort(array.entries.begin(), array.entries.end(),
                             [](const TMFStringList::Entry& a, const TMFStringList::Entry& b) {
                                 return TMFStringList::Compare(a.text, b.text) < 0;
                             });
        }
        ExpectSame(list, array);
        for (const char* text : {"a", "C", "c", "f", "g", "0", "bb", "Z"}) {
            const TMFStringList::Position expected = array.Locate(text, false);
            const TMFStringList::Position position = list.Locate(text, false);
            EXPECT_EQ(position.found, expected.found) << text;
            EXPECT_EQ(position.index, expected.index) << text;
        }
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
