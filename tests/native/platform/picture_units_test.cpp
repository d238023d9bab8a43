// Each twips/pixels rule against the same arithmetic done in floating point.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>

#include "platform/picture_units.h"

namespace tf::platform {
namespace {

TEST(PictureUnits, EachRuleMatchesItsRoundingInFloatingPoint) {
    for (std::int32_t dpi : {72, 96, 120, 144, 168, 192, 288}) {
        const std::int32_t perPixel = WholeTwipsPerPixel(dpi);
        EXPECT_EQ(perPixel, static_cast<std::int32_t>(std::floor(1440.0 / dpi))) << dpi;
        for (std::int32_t twips = -3000; twips <= 3000; ++twips) {
            // Layout: halves away from zero (std::round).
            ASSERT_EQ(TwipsToPixelsAtDpi(twips, dpi), static_cast<std::int32_t>(std::round(twips * double(dpi) / 1440)))
                << twips << " at " << dpi;
            // Surfaces: halves to even (std::nearbyint in the default rounding mode).
            ASSERT_EQ(TwipsToWholePixels(twips, perPixel),
                      static_cast<std::int32_t>(std::nearbyint(twips / double(perPixel))))
                << twips << " at " << perPixel;
        }
    }
    EXPECT_EQ(WholeTwipsPerPixel(0), 15);  // a screen that reports nothing
    EXPECT_EQ(PixelsToTwips(41, 12), 492);
    EXPECT_EQ(PixelsToTwips(INT32_MAX / 2, 15), INT32_MAX);
    EXPECT_EQ(PixelsToTwips(INT32_MIN / 2, 15), INT32_MIN);
}

}  // namespace
}  // namespace tf::platform
