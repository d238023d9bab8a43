#pragma once
// What a tRNS chunk does to an image. It is applied when a chunk was met and
// the caller switched it on, and only to grey, palette and RGB images (the
// alpha types carry their own). An image it applies to becomes BGRA rows
// that are always blended onto the background, giving a 24-bit bitmap.
//
//   palette   the tRNS bytes are the alpha of indexes 0, 1, ...; later indexes are opaque
//   grey      the level named by the low byte of the tRNS value is fully transparent;
//             16-bit grey compares whole samples with the whole value
//   RGB       pixels equal to the key (three 16-bit values) are fully transparent;
//             8-bit images compare the key's low bytes
#include <cstddef>
#include <cstdint>
#include <vector>

#include "png/scanline.h"

namespace tf::png {

bool TransparencyApplies(int colourType, bool chunkMet, bool switchedOn);

// Bytes of the BGRA rows that an image tRNS applies to passes through.
std::uint64_t TransparentRowsBytes(std::uint32_t width, std::uint32_t height);

// An image tRNS applies to -> BGRA rows of width * 4 bytes, top row first.
// `palette` holds RGB triples: the PLTE data, or the grey ramp of a grey
// image; RGB images do not use it.
void ResolveTransparency(const SampleRows& samples, std::uint32_t width, std::uint32_t height, int colourType,
                         int bitDepth, const std::vector<std::uint8_t>& palette,
                         const std::vector<std::uint8_t>& trns, std::uint8_t* bgra);

// Grey or palette pixels -> BGRA rows. Indexes beyond the palette give
// black, beyond the alpha table full opacity. For 16-bit samples the colour
// comes from the high byte and `key16` (when >= 0) marks the fully
// transparent sample value instead of the alpha table.
void ApplyIndexTransparency(const SampleRows& src, std::uint32_t width, std::uint32_t height,
                            const std::uint8_t* palette, std::size_t paletteEntries,
                            const std::uint8_t* alpha, std::size_t alphaEntries, int key16,
                            std::uint8_t* bgra);
// RGB pixels -> BGRA rows; pixels equal to the key get alpha 0. For 8-bit
// samples the key's low bytes are compared, for 16-bit samples the whole
// values. A null key makes every pixel opaque.
void ApplyColourKey(const SampleRows& src, std::uint32_t width, std::uint32_t height,
                    const std::uint16_t* key, std::uint8_t* bgra);

}  // namespace tf::png
