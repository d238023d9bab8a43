#include "png/scanline.h"

#include <algorithm>
#include <array>
#include <cstdlib>
#include <cstring>

#include "png/limits.h"

namespace tf::png {

int BitsPerPixel(int colourType, int depth) {
    switch (colourType) {
        case kColourGrey:
        case kColourPalette: return depth;
        case kColourRgb: return 3 * depth;
        case kColourGreyAlpha: return 2 * depth;
        case kColourRgba: return 4 * depth;
        default: return 0;
    }
}

std::uint64_t RowBytes(std::uint32_t width, int bitsPerPixel) {
    return (std::uint64_t{width} * static_cast<std::uint64_t>(bitsPerPixel) + 7) / 8 + 1;
}

std::uint64_t BitmapStride(std::uint32_t width, int bitsPerPixel) {
    return (std::uint64_t{width} * static_cast<std::uint64_t>(bitsPerPixel) + 31) / 32 * 4;
}

namespace {

inline std::uint8_t Paeth(int a, int b, int c) {
    const int pa = std::abs(b - c);
    const int pb = std::abs(a - c);
    const int pc = std::abs(a + b - 2 * c);
    if (pa <= pb && pa <= pc) return static_cast<std::uint8_t>(a);
    return static_cast<std::uint8_t>(pb <= pc ? b : c);
}

// The byte-distance is a template argument so that the common pixel sizes get
// loops the compiler can keep in registers.
template <int Bpp>
void UnfilterRowFixed(int filterType, std::uint8_t* row, const std::uint8_t* prev,
                      std::size_t length) {
    const std::size_t first = std::min<std::size_t>(Bpp, length);
    switch (filterType) {
        case 1:
            for (std::size_t i = Bpp; i < length; ++i) row[i] = static_cast<std::uint8_t>(row[i] + row[i - Bpp]);
            break;
        case 2:
            for (std::size_t i = 0; i < length; ++i) row[i] = static_cast<std::uint8_t>(row[i] + prev[i]);
            break;
        case 3:
            for (std::size_t i = 0; i < first; ++i) row[i] = static_cast<std::uint8_t>(row[i] + (prev[i] >> 1));
            for (std::size_t i = Bpp; i < length; ++i) {
                row[i] = static_cast<std::uint8_t>(row[i] + ((row[i - Bpp] + prev[i]) >> 1));
            }
            break;
        case 4:
            for (std::size_t i = 0; i < first; ++i) row[i] = static_cast<std::uint8_t>(row[i] + prev[i]);
            for (std::size_t i = Bpp; i < length; ++i) {
                row[i] = static_cast<std::uint8_t>(row[i] + Paeth(row[i - Bpp], prev[i], prev[i - Bpp]));
            }
            break;
        default:
            break;
    }
}

}  // namespace

void UnfilterRow(int filterType, std::uint8_t* row, const std::uint8_t* prev, std::size_t length,
                 int bytesPerPixel) {
    switch (bytesPerPixel) {
        case 1: UnfilterRowFixed<1>(filterType, row, prev, length); break;
        case 2: UnfilterRowFixed<2>(filterType, row, prev, length); break;
        case 3: UnfilterRowFixed<3>(filterType, row, prev, length); break;
        case 4: UnfilterRowFixed<4>(filterType, row, prev, length); break;
        case 6: UnfilterRowFixed<6>(filterType, row, prev, length); break;
        case 8: UnfilterRowFixed<8>(filterType, row, prev, length); break;
        default: break;  // no other pixel size exists
    }
}

bool UnfilterRows(Bytes& data, std::uint32_t width, std::uint32_t height, int bitsPerPixel) {
    const std::uint64_t rowBytes = RowBytes(width, bitsPerPixel);
    if (data.size() < rowBytes * height) return false;
    const std::size_t length = static_cast<std::size_t>(rowBytes - 1);
    const int bpp = FilterBytesPerPixel(bitsPerPixel);
    const Bytes zeros(length, 0);
    const std::uint8_t* prev = zeros.data();
    for (std::uint32_t i = 0; i < height; ++i) {
        std::uint8_t* row = data.data() + i * rowBytes;
        UnfilterRow(row[0], row + 1, prev, length, bpp);
        prev = row + 1;
    }
    return true;
}

namespace {

struct PassGeometry {
    std::uint32_t colStart, colStep, rowStart, rowStep;
};
constexpr std::array<PassGeometry, 7> kPasses = {{
    {0, 8, 0, 8}, {4, 8, 0, 8}, {0, 4, 4, 8}, {2, 4, 0, 4},
    {0, 2, 2, 4}, {1, 2, 0, 2}, {0, 1, 1, 2},
}};

inline std::uint32_t Count(std::uint32_t size, std::uint32_t start, std::uint32_t step) {
    return size > start ? (size - start + step - 1) / step : 0;
}

}  // namespace

std::uint32_t PassColumns(int pass, std::uint32_t width) {
    const PassGeometry& g = kPasses[static_cast<std::size_t>(pass - 1)];
    return Count(width, g.colStart, g.colStep);
}

std::uint32_t PassRows(int pass, std::uint32_t height) {
    const PassGeometry& g = kPasses[static_cast<std::size_t>(pass - 1)];
    return Count(height, g.rowStart, g.rowStep);
}

std::uint64_t PassRowBytes(std::uint32_t width, int bitsPerPixel, int pass) {
    return (std::uint64_t{PassColumns(pass, width)} * static_cast<std::uint64_t>(bitsPerPixel) + 7) / 8;
}

std::uint64_t InterlacedBytes(std::uint32_t width, std::uint32_t height, int bitsPerPixel) {
    std::uint64_t total = 0;
    for (int pass = 1; pass <= 7; ++pass) {
        const std::uint64_t rowBytes = PassRowBytes(width, bitsPerPixel, pass);
        if (rowBytes != 0) total += (rowBytes + 1) * PassRows(pass, height);
    }
    return total;
}

bool Deinterlace(const Bytes& data, std::uint32_t width, std::uint32_t height, int bitsPerPixel,
                 Bytes& out) {
    if (data.size() < InterlacedBytes(width, height, bitsPerPixel)) return false;
    const int pixelBytes = FilterBytesPerPixel(bitsPerPixel);
    out.assign(static_cast<std::size_t>(std::uint64_t{width} * height * pixelBytes), 0);
    const std::size_t outStride = std::size_t{width} * static_cast<std::size_t>(pixelBytes);
    Bytes row, prev;
    std::size_t at = 0;
    for (int pass = 1; pass <= 7; ++pass) {
        const std::size_t rowBytes = static_cast<std::size_t>(PassRowBytes(width, bitsPerPixel, pass));
        const std::uint32_t rows = PassRows(pass, height);
        if (rowBytes == 0 || rows == 0) continue;
        const std::uint32_t cols = PassColumns(pass, width);
        const PassGeometry& g = kPasses[static_cast<std::size_t>(pass - 1)];
        prev.assign(rowBytes, 0);
        row.resize(rowBytes);
        for (std::uint32_t r = 0; r < rows; ++r) {
            const int filterType = data[at];
            std::memcpy(row.data(), data.data() + at + 1, rowBytes);
            at += rowBytes + 1;
            UnfilterRow(filterType, row.data(), prev.data(), rowBytes, pixelBytes);
            std::uint8_t* dst = out.data() + (g.rowStart + std::size_t{r} * g.rowStep) * outStride;
            if (bitsPerPixel < 8) {
                const int shiftTop = 8 - bitsPerPixel;
                const unsigned mask = (1u << bitsPerPixel) - 1;
                for (std::uint32_t c = 0; c < cols; ++c) {
                    const std::size_t bit = std::size_t{c} * static_cast<std::size_t>(bitsPerPixel);
                    const int shift = shiftTop - static_cast<int>(bit & 7);
                    dst[g.colStart + std::size_t{c} * g.colStep] =
                        static_cast<std::uint8_t>((row[bit >> 3] >> shift) & mask);
                }
            } else {
                for (std::uint32_t c = 0; c < cols; ++c) {
                    std::memcpy(dst + (g.colStart + std::size_t{c} * g.colStep) * pixelBytes,
                                row.data() + std::size_t{c} * pixelBytes, static_cast<std::size_t>(pixelBytes));
                }
            }
            row.swap(prev);
        }
    }
    return true;
}

void ReduceTo8Bit(const std::uint8_t* src, std::uint8_t* dst, std::size_t samples) {
    for (std::size_t i = 0; i < samples; ++i) dst[i] = src[2 * i];
}

void ExpandTwoBit(const std::uint8_t* src, std::uint8_t* dst, std::uint32_t pixels) {
    for (std::uint32_t j = 0; j < pixels; ++j) {
        dst[j] = static_cast<std::uint8_t>((src[j / 4] >> (2 * (3 - j % 4))) & 3);
    }
}

void SwapRedBlue(const std::uint8_t* rgb, std::uint8_t* bgr, std::uint32_t pixels,
                 int sampleBytes) {
    const std::size_t s = static_cast<std::size_t>(sampleBytes);
    for (std::uint32_t i = 0; i < pixels; ++i, rgb += 3 * s, bgr += 3) {
        const std::uint8_t r = rgb[0], g = rgb[s], b = rgb[2 * s];
        bgr[0] = b;
        bgr[1] = g;
        bgr[2] = r;
    }
}

void RgbaToBgra(const std::uint8_t* rgba, std::uint8_t* bgra, std::uint32_t pixels,
                int sampleBytes) {
    if (sampleBytes == 1) {
        // Swapping bytes 0 and 2 of each little-endian word.
        for (std::uint32_t i = 0; i < pixels; ++i) {
            std::uint32_t v;
            std::memcpy(&v, rgba + 4 * std::size_t{i}, 4);
#if defined(__BYTE_ORDER__) && __BYTE_ORDER__ == __ORDER_BIG_ENDIAN__
            v = (v & 0x00FF00FFu) | ((v >> 16) & 0xFF00u) | ((v & 0xFF00u) << 16);
#else
            v = (v & 0xFF00FF00u) | ((v >> 16) & 0xFFu) | ((v & 0xFFu) << 16);
#endif
            std::memcpy(bgra + 4 * std::size_t{i}, &v, 4);
        }
        return;
    }
    for (std::uint32_t i = 0; i < pixels; ++i, rgba += 8, bgra += 4) {
        const std::uint8_t r = rgba[0], g = rgba[2], b = rgba[4], a = rgba[6];
        bgra[0] = b;
        bgra[1] = g;
        bgra[2] = r;
        bgra[3] = a;
    }
}

void GreyAlphaToBgra(const std::uint8_t* ga, std::uint8_t* bgra, std::uint32_t pixels,
                     int sampleBytes) {
    const std::size_t s = static_cast<std::size_t>(sampleBytes);
    for (std::uint32_t i = 0; i < pixels; ++i, ga += 2 * s, bgra += 4) {
        const std::uint8_t grey = ga[0], a = ga[s];
        bgra[0] = grey;
        bgra[1] = grey;
        bgra[2] = grey;
        bgra[3] = a;
    }
}

void PadRows(const std::uint8_t* src, std::size_t srcStride, std::size_t rowLength,
             std::uint32_t rows, std::uint8_t* dst, std::size_t stride) {
    for (std::uint32_t y = 0; y < rows; ++y) {
        std::uint8_t* d = dst + std::size_t{y} * stride;
        std::memcpy(d, src + std::size_t{y} * srcStride, rowLength);
        std::memset(d + rowLength, 0, stride - rowLength);
    }
}

void FlipRows(std::uint8_t* data, std::size_t size, std::size_t rowLength) {
    if (rowLength == 0) return;
    const std::size_t rows = size / rowLength;
    for (std::size_t top = 0, bottom = rows; top + 1 < bottom; ++top) {
        --bottom;
        std::swap_ranges(data + top * rowLength, data + (top + 1) * rowLength,
                         data + bottom * rowLength);
    }
}

}  // namespace tf::png
