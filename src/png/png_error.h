#pragma once
// Every way a decode can end, with one place that turns a code into text and
// one that turns it into the ErrorNumber callers read.
#include <cstdint>

namespace tf::png {

// ErrorNumber values.
constexpr std::int32_t kErrorNone = 0;
constexpr std::int32_t kErrorNotPng = 1;          // bad signature, missing file or folder
constexpr std::int32_t kErrorTruncated = 3;       // chunk past the end of the file, no IEND
constexpr std::int32_t kErrorNoImageData = 4;     // IEND without IDAT data
constexpr std::int32_t kErrorBadHeader = 5;       // IHDR missing or invalid, image, file or memory too large
constexpr std::int32_t kErrorDecode = 6;          // the image data could not be decoded

enum class PngError {
    kNone,
    kCannotOpen,          // the file could not be opened
    kBadSignature,        // the first 8 bytes are not the PNG signature
    kTruncatedChunk,      // a chunk reaches past the end of the file, or no IEND
    kNoImageData,         // IEND reached without IDAT data
    kBadHeader,           // IHDR missing, short or with values the decoder does not handle
    kImageTooLarge,       // the header asks for more memory than the decoder allows
    kImageDataTooShort,   // IDAT holds no more than the zlib header
    kInputExhausted,      // the deflate stream ended in the middle of a field
    kDistanceTooFar,      // a back-reference reaches before the start of the output
    kOutputOverflow,      // a literal would be written past the output buffer
    kInvalidSymbol,       // length symbol 286 or 287
    kTreeCreation,        // a fixed or dynamic code table could not be built
    kPixelDataShort,      // the inflated data is shorter than the image needs
    kInputTooLarge,       // the file is longer than its header allows
    kOutOfMemory,         // an allocation failed
};

const char* ToString(PngError error);
std::int32_t ErrorNumberFor(PngError error);

}  // namespace tf::png
