// Regions and frame painting on plain bitmaps and windows, without any
// interception.
#include "skin/frame/frame_painter_win.h"

#include <gtest/gtest.h>

#include "gdi_objects.h"
#include "skin/test_skin_surface.h"

namespace tf::skin {
namespace {

using platform::win32::UniqueRegion;
using testing::kBorder;
using testing::kCaption;
using testing::MakeTestSkin;
using testing::TestSkin;
using testing::TestSkinSurface;

PieceRegions RegionsOf(const TestSkin& skin, HDC surface) {
    const BitmapPixels pixels = ReadSurfacePixels(surface);
    PieceRegions regions;
    for (int i = 0; i < 12; ++i)
        regions[static_cast<std::size_t>(i)] = RegionFromRuns(PieceRuns(pixels.rows(), skin.params.ActiveFrame[i / 3].pieces[i % 3]));
    return regions;
}

TEST(FramePainter, SurfacePixelsAreThePicture) {
    const TestSkin skin = MakeTestSkin();
    TestSkinSurface surface(skin);
    const BitmapPixels pixels = ReadSurfacePixels(surface.dc());
    ASSERT_EQ(pixels.width, skin.width);
    ASSERT_EQ(pixels.height, skin.height);
    for (auto [x, y] : {std::pair{0, 0}, {7, 3}, {skin.width - 1, skin.height - 1}}) {
        const std::uint8_t* p = &pixels.bgr[static_cast<std::size_t>(y) * pixels.stride + x * 3];
        EXPECT_EQ(static_cast<std::uint32_t>(p[0] << 16 | p[1] << 8 | p[2]), skin.ColourAt(x, y));
    }
}

TEST(FramePainter, WindowRegionCutsRoundedCornersOnly) {
    const TestSkin skin = MakeTestSkin();
    TestSkinSurface surface(skin);
    const PieceRegions pieces = RegionsOf(skin, surface.dc());
    const int W = 240, H = 160;
    UniqueRegion region = BuildWindowRegion(skin.params, pieces, W, H);
    ASSERT_TRUE(region);
    for (auto [x, y] : {std::pair{0, 0}, {W - 1, 0}, {0, H - 1}, {W - 1, H - 1}})
        EXPECT_FALSE(PtInRegion(region.get(), x, y)) << x << "," << y;
    for (auto [x, y] : {std::pair{3, 0}, {W - 4, 0}, {0, 3}, {W / 2, 0}, {W / 2, H / 2}, {0, H / 2}, {W / 2, H - 1}})
        EXPECT_TRUE(PtInRegion(region.get(), x, y)) << x << "," << y;

    // Without magenta the region is the whole window.
    const TestSkin plain = MakeTestSkin(false);
    TestSkinSurface plainSurface(plain);
    region = BuildWindowRegion(plain.params, RegionsOf(plain, plainSurface.dc()), W, H);
    UniqueRegion whole(CreateRectRgn(0, 0, W, H));
    EXPECT_TRUE(EqualRgn(region.get(), whole.get()));
}

// Paints the frame of a W x H window onto a bitmap filled with `background`
// and reads pixels back.
class PaintedFrame {
public:
    PaintedFrame(const TestSkin& skin, const FrameInput& in, HICON icon = nullptr)
        : surface_(skin), dc_(CreateCompatibleDC(nullptr)) {
        platform::win32::ScopedWindowDc screen(nullptr);
        bitmap_.reset(CreateCompatibleBitmap(screen.get(), in.width, in.height));
        old_ = SelectObject(dc_.get(), bitmap_.get());
        platform::win32::UniqueBrush fill(CreateSolidBrush(kBackground));
        RECT all{0, 0, in.width, in.height};
        FillRect(dc_.get(), &all, fill.get());
        CaptionDrawing caption;
        caption.icon = icon;
        PaintFramePlan(dc_.get(), surface_.dc(), PlanFrame(in), caption);
    }
    ~PaintedFrame() { SelectObject(dc_.get(), old_); }
    COLORREF At(int x, int y) const { return GetPixel(dc_.get(), x, y); }
    static constexpr COLORREF kBackground = RGB(0x12, 0x34, 0x56);

private:
    TestSkinSurface surface_;
    platform::win32::UniqueMemoryDc dc_;
    platform::win32::UniqueBitmap bitmap_;
    HGDIOBJ old_ = nullptr;
};

FrameInput Input(const TestSkin& skin, int W, int H) {
    FrameInput in;
    in.params = &skin.params;
    in.strips = &skin.params.ActiveFrame;
    in.pictureWidth = skin.width;
    in.pictureHeight = skin.height;
    in.width = W;
    in.height = H;
    in.style.caption = in.style.sysMenu = in.style.minimiseBox = in.style.maximiseBox = true;
    in.states = {kNormal, kHot, kHot, kPressed};
    return in;
}

TEST(FramePainter, PiecesLandWhereTheyBelongAndMagentaStaysOut) {
    const TestSkin skin = MakeTestSkin();
    const SkinParameters& p = skin.params;
    const int W = 240, H = 160;
    const PaintedFrame frame(skin, Input(skin, W, H));
    EXPECT_EQ(frame.At(0, 0), PaintedFrame::kBackground);  // rounded corner
    EXPECT_EQ(frame.At(W - 1, H - 1), PaintedFrame::kBackground);
    EXPECT_EQ(frame.At(W / 2, H / 2), PaintedFrame::kBackground);  // client area untouched
    EXPECT_EQ(frame.At(2, H / 2), skin.PieceColour(p.ActiveFrame[kLeft].middle()));
    EXPECT_EQ(frame.At(W - 2, H / 2), skin.PieceColour(p.ActiveFrame[kRight].middle()));
    EXPECT_EQ(frame.At(W / 2, H - 2), skin.PieceColour(p.ActiveFrame[kBottom].middle()));
    EXPECT_EQ(frame.At(W / 2, 2), skin.PieceColour(p.ActiveFrame[kTop].middle()));
    EXPECT_EQ(frame.At(kBorder + 1, 2), skin.PieceColour(p.ActiveFrame[kTop].start()));

    // Close in state 2 and maximise in state 1 at their hit positions; the
    // buttons' magenta dot shows the caption through.
    const Point close = ButtonPosition(p, kClose, W);
    EXPECT_EQ(frame.At(close.x + 5, close.y + 5), skin.PieceColour(p.CaptionButtons[kClose].states[kPressed], 5, 5));
    EXPECT_EQ(frame.At(close.x, close.y), skin.PieceColour(p.ActiveFrame[kTop].middle()));
    const Point max = ButtonPosition(p, kMaximise, W);
    EXPECT_EQ(frame.At(max.x + 17, max.y + 15), skin.PieceColour(p.CaptionButtons[kMaximise].states[kHot], 5, 5));
    const Point min = ButtonPosition(p, kMinimise, W);
    EXPECT_EQ(frame.At(min.x + 1, min.y + 1), skin.PieceColour(p.CaptionButtons[kMinimise].states[kNormal], 5, 5));
}

TEST(FramePainter, IconIsDrawnInItsBox) {
    const TestSkin skin = MakeTestSkin();
    // A solid red 16 x 16 icon.
    std::vector<std::uint8_t> andMask(16 * 16 / 8, 0x00), xorMask(16 * 16 * 4);
    for (std::size_t i = 0; i < xorMask.size(); i += 4) xorMask[i + 2] = 0xFF, xorMask[i + 3] = 0xFF;
    platform::win32::UniqueIcon icon(CreateIcon(nullptr, 16, 16, 1, 32, andMask.data(), xorMask.data()));
    ASSERT_TRUE(icon);
    const PaintedFrame frame(skin, Input(skin, 240, 160), icon.get());
    EXPECT_EQ(frame.At(skin.params.IconPiece.X + 8, skin.params.IconPiece.Y + 8), RGB(0xFF, 0, 0));
}

TEST(FramePainter, TinyWindowsPaintWithoutFault) {
    const TestSkin skin = MakeTestSkin();
    for (int W : {1, 9, 20})
        for (int H : {1, 9, 30}) {
            const PaintedFrame frame(skin, Input(skin, W, H));
            EXPECT_NE(frame.At(W / 2, 0), CLR_INVALID);
        }
}

TEST(FramePainter, ClientTilesLineUpWithTheOrigin) {
    const TestSkin skin = MakeTestSkin();
    TestSkinSurface surface(skin);
    platform::win32::ScopedWindowDc screen(nullptr);
    platform::win32::UniqueMemoryDc dc(CreateCompatibleDC(nullptr));
    platform::win32::UniqueBitmap bitmap(CreateCompatibleBitmap(screen.get(), 64, 64));
    platform::win32::ScopedSelect select(dc.get(), bitmap.get());
    const SkinPiece& tile = skin.params.ClientPiece;
    // Give the tile a marked top-left pixel to see where tiles start.
    SetPixel(surface.dc(), tile.X, tile.Y, RGB(1, 2, 3));
    TileClientArea(dc.get(), RECT{13, 21, 60, 60}, surface.dc(), {tile.X, tile.Y, tile.X + tile.Width, tile.Y + tile.Height});
    EXPECT_EQ(GetPixel(dc.get(), 16, 24), RGB(1, 2, 3));  // 16 and 24: multiples of 8
    EXPECT_EQ(GetPixel(dc.get(), 17, 24), skin.PieceColour(tile, 1, 0));
}

TEST(FramePainter, ThousandPaintsAndRegionsHoldNoObjects) {
    const TestSkin skin = MakeTestSkin();
    TestSkinSurface surface(skin);
    const PieceRegions pieces = RegionsOf(skin, surface.dc());
    platform::win32::UniqueFont font(CreateFontA(-12, 0, 0, 0, FW_BOLD, 0, 0, 0, ANSI_CHARSET, 0, 0, 0, 0, "Tahoma"));
    platform::win32::ScopedWindowDc screen(nullptr);
    platform::win32::UniqueMemoryDc dc(CreateCompatibleDC(nullptr));
    platform::win32::UniqueBitmap bitmap(CreateCompatibleBitmap(screen.get(), 300, 200));
    platform::win32::ScopedSelect select(dc.get(), bitmap.get());
    CaptionDrawing caption{"Caption", font.get(), RGB(255, 255, 255), DT_CENTER, nullptr};
    PaintFramePlan(dc.get(), surface.dc(), PlanFrame(Input(skin, 300, 200)), caption);
    const DWORD before = tf::testing::GdiObjects();
    for (int i = 0; i < 1000; ++i) {
        PaintFramePlan(dc.get(), surface.dc(), PlanFrame(Input(skin, 200 + i % 100, 200)), caption);
        UniqueRegion region = BuildWindowRegion(skin.params, pieces, 200 + i % 100, 150);
    }
    EXPECT_EQ(tf::testing::GdiObjects(), before);
}

}  // namespace
}  // namespace tf::skin
