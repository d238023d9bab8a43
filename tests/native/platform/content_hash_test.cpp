// Files that change while they are hashed: each way ends as kChanged or
// kFailed, never as a digest of bytes that were not the file, and never by
// waiting.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "platform/content_hash.h"

namespace tf::platform {
namespace {

// A file of `size` bytes as opened, whose reads see `actual` bytes and
// whose size is `later` once asked again.
class ShiftingFile final : public ContentFile {
public:
    ShiftingFile(std::uint64_t size, std::uint64_t actual, std::uint64_t later, bool fails = false)
        : actual_(actual), later_(later), fails_(fails) {
        size_ = size;
    }
    std::int64_t ReadAt(std::uint64_t offset, void* buffer, std::size_t size) override {
        if (fails_ && offset > 0) return -1;
        if (offset >= actual_) return 0;
        const std::size_t n = static_cast<std::size_t>(std::min<std::uint64_t>(size, actual_ - offset));
        std::memset(buffer, 'x', n);
        return static_cast<std::int64_t>(n);
    }
    std::uint64_t CurrentSize() override { return later_; }

private:
    std::uint64_t actual_, later_;
    bool fails_;
};

TEST(HashWhole, FilesThatChangeWhileReadAreNotHashed) {
    for (HashAlgorithm algorithm : {HashAlgorithm::kXxh128, HashAlgorithm::kSha256}) {
        std::string digest;
        ShiftingFile same(300000, 300000, 300000);
        ASSERT_EQ(HashWhole(same, algorithm, nullptr, digest), ContentStatus::kRead);
        EXPECT_EQ(digest.size(), HashHexLength(algorithm));

        const std::string before = digest;
        ShiftingFile shrunk(300000, 200000, 200000);
        EXPECT_EQ(HashWhole(shrunk, algorithm, nullptr, digest), ContentStatus::kChanged);
        ShiftingFile grew(300000, 400000, 400000);
        EXPECT_EQ(HashWhole(grew, algorithm, nullptr, digest), ContentStatus::kChanged);
        // Grown after the last read: only the size asked again tells.
        ShiftingFile grewLate(300000, 300000, 300001);
        EXPECT_EQ(HashWhole(grewLate, algorithm, nullptr, digest), ContentStatus::kChanged);
        ShiftingFile failing(300000, 300000, 300000, true);
        EXPECT_EQ(HashWhole(failing, algorithm, nullptr, digest), ContentStatus::kFailed);
        EXPECT_EQ(digest, before);  // left as it was by each failure

        ShiftingFile edges(300000, 100000, 100000);
        EXPECT_EQ(HashEdges(edges, algorithm, 4096, digest), ContentStatus::kChanged);
    }
}

TEST(HashWhole, ProgressCountsEveryByteAndCanStop) {
    std::uint64_t seen = 0;
    std::string digest;
    ShiftingFile file(1000000, 1000000, 1000000);
    EXPECT_EQ(HashWhole(file, HashAlgorithm::kXxh128, [&](std::uint64_t n) { return (seen += n) < 500000; },
                        digest),
              ContentStatus::kStopped);
    EXPECT_GE(seen, 500000u);
    EXPECT_LT(seen, 1000000u);
}

}  // namespace
}  // namespace tf::platform
