#include "png/colour_tables.h"

#include <algorithm>

namespace tf::png {

namespace {

BgrQuad Grey(std::uint8_t level) {
    BgrQuad q;
    q.blue = q.green = q.red = level;
    return q;
}

template <std::size_t N>
void FromPalette(std::array<BgrQuad, N>& table, const std::vector<std::uint8_t>& palette) {
    const std::size_t entries = std::min(N, palette.size() / 3);
    table.fill(BgrQuad{});
    for (std::size_t i = 0; i < entries; ++i) {
        table[i].red = palette[3 * i];
        table[i].green = palette[3 * i + 1];
        table[i].blue = palette[3 * i + 2];
    }
}

}  // namespace

void SetMonoColours(ColourTables& tables) {
    tables.table1[0] = Grey(0);
    tables.table1[1] = Grey(255);
}

void SetTwoColourTable(ColourTables& tables, const std::vector<std::uint8_t>& palette) {
    if (palette.size() == 6) {
        FromPalette(tables.table1, palette);
    } else {
        SetMonoColours(tables);
    }
}

void SetColourTable16(ColourTables& tables, const std::vector<std::uint8_t>& palette) {
    FromPalette(tables.table4, palette);
}

void SetColourTable256(ColourTables& tables, const std::vector<std::uint8_t>& palette) {
    FromPalette(tables.table8, palette);
}

std::vector<std::uint8_t> BuildGreyRamp(ColourTables& tables, int depth, bool drawAs8Bit) {
    const int levels = depth >= 8 ? 256 : 1 << depth;
    // 255 / (levels - 1) is a whole number for every depth: 255, 85, 17, 1.
    const int step = 255 / (levels - 1);
    std::vector<std::uint8_t> ramp(static_cast<std::size_t>(levels) * 3);
    for (int i = 0; i < levels; ++i) {
        const auto level = static_cast<std::uint8_t>(i * step);
        ramp[3 * i] = ramp[3 * i + 1] = ramp[3 * i + 2] = level;
    }
    BgrQuad* target = nullptr;
    if (depth == 1) {
        if (drawAs8Bit) target = tables.table8.data();
    } else if (depth == 4 && !drawAs8Bit) {
        target = tables.table4.data();
    } else {
        target = tables.table8.data();
    }
    if (target) {
        for (int i = 0; i < levels; ++i) target[i] = Grey(ramp[3 * i]);
    }
    return ramp;
}

}  // namespace tf::png
