#pragma once
// Values derived from single chunks.
#include <cstdint>
#include <string>
#include <vector>

namespace tf::png {

inline std::uint32_t ReadBe32(const std::uint8_t* p) {
    return (std::uint32_t{p[0]} << 24) | (std::uint32_t{p[1]} << 16) | (std::uint32_t{p[2]} << 8) | p[3];
}
inline std::uint16_t ReadBe16(const std::uint8_t* p) {
    return static_cast<std::uint16_t>((p[0] << 8) | p[1]);
}

// bKGD as a colour value (red in the low byte), 0 when the data does not fit
// the colour type and depth. 16-bit grey levels keep their high byte.
std::uint32_t BackgroundColour(const std::vector<std::uint8_t>& data, int colourType,
                               int bitDepth, const std::vector<std::uint8_t>& palette);

// tIME as "dd.mm.yyyy hh:mm:ss"; the year is not padded. `data` holds at
// least 7 bytes.
std::string FormatModificationTime(const std::uint8_t* data);

}  // namespace tf::png
