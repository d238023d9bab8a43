// A hooked window: its region, frame size, hit codes, caption buttons and
// their clicks, painting, and the objects it holds.
#include <gtest/gtest.h>

#include "gdi_objects.h"
#include "skin/skinned_window.h"

namespace tf::skin::testing {
namespace {

using SkinnedWindow = SkinnedWindowTest;

// A skin like the test skin, every piece another colour.
TestSkin RecolouredSkin() {
    TestSkin skin = MakeTestSkin();
    for (std::size_t i = 0; i < skin.bgr.size(); i += 3)
        if (!(skin.bgr[i] == 0xFF && skin.bgr[i + 1] == 0 && skin.bgr[i + 2] == 0xFF)) skin.bgr[i + 1] ^= 0x5A;
    return skin;
}

TEST_F(SkinnedWindow, HookKeepsTheClientSizeUnderTheSkinsFrame) {
    Open();
    RECT client{};
    GetClientRect(hwnd(), &client);
    EXPECT_EQ(client.right, 300);
    EXPECT_EQ(client.bottom, 200);
    POINT origin{0, 0};
    ClientToScreen(hwnd(), &origin);
    EXPECT_EQ(origin.x, 100);
    EXPECT_EQ(origin.y, 100);
    const RECT window = WindowRect();
    EXPECT_EQ(origin.x - window.left, kBorder);
    EXPECT_EQ(origin.y - window.top, kCaption);
    EXPECT_EQ(window.right - window.left, 300 + 2 * kBorder);
    EXPECT_EQ(window.bottom - window.top, 200 + kCaption + kBorder);

    // The rectangle-only form applies the same insets.
    RECT proposed{10, 20, 310, 220};
    EXPECT_EQ(SendMessageA(hwnd(), WM_NCCALCSIZE, FALSE, reinterpret_cast<LPARAM>(&proposed)), 0);
    EXPECT_EQ(proposed.left, 10 + kBorder);
    EXPECT_EQ(proposed.top, 20 + kCaption);
    EXPECT_EQ(proposed.right, 310 - kBorder);
    EXPECT_EQ(proposed.bottom, 220 - kBorder);

    // Resizing keeps the insets.
    SetWindowPos(hwnd(), nullptr, 0, 0, 250, 180, SWP_NOMOVE | SWP_NOZORDER);
    GetClientRect(hwnd(), &client);
    EXPECT_EQ(client.right, 250 - 2 * kBorder);
    EXPECT_EQ(client.bottom, 180 - kCaption - kBorder);
}

TEST_F(SkinnedWindow, RegionFollowsTheRoundedCornersAndTheSize) {
    Open();
    auto contains = [&](int x, int y) {
        platform::win32::UniqueRegion region(CreateRectRgn(0, 0, 0, 0));
        EXPECT_NE(GetWindowRgn(hwnd(), region.get()), ERROR);
        return PtInRegion(region.get(), x, y) != FALSE;
    };
    for (int round = 0; round < 2; ++round) {
        const RECT r = WindowRect();
        const int W = r.right - r.left, H = r.bottom - r.top;
        EXPECT_FALSE(contains(0, 0));
        EXPECT_FALSE(contains(W - 1, 0));
        EXPECT_FALSE(contains(0, H - 1));
        EXPECT_FALSE(contains(W - 1, H - 1));
        EXPECT_TRUE(contains(3, 0));
        EXPECT_TRUE(contains(W - 1, H / 2));
        EXPECT_TRUE(contains(W / 2, H / 2));
        EXPECT_FALSE(contains(W, H / 2));
        SetWindowPos(hwnd(), nullptr, 0, 0, 411, 277, SWP_NOMOVE | SWP_NOZORDER);
    }
}

TEST_F(SkinnedWindow, MagentaFreeSkinGivesTheWholeWindow) {
    Open(kFullStyle, MakeTestSkin(false));
    const RECT r = WindowRect();
    platform::win32::UniqueRegion region(CreateRectRgn(0, 0, 0, 0));
    ASSERT_NE(GetWindowRgn(hwnd(), region.get()), ERROR);
    platform::win32::UniqueRegion whole(CreateRectRgn(0, 0, r.right - r.left, r.bottom - r.top));
    EXPECT_TRUE(EqualRgn(region.get(), whole.get()));
}

TEST_F(SkinnedWindow, HitCodesAtPointsOfTheSkinsPieces) {
    Open();
    const RECT r = WindowRect();
    const int W = r.right - r.left, H = r.bottom - r.top;
    EXPECT_EQ(HitTest(ButtonCentre(kMinimise)), HTMINBUTTON);
    EXPECT_EQ(HitTest(ButtonCentre(kMaximise)), HTMAXBUTTON);
    EXPECT_EQ(HitTest(ButtonCentre(kClose)), HTCLOSE);
    // The button's magenta dot is not part of it.
    const Point close = ButtonPosition(skin_.params, kClose, W);
    EXPECT_NE(HitTest(close.x, close.y), HTCLOSE);
    EXPECT_EQ(HitTest(skin_.params.IconPiece.X + 2, skin_.params.IconPiece.Y + 2), HTSYSMENU);
    EXPECT_EQ(HitTest(1, 10), HTTOPLEFT);
    EXPECT_EQ(HitTest(W - 2, 10), HTTOPRIGHT);
    EXPECT_EQ(HitTest(2, H / 2), HTLEFT);
    EXPECT_EQ(HitTest(W - 2, H / 2), HTRIGHT);
    EXPECT_EQ(HitTest(3, H - 2), HTBOTTOMLEFT);
    EXPECT_EQ(HitTest(W - 3, H - 2), HTBOTTOMRIGHT);
    EXPECT_EQ(HitTest(W / 2, H - 2), HTBOTTOM);
    EXPECT_EQ(HitTest(W / 2, H / 2), HTCLIENT);
}

TEST_F(SkinnedWindow, ButtonStatesFollowTheMouseAndActivation) {
    Open();
    HitTest(ButtonCentre(kClose));
    EXPECT_EQ(skinner_->ButtonStates()[kClose], kHot);
    EXPECT_TRUE(skinner_->HoverTimerRunning());
    EXPECT_EQ(skinner_->ButtonStates()[kMinimise], kNormal);

    // The cursor is elsewhere: the timer puts the button back and stops.
    SetCursorPos(5, 5);
    EXPECT_TRUE(PumpUntil([&] { return !skinner_->HoverTimerRunning(); }));
    EXPECT_EQ(skinner_->ButtonStates()[kClose], kNormal);

    // Pressing maximise shows restore pressed as well.
    ButtonDown(kMaximise, HTMAXBUTTON);
    EXPECT_EQ(skinner_->ButtonStates()[kMaximise], kPressed);
    EXPECT_EQ(skinner_->ButtonStates()[kRestore], kPressed);

    SendMessageA(hwnd(), WM_NCACTIVATE, FALSE, 0);
    for (int state : skinner_->ButtonStates()) EXPECT_EQ(state, kInactive);
    SendMessageA(hwnd(), WM_NCACTIVATE, TRUE, 0);
    for (int state : skinner_->ButtonStates()) EXPECT_EQ(state, kNormal);
}

TEST_F(SkinnedWindow, HotButtonStaysHotWhileTheCursorIsOnIt) {
    Open();
    const POINT centre = ButtonCentre(kClose);
    const RECT r = WindowRect();
    SetCursorPos(r.left + centre.x, r.top + centre.y);
    HitTest(centre);
    // Several timer periods go by with the cursor on the button.
    PumpUntil([] { return false; }, 50);
    EXPECT_EQ(skinner_->ButtonStates()[kClose], kHot);
    EXPECT_TRUE(skinner_->HoverTimerRunning());
    SetCursorPos(5, 5);
    EXPECT_TRUE(PumpUntil([&] { return !skinner_->HoverTimerRunning(); }));
}

TEST_F(SkinnedWindow, ClicksMinimiseMaximiseRestoreAndClose) {
    Open();
    ButtonUp(kMinimise, HTMINBUTTON);
    EXPECT_TRUE(IsIconic(hwnd()));
    ButtonUp(kMinimise, HTMINBUTTON);  // now the restore record's button
    EXPECT_FALSE(IsIconic(hwnd()));

    ButtonDown(kMaximise, HTMAXBUTTON);
    ButtonUp(kMaximise, HTMAXBUTTON);
    EXPECT_TRUE(IsZoomed(hwnd()));
    ButtonUp(kRestore, HTMAXBUTTON);
    EXPECT_FALSE(IsZoomed(hwnd()));

    // Pressing close only marks it; the release closes.
    ButtonDown(kClose, HTCLOSE);
    EXPECT_EQ(skinner_->ButtonStates()[kClose], kPressed);
    EXPECT_TRUE(IsWindow(hwnd()));
    ButtonUp(kClose, HTCLOSE);
    EXPECT_EQ(hwnd(), nullptr);
    EXPECT_EQ(SysCommands(), (std::vector<WPARAM>{SC_MINIMIZE, SC_RESTORE, SC_MAXIMIZE, SC_RESTORE, SC_CLOSE}));
}

void CALLBACK EndMenuLater(HWND, UINT, UINT_PTR, DWORD) { EndMenu(); }

TEST_F(SkinnedWindow, IconBoxOpensTheSystemMenuAndNoCaptionDragFollows) {
    Open();
    // The menu closes from a timer as if the user clicked elsewhere.
    const UINT_PTR timer = SetTimer(nullptr, 0, 50, EndMenuLater);
    const SkinPiece& icon = skin_.params.IconPiece;
    SendMessageA(hwnd(), WM_NCLBUTTONDOWN, HTSYSMENU, ScreenPoint(icon.X + 4, icon.Y + 4));
    KillTimer(nullptr, timer);
    EXPECT_EQ(MenuLoops(), 1);
    Pump();
    EXPECT_TRUE(SysCommands().empty());  // nothing chosen, and no move
}

TEST_F(SkinnedWindow, WithoutSystemMenuNoButtonsAndWithoutBoxesCloseOnly) {
    Open(WS_CAPTION | WS_THICKFRAME);
    const SkinParameters& p = skin_.params;
    POINT close = ButtonCentre(kClose);
    EXPECT_NE(HitTest(close), HTCLOSE);
    EXPECT_EQ(Pixel(close.x, close.y), skin_.PieceColour(p.ActiveFrame[kTop].middle()));
    ButtonUp(kClose, HTCLOSE);
    EXPECT_TRUE(IsWindow(hwnd()));
    DestroyWindow(hwnd());

    Open(WS_CAPTION | WS_SYSMENU | WS_THICKFRAME);
    const POINT min = ButtonCentre(kMinimise);
    close = ButtonCentre(kClose);
    EXPECT_NE(HitTest(min), HTMINBUTTON);
    EXPECT_EQ(Pixel(min.x, min.y), skin_.PieceColour(p.ActiveFrame[kTop].middle()));
    EXPECT_EQ(Pixel(close.x, close.y), skin_.PieceColour(p.CaptionButtons[kClose].states[kNormal], 5, 5));
    EXPECT_EQ(HitTest(close), HTCLOSE);
}

TEST_F(SkinnedWindow, CaptionShowsTheButtonPiecesOfTheirStates) {
    Open();
    const SkinParameters& p = skin_.params;
    const POINT close = ButtonCentre(kClose);
    EXPECT_EQ(Pixel(close.x, close.y), skin_.PieceColour(p.CaptionButtons[kClose].states[kNormal], 5, 5));
    HitTest(close);
    EXPECT_EQ(Pixel(close.x, close.y), skin_.PieceColour(p.CaptionButtons[kClose].states[kHot], 5, 5));
    const POINT max = ButtonCentre(kMaximise);
    ButtonDown(kMaximise, HTMAXBUTTON);
    EXPECT_EQ(Pixel(max.x, max.y), skin_.PieceColour(p.CaptionButtons[kMaximise].states[kPressed], 5, 5));
    SendMessageA(hwnd(), WM_NCACTIVATE, FALSE, 0);
    EXPECT_EQ(Pixel(close.x, close.y), skin_.PieceColour(p.CaptionButtons[kClose].states[kInactive], 5, 5));
    EXPECT_EQ(Pixel(100, 2), skin_.PieceColour(p.InactiveFrame[kTop].middle()));
    const RECT r = WindowRect();
    EXPECT_EQ(Pixel(2, (r.bottom - r.top) / 2), skin_.PieceColour(p.InactiveFrame[kLeft].middle()));
}

TEST_F(SkinnedWindow, MinimisedWindowUsesTheRestoreRecordAndHasNoBottomEdge) {
    Open();
    ShowWindow(hwnd(), SW_MINIMIZE);
    Pump();
    ASSERT_TRUE(IsIconic(hwnd()));
    const RECT r = WindowRect();
    const int W = r.right - r.left, H = r.bottom - r.top;
    const SkinParameters& p = skin_.params;
    const POINT min = ButtonCentre(kMinimise);
    if (W > 70 && H >= kButtonTop + kButtonHeight) {
        EXPECT_EQ(Pixel(min.x, min.y), skin_.PieceColour(p.CaptionButtons[kRestore].states[kNormal], 5, 5));
        EXPECT_NE(Pixel(W / 2, H - 1), skin_.PieceColour(p.ActiveFrame[kBottom].middle()));
    } else {
        ADD_FAILURE() << "the minimised window is " << W << "x" << H;
    }
}

TEST_F(SkinnedWindow, MinimumTrackingSizeOnlyWhereNoneIsSet) {
    Open();
    MINMAXINFO info{};
    SendMessageA(hwnd(), WM_GETMINMAXINFO, 0, reinterpret_cast<LPARAM>(&info));
    EXPECT_EQ(info.ptMinTrackSize.x, skin_.params.MinTrackWidth);
    EXPECT_EQ(info.ptMinTrackSize.y, skin_.params.MinTrackHeight);
    info.ptMinTrackSize = {50, 0};
    SendMessageA(hwnd(), WM_GETMINMAXINFO, 0, reinterpret_cast<LPARAM>(&info));
    EXPECT_EQ(info.ptMinTrackSize.x, 50);
    EXPECT_EQ(info.ptMinTrackSize.y, 0);
}

TEST_F(SkinnedWindow, SecondSkinRepaintsTheHookedWindow) {
    Open();
    const TestSkin second = RecolouredSkin();
    const std::string file = WriteTestSkinFile(second, "second.Skin");
    ASSERT_TRUE(skinner_->LoadSkinFromFile(file));
    DeleteFileA(file.c_str());
    Pump();
    EXPECT_EQ(skinner_->HookedWindow(), hwnd());
    EXPECT_EQ(Pixel(100, 2), second.PieceColour(second.params.ActiveFrame[kTop].middle()));
    EXPECT_EQ(HitTest(ButtonCentre(kClose)), HTCLOSE);
}

TEST_F(SkinnedWindow, ClientAreaFromPieceOrColourWhenAsked) {
    Open();
    skinner_->PaintClientArea(true);
    UpdateWindow(hwnd());
    HDC dc = GetDC(hwnd());
    const SkinPiece& tile = skin_.params.ClientPiece;
    EXPECT_EQ(GetPixel(dc, 8 + 1, 16 + 2), skin_.PieceColour(tile, 1, 2));
    ReleaseDC(hwnd(), dc);
    DestroyWindow(hwnd());

    TestSkin coloured = MakeTestSkin();
    coloured.params.ClientPiece = {};
    skinFile_.clear();
    Open(kFullStyle, coloured);
    skinner_->PaintClientArea(true);
    UpdateWindow(hwnd());
    dc = GetDC(hwnd());
    EXPECT_EQ(GetPixel(dc, 50, 50), coloured.params.ClientColor);
    ReleaseDC(hwnd(), dc);
}

TEST_F(SkinnedWindow, UnhookGivesTheWindowItsOwnFrameBack) {
    Open();
    skinner_->UnHookForm(hwnd());
    Pump();
    platform::win32::UniqueRegion region(CreateRectRgn(0, 0, 0, 0));
    EXPECT_EQ(GetWindowRgn(hwnd(), region.get()), ERROR);
    // The skin no longer follows the mouse.
    HitTest(ButtonCentre(kClose));
    EXPECT_FALSE(skinner_->HoverTimerRunning());
    RECT client{};
    GetClientRect(hwnd(), &client);
    RECT window = WindowRect();
    EXPECT_NE(window.bottom - window.top - client.bottom, kCaption + kBorder);
}

TEST_F(SkinnedWindow, HookUnhookReloadAndRepaintsHoldNoObjects) {
    Open();
    const std::string second = WriteTestSkinFile(RecolouredSkin(), "second.Skin");
    auto cycle = [&] {
        skinner_->UnHookForm(hwnd());
        ASSERT_TRUE(skinner_->HookForm(hwnd()));
        ASSERT_TRUE(skinner_->LoadSkinFromFile(second));
        ASSERT_TRUE(skinner_->LoadSkinFromFile(skinFile_));
        HitTest(ButtonCentre(kClose));
        SendMessageA(hwnd(), WM_NCACTIVATE, FALSE, 0);
        SendMessageA(hwnd(), WM_NCACTIVATE, TRUE, 0);
        Pump();
    };
    cycle();  // the system's caches settle
    const DWORD before = tf::testing::GdiObjects();
    for (int i = 0; i < 3; ++i) cycle();
    for (int i = 0; i < 1000; ++i) {
        SendMessageA(hwnd(), WM_NCPAINT, 1, 0);
        if (i % 100 == 0) SetWindowPos(hwnd(), nullptr, 0, 0, 300 + i / 10, 250, SWP_NOMOVE | SWP_NOZORDER);
    }
    Pump();
    EXPECT_EQ(tf::testing::GdiObjects(), before);
    DeleteFileA(second.c_str());
}

}  // namespace
}  // namespace tf::skin::testing
