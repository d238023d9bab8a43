// Slate, the program's own skin (assets/images/DOR.Skin): the committed file
// is what its description says, and its pieces fit the way the frame is laid
// out and painted.
#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <sstream>
#include <string>

#include "skin/format/skin_description.h"
#include "skin/format/skin_file.h"

namespace tf::skin {
namespace {

constexpr std::uint32_t kMagenta = 0xFF00FF;

class DorSkin : public ::testing::Test {
protected:
    void SetUp() override {
        std::ifstream in(std::string(TF_IMAGES_DIR) + "/DOR.Skin", std::ios::binary);
        const std::vector<std::uint8_t> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
        ASSERT_EQ(ReadSkinFile(bytes.data(), bytes.size(), skin_), SkinFileError::kNone);
    }
    bool HasMagenta(const SkinPiece& piece) const {
        for (std::int32_t y = piece.Y; y < piece.Y + piece.Height; ++y) {
            for (std::int32_t x = piece.X; x < piece.X + piece.Width; ++x) {
                if (skin_.picture.ColourAt(x, y) == kMagenta) return true;
            }
        }
        return false;
    }
    SkinFile skin_;
};

TEST_F(DorSkin, CommittedFileIsItsDescription) {
    std::ifstream in(std::string(TF_SKIN_SOURCES_DIR) + "/DOR.description.txt");
    std::string expected, line;
    while (std::getline(in, line)) {
        if (!line.empty() && line[0] != '#') expected += line + "\n";
    }
    EXPECT_EQ(DescribeSkin(skin_.signature, skin_.parameters), expected);
}

TEST_F(DorSkin, FrameStripsAgreeWithEachOther) {
    const SkinParameters& p = skin_.parameters;
    const std::int32_t caption = p.ActiveFrame[kTop].middle().Height;
    EXPECT_GE(caption, 28);
    EXPECT_LE(caption, 30);
    for (const auto* frame : {&p.ActiveFrame, &p.InactiveFrame}) {
        const auto& f = *frame;
        // Buttons and the icon are placed for L == R.
        EXPECT_EQ(f[kLeft].start().Width, f[kRight].start().Width);
        for (Edge side : {kLeft, kRight}) {
            // The top corner pieces span the caption; the edge bitmap is the
            // middle's width and is sent to the window at the start's width.
            EXPECT_EQ(f[side].start().Height, caption);
            EXPECT_EQ(f[side].middle().Width, f[side].start().Width);
            EXPECT_EQ(f[side].end().Width, f[side].start().Width);
            EXPECT_EQ(f[side].end().Height, f[kBottom].middle().Height);
        }
        for (const SkinPiece& piece : f[kTop].pieces) EXPECT_EQ(piece.Height, caption);
        for (const SkinPiece& piece : f[kBottom].pieces) EXPECT_EQ(piece.Height, f[kBottom].middle().Height);
        // Rounded top corners: cut at the window's corner, none in the tiled middle.
        EXPECT_EQ(skin_.picture.ColourAt(f[kLeft].start().X, f[kLeft].start().Y), kMagenta);
        const SkinPiece& rightTop = f[kRight].start();
        EXPECT_EQ(skin_.picture.ColourAt(rightTop.X + rightTop.Width - 1, rightTop.Y), kMagenta);
        EXPECT_FALSE(HasMagenta(f[kTop].middle()));
        EXPECT_FALSE(HasMagenta(f[kLeft].middle()));
    }
}

TEST_F(DorSkin, CaptionButtonsIconAndTextShareTheCaption) {
    const SkinParameters& p = skin_.parameters;
    const std::int32_t caption = p.ActiveFrame[kTop].middle().Height;
    const std::int32_t border = p.ActiveFrame[kRight].start().Width;
    const std::int32_t width = p.MinTrackWidth;  // the narrowest window
    std::int32_t left[4];
    for (int b = 0; b < 4; ++b) {
        const CaptionButtonSkin& button = p.CaptionButtons[b];
        for (const SkinPiece& state : button.states) {
            EXPECT_EQ(state.Width, button.states[kNormal].Width);
            EXPECT_EQ(state.Height, button.states[kNormal].Height);
        }
        // The normal piece is the hit region: it must be whole.
        EXPECT_FALSE(HasMagenta(button.states[kNormal])) << b;
        EXPECT_GE(button.Top, 0);
        EXPECT_LE(button.Top + button.states[kNormal].Height, caption);
        left[b] = width - button.RightOffset;
    }
    const std::int32_t buttonWidth = p.CaptionButtons[kClose].states[kNormal].Width;
    EXPECT_EQ(left[kMaximise], left[kRestore]);
    EXPECT_LE(left[kMinimise] + buttonWidth, left[kMaximise]);
    EXPECT_LE(left[kMaximise] + buttonWidth, left[kClose]);
    EXPECT_LE(left[kClose] + buttonWidth, width - border);

    EXPECT_EQ(p.IconPiece.Width, 16);
    EXPECT_EQ(p.IconPiece.Height, 16);
    EXPECT_LE(p.IconPiece.Y + p.IconPiece.Height, caption);
    EXPECT_GE(p.CaptionTextLeft, p.IconPiece.X + p.IconPiece.Width);
    EXPECT_LE(width - p.CaptionTextRight, left[kMinimise]);
    EXPECT_LE(p.CaptionTextTop + p.CaptionTextHeight, caption);

    // Close, hot: red under the glyph's corner.
    const SkinPiece& closeHot = p.CaptionButtons[kClose].states[kHot];
    const std::uint32_t red = skin_.picture.ColourAt(closeHot.X + 4, closeHot.Y + closeHot.Height / 2);
    EXPECT_GE(red & 0xFF, 0xC0u);
    EXPECT_LE((red >> 8) & 0xFF, 0x60u);
}

// The inactive pieces also stand for a button the window lacks, drawn on the
// active caption: their face must let the caption show through.
TEST_F(DorSkin, InactiveButtonsShowTheCaptionAroundTheirGlyph) {
    for (const CaptionButtonSkin& button : skin_.parameters.CaptionButtons) {
        const SkinPiece& piece = button.states[kInactive];
        EXPECT_EQ(skin_.picture.ColourAt(piece.X, piece.Y), kMagenta);
        EXPECT_EQ(skin_.picture.ColourAt(piece.X + piece.Width - 1, piece.Y + piece.Height - 1), kMagenta);
        int glyph = 0;
        for (std::int32_t y = piece.Y; y < piece.Y + piece.Height; ++y) {
            for (std::int32_t x = piece.X; x < piece.X + piece.Width; ++x) {
                if (skin_.picture.ColourAt(x, y) != kMagenta) ++glyph;
            }
        }
        EXPECT_GT(glyph, 0);
    }
}

TEST_F(DorSkin, WindowSettings) {
    const SkinParameters& p = skin_.parameters;
    // Form1's client area is 533 x 464 pixels at 96 dpi.
    EXPECT_EQ(p.MinTrackWidth, 533 + p.ActiveFrame[kLeft].middle().Width + p.ActiveFrame[kRight].middle().Width);
    EXPECT_EQ(p.MinTrackHeight, 464 + p.ActiveFrame[kTop].middle().Height + p.ActiveFrame[kBottom].middle().Height);
    EXPECT_NE(p.MenuBackColor, kNoColour);
    EXPECT_EQ(p.ClientColor, kNoColour);
    EXPECT_TRUE(p.ClientPiece.Empty());
    EXPECT_EQ(p.DropShadow, -1);
    EXPECT_STREQ(p.CaptionFont.faceName.data(), "Tahoma");
    EXPECT_STREQ(p.MenuFont.faceName.data(), "Tahoma");
    EXPECT_NE(std::string(p.SkinText2.data(), p.SkinText2.size()).find("Tallyfold"), std::string::npos);
}

}  // namespace
}  // namespace tf::skin
