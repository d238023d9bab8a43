#pragma once
// Units of picture surfaces: scale modes and the conversion of twips to
// whole pixels that every surface shares, so a size set in twips gives the
// same pixels on a window and in memory.
#include <cstdint>

namespace tf::platform {

// Scale modes: coordinates and sizes in twips or in pixels.
constexpr int kScaleTwips = 1;
constexpr int kScalePixels = 3;

// The longest side a surface takes, in pixels; a larger size is cut to it.
// Windows and device bitmaps give up beyond this.
constexpr std::int32_t kMaxSurfaceSide = 32767;

// twips / twipsPerPixel rounded to a whole number, halves to even.
constexpr std::int32_t TwipsToWholePixels(std::int32_t twips, std::int32_t twipsPerPixel) {
    if (twipsPerPixel <= 0) return 0;
    const bool negative = twips < 0;
    const std::int64_t t = negative ? -std::int64_t{twips} : std::int64_t{twips};
    std::int64_t whole = t / twipsPerPixel;
    const std::int64_t rest2 = (t % twipsPerPixel) * 2;
    if (rest2 > twipsPerPixel || (rest2 == twipsPerPixel && (whole & 1) != 0)) ++whole;
    return static_cast<std::int32_t>(negative ? -whole : whole);
}

}  // namespace tf::platform
