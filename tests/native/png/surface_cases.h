#pragma once
// Drawing cases run on every kind of picture surface: the memory surface in
// the native suite, a real picture box under Wine. Each case builds its PNG,
// loads it as start-up does and looks at the surface's pixels and sizes.
#include <gtest/gtest.h>

#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

#include "platform/message_sink.h"
#include "platform/picture_units.h"
#include "png/blend.h"
#include "png/load_png.h"
#include "test_streams.h"

namespace tf::png::test {

// A surface made for one case, with a way to look at it.
class SurfaceUnderTest {
public:
    virtual ~SurfaceUnderTest() = default;
    virtual PictureSurface& surface() = 0;
    // A pixel of the inner area, red in the low byte.
    virtual std::uint32_t Pixel(std::int32_t x, std::int32_t y) = 0;
    // Outer and inner sizes in pixels.
    virtual std::int32_t OuterWidth() = 0;
    virtual std::int32_t OuterHeight() = 0;
    virtual std::int32_t InnerWidth() = 0;
    virtual std::int32_t InnerHeight() = 0;
};

// Outer size in pixels, frame width on each side, back colour.
using SurfaceFactory =
    std::function<std::unique_ptr<SurfaceUnderTest>(std::int32_t, std::int32_t, std::int32_t, std::uint32_t)>;

inline const std::uint32_t kGrey192 = MakeColour(192, 192, 192);

// 3 x 1 RGBA: opaque red, transparent blue, black at half alpha.
inline std::vector<std::uint8_t> AlphaStrip() {
    PngWriter w;
    w.Header(3, 1, 8, 6).ImageData({0, 255, 0, 0, 255, 0, 0, 255, 0, 0, 0, 0, 128}).End();
    return w.bytes();
}

// An opaque RGB image of `width` x `height` whose pixel (x, y) is (x, y, 77).
inline std::vector<std::uint8_t> Gradient(std::uint32_t width, std::uint32_t height) {
    std::vector<std::uint8_t> rows;
    for (std::uint32_t y = 0; y < height; ++y) {
        rows.push_back(0);
        for (std::uint32_t x = 0; x < width; ++x) {
            rows.push_back(static_cast<std::uint8_t>(x));
            rows.push_back(static_cast<std::uint8_t>(y));
            rows.push_back(77);
        }
    }
    PngWriter w;
    w.Header(width, height, 8, 2).ImageData(rows).End();
    return w.bytes();
}

// Loads `file` with the start-up settings: the surface is target and
// background, alpha and tRNS on, at (0, 0) unless told otherwise.
inline PngError LoadAsAtStartUp(PictureSurface& surface, const std::vector<std::uint8_t>& file,
                                bool alpha = true, bool backgroundMode = false, std::int32_t x = 0,
                                std::int32_t y = 0) {
    platform::RecordingMessageSink messages;
    LoadPNG png(messages);
    png.PicBox(&surface);
    png.SetToBkgrnd(backgroundMode, x, y);
    png.BackgroundPicture(&surface);
    png.SetAlpha(alpha);
    png.SetTrans(true);
    return png.OpenPNGFromMemory(file.data(), file.size());
}

inline void AlphaBlendsOntoTheClearedSurface(const SurfaceFactory& make) {
    auto box = make(41, 33, 0, kGrey192);
    ASSERT_EQ(LoadAsAtStartUp(box->surface(), AlphaStrip()), PngError::kNone);
    EXPECT_EQ(box->Pixel(0, 0), MakeColour(255, 0, 0));
    EXPECT_EQ(box->Pixel(1, 0), kGrey192);
    EXPECT_EQ(box->Pixel(2, 0), MakeColour(96, 96, 96));  // (0 + 192 * 127 + 255) div 256

    // Without alpha the stored colours show, the transparent blue too.
    auto plain = make(41, 33, 0, kGrey192);
    ASSERT_EQ(LoadAsAtStartUp(plain->surface(), AlphaStrip(), false), PngError::kNone);
    EXPECT_EQ(plain->Pixel(1, 0), MakeColour(0, 0, 255));
    EXPECT_EQ(plain->Pixel(2, 0), MakeColour(0, 0, 0));
}

inline void WithoutBackgroundSurfaceTheColourFillIsUsed(const SurfaceFactory& make) {
    PngWriter w;  // grey+alpha, transparent, bKGD white
    w.Header(1, 1, 8, 4).Chunk("bKGD", {0, 255}).ImageData({0, 0, 0}).End();
    for (const bool own : {false, true}) {
        auto box = make(20, 20, 0, kGrey192);
        platform::RecordingMessageSink messages;
        LoadPNG png(messages);
        png.PicBox(&box->surface());
        png.SetAlpha(true);
        if (own) png.SetOwnBkgndColor(false, MakeColour(255, 0, 0));  // the flag is not looked at
        ASSERT_EQ(png.OpenPNGFromMemory(w.bytes().data(), w.bytes().size()), PngError::kNone);
        EXPECT_EQ(box->Pixel(0, 0), own ? MakeColour(255, 0, 0) : MakeColour(255, 255, 255)) << own;
    }
}

inline void ANarrowBackgroundIsWidenedBeforeTheCapture(const SurfaceFactory& make) {
    // 30 x 2 pixels over a 10 x 10 box: the box is first widened to
    // 30 * 15 + 100 twips, so the capture sees its colour, not black.
    PngWriter w;
    std::vector<std::uint8_t> rows;
    for (int y = 0; y < 2; ++y) {
        rows.push_back(0);
        for (int x = 0; x < 30; ++x) rows.insert(rows.end(), {0, 0, 0, 0});
    }
    w.Header(30, 2, 8, 6).ImageData(rows).End();
    auto box = make(10, 10, 0, kGrey192);
    ASSERT_EQ(LoadAsAtStartUp(box->surface(), w.bytes()), PngError::kNone);
    EXPECT_EQ(box->Pixel(0, 0), kGrey192);
    EXPECT_EQ(box->Pixel(29, 1), kGrey192);
    // Afterwards the box has the image's size.
    EXPECT_EQ(box->OuterWidth(), 30);
    EXPECT_EQ(box->OuterHeight(), 2);
}

inline void BorderedBoxesFitTheirInnerAreaBorderlessTheirOuter(const SurfaceFactory& make) {
    const std::vector<std::uint8_t> file = Gradient(12, 7);
    auto bordered = make(40, 40, 2, kGrey192);
    ASSERT_EQ(LoadAsAtStartUp(bordered->surface(), file), PngError::kNone);
    EXPECT_EQ(bordered->InnerWidth(), 12);
    EXPECT_EQ(bordered->InnerHeight(), 7);
    EXPECT_EQ(bordered->OuterWidth(), 16);
    EXPECT_EQ(bordered->Pixel(11, 6), MakeColour(11, 6, 77));

    auto plain = make(40, 40, 0, kGrey192);
    ASSERT_EQ(LoadAsAtStartUp(plain->surface(), file), PngError::kNone);
    EXPECT_EQ(plain->OuterWidth(), 12);
    EXPECT_EQ(plain->OuterHeight(), 7);
    EXPECT_EQ(plain->Pixel(0, 0), MakeColour(0, 0, 77));
    EXPECT_EQ(plain->Pixel(11, 6), MakeColour(11, 6, 77));
    // The scale modes are back as they were.
    EXPECT_EQ(plain->surface().ScaleMode(), platform::kScaleTwips);
    EXPECT_EQ(plain->surface().ParentScaleMode(), platform::kScaleTwips);
}

inline void BackgroundModeKeepsTheSizeAndDrawsAtThePosition(const SurfaceFactory& make) {
    auto box = make(30, 20, 0, kGrey192);
    ASSERT_EQ(LoadAsAtStartUp(box->surface(), Gradient(4, 3), true, true, 10, 5), PngError::kNone);
    EXPECT_EQ(box->OuterWidth(), 30);
    EXPECT_EQ(box->OuterHeight(), 20);
    EXPECT_EQ(box->Pixel(10, 5), MakeColour(0, 0, 77));
    EXPECT_EQ(box->Pixel(13, 7), MakeColour(3, 2, 77));
    EXPECT_EQ(box->Pixel(9, 5), kGrey192);
    EXPECT_EQ(box->Pixel(14, 8), kGrey192);
}

inline void TransparentPixelsShowTheCapturedPictureBeneath(const SurfaceFactory& make) {
    // A gradient becomes the box's picture; a 2 x 2 palette image with tRNS
    // (index 0 clear, index 1 half) then goes over it at (10, 5).
    auto box = make(30, 20, 0, kGrey192);
    ASSERT_EQ(LoadAsAtStartUp(box->surface(), Gradient(30, 20)), PngError::kNone);
    PngWriter w;
    w.Header(2, 2, 8, 3).Chunk("PLTE", {200, 0, 0, 0, 0, 0}).Chunk("tRNS", {0, 128});
    w.ImageData({0, 0, 1, 0, 1, 0}).End();
    ASSERT_EQ(LoadAsAtStartUp(box->surface(), w.bytes(), true, true, 10, 5), PngError::kNone);
    EXPECT_EQ(box->Pixel(10, 5), MakeColour(10, 5, 77));
    EXPECT_EQ(box->Pixel(11, 6), MakeColour(11, 6, 77));
    EXPECT_EQ(box->Pixel(11, 5), MakeColour(BlendChannel(0, 11, 128), BlendChannel(0, 5, 128), BlendChannel(0, 77, 128)));
    EXPECT_EQ(box->Pixel(10, 6), MakeColour(BlendChannel(0, 10, 128), BlendChannel(0, 6, 128), BlendChannel(0, 77, 128)));
    EXPECT_EQ(box->Pixel(12, 5), MakeColour(12, 5, 77));  // beside the image: untouched
}

inline void TheDrawingSurvivesClearing(const SurfaceFactory& make) {
    auto box = make(41, 33, 0, kGrey192);
    ASSERT_EQ(LoadAsAtStartUp(box->surface(), Gradient(5, 5)), PngError::kNone);
    box->surface().Cls();
    EXPECT_EQ(box->Pixel(4, 4), MakeColour(4, 4, 77));
}

inline void AContainerCountingPixelsSizesAlike(const SurfaceFactory& make) {
    auto box = make(10, 10, 0, kGrey192);
    box->surface().SetParentScaleMode(platform::kScalePixels);
    box->surface().SetScaleMode(platform::kScalePixels);
    ASSERT_EQ(LoadAsAtStartUp(box->surface(), AlphaStrip()), PngError::kNone);
    EXPECT_EQ(box->OuterWidth(), 3);
    EXPECT_EQ(box->OuterHeight(), 1);
    EXPECT_EQ(box->Pixel(1, 0), kGrey192);
    EXPECT_EQ(box->surface().ParentScaleMode(), platform::kScalePixels);
    EXPECT_EQ(box->surface().ScaleMode(), platform::kScalePixels);
    EXPECT_EQ(box->surface().Width(), 3);  // in the container's pixels
}

// Every case, for one kind of surface.
inline void RunAllSurfaceCases(const SurfaceFactory& make) {
    {
        SCOPED_TRACE("alpha");
        AlphaBlendsOntoTheClearedSurface(make);
    }
    {
        SCOPED_TRACE("colour fill");
        WithoutBackgroundSurfaceTheColourFillIsUsed(make);
    }
    {
        SCOPED_TRACE("widening");
        ANarrowBackgroundIsWidenedBeforeTheCapture(make);
    }
    {
        SCOPED_TRACE("borders");
        BorderedBoxesFitTheirInnerAreaBorderlessTheirOuter(make);
    }
    {
        SCOPED_TRACE("background mode");
        BackgroundModeKeepsTheSizeAndDrawsAtThePosition(make);
    }
    {
        SCOPED_TRACE("tRNS over a captured picture");
        TransparentPixelsShowTheCapturedPictureBeneath(make);
    }
    {
        SCOPED_TRACE("clearing");
        TheDrawingSurvivesClearing(make);
    }
    {
        SCOPED_TRACE("pixel container");
        AContainerCountingPixelsSizesAlike(make);
    }
}

}  // namespace tf::png::test
