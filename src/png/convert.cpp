#include "png/convert.h"

#include <algorithm>
#include <cstring>

#include "png/blend.h"
#include "png/limits.h"
#include "png/transparency.h"

namespace tf::png {

bool NeedsBlend(int colourType, bool applyTransparency, bool alphaOn) {
    switch (colourType) {
        case kColourGrey:
        case kColourRgb:
        case kColourPalette: return applyTransparency;
        case kColourGreyAlpha:
        case kColourRgba: return alphaOn;
        default: return false;
    }
}

namespace {

void StartBitmap(DecodedImage& out, const ConvertInput& in, int bitsPerPixel, RowOrder order) {
    out.bitsPerPixel = bitsPerPixel;
    out.width = in.width;
    out.height = in.height;
    out.rowOrder = order;
    out.colourTable.clear();
    out.coloursUsed = 0;
    out.stride = static_cast<std::size_t>(BitmapStride(in.width, bitsPerPixel));
    out.pixels.resize(out.stride * in.height);
}

template <std::size_t N>
void TakeTable(DecodedImage& out, const std::array<BgrQuad, N>& table) {
    out.colourTable.assign(table.begin(), table.end());
}

// Blends BGRA rows (top row first) onto the background into a 24-bit
// bottom-up bitmap.
void BlendTopDownRows(const std::uint8_t* bgra, const Background& background, DecodedImage& out) {
    for (std::uint32_t y = 0; y < out.height; ++y) {
        const std::size_t stored = out.height - 1 - y;
        std::uint8_t* dst = out.pixels.data() + stored * out.stride;
        BlendRow(bgra + std::size_t{y} * out.width * 4, background.rows + stored * background.rowStep,
                 dst, out.width);
        std::memset(dst + std::size_t{out.width} * 3, 0, out.stride - std::size_t{out.width} * 3);
    }
}

void BlendTransparent(const ConvertInput& in, const std::vector<std::uint8_t>& palette,
                      const Background& background, DecodedImage& out) {
    StartBitmap(out, in, 24, RowOrder::kBottomUp);
    Bytes bgra(static_cast<std::size_t>(TransparentRowsBytes(in.width, in.height)));
    ResolveTransparency(in.samples, in.width, in.height, in.colourType, in.bitDepth, palette, *in.transparency,
                        bgra.data());
    BlendTopDownRows(bgra.data(), background, out);
}

void ConvertIndexed(const ConvertInput& in, ColourTables& tables, const Background& background,
                    DecodedImage& out) {
    const int layout = in.samples.depth;
    const bool grey = in.colourType == kColourGrey;
    if (in.applyTransparency) {
        BlendTransparent(in, grey ? BuildGreyRamp(tables, in.bitDepth, layout != 1 && layout != 4) : *in.palette,
                         background, out);
        return;
    }

    if (layout == 1 || layout == 4) {
        StartBitmap(out, in, layout, RowOrder::kTopDown);
        PadRows(in.samples.data, in.samples.stride,
                static_cast<std::size_t>(RowBytes(in.width, layout) - 1), in.height,
                out.pixels.data(), out.stride);
        if (layout == 1) {
            if (grey) {
                SetMonoColours(tables);
            } else {
                SetTwoColourTable(tables, *in.palette);
            }
            TakeTable(out, tables.table1);
        } else {
            if (grey) {
                BuildGreyRamp(tables, 4, false);
            } else {
                SetColourTable16(tables, *in.palette);
            }
            TakeTable(out, tables.table4);
        }
        return;
    }

    StartBitmap(out, in, 8, RowOrder::kTopDown);
    for (std::uint32_t y = 0; y < in.height; ++y) {
        const std::uint8_t* src = in.samples.data + std::size_t{y} * in.samples.stride;
        std::uint8_t* dst = out.pixels.data() + std::size_t{y} * out.stride;
        if (layout == 2) {
            ExpandTwoBit(src, dst, in.width);
        } else if (layout == 16) {
            ReduceTo8Bit(src, dst, in.width);
        } else {
            std::memcpy(dst, src, in.width);
        }
        std::memset(dst + in.width, 0, out.stride - in.width);
    }
    if (grey) {
        BuildGreyRamp(tables, in.bitDepth, true);
    } else {
        SetColourTable256(tables, *in.palette);
    }
    TakeTable(out, tables.table8);
}

void ConvertRgb(const ConvertInput& in, const Background& background, DecodedImage& out) {
    const int sampleBytes = in.bitDepth / 8;
    if (in.applyTransparency) {
        BlendTransparent(in, {}, background, out);
        return;
    }
    StartBitmap(out, in, 24, RowOrder::kTopDown);
    for (std::uint32_t y = 0; y < in.height; ++y) {
        std::uint8_t* dst = out.pixels.data() + std::size_t{y} * out.stride;
        SwapRedBlue(in.samples.data + std::size_t{y} * in.samples.stride, dst, in.width, sampleBytes);
        std::memset(dst + std::size_t{in.width} * 3, 0, out.stride - std::size_t{in.width} * 3);
    }
}

void ConvertAlpha(const ConvertInput& in, const Background& background, DecodedImage& out) {
    const int sampleBytes = in.bitDepth / 8;
    auto toBgra = [&](std::uint32_t y, std::uint8_t* dst) {
        const std::uint8_t* src = in.samples.data + std::size_t{y} * in.samples.stride;
        if (in.colourType == kColourRgba) {
            RgbaToBgra(src, dst, in.width, sampleBytes);
        } else {
            GreyAlphaToBgra(src, dst, in.width, sampleBytes);
        }
    };
    if (!in.alphaOn) {
        StartBitmap(out, in, 32, RowOrder::kBottomUp);
        for (std::uint32_t y = 0; y < in.height; ++y) {
            toBgra(y, out.pixels.data() + std::size_t{in.height - 1 - y} * out.stride);
        }
        return;
    }
    StartBitmap(out, in, 24, RowOrder::kBottomUp);
    Bytes row(std::size_t{in.width} * 4);
    for (std::uint32_t y = 0; y < in.height; ++y) {
        const std::size_t stored = in.height - 1 - y;
        std::uint8_t* dst = out.pixels.data() + stored * out.stride;
        toBgra(y, row.data());
        BlendRow(row.data(), background.rows + stored * background.rowStep, dst, in.width);
        std::memset(dst + std::size_t{in.width} * 3, 0, out.stride - std::size_t{in.width} * 3);
    }
}

}  // namespace

void ConvertToBitmap(const ConvertInput& in, ColourTables& tables, const Background& background,
                     DecodedImage& out) {
    switch (in.colourType) {
        case kColourGrey:
        case kColourPalette: ConvertIndexed(in, tables, background, out); break;
        case kColourRgb: ConvertRgb(in, background, out); break;
        case kColourGreyAlpha:
        case kColourRgba: ConvertAlpha(in, background, out); break;
        default: out = DecodedImage{}; break;
    }
}

}  // namespace tf::png
