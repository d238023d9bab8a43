// Sizes and picture files for a display's DPI.
#include "platform/display_scale.h"

#include <gtest/gtest.h>

namespace tf::platform {
namespace {

TEST(DisplayScale, EachDpiTakesTheLargestPictureScaleNotAboveItsOwn) {
    EXPECT_EQ(PictureScalePercent(96), 100);
    EXPECT_EQ(PictureScalePercent(120), 100);
    EXPECT_EQ(PictureScalePercent(143), 100);
    EXPECT_EQ(PictureScalePercent(144), 150);
    EXPECT_EQ(PictureScalePercent(191), 150);
    EXPECT_EQ(PictureScalePercent(192), 200);
    EXPECT_EQ(PictureScalePercent(288), 200);
    EXPECT_EQ(PictureScalePercent(0), 100);  // a display that reports none
}

TEST(DisplayScale, ScaledPictureNamesAndSizes) {
    EXPECT_EQ(ScaledPictureName("stop.png", 100), "stop.png");
    EXPECT_EQ(ScaledPictureName("stop.png", 150), "stop-150.png");
    EXPECT_EQ(ScaledPictureName("C:\\app.v2\\images\\save.png", 200), "C:\\app.v2\\images\\save-200.png");
    EXPECT_EQ(ScaledPictureName("C:\\app.v2\\images\\save", 200), "C:\\app.v2\\images\\save-200");
    EXPECT_EQ(ScaleToDpi(4, 96), 4);
    EXPECT_EQ(ScaleToDpi(4, 144), 6);
    EXPECT_EQ(ScaleToDpi(-11, 144), -17);  // 16.5 rounds away from zero
    EXPECT_EQ(ScaleToDpi(5, 120), 6);      // 6.25
}

}  // namespace
}  // namespace tf::platform
