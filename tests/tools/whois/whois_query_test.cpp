// What a reply becomes on the page and in the export: its lines, the cut mark, and the
// exported bytes of every byte value.
#include "tools/whois/whois_query.h"
#include "tools/whois/whois_export.h"

#include <gtest/gtest.h>

namespace quendrix::whois {
namespace {

TEST(WhoisQuery, ACutReplyEndsWithTheMarkAndTheTextSentIsTrimmed) {
    EXPECT_EQ(ReplyLines({"a\r\nb", false}), (QByteArrayList{"a\r", "b"}));
    EXPECT_EQ(ReplyLines({"a\r\nb", true}), (QByteArrayList{"a\r", "b", "[reply cut at 16 MiB]"}));
    EXPECT_EQ(ReplyLines({"", false}), QByteArrayList{});
    EXPECT_EQ(QueryBytes(QStringLiteral(u" b\u00E9.example ")), "b\xc3\xa9.example");
}

TEST(WhoisQuery, ExportKeepsEveryByteValue) {
    QByteArrayList lines;
    QByteArray expected;
    for (int i = 0; i < 256; ++i) {
        if (i == '\n') {
            continue;  // a line never holds its separator
        }
        const QByteArray line(2, static_cast<char>(i));
        lines.append(line);
        expected += line + "\r\n";
    }
    EXPECT_EQ(ExportFileBytes(WhoisExportLines(lines), kWhoisExportEncoding), expected);
}

TEST(WhoisQuery, ReferralServer) {
    struct Case {
        const char* name;
        QByteArrayList lines;
        std::optional<QString> server;
    };
    const Case cases[] = {
        {"refer", {"% note\r", "refer:        whois.example.net\r", ""}, "whois.example.net"},
        {"whois line, capitals", {"WHOIS: whois.example.org"}, "whois.example.org"},
        {"registrar line",
         {"   Registrar WHOIS Server: whois://whois.registrar.example/\r"},
         "whois.registrar.example"},
        {"the first one counts", {"whois: a.example", "refer: b.example"}, "a.example"},
        {"empty value", {"refer:\r", "whois:   "}, std::nullopt},
        {"another protocol", {"refer: rwhois://rwhois.example:4321"}, std::nullopt},
        {"a word inside a line is no referral", {"Domain whois: x.example"}, std::nullopt},
        {"none", {"Domain: example.com"}, std::nullopt},
        {"this computer is skipped for the next referral",
         {"whois: 0", "refer: 127.0.0.1", "refer: whois.example.net"},
         "whois.example.net"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(ReferralServer(c.lines), c.server) << c.name;
    }
}

TEST(WhoisQuery, OnlyAHostNameOrAnAddressElsewhereIsFollowed) {
    const char* followed[] = {"whois.example.net", "a-b.example", "whois.",         "192.0.2.1",
                              "10.250.1.1",        "1.0.0.0",     "255.255.255.254"};
    for (const char* server : followed) {
        EXPECT_TRUE(FollowableServer(QString::fromLatin1(server))) << server;
    }
    // No dot, other characters, or this computer in any form the resolver reads as an address.
    const char* refused[] = {"0",           "localhost",       "",
                             ".",           "whois_x.example", "wh\xe9is.example",
                             "a b.example", "x.example:43",    "0.0.0.0",
                             "0.1.2.3",     "127.0.0.1",       "127.255.0.9",
                             "127.1",       "2130706433",      "0x7f.0.0.1",
                             "0177.0.0.1",  "1.2.3",           "256.1.1.1",
                             "1.2.3.4.5",   "01.2.3.4"};
    for (const char* server : refused) {
        EXPECT_FALSE(FollowableServer(QString::fromLatin1(server))) << server;
    }
}

}  // namespace
}  // namespace quendrix::whois
