// Form1 starts with the program's skin: a hooked window whose client area
// keeps its size, and whose caption buttons work; without the skin file it
// keeps the platform's frame.
#include <fstream>
#include <iterator>

#include "mainwindow/form1_fixture.h"
#include "skin/frame/frame_geometry.h"
#include "skin/format/skin_file.h"

namespace tf::mainwindow::testing {
namespace {

using Form1Skin = Form1Test;

skin::SkinParameters ProgramSkin() {
    std::ifstream in(kProgramSkinFile, std::ios::binary);
    const std::vector<std::uint8_t> bytes{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    skin::SkinFile file;
    EXPECT_EQ(skin::ReadSkinFile(bytes.data(), bytes.size(), file), skin::SkinFileError::kNone);
    return file.parameters;
}

TEST_F(Form1Skin, StartsSkinnedWithTheClientAreaOfItsLayout) {
    ASSERT_NE(form().Skinner(), nullptr);
    EXPECT_EQ(form().Skinner()->HookedWindow(), form().hwnd());
    RECT client{};
    GetClientRect(form().hwnd(), &client);
    EXPECT_EQ(client.right, platform::TwipsToPixelsAtDpi(kClientWidthTwips, form().dpi()));
    EXPECT_EQ(client.bottom, platform::TwipsToPixelsAtDpi(kClientHeightTwips, form().dpi()));

    const skin::Insets insets = skin::ClientInsets(ProgramSkin(), 0);
    RECT window{};
    GetWindowRect(form().hwnd(), &window);
    POINT origin{0, 0};
    ClientToScreen(form().hwnd(), &origin);
    EXPECT_EQ(origin.x - window.left, insets.left);
    EXPECT_EQ(origin.y - window.top, insets.top);
    EXPECT_EQ(window.right - window.left, client.right + insets.left + insets.right);
    platform::win32::UniqueRegion region(CreateRectRgn(0, 0, 0, 0));
    EXPECT_NE(GetWindowRgn(form().hwnd(), region.get()), ERROR);
    EXPECT_TRUE(messages_.shown.empty());
}

TEST_F(Form1Skin, CaptionButtonsMinimiseAndCloseButDoNotMaximise) {
    const skin::SkinParameters params = ProgramSkin();
    ShowWindow(form().hwnd(), SW_SHOWNOACTIVATE);
    auto click = [&](int button, WPARAM code) {
        RECT window{};
        GetWindowRect(form().hwnd(), &window);
        const skin::Point at = skin::ButtonPosition(params, button, window.right - window.left);
        const skin::SkinPiece& piece = params.CaptionButtons[static_cast<std::size_t>(button)].states[0];
        const LPARAM point =
            MAKELPARAM(window.left + at.x + piece.Width / 2, window.top + at.y + piece.Height / 2);
        EXPECT_EQ(SendMessageA(form().hwnd(), WM_NCHITTEST, 0, point), static_cast<LRESULT>(code));
        SendMessageA(form().hwnd(), WM_NCLBUTTONDOWN, code, point);
        SendMessageA(form().hwnd(), WM_NCLBUTTONUP, code, point);
    };
    click(skin::kMaximise, HTMAXBUTTON);  // drawn, but the window has no maximise box
    EXPECT_FALSE(IsZoomed(form().hwnd()));
    click(skin::kMinimise, HTMINBUTTON);
    EXPECT_TRUE(IsIconic(form().hwnd()));
    click(skin::kMinimise, HTMINBUTTON);
    EXPECT_FALSE(IsIconic(form().hwnd()));
    click(skin::kClose, HTCLOSE);
    EXPECT_EQ(form().hwnd(), nullptr);
}

TEST_F(Form1Skin, WithoutTheSkinFileTheWindowKeepsItsOwnFrame) {
    Form1Services services;
    services.messages = &messages_;
    services.launcher = &launcher_;
    services.appFolder = src_;  // no images folder there
    services.quitOnDestroy = false;
    Form1 plain(services);
    ASSERT_TRUE(plain.Create(GetModuleHandleA(nullptr)));
    EXPECT_EQ(plain.Skinner()->HookedWindow(), nullptr);
    platform::win32::UniqueRegion region(CreateRectRgn(0, 0, 0, 0));
    EXPECT_EQ(GetWindowRgn(plain.hwnd(), region.get()), ERROR);
    RECT client{};
    GetClientRect(plain.hwnd(), &client);
    EXPECT_EQ(client.right, platform::TwipsToPixelsAtDpi(kClientWidthTwips, plain.dpi()));
    EXPECT_NE(plain.FolderTree(), nullptr);  // start-up went on
    EXPECT_TRUE(messages_.shown.empty());
}

}  // namespace
}  // namespace tf::mainwindow::testing
