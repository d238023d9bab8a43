#include "png/transparency.h"

#include "png/limits.h"

namespace tf::png {

bool TransparencyApplies(int colourType, bool chunkMet, bool switchedOn) {
    const bool ownAlpha = colourType == kColourGreyAlpha || colourType == kColourRgba;
    return chunkMet && switchedOn && !ownAlpha;
}

std::uint64_t TransparentRowsBytes(std::uint32_t width, std::uint32_t height) {
    return std::uint64_t{width} * height * 4;
}

namespace {

inline unsigned SampleAt(const std::uint8_t* row, int depth, std::uint32_t i) {
    switch (depth) {
        case 8: return row[i];
        case 16: return (unsigned{row[2 * std::size_t{i}]} << 8) | row[2 * std::size_t{i} + 1];
        default: {
            const std::size_t bit = std::size_t{i} * static_cast<std::size_t>(depth);
            const int shift = 8 - depth - static_cast<int>(bit & 7);
            return (row[bit >> 3] >> shift) & ((1u << depth) - 1);
        }
    }
}

// A grey image's alpha table, one entry per ramp level. A value whose low
// byte is no level of the ramp marks nothing.
std::vector<std::uint8_t> GreyAlpha(const std::vector<std::uint8_t>& trns, std::size_t levels) {
    std::vector<std::uint8_t> alpha(levels, 255);
    if (trns.size() >= 2 && trns[1] < levels) alpha[trns[1]] = 0;
    return alpha;
}

}  // namespace

void ResolveTransparency(const SampleRows& samples, std::uint32_t width, std::uint32_t height, int colourType,
                         int bitDepth, const std::vector<std::uint8_t>& palette,
                         const std::vector<std::uint8_t>& trns, std::uint8_t* bgra) {
    if (colourType == kColourRgb) {
        std::uint16_t key[3];
        const bool haveKey = trns.size() >= 6;
        for (int i = 0; i < 3 && haveKey; ++i) key[i] = static_cast<std::uint16_t>((trns[2 * i] << 8) | trns[2 * i + 1]);
        ApplyColourKey(samples, width, height, haveKey ? key : nullptr, bgra);
        return;
    }
    const std::size_t entries = palette.size() / 3;
    if (colourType == kColourPalette) {
        ApplyIndexTransparency(samples, width, height, palette.data(), entries, trns.data(), trns.size(), -1, bgra);
        return;
    }
    if (bitDepth == 16) {
        const int key16 = trns.size() >= 2 ? (trns[0] << 8) | trns[1] : -1;
        ApplyIndexTransparency(samples, width, height, palette.data(), entries, nullptr, 0, key16, bgra);
        return;
    }
    const std::vector<std::uint8_t> alpha = GreyAlpha(trns, entries);
    ApplyIndexTransparency(samples, width, height, palette.data(), entries, alpha.data(), alpha.size(), -1, bgra);
}

void ApplyIndexTransparency(const SampleRows& src, std::uint32_t width, std::uint32_t height,
                            const std::uint8_t* palette, std::size_t paletteEntries,
                            const std::uint8_t* alpha, std::size_t alphaEntries, int key16,
                            std::uint8_t* bgra) {
    for (std::uint32_t y = 0; y < height; ++y) {
        const std::uint8_t* row = src.data + std::size_t{y} * src.stride;
        std::uint8_t* out = bgra + std::size_t{y} * width * 4;
        for (std::uint32_t x = 0; x < width; ++x, out += 4) {
            const unsigned sample = SampleAt(row, src.depth, x);
            const unsigned v = src.depth == 16 ? sample >> 8 : sample;
            if (v < paletteEntries) {
                out[0] = palette[3 * v + 2];
                out[1] = palette[3 * v + 1];
                out[2] = palette[3 * v];
            } else {
                out[0] = out[1] = out[2] = 0;
            }
            if (src.depth == 16) {
                out[3] = static_cast<int>(sample) == key16 ? 0 : 255;
            } else {
                out[3] = v < alphaEntries ? alpha[v] : 255;
            }
        }
    }
}

void ApplyColourKey(const SampleRows& src, std::uint32_t width, std::uint32_t height,
                    const std::uint16_t* key, std::uint8_t* bgra) {
    const bool wide = src.depth == 16;
    const std::size_t s = wide ? 2 : 1;
    const unsigned mask = wide ? 0xFFFFu : 0xFFu;
    for (std::uint32_t y = 0; y < height; ++y) {
        const std::uint8_t* p = src.data + std::size_t{y} * src.stride;
        std::uint8_t* out = bgra + std::size_t{y} * width * 4;
        for (std::uint32_t x = 0; x < width; ++x, p += 3 * s, out += 4) {
            const unsigned r = wide ? (unsigned{p[0]} << 8 | p[1]) : p[0];
            const unsigned g = wide ? (unsigned{p[2]} << 8 | p[3]) : p[1];
            const unsigned b = wide ? (unsigned{p[4]} << 8 | p[5]) : p[2];
            out[0] = p[2 * s];
            out[1] = p[s];
            out[2] = p[0];
            const bool keyed = key && r == (key[0] & mask) && g == (key[1] & mask) &&
                               b == (key[2] & mask);
            out[3] = keyed ? 0 : 255;
        }
    }
}

}  // namespace tf::png
