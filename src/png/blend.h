#pragma once
// Resolving alpha against a background: 32-bit BGRA pixels over 24-bit BGR
// background pixels give 24-bit BGR pixels.
#include <cstddef>
#include <cstdint>

namespace tf::png {

// Colour values keep red in the low byte, then green, then blue.
inline std::uint8_t RedOf(std::uint32_t colour) { return colour & 0xFF; }
inline std::uint8_t GreenOf(std::uint32_t colour) { return (colour >> 8) & 0xFF; }
inline std::uint8_t BlueOf(std::uint32_t colour) { return (colour >> 16) & 0xFF; }
inline std::uint32_t MakeColour(std::uint8_t red, std::uint8_t green, std::uint8_t blue) {
    return red | (std::uint32_t{green} << 8) | (std::uint32_t{blue} << 16);
}

// Fills `rows` rows of `stride` bytes with one colour. A grey colour fills
// every byte, padding included; otherwise only the width * 3 pixel bytes.
void FillBackground(std::uint8_t* buffer, std::uint32_t width, std::uint32_t rows,
                    std::size_t stride, std::uint32_t colour);

// Fully opaque and fully transparent pixels take one side unchanged; the rest
// are weighted with alpha and rounded up by 255/256.
inline std::uint8_t BlendChannel(unsigned image, unsigned background, unsigned alpha) {
    return static_cast<std::uint8_t>((image * alpha + background * (255 - alpha) + 255) >> 8);
}

// One row: `bgra` over `bgr`, into `out` (width * 3 bytes).
void BlendRow(const std::uint8_t* bgra, const std::uint8_t* bgr, std::uint8_t* out,
              std::uint32_t width);

}  // namespace tf::png
