#pragma once
// Twips (1/1440 inch) and pixels. Two rules are in use, each with its own
// conversion:
// - window layout converts at the screen's exact dots per inch
//   (TwipsToPixelsAtDpi), so controls that touch in twips touch in pixels;
// - picture surfaces count a whole number of twips to the pixel
//   (WholeTwipsPerPixel; TwipsToWholePixels and PixelsToTwips), so a size set
//   in twips gives the same pixels on a window and in memory.
#include <algorithm>
#include <cstdint>

namespace tf::platform {

// Scale modes: coordinates and sizes in twips or in pixels.
constexpr int kScaleTwips = 1;
constexpr int kScalePixels = 3;

// The longest side a surface takes, in pixels; a larger size is cut to it.
// Windows and device bitmaps give up beyond this.
constexpr std::int32_t kMaxSurfaceSide = 32767;

constexpr std::int32_t kTwipsPerInch = 1440;

// Layout: twips * dpi / 1440 rounded to the nearest pixel, halves away from
// zero. Convert edges, not sizes, so that neighbours stay neighbours.
constexpr std::int32_t TwipsToPixelsAtDpi(std::int32_t twips, std::int32_t dpi) {
    const std::int64_t scaled = std::int64_t{twips} * dpi;
    return static_cast<std::int32_t>(scaled >= 0 ? (scaled + kTwipsPerInch / 2) / kTwipsPerInch
                                                 : -((-scaled + kTwipsPerInch / 2) / kTwipsPerInch));
}

// Surfaces: whole twips per pixel at `dpi` (15 at 96); 15 when the screen
// reports none.
constexpr std::int32_t WholeTwipsPerPixel(std::int32_t dpi) { return dpi > 0 ? kTwipsPerInch / dpi : 15; }

// Surfaces: twips / twipsPerPixel rounded to a whole number, halves to even.
constexpr std::int32_t TwipsToWholePixels(std::int32_t twips, std::int32_t twipsPerPixel) {
    if (twipsPerPixel <= 0) return 0;
    const bool negative = twips < 0;
    const std::int64_t t = negative ? -std::int64_t{twips} : std::int64_t{twips};
    std::int64_t whole = t / twipsPerPixel;
    const std::int64_t rest2 = (t % twipsPerPixel) * 2;
    if (rest2 > twipsPerPixel || (rest2 == twipsPerPixel && (whole & 1) != 0)) ++whole;
    return static_cast<std::int32_t>(negative ? -whole : whole);
}

// Surfaces: pixels * twipsPerPixel, held inside 32 bits. Images far wider
// than any surface give sizes that the surface cuts down anyway.
constexpr std::int32_t PixelsToTwips(std::int32_t pixels, std::int32_t twipsPerPixel) {
    const std::int64_t product = std::int64_t{pixels} * twipsPerPixel;
    return static_cast<std::int32_t>(std::clamp<std::int64_t>(product, INT32_MIN, INT32_MAX));
}

}  // namespace tf::platform
