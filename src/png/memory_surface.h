#pragma once
// A picture surface in memory: a bordered or borderless box with a back
// colour, a persistent image the size of its inner area and a picture that
// clearing brings back. It sizes and scales exactly as a picture box does,
// so tests and tools see the pixels a window would show.
#include <cstdint>
#include <vector>

#include "platform/picture_units.h"
#include "png/picture_surface.h"

namespace tf::png {

class MemorySurface : public PictureSurface {
public:
    // A box of outer size width x height pixels with `border` pixels of
    // frame on each side, cleared to `backColour` (red in the low byte).
    MemorySurface(std::int32_t width, std::int32_t height, std::int32_t border, std::uint32_t backColour,
                  std::int32_t twipsPerPixel = 15);

    std::int32_t Width() const override;
    std::int32_t Height() const override;
    void SetWidth(std::int32_t width) override;
    void SetHeight(std::int32_t height) override;
    std::int32_t ScaleWidth() const override;
    std::int32_t ScaleHeight() const override;
    int ScaleMode() const override { return scaleMode_; }
    void SetScaleMode(int mode) override { scaleMode_ = mode; }
    bool IsTopLevelForm() const override { return form_; }
    int ParentScaleMode() const override { return parentScaleMode_; }
    void SetParentScaleMode(int mode) override { parentScaleMode_ = mode; }
    std::int32_t TwipsPerPixelX() const override { return twipsPerPixel_; }
    std::int32_t TwipsPerPixelY() const override { return twipsPerPixel_; }
    void Cls() override;
    void PictureFromImage() override;
    bool CaptureBackground(std::int32_t x, std::int32_t y, std::uint32_t width, std::uint32_t height,
                           std::size_t stride, std::uint8_t* bgr) override;
    void Draw(const DecodedImage& image, std::int32_t x, std::int32_t y, bool backgroundMode) override;

    // Makes the surface a top-level form (its size always counts in twips).
    void SetTopLevelForm(bool form) { form_ = form; }

    // Outer and inner size in pixels.
    std::int32_t OuterWidth() const { return outerWidth_; }
    std::int32_t OuterHeight() const { return outerHeight_; }
    std::int32_t InnerWidth() const { return Inner(outerWidth_); }
    std::int32_t InnerHeight() const { return Inner(outerHeight_); }
    // A pixel of the inner area as a colour value (red in the low byte).
    std::uint32_t Pixel(std::int32_t x, std::int32_t y) const;
    bool HasPicture() const { return pictureWidth_ > 0; }

private:
    std::int32_t Inner(std::int32_t outer) const { return outer > 2 * border_ ? outer - 2 * border_ : 0; }
    bool ContainerCountsPixels() const { return !form_ && parentScaleMode_ == platform::kScalePixels; }
    std::int32_t ToPixels(std::int32_t containerUnits) const;
    void Resize(std::int32_t outerWidth, std::int32_t outerHeight);
    void Put(std::int32_t x, std::int32_t y, std::uint8_t blue, std::uint8_t green, std::uint8_t red);

    std::int32_t outerWidth_, outerHeight_, border_;
    std::uint32_t backColour_;
    std::int32_t twipsPerPixel_;
    int scaleMode_ = platform::kScaleTwips;
    int parentScaleMode_ = platform::kScaleTwips;
    bool form_ = false;
    std::vector<std::uint8_t> image_;  // inner area, 3 bytes (B, G, R) per pixel, top row first
    std::vector<std::uint8_t> picture_;
    std::int32_t pictureWidth_ = 0, pictureHeight_ = 0;
};

}  // namespace tf::png
