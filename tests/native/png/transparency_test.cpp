// Pixels made transparent by tRNS data, before any blend.
#include <gtest/gtest.h>

#include <vector>

#include "png/transparency.h"

namespace tf::png {
namespace {

TEST(TransparencyTest, IndexAlphaTablesAndColourKeys) {
    const std::uint8_t palette[] = {10, 20, 30, 40, 50, 60, 70, 80, 90};
    const std::uint8_t alpha[] = {0, 128};
    const std::uint8_t indexes[] = {0b00011011};  // 2-bit indexes 0, 1, 2, 3
    std::uint8_t bgra[16];
    ApplyIndexTransparency(SampleRows{indexes, 1, 2}, 4, 1, palette, 3, alpha, 2, -1, bgra);
    EXPECT_EQ(std::vector<int>(bgra, bgra + 16),
              (std::vector<int>{30, 20, 10, 0, 60, 50, 40, 128, 90, 80, 70, 255, 0, 0, 0, 255}));

    // 16-bit grey: the whole sample is compared with the key.
    const std::uint8_t grey16[] = {0x12, 0x34, 0x12, 0x35};
    std::vector<std::uint8_t> ramp(256 * 3);
    for (int i = 0; i < 768; ++i) ramp[i] = static_cast<std::uint8_t>(i / 3);
    ApplyIndexTransparency(SampleRows{grey16, 4, 16}, 2, 1, ramp.data(), 256, nullptr, 0, 0x1234, bgra);
    EXPECT_EQ(bgra[3], 0);
    EXPECT_EQ(bgra[7], 255);
    EXPECT_EQ(bgra[4], 0x12);

    const std::uint8_t rgb[] = {255, 0, 0, 255, 0, 1};
    const std::uint16_t red[] = {255, 0, 0};
    ApplyColourKey(SampleRows{rgb, 6, 8}, 2, 1, red, bgra);
    EXPECT_EQ(std::vector<int>(bgra, bgra + 8), (std::vector<int>{0, 0, 255, 0, 1, 0, 255, 255}));
    const std::uint8_t rgb16[] = {0xFF, 0x00, 0, 0, 0, 0, 0xFF, 0x01, 0, 0, 0, 0};
    const std::uint16_t red16[] = {0xFF00, 0, 0};
    ApplyColourKey(SampleRows{rgb16, 12, 16}, 2, 1, red16, bgra);
    EXPECT_EQ(bgra[3], 0);
    EXPECT_EQ(bgra[7], 255);  // same high bytes, different sample
}

}  // namespace
}  // namespace tf::png
