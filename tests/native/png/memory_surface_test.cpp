// Drawing onto the memory surface: the cases every surface shares, the
// twips conversions, forms, and images far larger than their box.
#include <gtest/gtest.h>

#include "png/draw_on_picture.h"
#include "png/memory_surface.h"
#include "surface_cases.h"

namespace tf::png {
namespace {

class MemoryUnderTest final : public test::SurfaceUnderTest {
public:
    MemoryUnderTest(std::int32_t w, std::int32_t h, std::int32_t border, std::uint32_t back)
        : surface_(w, h, border, back) {}
    PictureSurface& surface() override { return surface_; }
    std::uint32_t Pixel(std::int32_t x, std::int32_t y) override { return surface_.Pixel(x, y); }
    std::int32_t OuterWidth() override { return surface_.OuterWidth(); }
    std::int32_t OuterHeight() override { return surface_.OuterHeight(); }
    std::int32_t InnerWidth() override { return surface_.InnerWidth(); }
    std::int32_t InnerHeight() override { return surface_.InnerHeight(); }

private:
    MemorySurface surface_;
};

std::unique_ptr<test::SurfaceUnderTest> MakeMemory(std::int32_t w, std::int32_t h, std::int32_t border,
                                                   std::uint32_t back) {
    return std::make_unique<MemoryUnderTest>(w, h, border, back);
}

TEST(MemorySurfaceTest, SharedDrawingCases) { test::RunAllSurfaceCases(MakeMemory); }

TEST(MemorySurfaceTest, TwipConversionsUseWholeFactorsAndRoundHalvesToEven) {
    const MemorySurface at120dpi(1, 1, 0, 0, 12);
    EXPECT_EQ(SizeInTwips(at120dpi, 41, 33).width, 492);
    EXPECT_EQ(SizeInPixels(at120dpi, 6, 18).width, 0);    // 0.5
    EXPECT_EQ(SizeInPixels(at120dpi, 6, 18).height, 2);   // 1.5
    EXPECT_EQ(SizeInPixels(at120dpi, 7, 30).width, 1);    // 0.58
    EXPECT_EQ(SizeInPixels(at120dpi, 7, 30).height, 2);   // 2.5
    EXPECT_EQ(SizeInPixels(at120dpi, -18, 0).width, -2);
    // A product past 32 bits saturates instead of wrapping.
    EXPECT_EQ(SizeInTwips(at120dpi, 0x7FFFFFFF, 1).width, 0x7FFFFFFF);
}

TEST(MemorySurfaceTest, AFormCountsItsSizeInTwipsWhateverItsContainerSays) {
    MemorySurface form(10, 10, 0, test::kGrey192);
    form.SetTopLevelForm(true);
    form.SetParentScaleMode(platform::kScalePixels);
    EXPECT_EQ(form.Width(), 150);
    ASSERT_EQ(test::LoadAsAtStartUp(form, test::AlphaStrip()), PngError::kNone);
    EXPECT_EQ(form.OuterWidth(), 3);
    EXPECT_EQ(form.ParentScaleMode(), platform::kScalePixels);
}

TEST(MemorySurfaceTest, ImagesFarLargerThanTheBoxResizeItUpToTheLargestSide) {
    MemorySurface box(41, 33, 0, test::kGrey192);
    ASSERT_EQ(test::LoadAsAtStartUp(box, test::Gradient(300, 200)), PngError::kNone);
    EXPECT_EQ(box.OuterWidth(), 300);
    EXPECT_EQ(box.OuterHeight(), 200);
    EXPECT_EQ(box.Pixel(299, 199), MakeColour(299 & 0xFF, 199, 77));

    // 1-bit, 100000 pixels wide: the box stops at the longest side a window takes.
    std::vector<std::uint8_t> row(1 + 100000 / 8, 0xFF);
    row[0] = 0;
    test::PngWriter w;
    w.Header(100000, 1, 1, 0).ImageData(row).End();
    ASSERT_EQ(test::LoadAsAtStartUp(box, w.bytes()), PngError::kNone);
    EXPECT_EQ(box.OuterWidth(), platform::kMaxSurfaceSide);
    EXPECT_EQ(box.Pixel(platform::kMaxSurfaceSide - 1, 0), MakeColour(255, 255, 255));
}

}  // namespace
}  // namespace tf::png
