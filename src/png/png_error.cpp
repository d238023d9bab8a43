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
        case PngError::kInputTooLarge: return "file longer than its image allows";
        case PngError::kOutOfMemory: return "not enough memory";
    }
    return "unknown error";
}

std::int32_t ErrorNumberFor(PngError error) {
    switch (error) {
        case PngError::kNone: return kErrorNone;
        case PngError::kCannotOpen:
        case PngError::kBadSignature: return kErrorNotPng;
        case PngError::kTruncatedChunk: return kErrorTruncated;
        case PngError::kNoImageData: return kErrorNoImageData;
        case PngError::kBadHeader:
        case PngError::kImageTooLarge:
        case PngError::kInputTooLarge:
        case PngError::kOutOfMemory: return kErrorBadHeader;
        case PngError::kImageDataTooShort:
        case PngError::kInputExhausted:
        case PngError::kDistanceTooFar:
        case PngError::kOutputOverflow:
        case PngError::kInvalidSymbol:
        case PngError::kTreeCreation:
        case PngError::kPixelDataShort: return kErrorDecode;
    }
    return kErrorDecode;
}

}  // namespace tf::png
