#include "skin/menu_test_skin.h"

#include <cstring>

namespace tf::skin::testing {

MenuTestSkin::MenuTestSkin() {
    SkinParameters& p = params_;
    const SkinPiece frameSide{20, 70, kFrameSide, kFrameSide};
    const SkinPiece frameTop{20, 70, kFrameSide, kCaptionHeight};
    for (auto* frame : {&p.ActiveFrame, &p.InactiveFrame}) {
        (*frame)[kLeft].pieces = {frameSide, frameSide, frameSide};
        (*frame)[kRight].pieces = {frameSide, frameSide, frameSide};
        (*frame)[kTop].pieces = {frameTop, frameTop, frameTop};
        (*frame)[kBottom].pieces = {frameSide, frameSide, frameSide};
    }
    p.MenuBar.pieces = {SkinPiece{0, 0, 6, kBarHeight}, SkinPiece{6, 0, 4, kBarHeight}, SkinPiece{10, 0, 5, kBarHeight}};
    p.MenuItemHot.pieces = {SkinPiece{0, 30, 4, 16}, SkinPiece{4, 30, 2, 16}, SkinPiece{6, 30, 4, 16}};
    p.MenuItemPressed.pieces = {SkinPiece{0, 50, 4, 18}, SkinPiece{4, 50, 2, 18}, SkinPiece{6, 50, 4, 18}};
    p.MenuTextColor = kTextColour;
    p.MenuTextColorHot = kHotTextColour;
    p.MenuTextColorPressed = kPressedTextColour;
    p.MenuTextColorDisabled = kDisabledTextColour;
    p.MenuBackColor = kMenuBackColour;
    p.MenuFont.height = -11;
    p.MenuFont.weight = FW_NORMAL;
    p.MenuFont.quality = NONANTIALIASED_QUALITY;
    std::strcpy(p.MenuFont.faceName.data(), "Tahoma");

    dc_.reset(CreateCompatibleDC(nullptr));
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof(info.bmiHeader);
    info.bmiHeader.biWidth = 40;
    info.bmiHeader.biHeight = -80;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 24;
    void* bits = nullptr;
    bitmap_.reset(CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &bits, nullptr, 0));
    oldBitmap_ = SelectObject(dc_.get(), bitmap_.get());
    Fill(p.MenuBar.start(), kBarStartColour);
    Fill(p.MenuBar.middle(), kBarColour);
    Fill(p.MenuBar.end(), kBarEndColour);
    for (const SkinPiece& piece : p.MenuItemHot.pieces) Fill(piece, kHotColour);
    for (const SkinPiece& piece : p.MenuItemPressed.pieces) Fill(piece, kPressedColour);
    SetPixel(dc_.get(), p.MenuItemHot.start().X, p.MenuItemHot.start().Y, RGB(255, 0, 255));
}

void MenuTestSkin::Fill(const SkinPiece& piece, COLORREF colour) {
    platform::win32::UniqueBrush brush(CreateSolidBrush(colour));
    RECT r{piece.X, piece.Y, piece.X + piece.Width, piece.Y + piece.Height};
    FillRect(dc_.get(), &r, brush.get());
}

}  // namespace tf::skin::testing
