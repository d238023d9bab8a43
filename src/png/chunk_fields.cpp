#include "png/chunk_fields.h"

#include <cstdio>

#include "png/blend.h"
#include "png/limits.h"

namespace tf::png {

namespace {

bool ValidDepth(int depth) {
    return depth == 1 || depth == 2 || depth == 4 || depth == 8 || depth == 16;
}

// round(v / (2^depth - 1) * 255), halves to even.
std::uint8_t ScaleTo8Bit(std::uint32_t v, int depth) {
    const std::uint64_t den = (std::uint64_t{1} << depth) - 1;
    const std::uint64_t num = std::uint64_t{v} * 255;
    std::uint64_t q = num / den;
    const std::uint64_t twiceRem = 2 * (num % den);
    if (twiceRem > den || (twiceRem == den && (q & 1))) ++q;
    return static_cast<std::uint8_t>(q > 255 ? 255 : q);
}

}  // namespace

std::uint32_t BackgroundColour(const std::vector<std::uint8_t>& data, int colourType,
                               int bitDepth, const std::vector<std::uint8_t>& palette) {
    switch (colourType) {
        case kColourGrey:
        case kColourGreyAlpha: {
            if (data.size() != 2 || !ValidDepth(bitDepth)) return 0;
            const std::uint32_t v = ReadBe16(data.data());
            if (bitDepth == 16) {
                const auto level = static_cast<std::uint8_t>(v >> 8);
                return MakeColour(level, level, level);
            }
            if (v > (1u << bitDepth) - 1) return 0;
            const auto level = static_cast<std::uint8_t>(v * (255 / ((1u << bitDepth) - 1)));
            return MakeColour(level, level, level);
        }
        case kColourRgb:
        case kColourRgba: {
            if (data.size() != 6 || !ValidDepth(bitDepth)) return 0;
            return MakeColour(ScaleTo8Bit(ReadBe16(&data[0]), bitDepth),
                              ScaleTo8Bit(ReadBe16(&data[2]), bitDepth),
                              ScaleTo8Bit(ReadBe16(&data[4]), bitDepth));
        }
        case kColourPalette: {
            if (data.size() != 1) return 0;
            const std::size_t i = data[0];
            if (3 * i + 2 >= palette.size()) return 0;
            return MakeColour(palette[3 * i], palette[3 * i + 1], palette[3 * i + 2]);
        }
        default: return 0;
    }
}

std::string FormatModificationTime(const std::uint8_t* data) {
    const int year = static_cast<std::int16_t>(ReadBe16(data));
    char text[64];
    std::snprintf(text, sizeof text, "%02d.%02d.%d %02d:%02d:%02d", data[3], data[2], year, data[4],
                  data[5], data[6]);
    return text;
}

}  // namespace tf::png
