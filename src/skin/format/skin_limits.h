#pragma once
// What the engine accepts of a skin file. A skin picture is a few hundred
// pixels across; the caps only keep hostile files from asking for huge
// allocations or region work.
#include <cstdint>

namespace tf::skin {

inline constexpr std::int32_t kMaxPieceSide = 4096;    // width or height of one piece
inline constexpr std::int32_t kMaxPictureSide = 8192;  // width or height of the picture
inline constexpr std::int64_t kMaxPicturePixels = std::int64_t{4096} * 4096;

}  // namespace tf::skin
