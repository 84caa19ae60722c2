// The whois page's text rules on their worked cases: the domain as typed to the query text,
// and reply bytes to lines.
#include "tools/whois/whois_text.h"

#include <gtest/gtest.h>

namespace quendrix {
namespace {

TEST(WhoisText, NormaliseWhoisDomain) {
    struct Case {
        QString typed;
        QString expected;
    };
    const Case cases[] = {
        // Blanks, a capital scheme, a capital www and a path.
        {"  HTTP://WWW.Example.COM/whois/index.html  ", "example.com"},
        {"www.example.org", "example.org"},
        // "www." inside the first label: everything up to it goes.
        {"shopwww.example.net", "example.net"},
        // Only http:// is a scheme here: https keeps its name and colon.
        {"https://www.example.com/path", "https:"},
        // The blank left before a "/" stays; only the text sent is trimmed.
        {"www.example.com /path", "example.com "},
        // Only A-Z are lowered.
        {QStringLiteral(u"\u00C4BC.Example.DE"), QStringLiteral(u"\u00C4bc.example.de")},
        {"", ""},
        {"example.com", "example.com"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(NormaliseWhoisDomain(c.typed), c.expected) << c.typed.toStdString();
    }
}

TEST(WhoisText, SplitWhoisReply) {
    struct Case {
        const char* name;
        QByteArray reply;
        QByteArrayList lines;
    };
    const Case cases[] = {
        {"CR LF keeps empty lines as a lone CR", "a\r\n\r\nb\r\n", {"a\r", "\r", "b\r"}},
        {"bare LF loses empty lines", "a\n\nb\n", {"a", "b"}},
        {"empty reply", "", {}},
        {"line feeds only", "\n\n\n", {}},
        {"a last part without LF is the last line", "a\nb", {"a", "b"}},
        {"no LF at all", "single", {"single"}},
        {"bare CR stays inside its line", "a\rb\n", {"a\rb"}},
        {"NUL and high bytes kept",
         QByteArray("\x00\xff\n\x80", 4),
         {QByteArray("\x00\xff", 2), "\x80"}},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(SplitWhoisReply(c.reply), c.lines) << c.name;
    }
}

}  // namespace
}  // namespace quendrix
