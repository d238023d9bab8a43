#pragma once
// A picture box as the loader's drawing surface: sizes and scale modes from
// the box and its container, the background read back through the box's
// device context, and the image drawn by the bitmap module.
#include <windows.h>

#include "platform/win32/picture_box_win.h"
#include "png/picture_surface.h"

namespace tf::png {

class PictureBoxSurface final : public PictureSurface {
public:
    explicit PictureBoxSurface(HWND box) : box_(box) {}

    HDC hDC() const { return box_.hDC(); }
    HWND hwnd() const { return box_.hwnd(); }

    std::int32_t Width() const override { return box_.Width(); }
    std::int32_t Height() const override { return box_.Height(); }
    void SetWidth(std::int32_t width) override { box_.SetWidth(width); }
    void SetHeight(std::int32_t height) override { box_.SetHeight(height); }
    std::int32_t ScaleWidth() const override { return box_.ScaleWidth(); }
    std::int32_t ScaleHeight() const override { return box_.ScaleHeight(); }
    int ScaleMode() const override { return box_.ScaleMode(); }
    void SetScaleMode(int mode) override { box_.SetScaleMode(mode); }
    bool IsTopLevelForm() const override { return box_.IsTopLevelForm(); }
    int ParentScaleMode() const override { return platform::win32::ScaleModeOf(box_.Parent()); }
    void SetParentScaleMode(int mode) override { platform::win32::SetScaleModeOf(box_.Parent(), mode); }
    std::int32_t TwipsPerPixelX() const override { return platform::win32::ScreenTwipsPerPixelX(); }
    std::int32_t TwipsPerPixelY() const override { return platform::win32::ScreenTwipsPerPixelY(); }
    void Cls() override { box_.Cls(); }
    void PictureFromImage() override { box_.PictureFromImage(); }
    bool CaptureBackground(std::int32_t x, std::int32_t y, std::uint32_t width, std::uint32_t height,
                           std::size_t stride, std::uint8_t* bgr) override;
    void Draw(const DecodedImage& image, std::int32_t x, std::int32_t y, bool backgroundMode) override;

private:
    platform::win32::PictureBox box_;
};

}  // namespace tf::png
