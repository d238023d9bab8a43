#pragma once
// The decoder's result and the seam to whatever shows it. The image is plain
// data - a device-independent bitmap in the layout the platform's bitmap
// upload takes - so the drawing code can live in platform files and tests can
// look at the pixels directly.
#include <cstddef>
#include <cstdint>
#include <vector>

#include "png/bytes.h"

namespace tf::png {

struct BgrQuad {
    std::uint8_t blue = 0, green = 0, red = 0, reserved = 0;
};

enum class RowOrder { kTopDown, kBottomUp };

struct DecodedImage {
    int bitsPerPixel = 0;               // 1, 4 or 8 (indexed), 24 (BGR) or 32 (BGRA)
    std::uint32_t width = 0;
    std::uint32_t height = 0;
    RowOrder rowOrder = RowOrder::kTopDown;
    std::vector<BgrQuad> colourTable;   // 2, 16 or 256 entries for the indexed formats
    std::uint32_t coloursUsed = 0;      // 0: the whole table
    std::size_t stride = 0;             // bytes per row, a multiple of 4
    Bytes pixels;                       // height rows of `stride` bytes, zero padding

    bool empty() const { return bitsPerPixel == 0; }
    // Row `y` counted from the top of the picture.
    const std::uint8_t* RowFromTop(std::uint32_t y) const {
        const std::uint32_t stored = rowOrder == RowOrder::kTopDown ? y : height - 1 - y;
        return pixels.data() + std::size_t{stored} * stride;
    }
};

// A drawing target as the loader sees it: a picture box on Windows, an
// in-memory pixel surface elsewhere.
class PictureSurface {
public:
    virtual ~PictureSurface() = default;
    // Copies the surface's pixels under a width x height rectangle at (x, y)
    // into `bgr`: 24-bit rows of `stride` bytes, bottom row first. Returns
    // false when the surface cannot deliver pixels.
    virtual bool CaptureBackground(std::int32_t x, std::int32_t y, std::uint32_t width,
                                   std::uint32_t height, std::size_t stride,
                                   std::uint8_t* bgr) = 0;
    // Shows the image with its top-left pixel at (x, y). Without background
    // mode the surface is resized to the image first.
    virtual void Draw(const DecodedImage& image, std::int32_t x, std::int32_t y,
                      bool backgroundMode) = 0;
};

}  // namespace tf::png
