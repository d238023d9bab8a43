// The hashes of an earlier listing as the reuse reads them back, on a
// thread of its own while they are looked for: every record of a listing
// larger than the reader's buffer (one record larger still), names full of
// escapes, the largest stamps, found by stamp in order and out of it.
#include "listing/scan/hash_reuse.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>

#include "temp_tree.h"

namespace tf::listing {
namespace {

std::string Hex(std::uint64_t n) {
    char text[33];
    std::snprintf(text, sizeof text, "%016llx%016llx", static_cast<unsigned long long>(n),
                  static_cast<unsigned long long>(~n));
    return text;
}

platform::FileStamp StampOf(std::uint64_t i) { return {1000 + i, 2000 + i, 7, 50000 - i, true}; }

TEST(EarlierHashes, EveryRecordIsFoundByItsStampAndOnlyByIt) {
    testing::TempTree work;
    const std::string path = work.Path("earlier.jsonl");
    constexpr std::uint64_t kFiles = 20000;
    {
        std::ofstream out(path, std::ios::binary);
        for (std::uint64_t i = 0; i < kFiles; ++i) {
            // Quotes and backslashes escaped in every way, and a field's
            // text inside a name.
            std::string name = "f" + std::to_string(i) + (i % 3 == 0   ? R"(\\\"stamp\":\"9:9:9:9\"\\)"
                                                         : i % 3 == 1 ? R"(\\)"
                                                                      : R"(\")");
            if (i == 12345) name += std::string(3 << 20, 'n');  // longer than the buffer
            const platform::FileStamp s = StampOf(i);
            out << "{\"path\":\"/r/" << name << "\",\"name\":\"" << name << "\",\"kind\":\"file\",\"size\":" << i
                << ",\"hash\":\"xxh128:" << Hex(i) << "\",\"stamp\":\"" << s.modified << ':' << s.changed << ':'
                << s.device << ':' << s.fileId << "\"}\n";
        }
        // The largest stamp a listing can hold, and one past it.
        out << R"({"path":"/r/max","name":"max","kind":"file","size":1,"hash":"xxh128:)" << Hex(1)
            << R"(","stamp":"18446744073709551615:1:1:18446744073709551615"})" << '\n';
        out << R"({"path":"/r/over","name":"over","kind":"file","size":1,"hash":"xxh128:)" << Hex(1)
            << R"(","stamp":"18446744073709551616:1:1:1"})" << '\n';
        out << "{\"path\":\"/r\",\"name\":\"r\",\"kind\":\"folder\",\"type\":\"\",\"size\":0,\"hashes\":\"xxh128\"}\n";
    }
    EarlierHashes earlier;
    earlier.Load(path, platform::HashAlgorithm::kXxh128);
    const auto found = [&](std::uint64_t size, const platform::FileStamp& stamp) {
        std::string digest;
        return earlier.Find(size, stamp, digest) ? digest : "none";
    };
    // In order, as the records are still being read; a file that is not
    // there on the way.
    for (std::uint64_t i = 0; i < kFiles; ++i) {
        ASSERT_EQ(found(i, StampOf(i)), Hex(i)) << i;
        if (i == 777) {
            EXPECT_EQ(found(5, StampOf(kFiles + 5)), "none");
        }
        if (i == 999) {
            platform::FileStamp changed = StampOf(i);
            ++changed.changed;
            EXPECT_EQ(found(i, changed), "none");
        }
    }
    // Out of order, and not for another size or a later change.
    for (std::uint64_t i = kFiles; i-- > 0;) {
        ASSERT_EQ(found(i, StampOf(i)), Hex(i)) << i;
        platform::FileStamp changed = StampOf(i);
        ++changed.changed;
        EXPECT_EQ(found(i, changed), "none");
        EXPECT_EQ(found(i + 1, StampOf(i)), "none");
    }
    std::string digest;
    EXPECT_TRUE(earlier.Find(1, {~0ull, 1, 1, ~0ull, true}, digest));
    EXPECT_EQ(earlier.Count(), kFiles + 1);
    // A listing of other hashes gives nothing.
    earlier.Load(path, platform::HashAlgorithm::kSha256);
    EXPECT_EQ(earlier.Count(), 0u);
}

}  // namespace
}  // namespace tf::listing
