// Large files are read by a second thread while the first hashes: the
// digest must be that of the bytes in order, and every way a reading ends
// (a change, an error, a stop) must end both threads. Built into the
// ThreadSanitizer run.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "platform/content_hash.h"

namespace tf::platform {
namespace {

// Bytes that differ at every offset, so a block out of order shows.
unsigned char ByteAt(std::uint64_t offset) { return static_cast<unsigned char>((offset * 2654435761u) >> 13); }

class PatternFile final : public ContentFile {
public:
    // `actual` bytes to read, `later` the size asked again at the end; reads
    // from `failAt` on fail.
    PatternFile(std::uint64_t size, std::uint64_t actual, std::uint64_t later, std::uint64_t failAt = ~0ull)
        : actual_(actual), later_(later), failAt_(failAt) {
        size_ = size;
    }
    std::int64_t ReadAt(std::uint64_t offset, void* buffer, std::size_t size) override {
        if (offset >= failAt_) return -1;
        if (offset >= actual_) return 0;
        const std::size_t n = static_cast<std::size_t>(std::min<std::uint64_t>(size, actual_ - offset));
        auto* out = static_cast<unsigned char*>(buffer);
        for (std::size_t i = 0; i < n; ++i) out[i] = ByteAt(offset + i);
        return static_cast<std::int64_t>(n);
    }
    std::uint64_t CurrentSize() override { return later_; }

private:
    std::uint64_t actual_, later_, failAt_;
};

TEST(HashWholeOverlapped, DigestIsThatOfTheBytesInOrder) {
    // Sizes around the block and ring boundaries, far above the threshold.
    for (std::uint64_t size : {(9ull << 20) + 12345, 8ull << 20, (8ull << 20) - 1}) {
        std::vector<unsigned char> bytes(size);
        for (std::uint64_t i = 0; i < size; ++i) bytes[i] = ByteAt(i);
        for (HashAlgorithm algorithm : {HashAlgorithm::kXxh128, HashAlgorithm::kSha256}) {
            std::unique_ptr<Hasher> reference = CreateHasher(algorithm);
            reference->Update(bytes.data(), bytes.size());
            const std::string expected = reference->Finish();
            std::uint64_t seen = 0;
            std::string digest;
            PatternFile file(size, size, size);
            ASSERT_EQ(HashWhole(file, algorithm, [&](std::uint64_t n) { return (seen += n), true; }, digest),
                      ContentStatus::kRead);
            EXPECT_EQ(digest, expected) << size;
            EXPECT_EQ(seen, size);
        }
    }
}

TEST(HashWholeOverlapped, EveryEndStopsTheReader) {
    const std::uint64_t size = 10ull << 20;
    std::string digest = "kept";
    PatternFile shrunk(size, size / 2, size / 2);
    EXPECT_EQ(HashWhole(shrunk, HashAlgorithm::kXxh128, nullptr, digest), ContentStatus::kChanged);
    PatternFile grew(size, size + 1, size + 1);
    EXPECT_EQ(HashWhole(grew, HashAlgorithm::kXxh128, nullptr, digest), ContentStatus::kChanged);
    PatternFile grewLate(size, size, size + 1);
    EXPECT_EQ(HashWhole(grewLate, HashAlgorithm::kXxh128, nullptr, digest), ContentStatus::kChanged);
    PatternFile failing(size, size, size, 3ull << 20);
    EXPECT_EQ(HashWhole(failing, HashAlgorithm::kXxh128, nullptr, digest), ContentStatus::kFailed);
    EXPECT_EQ(digest, "kept");

    // A stop is heard within a block of where it was asked, while the
    // reader may be blocks ahead.
    std::uint64_t seen = 0;
    PatternFile file(size, size, size);
    EXPECT_EQ(HashWhole(file, HashAlgorithm::kXxh128, [&](std::uint64_t n) { return (seen += n) < (1ull << 20); },
                        digest),
              ContentStatus::kStopped);
    EXPECT_GE(seen, 1ull << 20);
    EXPECT_LT(seen, 2ull << 20);
}

}  // namespace
}  // namespace tf::platform
