#pragma once
// The skin picture as a BMP file: uncompressed 24-bit, or 32-bit whose fourth
// byte is ignored (plain or with the standard red, green, blue bit masks),
// rows bottom-up or top-down. Skin authors make these with any paint program.
#include <cstddef>
#include <cstdint>
#include <vector>

#include "skin/format/skin_file.h"

namespace tf::skin {

// Decodes a whole BMP file. Returns kNone, kBadPicture (not a BMP of the kinds
// above, or shorter than its pixels) or kTooLarge (beyond skin_limits.h). On
// an error `out` is unchanged.
SkinFileError DecodeBmp(const std::uint8_t* data, std::size_t size, SkinPicture& out);

// A 24-bit bottom-up BMP file of the picture.
std::vector<std::uint8_t> EncodeBmp24(const SkinPicture& picture);

}  // namespace tf::skin
