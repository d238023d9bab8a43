#pragma once
// The picture bag: the part of a skin file after the two records. It is a
// small self-describing property bag (docs/skin-format.md):
//
//   "TFPB", version 1 (16-bit), property count (16-bit), then per property
//   name length (16-bit), name, value kind (16-bit), value length (32-bit),
//   value bytes; the last property ends exactly at the end of the bag.
//
// The skin needs one property, "SkinPicture", of kind 1 (a BMP file). Other
// properties are stepped over, so a later writer may add some.
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "skin/format/skin_file.h"

namespace tf::skin {

inline constexpr char kPictureBagMagic[] = "TFPB";
inline constexpr std::uint16_t kPictureBagVersion = 1;
inline constexpr std::uint16_t kBagValueBmp = 1;
inline constexpr char kSkinPictureProperty[] = "SkinPicture";

// Reads "SkinPicture" from a bag. kBadBag when the bag is empty, malformed,
// truncated, has bytes after its last property, or lacks the picture (or
// holds it twice); the picture's own errors (bmp_image.h) otherwise. On an
// error `out` is unchanged.
SkinFileError ReadPictureBag(const std::uint8_t* data, std::size_t size, SkinPicture& out);

// A bag holding the picture as a 24-bit BMP.
std::vector<std::uint8_t> WritePictureBag(const SkinPicture& picture);

}  // namespace tf::skin
