// Inputs found by fuzzing, kept with the outcome they must have.
#include <gtest/gtest.h>

#include <chrono>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "platform/message_sink.h"
#include "png/load_png.h"

namespace tf::png {
namespace {

struct Regression {
    const char* file;
    PngError error;
    std::int32_t errorNumber;
};

std::ostream& operator<<(std::ostream& os, const Regression& r) { return os << r.file; }

class RegressionTest : public ::testing::TestWithParam<Regression> {};

TEST_P(RegressionTest, EndsWithItsError) {
    const Regression& r = GetParam();
    std::ifstream in(std::string(TF_PNG_REGRESSIONS_DIR) + "/" + r.file, std::ios::binary);
    ASSERT_TRUE(in) << r.file;
    const std::vector<std::uint8_t> file((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    platform::RecordingMessageSink messages;
    LoadPNG png(messages);
    png.SetAlpha(true);
    png.SetTrans(true);
    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(png.OpenPNGFromMemory(file.data(), file.size()), r.error);
    EXPECT_EQ(png.ErrorNumber(), r.errorNumber);
    EXPECT_TRUE(png.Image().empty());
    // These once took tens of seconds under the sanitizers.
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(5));
}

// A deflate stream that ends where its all-zero code is a literal, on a
// 32 x 1048608 16-bit RGB header. Its 200 MB of inflated data and 100 MB
// bitmap together pass the per-decode memory cap, so it is refused before
// inflating; the inflater's own stop is covered by inflate_test.
INSTANTIATE_TEST_SUITE_P(
    Fuzzed, RegressionTest,
    ::testing::Values(Regression{"phantom-literals-rgb16.png", PngError::kImageTooLarge, kErrorBadHeader},
                      Regression{"phantom-literals-rgb16-b.png", PngError::kImageTooLarge, kErrorBadHeader}));

}  // namespace
}  // namespace tf::png
