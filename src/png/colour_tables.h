#pragma once
// The colour tables handed to the bitmap upload with the indexed formats,
// and the grey ramps that fill them for grey images.
#include <array>
#include <cstdint>
#include <vector>

#include "png/decoded_image.h"

namespace tf::png {

struct ColourTables {
    std::array<BgrQuad, 2> table1{};
    std::array<BgrQuad, 16> table4{};
    std::array<BgrQuad, 256> table8{};
};

// 1-bit table: black, white.
void SetMonoColours(ColourTables& tables);
// 1-bit table from a palette of exactly two entries (6 bytes), else black and white.
void SetTwoColourTable(ColourTables& tables, const std::vector<std::uint8_t>& palette);
// 4- and 8-bit tables from palette entries; entries beyond the palette are black.
void SetColourTable16(ColourTables& tables, const std::vector<std::uint8_t>& palette);
void SetColourTable256(ColourTables& tables, const std::vector<std::uint8_t>& palette);

// Grey ramp of a sample depth: 2^depth levels (256 for 16 bits) as RGB
// triples, evenly spaced from 0 to 255. It is also loaded into the table the
// image will be drawn with: the 8-bit table, or for depths 1 and 4 drawn at
// their own depth, the 1- and 4-bit tables (depth 1 leaves them alone: its
// table is always black and white).
std::vector<std::uint8_t> BuildGreyRamp(ColourTables& tables, int depth, bool drawAs8Bit);

}  // namespace tf::png
