#pragma once
// Format constants and the caps the loader puts on what a file may ask for.
#include <array>
#include <cstddef>
#include <cstdint>

namespace tf::png {

constexpr std::array<std::uint8_t, 8> kPngSignature = {137, 80, 78, 71, 13, 10, 26, 10};

// Largest buffer a header may make the decoder allocate: the filtered image
// data, a de-interlaced copy or the final bitmap, whichever is biggest.
constexpr std::uint64_t kMaxPixelBytes = 256ull << 20;

// Files are read whole into memory; anything larger than this is refused.
constexpr std::size_t kMaxFileBytes = 0x7FFFFFFF;

// Fixed layouts of the chunks whose fields are read.
constexpr std::uint32_t kIhdrLength = 13;
constexpr std::uint32_t kGamaLength = 4;
constexpr std::uint32_t kTimeLength = 7;
constexpr std::uint32_t kChunkHeaderBytes = 8;  // length + type
constexpr std::uint32_t kChunkCrcBytes = 4;

// The zlib header in front of a deflate stream: two bytes, never examined.
constexpr std::size_t kZlibHeaderBytes = 2;
// zTXt: keyword terminator, compression method, zlib header.
constexpr std::size_t kZtxtBytesAfterKeyword = 4;
constexpr std::int64_t kZtxtHintFactor = 12;

// What a background surface narrower or lower than the image grows by
// beyond the image's size.
constexpr std::int32_t kWidenTwips = 100;

// Headroom the inflater adds to every size hint.
constexpr std::int64_t kInflateHintSlack = 100;

// Deflate alphabet sizes and limits.
constexpr int kMaxCodeLength = 15;
constexpr int kNumLitLenSymbols = 288;
constexpr int kNumDistSymbols = 32;
constexpr int kNumCodeLengthSymbols = 19;
constexpr int kEndOfBlock = 256;
constexpr int kFirstLengthSymbol = 257;
constexpr int kNumLengthCodes = 29;  // symbols 257..285; 286 and 287 are invalid
constexpr int kDeflate64LongLength = 258;
constexpr int kDeflate64LengthBits = 16;
constexpr int kDeflate64LengthBase = 3;

// PNG colour types.
constexpr int kColourGrey = 0;
constexpr int kColourRgb = 2;
constexpr int kColourPalette = 3;
constexpr int kColourGreyAlpha = 4;
constexpr int kColourRgba = 6;

}  // namespace tf::png
