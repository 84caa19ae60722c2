// The link rules: raw link values resolved against the page they were found on, link types from
// extensions, the type table and the keyword test.
#include "tools/scanner/link_rules.h"

#include <gtest/gtest.h>

#include <set>
#include <string>

namespace quendrix {
namespace {

TEST(ResolveLink, WorkedCases) {
    struct Case {
        const char* name;
        std::string page, raw, address, type;
    };
    const std::string index = "http://www.example.com/dir/index.html";
    const Case cases[] = {
        {"relative to a file", index, "page.html", "http://www.example.com/dir/page.html", ""},
        {"a last segment without dot is a folder", "http://www.example.com/dir", "page.html",
         "http://www.example.com/dir/page.html", ""},
        {"up a folder", index, "../up.html", "http://www.example.com/up.html", ""},
        {"from the root", index, "/top.html", "http://www.example.com/top.html", ""},
        {"network path", index, "//cdn.example.net/x.js", "http://cdn.example.net/x.js", ""},
        {"query only: the page's file stays", index, "?x=1",
         "http://www.example.com/dir/index.html?x=1", ""},
        {"fragment only: the page itself", index, "#top", "http://www.example.com/dir/index.html",
         ""},
        {"empty value: the page itself", index, "", "http://www.example.com/dir/index.html", ""},
        {"another scheme stands for itself", index, "ftp://files.example.com/a.zip",
         "ftp://files.example.com/a.zip", ""},
        // The base is built from the page's parts, never the page's full address: no user, no
        // password, no query, no fragment.
        {"page address with user and query", "http://u:pw@h.example.com/d/i.html?q=1#f", "p.html",
         "http://h.example.com/d/p.html", ""},
        {"page on 8080", "http://h.example.com:8080/dir/", "p.html",
         "http://h.example.com:8080/dir/p.html", ""},
        {"page on 8080, rooted link", "http://h.example.com:8080/dir/", "/p.html",
         "http://h.example.com:8080/p.html", ""},
        {"page on a written port 80", "http://h.example.com:80/dir/", "p.html",
         "http://h.example.com/dir/p.html", ""},
        {"https page on 443 carries the port", "https://h.example.com/dir/", "p.html",
         "https://h.example.com:443/dir/p.html", ""},
        // Nothing is escaped, and escapes stay as written.
        {"unsafe characters kept", index, "a b/\xc3\xa9<x>.html?q r&s=\"t\"#f g",
         "http://www.example.com/dir/a b/\xc3\xa9<x>.html?q r&s=\"t\"", ""},
        {"escapes kept", index, "a%20b.html?c%2Bd+e",
         "http://www.example.com/dir/a%20b.html?c%2Bd+e", ""},
        {"an empty query stays", index, "p.php?", "http://www.example.com/dir/p.php?", ""},
        {"the page's decoded path is the base", "http://h.example.com/my%20dir/", "p.html",
         "http://h.example.com/my dir/p.html", ""},
        // Mail links: the address after the prefix, up to a query.
        {"mail with query", index, "mailto:info@example.com?subject=x", "info@example.com", "mail"},
        {"mail in capitals", index, "MAILTO:Info@Example.com", "Info@Example.com", "mail"},
        {"mail, query at the start stays", index, "mailto:?x", "?x", "mail"},
        // Script links resolve to nothing, whatever their letter case.
        {"script", index, "javascript:openwin('p.html')", "", ""},
        {"script mixed case", index, "JavaScript:void(0)", "", ""},
        {"script inside a value", index, "p.html?x=JAVASCRIPT", "", ""},
        // Web links stand as written, less any fragment.
        {"capital HTTP less fragment", index, "HTTP://Other.Example.com/A b/Page.HTML#sec",
         "HTTP://Other.Example.com/A b/Page.HTML", ""},
        {"https as written", index, "hTTpS://x.example.com/%41#", "hTTpS://x.example.com/%41", ""},
        // What does not make an address resolves to nothing.
        {"no slashes after an unknown scheme", index, "tel:123", "", ""},
        {"empty network path", index, "//", "", ""},
        {"bad port", index, "//h.example.com:99999/", "", ""},
    };
    TCrackUrl page;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ASSERT_TRUE(page.Crack(c.page));
        const ResolvedLink link = ResolveLink(c.raw, page);
        EXPECT_EQ(link.address, c.address);
        EXPECT_EQ(link.type, c.type);
    }
}

TEST(ResolveLink, CombinedAddressesOf1024CharactersDoNotFit) {
    TCrackUrl page;
    ASSERT_TRUE(page.Crack("http://www.example.com/dir/index.html"));
    const std::string base = "http://www.example.com/dir/";
    const std::string fits(1023 - base.size(), 'a');
    EXPECT_EQ(ResolveLink(fits, page).address, base + fits);
    EXPECT_EQ(ResolveLink(fits + "a", page).address, "");
    // Web links are not combined, so no buffer limits them.
    const std::string longWebLink = "http://h.example.com/" + std::string(2000, 'a');
    EXPECT_EQ(ResolveLink(longWebLink, page).address, longWebLink);
}

TEST(ResolveLink, OnAPageThatDidNotSplitOnlyAbsoluteLinksResolve) {
    TCrackUrl page;
    ASSERT_FALSE(page.Crack("/relative/base/"));
    EXPECT_EQ(ResolveLink("ftp://files.example.com/a.zip", page).address,
              "ftp://files.example.com/a.zip");
    EXPECT_EQ(ResolveLink("//h.example.com/p", page).address, "");
    EXPECT_EQ(ResolveLink("p.html", page).address, "");
}

TEST(ClassifyLink, WorkedCases) {
    struct Case {
        std::string address, type, scheme;
    };
    const Case cases[] = {
        {"http://www.example.com", "htm", "http"},
        {"http://www.example.com/dir.v2/file", "htm", "http"},
        {"http://h.example.com/a.gif?x=1", "htm", "http"},
        {"http://h.example.com/a.gif#x", "htm", "http"},
        {"http://h.example.com/a.gif&x", "htm", "http"},
        {"http://h.example.com/a.html", "htm", "http"},
        {"http://h.example.com/a.php", "htm", "http"},
        {"http://h.example.com/a.GIF", "htm", "http"},
        {"http://h.example.com/a.toolong", "htm", "http"},
        {"http://h.example.com/a.gif", "gif", "http"},
        {"http://h.example.com/a.jpeg", "jpg", "http"},
        {"http://h.example.com/a.mpeg", "mpg", "http"},
        {"http://h.example.com/a.tar.gz", "gz", "http"},
        {"http://h.example.com/a.theme", "theme", "http"},
        {"http://h.example.com/a.@@@", "@@@", "http"},
        {"http://h.example.com/a.123", "123", "http"},
        {"HTTPS://h.example.com/doc.pdf", "pdf", "https"},
        {"ftp://files.example.com/a.zip", "unknown", "ftp"},
        {"http://localhost/page", "unknown", "http"},
        {"http://h.example.com/file.", "unknown", "http"},
        // No "://": the scheme is http, and the "/" of the path is searched as written.
        {"www.example.com/a.txt", "txt", "http"},
        {"www.example.com", "htm", "http"},
        // A "#" or "://" at the very start does not count.
        {"#top", "unknown", "http"},
        {"://h/a.exe", "exe", "http"},
        {"Gopher://h.example.com/a.zip", "unknown", "gopher"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.address);
        const LinkClass link = ClassifyLink(c.address);
        EXPECT_EQ(link.type, c.type);
        EXPECT_EQ(link.scheme, c.scheme);
    }
}

TEST(KnownExtensions, FiveHundredFiftyDistinctLowerCaseKeysInListingOrder) {
    const std::set<std::string_view> distinct(KnownExtensions.begin(), KnownExtensions.end());
    EXPECT_EQ(distinct.size(), 550u);
    for (const std::string_view key : KnownExtensions) {
        SCOPED_TRACE(std::string(key));
        EXPECT_GE(key.size(), 1u);
        EXPECT_LE(key.size(), 5u);
        EXPECT_EQ(key.find_first_of("ABCDEFGHIJKLMNOPQRSTUVWXYZ"), std::string_view::npos);
        // The listing is not in byte order, so a search that assumes it misses keys.
        EXPECT_TRUE(IsKnownExtension(key));
    }
    EXPECT_EQ(KnownExtensions.front(), "$$$");
    EXPECT_EQ(KnownExtensions[1], "@@@");
    EXPECT_EQ(KnownExtensions[2], "123");
    EXPECT_EQ(KnownExtensions.back(), "zoo");
    for (const char* missing : {"htm", "html", "GIF", "Zip", "", "php", "gi"}) {
        EXPECT_FALSE(IsKnownExtension(missing)) << missing;
    }
}

TEST(ContainsKeyword, LowerCasedAddressAgainstTheWords) {
    TMFStringList words;
    EXPECT_FALSE(ContainsKeyword(words, "http://h.example.com/track"));
    words.SetText("track\nstat\nCount");
    struct Case {
        std::string address;
        bool contains;
    };
    const Case cases[] = {
        {"http://h.example.com/STATS.html", true},
        {"http://TRACKER.example.com/", true},
        {"http://h.example.com/page.html", false},
        // The words themselves are not lowered.
        {"http://h.example.com/count", false},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(ContainsKeyword(words, c.address), c.contains) << c.address;
    }
    // An empty word matches nothing.
    words.SetText("\n");
    words.Add("");
    EXPECT_FALSE(ContainsKeyword(words, "http://h.example.com/"));
}

}  // namespace
}  // namespace quendrix
