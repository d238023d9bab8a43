#pragma once
// Format constants and the caps the loader puts on what a file may ask for.
#include <array>
#include <cstddef>
#include <cstdint>

namespace tf::png {

constexpr std::array<std::uint8_t, 8> kPngSignature = {137, 80, 78, 71, 13, 10, 26, 10};

// Most memory one decode may hold at once: the buffers alive together at any
// stage (kept image data and its inflated form, a de-interlaced copy, the
// blend's intermediate rows and background, the final bitmap) add up to no
// more than this.
constexpr std::uint64_t kMaxPixelBytes = 256ull << 20;

// Input budget: a file may be as long as a fixed allowance for the chunks
// around the image plus a small multiple of its filtered image data (deflate
// never needs much more than the data it encodes). Before a usable header
// only the allowance applies.
constexpr std::uint64_t kInputAllowance = 16ull << 20;
constexpr std::uint64_t kInputPerImageByte = 2;

// Text and zText keep at most this many bytes each; entries that would pass
// it are dropped and counted.
constexpr std::size_t kMaxTextBytes = 1u << 20;

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
