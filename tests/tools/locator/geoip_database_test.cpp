// The GeoIP range reader: which lines it takes, and the binary search at the edges of ranges.
#include "tools/locator/geoip_database.h"

#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <chrono>
#include <cstdint>
#include <future>
#include <optional>
#include <string>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace quendrix::locator {
namespace {

constexpr std::uint32_t Ip(unsigned a, unsigned b, unsigned c, unsigned d) {
    return (a << 24) | (b << 16) | (c << 8) | d;
}

// Ranges out of order, a comment, a blank line, CR LF ends and an unknown "??" range, as the
// real file has them.
const char kFixture[] =
    "# a comment, then a blank line\n"
    "\n"
    "16777216,16777471,AU\r\n"    // 1.0.0.0 - 1.0.0.255
    "3758096384,3758096639,AU\n"  // 224.0.0.0 - 224.0.0.255
    "16777472,16778239,CN\n"      // 1.0.1.0 - 1.0.3.255
    "33554432,33554432,FR\n"      // 2.0.0.0 alone
    "4294967040,4294967295,??\n"  // 255.255.255.0 - the last address
    "0,0,ZZ\n";                   // the very first address

TEST(GeoIpDatabase, FindsTheRangeOfAnAddressAtItsEdgesAndBetween) {
    const GeoIpDatabase database = GeoIpDatabase::Parse(kFixture);
    EXPECT_EQ(database.size(), 6u);
    EXPECT_EQ(database.skippedLines(), 0u);
    const struct {
        std::uint32_t address;
        std::optional<std::string> code;
    } cases[] = {
        {Ip(0, 0, 0, 0), "ZZ"},
        {Ip(0, 0, 0, 1), std::nullopt},
        {Ip(0, 255, 255, 255), std::nullopt},
        {Ip(1, 0, 0, 0), "AU"},
        {Ip(1, 0, 0, 255), "AU"},
        {Ip(1, 0, 1, 0), "CN"},
        {Ip(1, 0, 3, 255), "CN"},
        {Ip(1, 0, 4, 0), std::nullopt},
        {Ip(2, 0, 0, 0), "FR"},
        {Ip(2, 0, 0, 1), std::nullopt},
        {Ip(127, 0, 0, 1), std::nullopt},
        {Ip(224, 0, 0, 7), "AU"},
        {Ip(255, 255, 255, 255), "??"},
        {Ip(255, 255, 254, 255), std::nullopt},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(database.CountryCode(c.address), c.code) << std::hex << c.address;
    }
}

TEST(GeoIpDatabase, SkipsLinesThatAreNoRangeAndKeepsTheRest) {
    const char text[] =
        "16777216,16777471,AU\n"
        "16777472\n"                  // one field
        "16777472,16777500\n"         // two fields
        "16777472,16777500,CNX\n"     // a code of three letters
        "16777472,16777500,C\n"       // of one
        "16777472,16777500,C,\n"      // a comma in the code
        "-1,16777500,CN\n"            // a sign
        " 16777472,16777500,CN\n"     // a blank
        "4294967296,4294967296,CN\n"  // above 32 bits
        "16777500,16777472,CN\n"      // upside down
        "0x1000000,16777500,CN\n"     // not decimal
        "33554432,33554433,FR";       // the last line without its LF still counts
    const GeoIpDatabase database = GeoIpDatabase::Parse(text);
    EXPECT_EQ(database.size(), 2u);
    EXPECT_EQ(database.skippedLines(), 10u);
    EXPECT_EQ(database.CountryCode(Ip(1, 0, 0, 20)), "AU");
    EXPECT_EQ(database.CountryCode(Ip(1, 0, 1, 10)), std::nullopt);
    EXPECT_EQ(database.CountryCode(Ip(2, 0, 0, 1)), "FR");
}

TEST(GeoIpDatabase, OverlapsKeepTheRangeThatStartsLower) {
    // Without this a search could land in either range and answer by chance.
    const GeoIpDatabase database = GeoIpDatabase::Parse(
        "100,200,AA\n"
        "150,300,BB\n"  // overlaps the first: dropped
        "100,120,CC\n"  // same start, read later: dropped
        "201,300,DD\n");
    EXPECT_EQ(database.size(), 2u);
    EXPECT_EQ(database.skippedLines(), 2u);
    EXPECT_EQ(database.CountryCode(100), "AA");
    EXPECT_EQ(database.CountryCode(180), "AA");
    EXPECT_EQ(database.CountryCode(250), "DD");
    EXPECT_EQ(database.CountryCode(301), std::nullopt);
}

TEST(GeoIpDatabase, LoadReadsAFileAndFailsForAMissingOneOrAFolderAndNeverWaitsOnAFifo) {
    QTemporaryDir dir;
    const std::string path = dir.filePath(QStringLiteral("geoip")).toStdString();
    {
        FILE* file = std::fopen(path.c_str(), "wb");
        ASSERT_NE(file, nullptr);
        std::fputs(kFixture, file);
        std::fclose(file);
    }
    const auto loaded = GeoIpDatabase::Load(path);
    ASSERT_TRUE(loaded);
    EXPECT_EQ(loaded->CountryCode(Ip(1, 0, 2, 3)), "CN");

    const auto missing = GeoIpDatabase::Load(path + ".missing");
    ASSERT_FALSE(missing);
    EXPECT_EQ(missing.error().systemError, ENOENT);
    const auto folder = GeoIpDatabase::Load(dir.path().toStdString());
    ASSERT_FALSE(folder);
    EXPECT_EQ(folder.error().systemError, EISDIR);

    // A FIFO in the file's place, with no writer: read as an empty file, at once. Should the
    // reading wait for a writer, the test becomes that writer so that it can end.
    const std::string fifo = path + ".fifo";
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    auto reading = std::async(std::launch::async, [&] { return GeoIpDatabase::Load(fifo); });
    if (reading.wait_for(std::chrono::seconds(30)) != std::future_status::ready) {
        const int writer = ::open(fifo.c_str(), O_WRONLY | O_NONBLOCK | O_CLOEXEC);
        ASSERT_GE(writer, 0);
        ::close(writer);
        reading.wait();
        FAIL() << "reading a FIFO waited for a writer";
    }
    const auto fromFifo = reading.get();
    ASSERT_TRUE(fromFifo);
    EXPECT_TRUE(fromFifo->empty());
}

}  // namespace
}  // namespace quendrix::locator
