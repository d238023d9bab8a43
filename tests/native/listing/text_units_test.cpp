#include "listing/formats/text_units.h"
#include "listing/listing_types.h"
#include "platform/utf8.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <cstring>

namespace tf::listing {
namespace {

TEST(TextUnits, KilobytesRoundHalvesToEven) {
    const std::pair<std::uint64_t, std::uint64_t> cases[] = {
        {0, 0}, {511, 0}, {512, 0}, {513, 1}, {1023, 1}, {1536, 2}, {2560, 2}, {3584, 4}, {1048576, 1024},
        // Above 2^53 a double quotient would round wrongly.
        {(1ull << 53) + 512, (1ull << 43)},
        {(1ull << 53) + 1536, (1ull << 43) + 2},
        {(1ull << 60) + 513, (1ull << 50) + 1},
        {~0ull, 1ull << 54},
    };
    for (const auto& [bytes, kb] : cases) EXPECT_EQ(RoundScaledBytes(bytes, 1), kb) << bytes;
}

TEST(TextUnits, MegabytesRoundHalvesToEven) {
    EXPECT_EQ(RoundScaledBytes(1536, 2), 0u);
    EXPECT_EQ(RoundScaledBytes(524288, 2), 0u);
    EXPECT_EQ(RoundScaledBytes(524289, 2), 1u);
    EXPECT_EQ(RoundScaledBytes(1572864, 2), 2u);
    EXPECT_EQ(RoundScaledBytes(2621440, 2), 2u);
    EXPECT_DOUBLE_EQ(ScaleBytes(1572864, 2), 1.5);
    EXPECT_DOUBLE_EQ(ScaleBytes(1536, 1), 1.5);
}

constexpr platform::FileTicks Ticks(std::int64_t unixSeconds) {
    return static_cast<platform::FileTicks>(unixSeconds + 11644473600LL) * 10000000ULL;
}

TEST(TextUnits, DateTextIsUtcWithoutLeadingZeros) {
    EXPECT_EQ(DateText(Ticks(1236416730)), "2009/3/7 9:5");     // 2009-03-07 09:05:30
    EXPECT_EQ(DateText(Ticks(1254355200)), "2009/10/1 0:0");    // midnight
    EXPECT_EQ(DateText(Ticks(951868799)), "2000/2/29 23:59");   // leap day, last minute
    EXPECT_EQ(DateText(Ticks(978307200)), "2001/1/1 0:0");
    EXPECT_EQ(DateText(0), "1601/1/1 0:0");
    EXPECT_EQ(DateText(Ticks(4107542400)), "2100/3/1 0:0");     // 2100 is not a leap year
    EXPECT_EQ(DateText(Ticks(1236416730) + 299999999), "2009/3/7 9:5");
}

TEST(TextUnits, DeleteNullKeepsTextBeforeTheFirstNul) {
    EXPECT_EQ(platform::delete_Null(std::string("abc\0def", 7)), "abc");
    EXPECT_EQ(platform::delete_Null("abc"), "abc");
    EXPECT_EQ(platform::delete_Null(std::string("\0x", 2)), "");
}

constexpr auto kUtf8 = platform::NameEncoding::kUtf8;

TEST(TextUnits, CutNeverSplitsACharacter) {
    EXPECT_EQ(CutToChars(std::string(40, 'a'), 35, kUtf8), std::string(35, 'a'));
    EXPECT_EQ(CutToChars("short", 35, kUtf8), "short");
    // 34 ASCII letters then a two-byte and a three-byte character.
    const std::string name = std::string(34, 'a') + "\xC3\xA9" + "\xE2\x82\xAC" + "z";
    EXPECT_EQ(CutToChars(name, 35, kUtf8), std::string(34, 'a') + "\xC3\xA9");
    EXPECT_EQ(CutToChars(name, 36, kUtf8), std::string(34, 'a') + "\xC3\xA9\xE2\x82\xAC");
    EXPECT_EQ(CharCount(name, kUtf8), 37u);
    EXPECT_EQ(CharCount("emoji \xF0\x9F\x98\x80", kUtf8), 7u);
    // A legacy code page: one byte, one character.
    EXPECT_EQ(CutToChars(name, 35, platform::NameEncoding::kCodePage), std::string(34, 'a') + "\xC3");
}

TEST(TextUnits, EveryByteOutsideValidUtf8IsACharacter) {
    // Stray continuation bytes; 40 of them are cut to 35 like any name.
    EXPECT_EQ(CutToChars("ab\x80\x80" "cd", 3, kUtf8), "ab\x80");
    EXPECT_EQ(CutToChars(std::string(40, '\x80'), 35, kUtf8), std::string(35, '\x80'));
    EXPECT_EQ(CharCount(std::string(40, '\xE9'), kUtf8), 40u);  // Latin-1 letters
    EXPECT_EQ(CharCount("\xC0\x80", kUtf8), 2u);              // overlong NUL
    EXPECT_EQ(CharCount("\xED\xA0\x80", kUtf8), 3u);          // a surrogate
    EXPECT_EQ(CharCount("\xF4\x90\x80\x80", kUtf8), 4u);      // above U+10FFFF
    EXPECT_EQ(CharCount("\xE6\x97" "a", kUtf8), 3u);          // cut short before a letter
    EXPECT_EQ(CutToChars("\xE6\x97\xA5\xE6\x97", 2, kUtf8), "\xE6\x97\xA5\xE6");
}

// Read back, the progress line gives both figures to a tenth of its unit,
// the whole in [1, 1000) of that unit unless below one kilobyte, and the
// percentage done rounded down.
TEST(TextUnits, HashProgressReadsBackAsTheBytesDoneAndToDo) {
    EXPECT_EQ(HashProgressText(RunTotals{}), "");
    const char* const units[] = {"KB", "MB", "GB", "TB", "PB"};
    std::uint64_t seed = 12345;
    for (int i = 0; i < 5000; ++i) {
        seed = seed * 6364136223846793005ull + 1442695040888963407ull;
        RunTotals totals;
        // Just below a unit's thousand, then sizes of every magnitude.
        const std::uint64_t edges[] = {999, 1000, 999'949, 999'960, 999'999, 999'999'999'999};
        totals.bytesToHash = i < 6 ? edges[i] : (seed >> 11) >> (seed % 53);
        if (totals.bytesToHash == 0) continue;
        totals.hashedBytes = i % 7 == 0 ? totals.bytesToHash + 5 : (seed >> 7) % (totals.bytesToHash + 1);
        const std::string text = HashProgressText(totals);
        double done = 0, whole = 0;
        char unit[4] = {};
        unsigned percent = 0;
        ASSERT_EQ(std::sscanf(text.c_str(), "Hashed %lf of %lf %2s (%u%%)", &done, &whole, unit, &percent), 4)
            << text;
        double scale = 1e3;
        for (const char* u : units) {
            if (std::strcmp(u, unit) == 0) break;
            scale *= 1e3;
        }
        const double doneBytes = static_cast<double>(std::min(totals.hashedBytes, totals.bytesToHash));
        EXPECT_NEAR(done, doneBytes / scale, 0.051) << text;
        EXPECT_NEAR(whole, static_cast<double>(totals.bytesToHash) / scale, 0.051) << text;
        EXPECT_LT(whole, 1000.0) << text;
        if (totals.bytesToHash >= 1000) {
            EXPECT_GE(whole, 1.0) << text;
        }
        EXPECT_EQ(percent, static_cast<unsigned>(std::floor(doneBytes * 100 / static_cast<double>(totals.bytesToHash))))
            << text;
    }
}

}  // namespace
}  // namespace tf::listing
