#pragma once
// The test skin's picture as the engine holds a skin picture: a bitmap
// selected into a memory DC.
#include <windows.h>

#include "platform/win32/unique_handle.h"
#include "skin/test_skin.h"

namespace tf::skin::testing {

class TestSkinSurface {
public:
    explicit TestSkinSurface(const TestSkin& skin) {
        BITMAPINFO bmi{};
        bmi.bmiHeader.biSize = sizeof bmi.bmiHeader;
        bmi.bmiHeader.biWidth = skin.width;
        bmi.bmiHeader.biHeight = -skin.height;
        bmi.bmiHeader.biPlanes = 1;
        bmi.bmiHeader.biBitCount = 24;
        bmi.bmiHeader.biCompression = BI_RGB;
        // DIB rows are padded to four bytes; the test skin's are not.
        const std::size_t stride = (static_cast<std::size_t>(skin.width) * 3 + 3) & ~std::size_t{3};
        std::vector<std::uint8_t> rows(stride * static_cast<std::size_t>(skin.height));
        for (std::int32_t y = 0; y < skin.height; ++y)
            std::copy_n(&skin.bgr[static_cast<std::size_t>(y) * skin.width * 3], skin.width * 3, &rows[y * stride]);
        platform::win32::ScopedWindowDc screen(nullptr);
        bitmap_.reset(CreateDIBitmap(screen.get(), &bmi.bmiHeader, CBM_INIT, rows.data(), &bmi, DIB_RGB_COLORS));
        dc_.reset(CreateCompatibleDC(nullptr));
        old_ = SelectObject(dc_.get(), bitmap_.get());
    }
    ~TestSkinSurface() { SelectObject(dc_.get(), old_); }
    TestSkinSurface(const TestSkinSurface&) = delete;
    TestSkinSurface& operator=(const TestSkinSurface&) = delete;
    HDC dc() const { return dc_.get(); }

private:
    platform::win32::UniqueBitmap bitmap_;
    platform::win32::UniqueMemoryDc dc_;
    HGDIOBJ old_ = nullptr;
};

}  // namespace tf::skin::testing
