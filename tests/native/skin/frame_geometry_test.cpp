#include "skin/frame/frame_geometry.h"

#include <gtest/gtest.h>

#include "skin/test_skin.h"

namespace tf::skin {
namespace {

using testing::kBorder;
using testing::kButtonHeight;
using testing::kButtonTop;
using testing::kButtonWidth;
using testing::kCaption;
using testing::MakeTestSkin;
using testing::TestSkin;

// Whether the window region of a W x H window holds (x, y), from the layout
// and the pieces' runs.
struct RegionOracle {
    const TestSkin& skin;
    WindowRegionLayout layout;
    std::vector<std::vector<Rect>> runs;

    RegionOracle(const TestSkin& s, std::int32_t w, std::int32_t h)
        : skin(s), layout(LayOutWindowRegion(s.params, w, h)) {
        for (int i = 0; i < 12; ++i)
            runs.push_back(PieceRuns(s.rows(), s.params.ActiveFrame[i / 3].pieces[i % 3]));
    }
    bool Contains(std::int32_t x, std::int32_t y) const {
        if (layout.inner.contains(x, y)) return true;
        for (const RegionPlacement& pl : layout.placements) {
            const std::int32_t px = x - pl.x, py = y - pl.y;
            if (!pl.clip.contains(px, py)) continue;
            for (const Rect& r : runs[static_cast<std::size_t>(pl.piece)])
                if (r.contains(px, py)) return true;
        }
        return false;
    }
};

TEST(PieceRuns, OpaquePixelsRowByRowInPieceCoordinates) {
    const TestSkin skin = MakeTestSkin();
    const SkinPiece corner = skin.params.ActiveFrame[kLeft].start();  // top-left rounded by 3 pixels
    const std::vector<Rect> runs = PieceRuns(skin.rows(), corner);
    ASSERT_EQ(runs.size(), static_cast<std::size_t>(corner.Height));
    EXPECT_EQ(runs[0], (Rect{3, 0, corner.Width, 1}));
    EXPECT_EQ(runs[1], (Rect{2, 1, corner.Width, 2}));
    EXPECT_EQ(runs[3], (Rect{0, 3, corner.Width, 4}));

    // A dot in the middle of a row splits it in two runs.
    TestSkin dotted = skin;
    const SkinPiece middle = skin.params.ActiveFrame[kTop].middle();
    std::uint8_t* px = &dotted.bgr[(static_cast<std::size_t>(middle.Y + 5) * dotted.width + middle.X + 1) * 3];
    px[0] = 0xFF, px[1] = 0x00, px[2] = 0xFF;
    const std::vector<Rect> split = PieceRuns(dotted.rows(), middle);
    EXPECT_EQ(split.size(), static_cast<std::size_t>(middle.Height + 1));
    EXPECT_EQ(split[5], (Rect{0, 5, 1, 6}));
    EXPECT_EQ(split[6], (Rect{2, 5, middle.Width, 6}));

    // Near-magenta is opaque; only the exact colour is transparent.
    px[0] = 0xFE;
    EXPECT_EQ(PieceRuns(dotted.rows(), middle).size(), static_cast<std::size_t>(middle.Height));
}

TEST(PieceRuns, PartsOutsideThePictureAreTransparent) {
    const TestSkin skin = MakeTestSkin(false);
    const std::vector<Rect> runs = PieceRuns(skin.rows(), {skin.width - 2, skin.height - 3, 10, 10});
    ASSERT_EQ(runs.size(), 3u);
    EXPECT_EQ(runs[2], (Rect{0, 2, 2, 3}));
    EXPECT_TRUE(PieceRuns(skin.rows(), {-50, -50, 10, 10}).empty());
    EXPECT_TRUE(PieceRuns(skin.rows(), {0, 0, -4, 3}).empty());
}

TEST(WindowRegion, RoundedCornersAreCutAndTheRestCovered) {
    const TestSkin skin = MakeTestSkin();
    const std::int32_t W = 203, H = 151;
    const RegionOracle region(skin, W, H);
    for (auto [x, y] : {std::pair{0, 0}, {W - 1, 0}, {0, H - 1}, {W - 1, H - 1}, {1, 1}, {W - 2, H - 2}})
        EXPECT_FALSE(region.Contains(x, y)) << x << "," << y;
    for (auto [x, y] : {std::pair{3, 0}, {W - 4, 0}, {0, 3}, {W / 2, 0}, {W / 2, H - 1}, {0, H / 2}, {W - 1, H / 2},
                        {W / 2, H / 2}, {2, 2}})
        EXPECT_TRUE(region.Contains(x, y)) << x << "," << y;
}

TEST(WindowRegion, MagentaFreeSkinCoversTheWholeWindowAndNothingOutside) {
    const TestSkin skin = MakeTestSkin(false);
    for (auto [W, H] : {std::pair{203, 151}, {40, 40}, {15, 9}}) {
        const RegionOracle region(skin, W, H);
        int missing = 0;
        for (std::int32_t y = 0; y < H; ++y)
            for (std::int32_t x = 0; x < W; ++x) missing += !region.Contains(x, y);
        EXPECT_EQ(missing, 0) << W << "x" << H;
        for (const RegionPlacement& pl : region.layout.placements) {
            EXPECT_GE(pl.x + pl.clip.left, 0);
            EXPECT_GE(pl.y + pl.clip.top, 0);
            EXPECT_LE(pl.x + pl.clip.right, W);
            EXPECT_LE(pl.y + pl.clip.bottom, H);
        }
    }
}

TEST(WindowRegion, TiledRunEndsWithACutTileAndZeroLengthMiddlesAreSkipped) {
    TestSkin skin = MakeTestSkin(false);
    SkinParameters& p = skin.params;
    p.ActiveFrame[kLeft].pieces[kMiddle].Height = 7;
    const std::int32_t H = 100;  // run from 28 to 94: 66 = 9 * 7 + 3
    WindowRegionLayout layout = LayOutWindowRegion(p, 120, H);
    std::vector<RegionPlacement> tiles;
    for (const RegionPlacement& pl : layout.placements)
        if (pl.piece == PieceIndex(kLeft, kMiddle)) tiles.push_back(pl);
    ASSERT_EQ(tiles.size(), 10u);
    EXPECT_EQ(tiles.front().y, kCaption);
    EXPECT_EQ(tiles.back().y, kCaption + 9 * 7);
    EXPECT_EQ(tiles.back().clip, (Rect{0, 0, kBorder, 3}));

    // A middle without length would repeat forever; its run is left out and
    // the other pieces are still placed.
    p.ActiveFrame[kLeft].pieces[kMiddle].Height = 0;
    p.ActiveFrame[kTop].pieces[kMiddle].Width = 0;
    layout = LayOutWindowRegion(p, 120, H);
    for (const RegionPlacement& pl : layout.placements) {
        EXPECT_NE(pl.piece, PieceIndex(kLeft, kMiddle));
        EXPECT_NE(pl.piece, PieceIndex(kTop, kMiddle));
    }
    EXPECT_GE(layout.placements.size(), 10u);
}

TEST(ClientArea, WindowLessTheMiddlePieceInsetsPlusMenuBar) {
    const TestSkin skin = MakeTestSkin();
    const Rect window{100, 50, 400, 300};
    EXPECT_EQ(ClientRectFor(window, ClientInsets(skin.params, 0)),
              (Rect{100 + kBorder, 50 + kCaption, 400 - kBorder, 300 - kBorder}));
    EXPECT_EQ(ClientRectFor(window, ClientInsets(skin.params, 20)).top, 50 + kCaption + 20);
    // Thinner than its frame: an empty client area, never a negative one.
    const Rect tiny = ClientRectFor({10, 10, 15, 20}, ClientInsets(skin.params, 0));
    EXPECT_TRUE(tiny.empty());
    EXPECT_GE(tiny.width(), 0);
    EXPECT_GE(tiny.height(), 0);
}

TEST(HitTest, BorderZonesIconBoxAndTheRestLeftToTheWindow) {
    const TestSkin skin = MakeTestSkin();
    const std::int32_t W = 300, H = 200;
    FrameStyle style;
    style.caption = style.sysMenu = style.sizable = true;
    auto at = [&](std::int32_t x, std::int32_t y) { return FrameHitCode(skin.params, style, W, H, {x, y}); };
    EXPECT_EQ(at(0, 0), kHitTopLeft);
    EXPECT_EQ(at(kBorder - 1, kCaption - 1), kHitTopLeft);
    EXPECT_EQ(at(2, kCaption), kHitLeft);
    EXPECT_EQ(at(2, H - 1), kHitBottomLeft);
    EXPECT_EQ(at(W - 1, 5), kHitTopRight);
    EXPECT_EQ(at(W - kBorder, 100), kHitRight);
    EXPECT_EQ(at(W - 1, H - kBorder), kHitBottomRight);
    EXPECT_EQ(at(W / 2, H - 1), kHitBottom);
    EXPECT_EQ(at(8, 6), kHitSysMenu);
    EXPECT_EQ(at(8 + 15, 6 + 15), kHitSysMenu);
    EXPECT_EQ(at(8 + 16, 6), kHitLeftToWindow);  // caption: the window's own answer
    EXPECT_EQ(at(W / 2, 2), kHitLeftToWindow);    // top edge between the corners
    EXPECT_EQ(at(W / 2, H / 2), kHitLeftToWindow);
    EXPECT_EQ(at(W, 5), kHitLeftToWindow);  // outside

    style.sizable = false;
    EXPECT_EQ(at(0, 100), kHitLeftToWindow);
    EXPECT_EQ(at(10, 10), kHitSysMenu);
    style.caption = false;
    EXPECT_EQ(at(10, 10), kHitLeftToWindow);
}

TEST(HitTest, ButtonsStartAtMinimiseOrAtCloseOrNotAtAll) {
    FrameStyle style;
    EXPECT_EQ(FirstButton(style), kNoButton);
    style.sysMenu = true;
    EXPECT_EQ(FirstButton(style), kClose);
    style.maximiseBox = true;
    EXPECT_EQ(FirstButton(style), kMinimise);
    EXPECT_EQ(ButtonHitCode(kRestore), kHitMaxButton);
    const TestSkin skin = MakeTestSkin();
    const Point close = ButtonPosition(skin.params, kClose, 300);
    EXPECT_EQ(close.x, 300 - kBorder - 2 - kButtonWidth);
    EXPECT_EQ(close.y, kButtonTop);
}

FrameInput Input(const TestSkin& skin, std::int32_t W, std::int32_t H, bool active = true) {
    FrameInput in;
    in.params = &skin.params;
    in.strips = active ? &skin.params.ActiveFrame : &skin.params.InactiveFrame;
    in.pictureWidth = skin.width;
    in.pictureHeight = skin.height;
    in.width = W;
    in.height = H;
    in.style.caption = in.style.sysMenu = in.style.minimiseBox = in.style.maximiseBox = true;
    return in;
}

void ExpectInside(const FrameBitmap& b, const TestSkin& skin, const char* which, std::int32_t W, std::int32_t H) {
    for (const PaintOp& op : b.ops) {
        EXPECT_TRUE(!op.source.empty() && op.source.left >= 0 && op.source.top >= 0 &&
                    op.source.right <= skin.width && op.source.bottom <= skin.height)
            << which << " reads outside the picture at " << W << "x" << H;
        EXPECT_TRUE(op.dest.left >= 0 && op.dest.top >= 0 && op.dest.right <= b.width && op.dest.bottom <= b.height)
            << which << " writes outside its bitmap at " << W << "x" << H;
        if (op.kind != PaintOp::kTile) {
            EXPECT_EQ(op.source.width(), op.dest.width());
            EXPECT_EQ(op.source.height(), op.dest.height());
        }
    }
}

TEST(FramePlan, SmallWindowsPaintOnlyInsideBitmapsAndPicture) {
    const TestSkin skin = MakeTestSkin();
    for (std::int32_t W : {0, 1, 5, 12, 19, 33, 64, 90})
        for (std::int32_t H : {0, 1, 7, 20, 30, 41}) {
            const FramePlan plan = PlanFrame(Input(skin, W, H));
            ExpectInside(plan.left, skin, "left", W, H);
            ExpectInside(plan.right, skin, "right", W, H);
            ExpectInside(plan.bottom, skin, "bottom", W, H);
            ExpectInside(plan.top, skin, "top", W, H);
            for (const PaintOp& op : plan.caption.buttons)
                EXPECT_TRUE(op.dest.left >= 0 && op.dest.right <= plan.top.width && op.dest.bottom <= plan.top.height);
        }
}

TEST(FramePlan, EdgesTileTheMiddleBetweenStartAndEnd) {
    const TestSkin skin = MakeTestSkin();
    const std::int32_t W = 300, H = 200;
    const FramePlan plan = PlanFrame(Input(skin, W, H));
    const EdgeStrip& left = skin.params.ActiveFrame[kLeft];
    EXPECT_EQ(plan.left.at.x, 0);
    EXPECT_EQ(plan.right.at.x, W - kBorder);
    ASSERT_EQ(plan.left.ops.size(), 3u);
    EXPECT_EQ(plan.left.ops[0].kind, PaintOp::kTile);
    EXPECT_EQ(plan.left.ops[0].dest, (Rect{0, kCaption, kBorder, H - kBorder}));
    EXPECT_EQ(plan.left.ops[1].dest, (Rect{0, H - kBorder, kBorder, H}));  // end
    EXPECT_EQ(plan.left.ops[2].source.left, left.start().X);
    EXPECT_EQ(plan.bottom.at.y, H - kBorder);
    EXPECT_EQ(plan.top.width, W - 2 * kBorder);
    EXPECT_EQ(plan.top.at.x, kBorder);
    // The caption text box, in the caption bitmap's coordinates.
    EXPECT_EQ(plan.caption.text.left, skin.params.CaptionTextLeft - kBorder);
    EXPECT_EQ(plan.caption.text.right, W - skin.params.CaptionTextRight - kBorder);
    EXPECT_EQ(plan.caption.icon.left, 8 - kBorder);
}

TEST(FramePlan, ButtonsFollowStyleStateAndWindowState) {
    const TestSkin skin = MakeTestSkin();
    const auto& buttons = skin.params.CaptionButtons;
    const std::int32_t W = 300;
    FrameInput in = Input(skin, W, 200);
    in.states = {kHot, kPressed, kPressed, kNormal};
    FramePlan plan = PlanFrame(in);
    ASSERT_EQ(plan.caption.buttons.size(), 3u);
    EXPECT_EQ(plan.caption.buttons[0].source.left, buttons[kMinimise].states[kHot].X);
    EXPECT_EQ(plan.caption.buttons[1].source.left, buttons[kMaximise].states[kPressed].X);
    EXPECT_EQ(plan.caption.buttons[2].source.left, buttons[kClose].states[kNormal].X);
    // Drawn where the hit regions are: window x less the caption's left.
    EXPECT_EQ(plan.caption.buttons[2].dest.left + kBorder, ButtonPosition(skin.params, kClose, W).x);
    EXPECT_EQ(plan.caption.buttons[2].dest.top, kButtonTop);
    EXPECT_EQ(plan.caption.buttons[2].dest.height(), kButtonHeight);

    // Minimised: no bottom edge, the minimise button from the restore record.
    in.style.minimised = true;
    plan = PlanFrame(in);
    EXPECT_TRUE(plan.bottom.empty());
    EXPECT_TRUE(plan.bottom.ops.empty());
    EXPECT_EQ(plan.caption.buttons[0].source.left, buttons[kRestore].states[kHot].X);

    // Maximised: the restore record at its own place; no maximise box: state 3.
    in.style.minimised = false;
    in.style.maximised = true;
    in.style.maximiseBox = false;
    plan = PlanFrame(in);
    EXPECT_EQ(plan.caption.buttons[1].source.left, buttons[kRestore].states[kInactive].X);

    in.style.minimiseBox = in.style.maximiseBox = false;
    plan = PlanFrame(in);
    ASSERT_EQ(plan.caption.buttons.size(), 1u);
    EXPECT_EQ(plan.caption.buttons[0].source.left, buttons[kClose].states[kNormal].X);
    in.style.sysMenu = false;
    EXPECT_TRUE(PlanFrame(in).caption.buttons.empty());
}

TEST(FramePlan, InactiveStripsPaintTheInactivePieces) {
    const TestSkin skin = MakeTestSkin();
    const FramePlan plan = PlanFrame(Input(skin, 300, 200, false));
    EXPECT_EQ(plan.top.ops[0].source.left, skin.params.InactiveFrame[kTop].middle().X);
}

TEST(ClientTiles, UpdateAreaGrowsLeftAndUpToTheTileGrid) {
    EXPECT_EQ(ExtendToTileGrid({13, 21, 40, 50}, 8, 10), (Rect{8, 20, 40, 50}));
    EXPECT_EQ(ExtendToTileGrid({16, 20, 40, 50}, 8, 10), (Rect{16, 20, 40, 50}));
    EXPECT_EQ(ExtendToTileGrid({-3, -1, 4, 4}, 8, 10), (Rect{-8, -10, 4, 4}));
    EXPECT_EQ(ExtendToTileGrid({13, 21, 40, 50}, 0, 10), (Rect{13, 21, 40, 50}));
}

}  // namespace
}  // namespace tf::skin
