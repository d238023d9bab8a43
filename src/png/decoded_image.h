#pragma once
// The decoder's result. The image is plain data - a device-independent
// bitmap in the layout the platform's bitmap upload takes - so the drawing
// code can live in platform files and tests can look at the pixels directly.
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

// Pixel (x, y) from the top-left, through the colour table for the indexed
// formats; a 32-bit pixel's alpha is left out.
inline BgrQuad PixelAt(const DecodedImage& image, std::uint32_t x, std::uint32_t y) {
    const std::uint8_t* row = image.RowFromTop(y);
    if (image.bitsPerPixel >= 24) {
        const std::uint8_t* p = row + std::size_t{x} * static_cast<std::size_t>(image.bitsPerPixel / 8);
        BgrQuad q;
        q.blue = p[0];
        q.green = p[1];
        q.red = p[2];
        return q;
    }
    const int depth = image.bitsPerPixel;
    const std::size_t bit = std::size_t{x} * static_cast<std::size_t>(depth);
    const unsigned index = (row[bit / 8] >> (8 - depth - static_cast<int>(bit % 8))) & ((1u << depth) - 1);
    return index < image.colourTable.size() ? image.colourTable[index] : BgrQuad{};
}

}  // namespace tf::png
