#include "skin/format/bmp_image.h"

#include "skin/format/byte_io.h"
#include "skin/format/skin_limits.h"

namespace tf::skin {
namespace {

constexpr std::size_t kFileHeaderBytes = 14;
constexpr std::size_t kInfoHeaderBytes = 40;
constexpr std::uint32_t kBiRgb = 0;
constexpr std::uint32_t kBiBitfields = 3;
// With BI_BITFIELDS the three masks follow the 40-byte header, inside the
// larger header versions or as three extra words.
constexpr std::size_t kMaskOffset = kFileHeaderBytes + kInfoHeaderBytes;

bool KnownHeaderSize(std::uint32_t size) {
    return size == 40 || size == 52 || size == 56 || size == 108 || size == 124;
}

}  // namespace

SkinFileError DecodeBmp(const std::uint8_t* data, std::size_t size, SkinPicture& out) {
    ByteReader in(data, size);
    const std::uint8_t b = in.U8(), m = in.U8();
    in.Skip(8);  // file size and two reserved words: not trusted
    const std::uint32_t pixelOffset = in.U32();
    const std::uint32_t headerSize = in.U32();
    const std::int32_t width = in.I32();
    const std::int32_t signedHeight = in.I32();
    const std::uint16_t planes = in.U16();
    const std::uint16_t bitCount = in.U16();
    const std::uint32_t compression = in.U32();
    if (in.failed() || b != 'B' || m != 'M' || !KnownHeaderSize(headerSize) || planes != 1) {
        return SkinFileError::kBadPicture;
    }
    if (bitCount != 24 && bitCount != 32) return SkinFileError::kBadPicture;
    if (compression == kBiBitfields && bitCount == 32) {
        ByteReader masks(data, size);
        masks.Skip(kMaskOffset);
        const std::uint32_t red = masks.U32(), green = masks.U32(), blue = masks.U32();
        if (masks.failed() || red != 0x00FF0000u || green != 0x0000FF00u || blue != 0x000000FFu) {
            return SkinFileError::kBadPicture;
        }
    } else if (compression != kBiRgb) {
        return SkinFileError::kBadPicture;
    }
    if (width <= 0 || signedHeight == 0 || signedHeight == INT32_MIN) return SkinFileError::kBadPicture;
    const bool topDown = signedHeight < 0;
    const std::int32_t height = topDown ? -signedHeight : signedHeight;
    if (width > kMaxPictureSide || height > kMaxPictureSide ||
        static_cast<std::int64_t>(width) * height > kMaxPicturePixels) {
        return SkinFileError::kTooLarge;
    }

    const std::size_t bytesPerPixel = bitCount / 8;
    const std::size_t stride = (static_cast<std::size_t>(width) * bytesPerPixel + 3) & ~std::size_t{3};
    const std::uint64_t pixelBytes = static_cast<std::uint64_t>(stride) * static_cast<std::uint64_t>(height);
    if (pixelOffset < kFileHeaderBytes + headerSize || pixelOffset > size || size - pixelOffset < pixelBytes) {
        return SkinFileError::kBadPicture;
    }

    SkinPicture picture;
    picture.width = width;
    picture.height = height;
    const std::size_t rowBytes = static_cast<std::size_t>(width) * 3;
    picture.bgr.resize(rowBytes * static_cast<std::size_t>(height));
    for (std::int32_t y = 0; y < height; ++y) {
        const std::size_t sourceRow = static_cast<std::size_t>(topDown ? y : height - 1 - y);
        const std::uint8_t* source = data + pixelOffset + sourceRow * stride;
        std::uint8_t* target = picture.bgr.data() + static_cast<std::size_t>(y) * rowBytes;
        for (std::int32_t x = 0; x < width; ++x, source += bytesPerPixel, target += 3) {
            target[0] = source[0];
            target[1] = source[1];
            target[2] = source[2];
        }
    }
    out = std::move(picture);
    return SkinFileError::kNone;
}

std::vector<std::uint8_t> EncodeBmp24(const SkinPicture& picture) {
    const std::size_t width = picture.empty() ? 0 : static_cast<std::size_t>(picture.width);
    const std::size_t height = picture.empty() ? 0 : static_cast<std::size_t>(picture.height);
    const std::size_t rowBytes = width * 3;
    const std::size_t stride = (rowBytes + 3) & ~std::size_t{3};
    const std::size_t pixelOffset = kFileHeaderBytes + kInfoHeaderBytes;
    std::vector<std::uint8_t> file;
    file.reserve(pixelOffset + stride * height);
    ByteWriter out(file);
    out.U8('B');
    out.U8('M');
    out.U32(static_cast<std::uint32_t>(pixelOffset + stride * height));
    out.U32(0);  // two reserved words
    out.U32(static_cast<std::uint32_t>(pixelOffset));
    out.U32(kInfoHeaderBytes);
    out.I32(static_cast<std::int32_t>(width));
    out.I32(static_cast<std::int32_t>(height));  // positive: bottom-up rows
    out.U16(1);                                  // planes
    out.U16(24);                                 // bits per pixel
    out.U32(kBiRgb);
    out.U32(static_cast<std::uint32_t>(stride * height));
    out.I32(3780);  // 96 dpi in pixels per metre, both directions
    out.I32(3780);
    out.U32(0);  // colours used
    out.U32(0);  // important colours
    const std::uint8_t padding[3] = {0, 0, 0};
    for (std::size_t y = height; y-- > 0;) {
        out.Bytes(picture.bgr.data() + y * rowBytes, rowBytes);
        out.Bytes(padding, stride - rowBytes);
    }
    return file;
}

}  // namespace tf::skin
