// Inputs found by fuzzing: the slow ones kept with the outcome they must
// have, and the fuzzing corpus replayed under the sanitizers.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "platform/message_sink.h"
#include "png/load_png.h"
#include "png/memory_surface.h"

namespace tf::png {
namespace {

struct Regression {
    const char* file;
    PngError error;
    std::int32_t errorNumber;
};

std::vector<std::uint8_t> ReadFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::vector<std::uint8_t>((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

std::ostream& operator<<(std::ostream& os, const Regression& r) { return os << r.file; }

class RegressionTest : public ::testing::TestWithParam<Regression> {};

TEST_P(RegressionTest, EndsWithItsError) {
    const Regression& r = GetParam();
    const std::vector<std::uint8_t> file = ReadFile(std::string(TF_PNG_REGRESSIONS_DIR) + "/" + r.file);
    ASSERT_FALSE(file.empty()) << r.file;
    platform::RecordingMessageSink messages;
    LoadPNG png(messages);
    png.SetAlpha(true);
    png.SetTrans(true);
    EXPECT_EQ(png.OpenPNGFromMemory(file.data(), file.size()), r.error);
    EXPECT_EQ(png.ErrorNumber(), r.errorNumber);
    EXPECT_TRUE(png.Image().empty());
}

// A deflate stream that ends where its all-zero code is a literal, on a
// 32 x 1048608 16-bit RGB header. Its 200 MB of inflated data and 100 MB
// bitmap together pass the per-decode memory cap, so it is refused before
// inflating; the inflater's own stop is covered by inflate_test.
INSTANTIATE_TEST_SUITE_P(
    Fuzzed, RegressionTest,
    ::testing::Values(Regression{"phantom-literals-rgb16.png", PngError::kImageTooLarge, kErrorBadHeader},
                      Regression{"phantom-literals-rgb16-b.png", PngError::kImageTooLarge, kErrorBadHeader}));

// Each input with the switches the fuzzer derives from its length: the
// outcome and ErrorNumber agree, and a decoded bitmap holds all its rows.
TEST(FuzzCorpusTest, EveryInputEndsWithAConsistentOutcome) {
    std::size_t inputs = 0;
    for (const auto& entry : std::filesystem::directory_iterator(TF_FUZZ_CORPUS_DIR)) {
        const std::vector<std::uint8_t> file = ReadFile(entry.path().string());
        platform::RecordingMessageSink messages;
        LoadPNG png(messages);
        MemorySurface surface(8, 8, 0, 0);
        png.SetAlpha(file.size() & 1);
        png.SetTrans(file.size() & 2);
        if (file.size() & 4) png.BackgroundPicture(&surface);
        const PngError error = png.OpenPNGFromMemory(file.data(), file.size());
        const DecodedImage& image = png.Image();
        EXPECT_EQ(error == PngError::kNone, png.ErrorNumber() == kErrorNone) << entry.path();
        EXPECT_EQ(error == PngError::kNone, !image.empty()) << entry.path();
        EXPECT_GE(image.pixels.size(), image.stride * image.height) << entry.path();
        ++inputs;
    }
    EXPECT_GT(inputs, 100u);
}

}  // namespace
}  // namespace tf::png
