// Painting the skinned menu bar: the bar's pieces, the hot or pressed
// strip behind one item, the item texts, and for a maximised MDI child its
// icon and caption buttons.
#include <algorithm>
#include <cstring>

#include "skin/menu/menu_bar_win.h"

namespace tf::skin {

using platform::win32::ScopedSelect;
using platform::win32::DcArea;
using platform::win32::ScopedWindowDc;
using platform::win32::UniqueFont;
using platform::win32::UniqueIcon;

namespace {

constexpr int kChildIconSize = 16;

void CopyPiece(HDC to, std::int32_t x, std::int32_t y, HDC skin, const SkinPiece& piece) {
    if (piece.Width > 0 && piece.Height > 0) BitBlt(to, x, y, piece.Width, piece.Height, skin, piece.X, piece.Y, SRCCOPY);
}

// Repeats the piece from `from` to `to`, cutting the last copy.
void TileAcross(HDC to, std::int32_t from, std::int32_t limit, std::int32_t height, HDC skin, const SkinPiece& piece) {
    if (piece.Width <= 0 || height <= 0) return;  // would never advance
    for (std::int32_t x = from; x < limit; x += piece.Width)
        BitBlt(to, x, 0, std::min(piece.Width, limit - x), height, skin, piece.X, piece.Y, SRCCOPY);
}

void BlendPiece(HDC to, std::int32_t x, std::int32_t y, std::int32_t width, HDC skin, const SkinPiece& piece) {
    if (width <= 0 || piece.Width <= 0 || piece.Height <= 0) return;
    GdiTransparentBlt(to, x, y, width, piece.Height, skin, piece.X, piece.Y, piece.Width, piece.Height, kTransparentColour);
}

// The font of an MDI child's button glyph. Where the symbol font is missing,
// or lacks the glyph, the window-control font has the same three glyphs at
// the same codes; the font mapper's text font would show a plain "0", "2" or
// "r". The glyphs are smoothed as the skin's menu texts are.
UniqueFont ButtonGlyphFont(HDC dc, BYTE quality, char glyph) {
    for (const char* face : {"Webdings", "Marlett"}) {
        UniqueFont font(CreateFontA(-13, 0, 0, 0, FW_NORMAL, FALSE, FALSE, FALSE, SYMBOL_CHARSET, OUT_DEFAULT_PRECIS,
                                    CLIP_DEFAULT_PRECIS, quality, DEFAULT_PITCH, face));
        if (!font) continue;
        char chosen[LF_FACESIZE] = {};
        WORD index = 0xFFFF;
        {
            ScopedSelect select(dc, font.get());
            GetTextFaceA(dc, LF_FACESIZE, chosen);
            GetGlyphIndicesA(dc, &glyph, 1, &index, GGI_MARK_NONEXISTING_GLYPHS);
        }
        if (lstrcmpiA(chosen, face) == 0 && index != 0xFFFF) return font;
    }
    return UniqueFont();
}

}  // namespace

HICON MenuBar::ActiveChildIcon() const {
    if (!mdiClient_) return nullptr;
    HWND child = reinterpret_cast<HWND>(SendMessageA(mdiClient_, WM_MDIGETACTIVE, 0, 0));
    if (!child) return nullptr;
    auto icon = reinterpret_cast<HICON>(SendMessageA(child, WM_GETICON, ICON_SMALL, 0));
    if (!icon) icon = reinterpret_cast<HICON>(SendMessageA(child, WM_GETICON, ICON_BIG, 0));
    // A child that was never sent an icon shows its class's.
    if (!icon) icon = reinterpret_cast<HICON>(GetClassLongPtrA(child, GCLP_HICONSM));
    if (!icon) icon = reinterpret_cast<HICON>(GetClassLongPtrA(child, GCLP_HICON));
    if (!icon) return nullptr;
    return static_cast<HICON>(CopyImage(icon, IMAGE_ICON, kChildIconSize, kChildIconSize, LR_COPYFROMRESOURCE));
}

void MenuBar::PaintOnWindow(std::int32_t hot, bool pressed) {
    if (!drawn_ || !window_) return;
    ScopedWindowDc dc(window_, DcArea::kWholeWindow);
    Paint(dc.get(), WindowWidth(), hot, pressed);
}

void MenuBar::Paint(HDC target, std::int32_t windowWidth, std::int32_t hot, bool pressed) {
    if (!drawn_ || !skin_ || !skinDc_ || !target) return;
    if (LayoutStale(windowWidth)) LayOutItems();
    const SkinParameters& s = *skin_;
    const std::int32_t width = MenuBarSurfaceWidth(s, windowWidth);
    const std::int32_t height = s.MenuBar.start().Height;
    if (width <= 0 || height <= 0) return;

    const platform::win32::BitmapDc bar = platform::win32::BitmapDc::Create(target, width, height);
    if (!bar) return;
    HDC dc = bar.dc();
    ScopedSelect selectFont(dc, Font());
    SetBkMode(dc, TRANSPARENT);

    TileAcross(dc, s.MenuBar.start().Width, width - s.MenuBar.end().Width, s.MenuBar.middle().Height, skinDc_,
               s.MenuBar.middle());

    const auto count = static_cast<std::int32_t>(items_.size());
    const bool active = !host_.windowActive || host_.windowActive();
    UniqueIcon childIcon;
    if (mdiChildMaximised_) childIcon.reset(ActiveChildIcon());
    for (std::int32_t i = 0; i < count; ++i) {
        RECT box{items_[i].left, 0, items_[i].right, height};
        if (i == hot) {
            const EdgeStrip& strip = pressed ? s.MenuItemPressed : s.MenuItemHot;
            const HighlightPlacement at = PlaceHighlight(s, strip, items_[i]);
            BlendPiece(dc, at.startX, at.y, strip.start().Width, skinDc_, strip.start());
            BlendPiece(dc, at.middleX, at.y, at.middleWidth, skinDc_, strip.middle());
            BlendPiece(dc, at.endX, at.y, strip.end().Width, skinDc_, strip.end());
        }
        SetTextColor(dc, MenuItemTextColour(s, ItemLook{i == hot, pressed, ItemDisabled(i), active}));

        if (mdiChildMaximised_ && i == 0) {
            const IconPlacement at = PlaceMdiIcon(s, items_[i]);
            if (childIcon)
                DrawIconEx(dc, at.x, at.y, childIcon.get(), kChildIconSize, kChildIconSize, 0, nullptr, DI_NORMAL);
            continue;
        }
        if (const char glyph = mdiChildMaximised_ ? MdiButtonGlyph(i, count) : 0) {
            UniqueFont glyphFont = ButtonGlyphFont(dc, s.MenuFont.quality, glyph);
            ScopedSelect selectGlyphs(dc, glyphFont.get());
            char text[2] = {glyph, 0};
            DrawTextA(dc, text, 1, &box, DT_SINGLELINE | DT_VCENTER | DT_CENTER);
            continue;
        }
        DrawTextA(dc, texts_[i].c_str(), static_cast<int>(texts_[i].size()), &box,
                  DT_SINGLELINE | DT_VCENTER | DT_CENTER);
    }

    CopyPiece(dc, 0, 0, skinDc_, s.MenuBar.start());
    CopyPiece(dc, width - s.MenuBar.end().Width, 0, skinDc_, s.MenuBar.end());
    const Point origin = MenuBarOrigin(s);
    BitBlt(target, origin.x, origin.y, width, height, dc, 0, 0, SRCCOPY);
}

}  // namespace tf::skin
