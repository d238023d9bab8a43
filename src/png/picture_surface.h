#pragma once
// A drawing target as the loader sees it: a picture box on Windows, an
// in-memory surface elsewhere. Sizes and scale modes behave as a picture
// box's do, so the drawing code sizes both alike; the pixel work itself is
// the surface's.
#include <cstddef>
#include <cstdint>

#include "png/decoded_image.h"

namespace tf::png {

class PictureSurface {
public:
    virtual ~PictureSurface() = default;

    // Outer size in the container's scale units.
    virtual std::int32_t Width() const = 0;
    virtual std::int32_t Height() const = 0;
    virtual void SetWidth(std::int32_t width) = 0;
    virtual void SetHeight(std::int32_t height) = 0;
    // Inner size in the surface's own scale units.
    virtual std::int32_t ScaleWidth() const = 0;
    virtual std::int32_t ScaleHeight() const = 0;
    virtual int ScaleMode() const = 0;
    virtual void SetScaleMode(int mode) = 0;
    virtual bool IsTopLevelForm() const = 0;
    virtual int ParentScaleMode() const = 0;
    virtual void SetParentScaleMode(int mode) = 0;
    // The screen's twips per pixel, whole numbers.
    virtual std::int32_t TwipsPerPixelX() const = 0;
    virtual std::int32_t TwipsPerPixelY() const = 0;

    // Fills the surface with its back colour, its picture over it.
    virtual void Cls() = 0;
    // What is drawn becomes the picture, so it survives clearing.
    virtual void PictureFromImage() = 0;

    // Copies the width x height pixels at (x, y) into `bgr`: 24-bit rows of
    // `stride` bytes, bottom row first. Pixels outside the surface read as
    // black. Returns false when the surface cannot deliver pixels.
    virtual bool CaptureBackground(std::int32_t x, std::int32_t y, std::uint32_t width,
                                   std::uint32_t height, std::size_t stride, std::uint8_t* bgr) = 0;
    // Shows the image with its top-left pixel at (x, y) (DrawOnPicture with
    // resizing). Without background mode the surface takes the image's size.
    virtual void Draw(const DecodedImage& image, std::int32_t x, std::int32_t y, bool backgroundMode) = 0;
};

}  // namespace tf::png
