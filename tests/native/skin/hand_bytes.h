#pragma once
// Skin-file bytes written field by field in the tests, independent of the
// writer under test.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <functional>
#include <string>
#include <vector>

namespace tf::skin::test {

using Bytes = std::vector<std::uint8_t>;

inline void PutLe(Bytes& bytes, std::size_t offset, std::uint32_t value, int width) {
    if (bytes.size() < offset + width) bytes.resize(offset + width);
    for (int i = 0; i < width; ++i) bytes[offset + i] = static_cast<std::uint8_t>(value >> (8 * i));
}
inline void Append(Bytes& bytes, std::uint32_t value, int width) { PutLe(bytes, bytes.size(), value, width); }
inline void Append(Bytes& bytes, const std::string& text) { bytes.insert(bytes.end(), text.begin(), text.end()); }
inline void Append(Bytes& bytes, const Bytes& more) { bytes.insert(bytes.end(), more.begin(), more.end()); }

// Colour of a test pixel as 0x00BBGGRR.
using PixelFn = std::function<std::uint32_t(int x, int y)>;
inline std::uint32_t Pattern(int x, int y) { return static_cast<std::uint32_t>((x * 7 + 1) | ((y * 5 + 2) << 8) | ((x ^ y) << 16)) & 0xFFFFFF; }

// A BMP file with a 40-byte header (or `headerSize`), rows bottom-up unless
// `topDown`, 24 or 32 bits per pixel.
inline Bytes HandBmp(int width, int height, int bits = 24, bool topDown = false, PixelFn pixel = Pattern,
                     std::uint32_t compression = 0, std::uint32_t headerSize = 40) {
    const int bpp = bits / 8;
    const int stride = (width * bpp + 3) / 4 * 4;
    const std::uint32_t offset = 14 + headerSize;
    Bytes b;
    Append(b, "BM");
    Append(b, offset + stride * height, 4);  // file size
    Append(b, 0, 4);                         // reserved
    Append(b, offset, 4);                    // pixel offset
    Append(b, headerSize, 4);                // header size
    Append(b, static_cast<std::uint32_t>(width), 4);
    Append(b, static_cast<std::uint32_t>(topDown ? -height : height), 4);
    Append(b, 1, 2);     // planes
    Append(b, bits, 2);  // bits per pixel
    Append(b, compression, 4);
    Append(b, stride * height, 4);  // image size
    b.resize(b.size() + 16, 0);     // resolution, colours used, important colours
    if (headerSize > 40) {
        // Larger headers start with the red, green, blue and alpha masks.
        Append(b, 0x00FF0000, 4);
        Append(b, 0x0000FF00, 4);
        Append(b, 0x000000FF, 4);
        Append(b, 0xFF000000, 4);
        b.resize(offset, 0);
    }
    for (int row = 0; row < height; ++row) {
        const int y = topDown ? row : height - 1 - row;
        for (int x = 0; x < width; ++x) {
            const std::uint32_t c = pixel(x, y);
            Append(b, (c >> 16) & 0xFF, 1);  // blue
            Append(b, (c >> 8) & 0xFF, 1);   // green
            Append(b, c & 0xFF, 1);          // red
            if (bpp == 4) Append(b, 0x80, 1);
        }
        b.resize(b.size() + (stride - width * bpp), 0);
    }
    return b;
}

struct BagProperty {
    std::string name;
    std::uint16_t kind;
    Bytes value;
};

inline Bytes HandBag(const std::vector<BagProperty>& properties) {
    Bytes b;
    Append(b, "TFPB");
    Append(b, 1, 2);  // version
    Append(b, static_cast<std::uint32_t>(properties.size()), 2);
    for (const BagProperty& p : properties) {
        Append(b, static_cast<std::uint32_t>(p.name.size()), 2);
        Append(b, p.name);
        Append(b, p.kind, 2);
        Append(b, static_cast<std::uint32_t>(p.value.size()), 4);
        Append(b, p.value);
    }
    return b;
}

inline Bytes HandBag(const Bytes& bmp) { return HandBag({{"SkinPicture", 1, bmp}}); }

}  // namespace tf::skin::test
