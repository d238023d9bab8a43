#include "png/blend.h"

#include <cstring>

namespace tf::png {

void FillBackground(std::uint8_t* buffer, std::uint32_t width, std::uint32_t rows,
                    std::size_t stride, std::uint32_t colour) {
    const std::uint8_t r = RedOf(colour), g = GreenOf(colour), b = BlueOf(colour);
    if (r == g && g == b) {
        std::memset(buffer, r, stride * rows);
        return;
    }
    for (std::uint32_t y = 0; y < rows; ++y) {
        std::uint8_t* p = buffer + std::size_t{y} * stride;
        for (std::uint32_t x = 0; x < width; ++x, p += 3) {
            p[0] = b;
            p[1] = g;
            p[2] = r;
        }
    }
}

void BlendRow(const std::uint8_t* bgra, const std::uint8_t* bgr, std::uint8_t* out,
              std::uint32_t width) {
    for (std::uint32_t x = 0; x < width; ++x, bgra += 4, bgr += 3, out += 3) {
        const unsigned a = bgra[3];
        if (a == 255) {
            out[0] = bgra[0];
            out[1] = bgra[1];
            out[2] = bgra[2];
        } else if (a == 0) {
            out[0] = bgr[0];
            out[1] = bgr[1];
            out[2] = bgr[2];
        } else {
            out[0] = BlendChannel(bgra[0], bgr[0], a);
            out[1] = BlendChannel(bgra[1], bgr[1], a);
            out[2] = BlendChannel(bgra[2], bgr[2], a);
        }
    }
}

}  // namespace tf::png
