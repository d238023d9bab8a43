#include "skin/frame/skin_bitmap_win.h"

#include <cstring>

namespace tf::skin {

platform::win32::UniqueBitmap MakeSkinBitmap(const SkinPicture& picture) {
    const std::size_t row = static_cast<std::size_t>(picture.width) * 3;
    if (picture.empty() || picture.bgr.size() != row * static_cast<std::size_t>(picture.height)) return {};
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof info.bmiHeader;
    info.bmiHeader.biWidth = picture.width;
    info.bmiHeader.biHeight = -picture.height;  // top-down, like the picture
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 24;
    info.bmiHeader.biCompression = BI_RGB;
    void* bits = nullptr;
    platform::win32::UniqueBitmap bitmap(CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &bits, nullptr, 0));
    if (!bitmap || !bits) return {};
    const std::size_t stride = (row + 3) & ~std::size_t{3};
    auto* out = static_cast<std::uint8_t*>(bits);
    for (std::int32_t y = 0; y < picture.height; ++y)
        std::memcpy(out + stride * static_cast<std::size_t>(y), picture.bgr.data() + row * static_cast<std::size_t>(y),
                    row);
    GdiFlush();
    return bitmap;
}

}  // namespace tf::skin
