#include "png/picture_box_surface_win.h"

#include "platform/win32/unique_handle.h"
#include "png/cbitmap_win.h"

namespace tf::png {

using platform::win32::UniqueBitmap;

bool PictureBoxSurface::CaptureBackground(std::int32_t x, std::int32_t y, std::uint32_t width,
                                          std::uint32_t height, std::size_t stride, std::uint8_t* bgr) {
    (void)stride;  // GetDIBits writes 24-bit rows padded to 4 bytes, which is the stride asked for
    HDC surfaceDc = hDC();
    if (!surfaceDc) return false;
    const auto w = static_cast<int>(width);
    const auto h = static_cast<int>(height);
    platform::win32::BitmapDc memory = platform::win32::BitmapDc::Create(surfaceDc, w, h);
    if (!memory) return false;
    BitBlt(memory.dc(), 0, 0, w, h, surfaceDc, x, y, SRCCOPY);
    // Read once the block is no longer selected, as GetDIBits asks.
    const UniqueBitmap block = memory.Release();
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof info.bmiHeader;
    info.bmiHeader.biWidth = w;
    info.bmiHeader.biHeight = h;  // bottom row first
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 24;
    info.bmiHeader.biCompression = BI_RGB;
    return GetDIBits(surfaceDc, block.get(), 0, static_cast<UINT>(h), bgr, &info, DIB_RGB_COLORS) == h;
}

void PictureBoxSurface::Draw(const DecodedImage& image, std::int32_t x, std::int32_t y, bool backgroundMode) {
    CBitmap::CreateFinalBitmap(image);
    CBitmap::DrawOnPicture(static_cast<std::int32_t>(image.width), static_cast<std::int32_t>(image.height), *this,
                           true, x, y, backgroundMode);
}

}  // namespace tf::png
