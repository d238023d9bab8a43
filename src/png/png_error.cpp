#include "png/png_error.h"

namespace tf::png {

const char* ToString(PngError error) {
    switch (error) {
        case PngError::kNone: return "no error";
        case PngError::kCannotOpen: return "file cannot be opened";
        case PngError::kBadSignature: return "not a PNG file (bad signature)";
        case PngError::kTruncatedChunk: return "chunk runs past the end of the file";
        case PngError::kNoImageData: return "no image data (IDAT) before IEND";
        case PngError::kBadHeader: return "invalid or unsupported image header";
        case PngError::kImageTooLarge: return "image too large";
        case PngError::kImageDataTooShort: return "image data holds no deflate stream";
        case PngError::kInputExhausted: return "compressed data ends too early";
        case PngError::kDistanceTooFar: return "back-reference before the start of the data";
        case PngError::kOutputOverflow: return "decoded data larger than the image";
        case PngError::kInvalidSymbol: return "invalid length symbol";
        case PngError::kTreeCreation: return "code table cannot be built";
        case PngError::kPixelDataShort: return "decoded data shorter than the image";
    }
    return "unknown error";
}

}  // namespace tf::png
