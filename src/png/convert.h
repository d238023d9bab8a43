#pragma once
// From unfiltered scanlines to the final bitmap, by colour type and depth:
//
//   grey 1/4 (not interlaced)      1- or 4-bit, top-down, black/white or grey ramp
//   grey 2/8/16, grey interlaced   8-bit, top-down, grey ramp of the depth
//   palette 1/4 (not interlaced)   1- or 4-bit, top-down, palette table
//   palette 2/8, interlaced        8-bit, top-down, palette table
//   RGB 8/16                       24-bit BGR, top-down
//   grey+alpha, RGBA 8/16          32-bit BGRA bottom-up, or blended 24-bit bottom-up
//   grey, palette, RGB with tRNS   blended 24-bit bottom-up
//
// 16-bit samples keep their high byte. Rows are padded to 4 bytes.
#include <cstdint>
#include <vector>

#include "png/colour_tables.h"
#include "png/decoded_image.h"
#include "png/scanline.h"

namespace tf::png {

// Background pixels for a blend: 24-bit rows, bottom row first.
struct Background {
    const std::uint8_t* rows = nullptr;
    std::size_t rowStep = 0;  // 0: the same row under every image row
};

struct ConvertInput {
    std::uint32_t width = 0;
    std::uint32_t height = 0;
    int colourType = 0;
    int bitDepth = 0;
    SampleRows samples{};                            // unfiltered rows
    const std::vector<std::uint8_t>* palette = nullptr;       // PLTE data
    const std::vector<std::uint8_t>* transparency = nullptr;  // tRNS data
    bool applyTransparency = false;  // tRNS applies to the image (TransparencyApplies)
    bool alphaOn = false;
};

// True when the result is blended, so a background must be supplied.
bool NeedsBlend(int colourType, bool applyTransparency, bool alphaOn);

void ConvertToBitmap(const ConvertInput& in, ColourTables& tables, const Background& background,
                     DecodedImage& out);

}  // namespace tf::png
