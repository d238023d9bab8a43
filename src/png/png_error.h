#pragma once
// Every way a decode can end, with one place that turns a code into text.

namespace tf::png {

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
};

const char* ToString(PngError error);

}  // namespace tf::png
