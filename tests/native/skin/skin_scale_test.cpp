// A skin at a higher DPI: the enlarged picture and the scaled parameters
// agree piece by piece, and the frame built from them is the 96-DPI frame
// at the larger scale.
#include "skin/format/skin_scale.h"

#include <gtest/gtest.h>

#include <cstring>

#include "skin/format/skin_limits.h"
#include "test_skin.h"

namespace tf::skin::testing {
namespace {

SkinPicture PictureOf(const TestSkin& skin) { return SkinPicture{skin.width, skin.height, skin.bgr}; }

std::vector<SkinPiece> AllPieces(const SkinParameters& p) {
    std::vector<SkinPiece> pieces;
    for (const auto* frame : {&p.ActiveFrame, &p.InactiveFrame})
        for (const EdgeStrip& strip : *frame) pieces.insert(pieces.end(), strip.pieces.begin(), strip.pieces.end());
    for (const CaptionButtonSkin& button : p.CaptionButtons)
        pieces.insert(pieces.end(), button.states.begin(), button.states.end());
    for (const EdgeStrip* strip : {&p.MenuBar, &p.MenuItemHot, &p.MenuItemPressed})
        pieces.insert(pieces.end(), strip->pieces.begin(), strip->pieces.end());
    return pieces;
}

TEST(SkinScale, At96DpiTheSkinIsUnchanged) {
    const TestSkin skin = TestSkinBuilder().WithMenus().Build();
    const SkinAtDpi same = ScaleSkin(skin.params, PictureOf(skin), 96);
    EXPECT_EQ(same.picture.width, skin.width);
    EXPECT_EQ(same.picture.bgr, skin.bgr);
    EXPECT_EQ(std::memcmp(&same.parameters.ActiveFrame, &skin.params.ActiveFrame, sizeof skin.params.ActiveFrame), 0);
    EXPECT_EQ(same.parameters.CaptionFont.height, skin.params.CaptionFont.height);
}

// Every scaled piece shows exactly the pixels of its own piece, none of its
// neighbours', at every scale; the transparent magenta stays magenta.
TEST(SkinScale, ScaledPiecesShowTheirOwnPixelsOnly) {
    const TestSkin skin = TestSkinBuilder().WithMenus().Build();
    for (int dpi : {120, 144, 168, 192, 240}) {
        SCOPED_TRACE(dpi);
        const SkinAtDpi scaled = ScaleSkin(skin.params, PictureOf(skin), dpi);
        ASSERT_GT(scaled.picture.width, skin.width);
        const std::vector<SkinPiece> from = AllPieces(skin.params);
        const std::vector<SkinPiece> to = AllPieces(scaled.parameters);
        ASSERT_EQ(from.size(), to.size());
        for (std::size_t i = 0; i < from.size(); ++i) {
            const SkinPiece& f = from[i];
            const SkinPiece& t = to[i];
            if (f.Empty()) {
                EXPECT_TRUE(t.Empty());
                continue;
            }
            ASSERT_LE(t.X + t.Width, scaled.picture.width);
            ASSERT_LE(t.Y + t.Height, scaled.picture.height);
            // Within a scale step of the exact size.
            EXPECT_NEAR(t.Width, f.Width * dpi / 96.0, 1.0);
            EXPECT_NEAR(t.Height, f.Height * dpi / 96.0, 1.0);
            int foreign = 0;
            for (std::int32_t y = t.Y; y < t.Y + t.Height; ++y)
                for (std::int32_t x = t.X; x < t.X + t.Width; ++x) {
                    const std::int32_t sx = x * 96 / dpi, sy = y * 96 / dpi;
                    foreign += sx < f.X || sx >= f.X + f.Width || sy < f.Y || sy >= f.Y + f.Height ||
                               scaled.picture.ColourAt(x, y) != skin.ColourAt(sx, sy);
                }
            EXPECT_EQ(foreign, 0) << "piece " << i;
        }
    }
}

TEST(SkinScale, TheFrameAt192DpiIsThe96DpiFrameTwiceAsLarge) {
    const TestSkin skin = MakeTestSkin();
    const SkinAtDpi big = ScaleSkin(skin.params, PictureOf(skin), 192);
    const Insets small = ClientInsets(skin.params, 0);
    const Insets large = ClientInsets(big.parameters, 0);
    EXPECT_EQ(large.top, 2 * small.top);
    EXPECT_EQ(large.top, 2 * kCaption);
    EXPECT_EQ(large.left, 2 * small.left);
    EXPECT_EQ(large.bottom, 2 * small.bottom);
    EXPECT_EQ(big.parameters.CaptionFont.height, 2 * skin.params.CaptionFont.height);

    // The buttons, the icon and the corners answer at twice their places.
    const std::int32_t W = 300, H = 200;
    for (int b = kMinimise; b <= kClose; ++b) {
        const Point at = ButtonPosition(skin.params, b, W);
        const Point at2 = ButtonPosition(big.parameters, b, 2 * W);
        EXPECT_EQ(at2.x, 2 * at.x) << b;
        EXPECT_EQ(at2.y, 2 * at.y) << b;
    }
    FrameStyle style;
    style.caption = style.sysMenu = style.minimiseBox = style.sizable = true;
    const SkinPiece& icon = skin.params.IconPiece;
    const Point inIcon{icon.X + icon.Width / 2, icon.Y + icon.Height / 2};
    ASSERT_EQ(FrameHitCode(skin.params, style, W, H, inIcon), kHitSysMenu);
    EXPECT_EQ(FrameHitCode(big.parameters, style, 2 * W, 2 * H, {2 * inIcon.x, 2 * inIcon.y}), kHitSysMenu);
    EXPECT_EQ(FrameHitCode(big.parameters, style, 2 * W, 2 * H, {2 * W - 2, 2 * H - 2}), kHitBottomRight);

    // The window region's rounded corner grows with it: the corner pixel is
    // cut, the one a scaled pixel further in is kept.
    const std::vector<Rect> runs = PieceRuns(
        {big.picture.bgr.data(), big.picture.width, big.picture.height, static_cast<std::size_t>(big.picture.width) * 3},
        big.parameters.ActiveFrame[kLeft].start());
    const std::vector<Rect> smallRuns = PieceRuns(skin.rows(), skin.params.ActiveFrame[kLeft].start());
    std::int64_t area = 0, smallArea = 0;
    for (const Rect& r : runs) area += std::int64_t{r.width()} * r.height();
    for (const Rect& r : smallRuns) smallArea += std::int64_t{r.width()} * r.height();
    EXPECT_EQ(area, 4 * smallArea);
}

TEST(SkinScale, APictureBeyondTheLimitsStaysAsItIs) {
    TestSkin skin = MakeTestSkin();
    SkinPicture wide{kMaxPictureSide - 10, 2, std::vector<std::uint8_t>(static_cast<std::size_t>(kMaxPictureSide - 10) * 2 * 3)};
    const SkinAtDpi kept = ScaleSkin(skin.params, wide, 192);
    EXPECT_EQ(kept.picture.width, wide.width);
    EXPECT_EQ(kept.parameters.ActiveFrame[kTop].start().Height, skin.params.ActiveFrame[kTop].start().Height);
}

}  // namespace
}  // namespace tf::skin::testing
