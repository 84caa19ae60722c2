// The HTTP library's address combiner on the standard's reference examples, and the characters
// libcurl would escape or refuse, which a combined address keeps as written.
#include "http/url_parser.h"

#include <gtest/gtest.h>

#include <string>

namespace quendrix::http {
namespace {

TEST(CombineUrl, StandardReferenceResolution) {
    struct Case {
        std::string reference, combined;
    };
    const std::string base = "http://a/b/c/d;p?q";
    const Case cases[] = {
        {"g", "http://a/b/c/g"},
        {"./g", "http://a/b/c/g"},
        {"g/", "http://a/b/c/g/"},
        {"/g", "http://a/g"},
        {"//g", "http://g/"},
        {"?y", "http://a/b/c/d;p?y"},
        {"g?y", "http://a/b/c/g?y"},
        {"#s", "http://a/b/c/d;p?q#s"},
        {"g#s", "http://a/b/c/g#s"},
        {"g?y#s", "http://a/b/c/g?y#s"},
        {";x", "http://a/b/c/;x"},
        {"g;x?y#s", "http://a/b/c/g;x?y#s"},
        {"", "http://a/b/c/d;p?q"},
        {".", "http://a/b/c/"},
        {"./", "http://a/b/c/"},
        {"..", "http://a/b/"},
        {"../", "http://a/b/"},
        {"../g", "http://a/b/g"},
        {"../..", "http://a/"},
        {"../../g", "http://a/g"},
        {"../../../g", "http://a/g"},
        {"/./g", "http://a/g"},
        {"/../g", "http://a/g"},
        {"g.", "http://a/b/c/g."},
        {"..g", "http://a/b/c/..g"},
        {"g/../h", "http://a/b/c/h"},
        {"g?y/./x", "http://a/b/c/g?y/./x"},
        {"g#s/../x", "http://a/b/c/g#s/../x"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(CombineUrl(base, c.reference).value_or("(none)"), c.combined) << c.reference;
    }
}

TEST(CombineUrl, KeepsEveryCharacterAsWritten) {
    struct Case {
        std::string base, reference, combined;
    };
    const Case cases[] = {
        {"http://h/d/", "a b?c d#e f", "http://h/d/a b?c d#e f"},
        {"http://h/d/", "\xc3\xa9/\xff", "http://h/d/\xc3\xa9/\xff"},
        {"http://h/d/", "%41%2f%zz%", "http://h/d/%41%2f%zz%"},
        {"http://h/d/", "a+b?c+d", "http://h/d/a+b?c+d"},
        {"http://h/d/",
         std::string("a\0\x01\x7f"
                     "b",
                     5),
         std::string("http://h/d/a\0\x01\x7f"
                     "b",
                     16)},
        {"http://h/my dir/%/", "x", "http://h/my dir/%/x"},
        {"http://h/d/", "p?", "http://h/d/p?"},
        {"http://h/d/", "p?#", "http://h/d/p?#"},
        {"http://h/d/", "p#", "http://h/d/p#"},
        {"http://h/d/", "#", "http://h/d/#"},
        {"http://h/d/", "{}|^`\"<>\\", "http://h/d/{}|^`\"<>\\"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(CombineUrl(c.base, c.reference).value_or("(none)"), c.combined) << c.reference;
    }
}

TEST(EscapeUnsafe, EscapesWhatARequestCannotCarry) {
    EXPECT_EQ(EscapeUnsafe("http://h/a b\xc3\xa9\x01\x7f"
                           "%41?q r#f"),
              "http://h/a%20b%C3%A9%01%7F%41?q%20r#f");
    EXPECT_EQ(EscapeUnsafe("http://h/{}|\"<>"), "http://h/{}|\"<>");
}

}  // namespace
}  // namespace quendrix::http
