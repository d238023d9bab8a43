// The inflater against zlib's deflate on many streams: every level and
// strategy, several kinds of data, short streams and long ones, distances up
// to the full 32 KiB window.
#include <gtest/gtest.h>
#include <zlib.h>

#include <random>
#include <string>
#include <vector>

#include "png/inflate.h"

namespace tf::png {
namespace {

std::vector<std::uint8_t> Deflate(const std::vector<std::uint8_t>& data, int level, int strategy,
                                  int windowBits, int memLevel) {
    z_stream z{};
    EXPECT_EQ(deflateInit2(&z, level, Z_DEFLATED, -windowBits, memLevel, strategy), Z_OK);
    std::vector<std::uint8_t> out(deflateBound(&z, static_cast<uLong>(data.size())) + 16);
    z.next_in = const_cast<Bytef*>(data.data());
    z.avail_in = static_cast<uInt>(data.size());
    z.next_out = out.data();
    z.avail_out = static_cast<uInt>(out.size());
    EXPECT_EQ(deflate(&z, Z_FINISH), Z_STREAM_END);
    out.resize(z.total_out);
    deflateEnd(&z);
    // The loader always inflates zlib streams, whose Adler-32 trailer follows.
    const uLong adler = adler32(adler32(0, nullptr, 0), data.data(), static_cast<uInt>(data.size()));
    for (int shift = 24; shift >= 0; shift -= 8) out.push_back(static_cast<std::uint8_t>(adler >> shift));
    return out;
}

enum class Kind { kRandom, kText, kRuns, kGradient, kFarRepeats };

std::vector<std::uint8_t> MakeData(Kind kind, std::size_t size, std::mt19937& rng) {
    std::vector<std::uint8_t> d(size);
    switch (kind) {
        case Kind::kRandom:
            for (auto& b : d) b = static_cast<std::uint8_t>(rng());
            break;
        case Kind::kText: {
            static const char* const kWords[] = {"the ", "folder ", "listing ", "of ", "files, ",
                                                 "size ", "and ", "date\r\n", "Tallyfold ", "a "};
            std::size_t at = 0;
            while (at < size) {
                for (const char* p = kWords[rng() % 10]; *p && at < size; ++p) d[at++] = static_cast<std::uint8_t>(*p);
            }
            break;
        }
        case Kind::kRuns: {
            std::size_t at = 0;
            while (at < size) {
                const std::uint8_t v = static_cast<std::uint8_t>(rng() % 4);
                for (std::size_t n = 1 + rng() % 300; n && at < size; --n) d[at++] = v;
            }
            break;
        }
        case Kind::kGradient:
            for (std::size_t i = 0; i < size; ++i) d[i] = static_cast<std::uint8_t>((i % 97) * 3 + (i / 4099) + (rng() % 3));
            break;
        case Kind::kFarRepeats: {
            // Blocks repeated at distances close to 32 KiB.
            const std::size_t period = 32768 - rng() % 64;
            for (std::size_t i = 0; i < size; ++i) {
                d[i] = i < period ? static_cast<std::uint8_t>(rng()) : d[i - period];
            }
            break;
        }
    }
    return d;
}

void ExpectRoundTrip(Inflater& inflater, const std::vector<std::uint8_t>& data, int level,
                     int strategy, int windowBits = 15, int memLevel = 8) {
    const std::vector<std::uint8_t> packed = Deflate(data, level, strategy, windowBits, memLevel);
    Bytes out;
    // The exact size as the hint: the output must fit without being cut.
    const InflateOutcome r = inflater.Inflate(packed.data(), packed.size(),
                                              static_cast<std::int64_t>(data.size()) + 100, false, out);
    ASSERT_TRUE(r.ok()) << ToString(r.error);
    ASSERT_EQ(r.result, 0);
    ASSERT_EQ(out.size(), data.size());
    ASSERT_TRUE(std::equal(out.begin(), out.end(), data.begin()));
}

TEST(InflateZlibTest, ShortStreamsOfEveryLevelStrategyAndKind) {
    Inflater inflater;
    std::mt19937 rng(12345);
    const int strategies[] = {Z_DEFAULT_STRATEGY, Z_FILTERED, Z_HUFFMAN_ONLY, Z_RLE, Z_FIXED};
    const std::size_t sizes[] = {0, 1, 2, 7, 31, 100, 517, 3000, 20000, 70000};
    int streams = 0;
    for (int level = 0; level <= 9; ++level) {
        for (int strategy : strategies) {
            for (Kind kind : {Kind::kRandom, Kind::kText, Kind::kRuns, Kind::kGradient}) {
                for (std::size_t size : sizes) {
                    SCOPED_TRACE(testing::Message() << "level " << level << " strategy " << strategy
                                                    << " kind " << static_cast<int>(kind) << " size " << size);
                    ExpectRoundTrip(inflater, MakeData(kind, size, rng), level, strategy);
                    ++streams;
                }
            }
        }
    }
    // Smaller windows and memory levels change the block and match choices.
    for (int windowBits = 9; windowBits <= 15; ++windowBits) {
        for (int memLevel : {1, 5, 9}) {
            for (int seed = 0; seed < 12; ++seed) {
                ExpectRoundTrip(inflater, MakeData(static_cast<Kind>(seed % 4), 1 + rng() % 9000, rng),
                                1 + seed % 9, Z_DEFAULT_STRATEGY, windowBits, memLevel);
                ++streams;
            }
        }
    }
    EXPECT_GE(streams, 2000);
}

TEST(InflateZlibTest, MegabyteStreamsAndFullWindowDistances) {
    Inflater inflater;
    std::mt19937 rng(777);
    for (Kind kind : {Kind::kText, Kind::kGradient, Kind::kFarRepeats, Kind::kRandom}) {
        for (int level : {1, 6, 9}) {
            SCOPED_TRACE(testing::Message() << "kind " << static_cast<int>(kind) << " level " << level);
            ExpectRoundTrip(inflater, MakeData(kind, 1 << 20, rng), level, Z_DEFAULT_STRATEGY);
        }
    }
}

TEST(InflateZlibTest, SmallHintsCutOrOverflowAtTheBufferEnd) {
    // A back-reference crossing the end of the buffer cuts the output to the
    // hint; a literal crossing it is an overflow; a stored block that does not
    // fit ends with -1 and the bytes before it. What was kept is always right.
    Inflater inflater;
    std::mt19937 rng(99);
    int cuts = 0, overflows = 0, storedMisses = 0;
    for (Kind kind : {Kind::kText, Kind::kRuns, Kind::kRandom, Kind::kGradient}) {
        const std::vector<std::uint8_t> data = MakeData(kind, 100000, rng);
        const std::vector<std::uint8_t> packed = Deflate(data, 6, Z_DEFAULT_STRATEGY, 15, 8);
        for (int i = 0; i < 40; ++i) {
            const std::int64_t hint = static_cast<std::int64_t>(rng() % 99000);
            Bytes out;
            const InflateOutcome r = inflater.Inflate(packed.data(), packed.size(), hint, false, out);
            if (!r.ok()) {
                ASSERT_EQ(r.error, PngError::kOutputOverflow);
                ++overflows;
                continue;
            }
            ASSERT_TRUE(std::equal(out.begin(), out.end(), data.begin()));
            if (r.result == -1) {
                ASSERT_LE(out.size(), static_cast<std::size_t>(hint));
                ++storedMisses;
                continue;
            }
            ASSERT_EQ(r.result, 0);
            ASSERT_EQ(out.size(), static_cast<std::size_t>(hint));
            ++cuts;
        }
    }
    EXPECT_GT(cuts, 0);
    EXPECT_GT(overflows, 0);
    EXPECT_GT(storedMisses, 0);
}

}  // namespace
}  // namespace tf::png
