#pragma once
// A small skin built in code for the frame tests: every piece a solid colour
// of its own, so a pixel tells which piece it came from, and the four outer
// corners of the frame rounded off with magenta.
//
// Geometry: borders 6 pixels, caption 28, corner pieces 10 wide, middles 4
// long, caption buttons 18 x 16 with 2 pixels between them, icon 16 x 16 at
// (8, 6).
#include <cstdint>
#include <vector>

#include "skin/frame/frame_geometry.h"
#include "skin/format/skin_records.h"

namespace tf::skin::testing {

struct TestSkin {
    SkinParameters params;
    std::int32_t width = 0, height = 0;
    std::vector<std::uint8_t> bgr;  // rows of width * 3 bytes, top first

    PixelRows rows() const { return {bgr.data(), width, height, static_cast<std::size_t>(width) * 3}; }
    std::uint32_t ColourAt(std::int32_t x, std::int32_t y) const {
        const std::uint8_t* p = &bgr[(static_cast<std::size_t>(y) * width + x) * 3];
        return p[0] << 16 | p[1] << 8 | p[2];
    }
    // The colour of a piece's pixel (x, y) in the piece's own coordinates.
    std::uint32_t PieceColour(const SkinPiece& piece, std::int32_t x = 0, std::int32_t y = 0) const {
        return ColourAt(piece.X + x, piece.Y + y);
    }
};

// Geometry of the test skin, shared by the tests that compute points from it.
inline constexpr std::int32_t kBorder = 6, kCaption = 28, kCorner = 10, kMiddle = 4;
inline constexpr std::int32_t kButtonWidth = 18, kButtonHeight = 16, kButtonTop = 6;
// With menus: the bar 20 high, its hot strip 14 high with ends 4 wide.
inline constexpr std::int32_t kMenuBarHeight = 20;
inline constexpr std::uint32_t kSkinMenuColour = 0xF0E8E0, kSkinMenuTextColour = 0xFAFAFA,
                               kSkinMenuDisabledColour = 0x818080;

class TestSkinBuilder {
public:
    explicit TestSkinBuilder(bool rounded = true) : rounded_(rounded) {}
    // Gives the skin menu-bar pieces and a menu colour of its own.
    TestSkinBuilder& WithMenus() {
        menus_ = true;
        return *this;
    }

    TestSkin Build() {
        TestSkin skin;
        SkinParameters& p = skin.params;
        for (int set = 0; set < 2; ++set) {
            auto& frame = set == 0 ? p.ActiveFrame : p.InactiveFrame;
            frame[kLeft] = {{Add(kBorder, kCaption, kCornerTopLeft), Add(kBorder, kMiddle), Add(kBorder, kBorder,
                                                                                                 kCornerBottomLeft)}};
            frame[kTop] = {{Add(kCorner, kCaption), Add(kMiddle, kCaption), Add(kCorner, kCaption)}};
            frame[kRight] = {{Add(kBorder, kCaption, kCornerTopRight), Add(kBorder, kMiddle),
                              Add(kBorder, kBorder, kCornerBottomRight)}};
            frame[kBottom] = {{Add(kCorner, kBorder), Add(kMiddle, kBorder), Add(kCorner, kBorder)}};
        }
        // Buttons from the right: close, maximise and restore in one place,
        // minimise; each state a colour of its own, a magenta dot in the
        // top-left corner of each.
        const std::int32_t offsets[4] = {kBorder + 2 + 3 * kButtonWidth + 4, kBorder + 2 + 2 * kButtonWidth + 2,
                                         kBorder + 2 + 2 * kButtonWidth + 2, kBorder + 2 + kButtonWidth};
        for (int b = 0; b < 4; ++b) {
            for (auto& state : p.CaptionButtons[b].states) state = Add(kButtonWidth, kButtonHeight, kDot);
            p.CaptionButtons[b].RightOffset = offsets[b];
            p.CaptionButtons[b].Top = kButtonTop;
        }
        p.IconPiece = {8, 6, 16, 16};
        p.CaptionTextLeft = 30;
        p.CaptionTextTop = 6;
        p.CaptionTextRight = offsets[0] + 4;
        p.CaptionTextHeight = 16;
        p.CaptionTextColorActive = 0xFFFFFF;
        p.CaptionTextColorInactive = 0xC0C0C0;
        p.CaptionFont.height = -12;
        p.CaptionFont.weight = 700;
        const char face[] = "Tahoma";
        for (std::size_t i = 0; i < sizeof face; ++i) p.CaptionFont.faceName[i] = face[i];
        p.MenuFont = p.CaptionFont;
        p.MenuFont.weight = 400;
        p.ClientPiece = Add(8, 8);
        p.ClientColor = 0x00404040;
        p.MinTrackWidth = 200;
        p.MinTrackHeight = 120;
        if (menus_) {
            p.MenuBar = {{Add(6, kMenuBarHeight), Add(4, kMenuBarHeight), Add(5, kMenuBarHeight)}};
            p.MenuItemHot = {{Add(4, 14, kDot), Add(2, 14), Add(4, 14)}};
            p.MenuItemPressed = {{Add(4, 16), Add(2, 16), Add(4, 16)}};
            p.MenuBackColor = kSkinMenuColour;
            p.MenuTextColor = kSkinMenuTextColour;
            p.MenuTextColorHot = 0x030201;
            p.MenuTextColorPressed = 0x00FFFF;
            p.MenuTextColorDisabled = kSkinMenuDisabledColour;
            p.MenuFont.quality = 3;  // not smoothed: text pixels carry the text colour
        }

        skin.width = kPictureWidth;
        skin.height = y_ + rowHeight_;
        skin.bgr.assign(static_cast<std::size_t>(skin.width) * skin.height * 3, 0);
        for (const Fill& f : fills_) Paint(skin, f);
        return skin;
    }

private:
    enum Mask { kSolid, kCornerTopLeft, kCornerTopRight, kCornerBottomLeft, kCornerBottomRight, kDot };
    struct Fill {
        SkinPiece piece;
        std::uint32_t colour;
        Mask mask;
    };
    static constexpr std::int32_t kPictureWidth = 160;

    // Places a piece in the next free spot of the picture.
    SkinPiece Add(std::int32_t w, std::int32_t h, Mask mask = kSolid) {
        if (x_ + w > kPictureWidth) {
            x_ = 0;
            y_ += rowHeight_;
            rowHeight_ = 0;
        }
        SkinPiece piece{x_, y_, w, h};
        x_ += w;
        rowHeight_ = std::max(rowHeight_, h);
        // Distinct, never magenta: the index spread over the three channels.
        const std::uint32_t n = static_cast<std::uint32_t>(fills_.size()) + 1;
        const std::uint32_t colour = (n * 37 % 200 + 20) | (n * 73 % 200 + 20) << 8 | (n * 151 % 200 + 20) << 16;
        fills_.push_back({piece, colour, rounded_ ? mask : kSolid});
        return piece;
    }

    static bool Transparent(Mask mask, std::int32_t x, std::int32_t y, std::int32_t w, std::int32_t h) {
        // A corner cut of three pixels on the outside corner.
        switch (mask) {
            case kCornerTopLeft:
                return x + y < 3;
            case kCornerTopRight:
                return (w - 1 - x) + y < 3;
            case kCornerBottomLeft:
                return x + (h - 1 - y) < 3;
            case kCornerBottomRight:
                return (w - 1 - x) + (h - 1 - y) < 3;
            case kDot:
                return x == 0 && y == 0;
            case kSolid:
                return false;
        }
        return false;
    }

    static void Paint(TestSkin& skin, const Fill& f) {
        for (std::int32_t y = 0; y < f.piece.Height; ++y)
            for (std::int32_t x = 0; x < f.piece.Width; ++x) {
                const std::uint32_t c =
                    Transparent(f.mask, x, y, f.piece.Width, f.piece.Height) ? kTransparentColour : f.colour;
                std::uint8_t* px = &skin.bgr[(static_cast<std::size_t>(f.piece.Y + y) * skin.width + f.piece.X + x) * 3];
                px[0] = static_cast<std::uint8_t>(c >> 16);
                px[1] = static_cast<std::uint8_t>(c >> 8);
                px[2] = static_cast<std::uint8_t>(c);
            }
    }

    bool rounded_;
    bool menus_ = false;
    std::int32_t x_ = 0, y_ = 0, rowHeight_ = 0;
    std::vector<Fill> fills_;
};

inline TestSkin MakeTestSkin(bool rounded = true) { return TestSkinBuilder(rounded).Build(); }

}  // namespace tf::skin::testing
