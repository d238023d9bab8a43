#pragma once
// A skin for the menu bar tests, drawn in code: each menu piece a solid
// colour of its own (the hot strip's top-left pixel magenta), each text
// colour distinct, and a font drawn without smoothing so that text pixels
// carry the text colour exactly. The picture lives in a memory DC as the
// engine's skin surface does.
#include <windows.h>

#include <cstdint>

#include "platform/win32/unique_handle.h"
#include "skin/format/skin_records.h"

namespace tf::skin::testing {

inline constexpr COLORREF kBarStartColour = RGB(0x30, 0x30, 0x30);
inline constexpr COLORREF kBarColour = RGB(0x20, 0x40, 0x60);
inline constexpr COLORREF kBarEndColour = RGB(0x50, 0x50, 0x50);
inline constexpr COLORREF kHotColour = RGB(0x90, 0xC0, 0xF0);
inline constexpr COLORREF kPressedColour = RGB(0x40, 0x80, 0xC0);
inline constexpr COLORREF kTextColour = RGB(250, 250, 250);
inline constexpr COLORREF kHotTextColour = RGB(1, 2, 3);
inline constexpr COLORREF kPressedTextColour = RGB(255, 255, 0);
inline constexpr COLORREF kDisabledTextColour = RGB(128, 128, 129);
inline constexpr COLORREF kMenuBackColour = RGB(0xE0, 0xE8, 0xF0);

// Frame: borders 4 wide, caption 24 high. Bar pieces 22 high (start 6
// wide, middle 4, end 5); hot strip 16 high (ends 4 wide), pressed 18.
inline constexpr std::int32_t kFrameSide = 4, kCaptionHeight = 24, kBarHeight = 22;

class MenuTestSkin {
public:
    MenuTestSkin();
    ~MenuTestSkin() { SelectObject(dc_.get(), oldBitmap_); }
    MenuTestSkin(const MenuTestSkin&) = delete;
    MenuTestSkin& operator=(const MenuTestSkin&) = delete;

    const SkinParameters& params() const { return params_; }
    SkinParameters& params() { return params_; }
    HDC dc() const { return dc_.get(); }

private:
    void Fill(const SkinPiece& piece, COLORREF colour);

    SkinParameters params_;
    platform::win32::UniqueMemoryDc dc_;
    platform::win32::UniqueBitmap bitmap_;
    HGDIOBJ oldBitmap_ = nullptr;
};

}  // namespace tf::skin::testing
