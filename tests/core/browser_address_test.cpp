// The reply rules that reduce the browser's window information to an address, and the host and
// the address without its scheme taken from it.
#include "core/browser_address.h"

#include <gtest/gtest.h>

namespace quendrix {
namespace {

struct ReplyCase {
    const char* reply;
    const char* address;
};

TEST(BrowserAddressTest, ReplyRules) {
    const ReplyCase cases[] = {
        // The usual reply: the address between the first two quotes, title left out.
        {R"("http://www.example.com/docs/a.html","Docs, part \"A\"")",
         "http://www.example.com/docs/a.html"},
        {R"("https://example.com:8443/x?y=1","")", "https://example.com:8443/x?y=1"},
        // No double quote at all.
        {"", "XXX"},
        {"http://www.example.com/", "XXX"},
        // No closing quote at or after the third character: the empty text.
        {R"("http://www.example.com/)", ""},
        {R"(")", ""},
        // A local file or the blank page, in the address or in the title.
        {R"("file:///home/user/page.html","page.html")", "XXX"},
        {R"("about:blank","")", "XXX"},
        {R"("http://www.example.com/","about:blank")", "XXX"},
        {R"("http://www.example.com/","see file:///tmp/x")", "XXX"},
        // An address without a scheme separator, such as a new tab or the start page.
        {R"("about:newtab","New Tab")", "XXX"},
        {R"("about:home","Home")", "XXX"},
        // An empty address: its closing quote is the second character, so the address runs to
        // the next quote and holds no "://".
        {R"("","")", "XXX"},
    };
    for (const ReplyCase& c : cases) {
        EXPECT_EQ(BrowserAddressFromReply(QString::fromUtf8(c.reply)), QString::fromUtf8(c.address))
            << c.reply;
    }
}

TEST(BrowserAddressTest, HostAndAddressWithoutScheme) {
    struct Case {
        const char* address;
        const char* host;
        const char* withoutScheme;
    };
    const Case cases[] = {
        {"http://www.example.com/path/page.html?q=1", "www.example.com",
         "www.example.com/path/page.html?q=1"},
        {"http://www.example.com:8080/a/", "www.example.com:8080", "www.example.com:8080/a/"},
        {"https://example.com", "example.com", "example.com"},
        // Only the first "://" separates the scheme.
        {"http://a.example/redirect?to=http://b.example/", "a.example",
         "a.example/redirect?to=http://b.example/"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(HostFromAddress(QString::fromUtf8(c.address)), QString::fromUtf8(c.host))
            << c.address;
        EXPECT_EQ(AddressWithoutScheme(QString::fromUtf8(c.address)),
                  QString::fromUtf8(c.withoutScheme))
            << c.address;
    }
}

TEST(BrowserAddressTest, QueryThroughASource) {
    class Source : public BrowserAddressSource {
      public:
        std::optional<QString> windowInfo() override { return reply; }
        std::optional<QString> reply;
    } source;
    EXPECT_EQ(GetBrowserAddress(source), "XXX");  // no browser answers
    source.reply = R"("http://www.example.com/a","A")";
    EXPECT_EQ(GetBrowserAddress(source), "http://www.example.com/a");
    source.reply = R"("about:newtab","New Tab")";
    EXPECT_EQ(GetBrowserAddress(source), "XXX");
}

}  // namespace
}  // namespace quendrix
