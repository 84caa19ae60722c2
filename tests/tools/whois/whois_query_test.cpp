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
    };
    for (const Case& c : cases) {
        EXPECT_EQ(ReferralServer(c.lines), c.server) << c.name;
    }
}

}  // namespace
}  // namespace quendrix::whois
