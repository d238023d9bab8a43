#pragma once
// Making a skin file from its two sources: the description text
// (skin_description.h) and the picture as a BMP file.
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace tf::skin {

// On success `file` holds a skin file that ReadSkinFile accepts. On failure
// returns false with the reason in `error` (the description's line, the
// picture's problem, or the piece that does not fit the picture).
bool BuildSkin(const std::string& description, const std::uint8_t* bmp, std::size_t bmpSize,
               std::vector<std::uint8_t>& file, std::string& error);

}  // namespace tf::skin
