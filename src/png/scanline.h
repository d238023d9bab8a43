#pragma once
// Scanline geometry, unfiltering, Adam7 merging and the per-row sample
// conversions. All functions are pure: they read and write the buffers given.
#include <cstddef>
#include <cstdint>

#include "png/bytes.h"

namespace tf::png {

// Bits per pixel of a colour type at a sample depth; 0 for unknown types.
int BitsPerPixel(int colourType, int depth);
// Bytes of one filtered row including its filter byte.
std::uint64_t RowBytes(std::uint32_t width, int bitsPerPixel);
// Bytes of one bitmap row: padded to a multiple of 4.
std::uint64_t BitmapStride(std::uint32_t width, int bitsPerPixel);
// Distance in bytes to the "left" byte of the filters.
inline int FilterBytesPerPixel(int bitsPerPixel) {
    return bitsPerPixel >= 8 ? bitsPerPixel / 8 : 1;
}

// Reverses one row's filter in place. `prev` is the unfiltered row above
// (zeros for the first row). Types 0 and above 4 leave the row as stored.
void UnfilterRow(int filterType, std::uint8_t* row, const std::uint8_t* prev, std::size_t length,
                 int bytesPerPixel);

// Unfilters a stream of `height` rows of RowBytes bytes in place. Each row
// keeps its (now meaningless) filter byte in front, so row i's samples start
// at i * RowBytes + 1. False when `data` is shorter than needed.
bool UnfilterRows(Bytes& data, std::uint32_t width, std::uint32_t height, int bitsPerPixel);

// Adam7 geometry. Passes are numbered 1 to 7.
std::uint32_t PassColumns(int pass, std::uint32_t width);
std::uint32_t PassRows(int pass, std::uint32_t height);
std::uint64_t PassRowBytes(std::uint32_t width, int bitsPerPixel, int pass);
// Total length of an interlaced filtered stream.
std::uint64_t InterlacedBytes(std::uint32_t width, std::uint32_t height, int bitsPerPixel);

// Filtered Adam7 stream -> full image rows of width * max(1, bpp / 8) bytes,
// top row first; depths below 8 become one unscaled sample per byte. False
// when `data` is shorter than the passes need.
bool Deinterlace(const Bytes& data, std::uint32_t width, std::uint32_t height, int bitsPerPixel,
                 Bytes& out);

// Row conversions. `sampleBytes` is 1 for 8-bit samples and 2 for 16-bit
// ones, of which only the first (most significant) byte is kept.
void ReduceTo8Bit(const std::uint8_t* src, std::uint8_t* dst, std::size_t samples);
void ExpandTwoBit(const std::uint8_t* src, std::uint8_t* dst, std::uint32_t pixels);
void SwapRedBlue(const std::uint8_t* rgb, std::uint8_t* bgr, std::uint32_t pixels,
                 int sampleBytes);
void RgbaToBgra(const std::uint8_t* rgba, std::uint8_t* bgra, std::uint32_t pixels,
                int sampleBytes);
void GreyAlphaToBgra(const std::uint8_t* ga, std::uint8_t* bgra, std::uint32_t pixels,
                     int sampleBytes);

// Copies `rows` rows of `rowLength` bytes into rows of `stride` bytes,
// zero-filling the padding.
void PadRows(const std::uint8_t* src, std::size_t srcStride, std::size_t rowLength,
             std::uint32_t rows, std::uint8_t* dst, std::size_t stride);
// Reverses the order of the rows of `rowLength` bytes, in place.
void FlipRows(std::uint8_t* data, std::size_t size, std::size_t rowLength);

// Where the pixel samples of an image are: rows of `stride` bytes, each
// sample `depth` bits wide (1, 2, 4, 8 or 16), most significant bits first.
struct SampleRows {
    const std::uint8_t* data;
    std::size_t stride;
    int depth;
};

}  // namespace tf::png
