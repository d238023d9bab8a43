// The menu bar as the skin engine serves it on a hooked window: taken over
// at hook time and given back, the system-colour skin's native bar, keys
// through the window's own messages, the hover timer, an MDI frame.
#include <windows.h>

#include <gtest/gtest.h>

#include "skin/interception/callback_slots_win.h"
#include "skin/menu_bar_window.h"
#include "skin/skinned_window.h"

namespace tf::skin::testing {
namespace {

enum Command : WORD { kOpen = 101, kExit = 102, kAbout = 301 };
enum Item { kFile, kEdit, kHelp };

HMENU Popup(WORD id, const char* text) {
    HMENU popup = CreatePopupMenu();
    AppendMenuA(popup, MF_STRING, id, text);
    return popup;
}

// File (Open, Exit), a disabled Edit, Help (About).
HMENU SampleMenu() {
    HMENU file = Popup(kOpen, "&Open");
    AppendMenuA(file, MF_STRING, kExit, "E&xit");
    HMENU bar = CreateMenu();
    AppendMenuA(bar, MF_POPUP, reinterpret_cast<UINT_PTR>(file), "&File");
    AppendMenuA(bar, MF_POPUP | MF_GRAYED, reinterpret_cast<UINT_PTR>(Popup(201, "&Copy")), "&Edit");
    AppendMenuA(bar, MF_POPUP, reinterpret_cast<UINT_PTR>(Popup(kAbout, "&About")), "&Help");
    return bar;
}

void PostKey(HWND to, WPARAM key) {
    PostMessageA(to, WM_KEYDOWN, key, 1);
    PostMessageA(to, WM_KEYUP, key, 0xC0000001);
}

class SkinnerMenuTest : public SkinnedWindowTest {
protected:
    void SetUp() override {
        SkinnedWindowTest::SetUp();
        ParkPointer();
    }
    static TestSkin MenuSkin() { return TestSkinBuilder().WithMenus().Build(); }
    const MenuBar& bar() const { return skinner_->Menus(); }
    int ClientTop() const {
        POINT origin{0, 0};
        ClientToScreen(hwnd_, &origin);
        return origin.y - WindowRect().top;
    }
    // Screen point at the middle of a bar item.
    POINT ItemCentre(int item) const {
        const Rect& r = bar().Items().at(item);
        const RECT w = WindowRect();
        return {w.left + kBorder + (r.left + r.right) / 2, w.top + (r.top + r.bottom) / 2};
    }
};

TEST_F(SkinnerMenuTest, TakesTheBarOverAndASystemColourSkinGivesTheWindowItsOwnBarBack) {
    HMENU menu = SampleMenu();
    const TestSkin skin = MenuSkin();
    Open(kFullStyle, skin, menu);
    EXPECT_EQ(GetMenu(hwnd_), nullptr);
    EXPECT_TRUE(bar().Drawn());
    EXPECT_EQ(ClientTop(), kCaption + kMenuBarHeight);
    EXPECT_EQ(Pixel(kBorder, kCaption), skin.PieceColour(skin.params.MenuBar.start()));
    EXPECT_EQ(MenuBrushColour(menu), kSkinMenuColour);
    EXPECT_EQ(MenuBrushColour(GetSystemMenu(hwnd_, FALSE)), kSkinMenuColour);

    TestSkin plain = skin;
    plain.params.MenuBackColor = kNoColour;
    const std::string plainFile = WriteTestSkinFile(plain, "plain-menus.Skin");
    ASSERT_TRUE(skinner_->LoadSkinFromFile(plainFile));
    DeleteFileA(plainFile.c_str());
    Pump();
    EXPECT_EQ(GetMenu(hwnd_), menu);
    EXPECT_FALSE(bar().Drawn());
    EXPECT_EQ(MenuBrushColour(menu), GetSysColor(COLOR_MENU));
    // The frame keeps room for the window's own bar, which takes the clicks.
    const int native = GetSystemMetrics(SM_CYMENU);
    EXPECT_EQ(ClientTop(), kCaption + native);
    EXPECT_EQ(HitTest(kBorder + 4, kCaption + native / 2), HTMENU);
    // Its item texts are written there.
    SendMessageA(hwnd_, WM_NCPAINT, 1, 0);
    platform::win32::ScopedWindowDc dc(hwnd_, platform::win32::DcArea::kWholeWindow);
    int text = 0;
    for (int y = kCaption; y < kCaption + native; ++y)
        for (int x = kBorder; x < kBorder + 120; ++x) text += GetPixel(dc.get(), x, y) == GetSysColor(COLOR_MENUTEXT);
    EXPECT_GT(text, 20);

    skinner_->UnHookForm(hwnd_);
    EXPECT_EQ(GetMenu(hwnd_), menu);
    EXPECT_EQ(MenuBrushColour(menu), CLR_INVALID);
}

TEST_F(SkinnerMenuTest, AltLetterOpensTheEnginesPopupLeftWrapsAndTheChosenCommandArrives) {
    HMENU menu = SampleMenu();
    Open(kFullStyle, MenuSkin(), menu);
    std::vector<int> opened;
    // Keys go to the popup window once it shows the item's menu.
    auto at = [&](int item, auto then) {
        return [&, item, then] {
            if (!bar().Tracking() || bar().OpenItem() != item || !bar().PopupWindow() ||
                SendMessageA(bar().PopupWindow(), MN_GETHMENU, 0, 0) != reinterpret_cast<LRESULT>(GetSubMenu(menu, item)))
                return false;
            opened.push_back(item);
            then();
            return true;
        };
    };
    ScriptTimer script({at(kFile, [&] { PostMessageA(hwnd_, WM_HOTKEY, kHotKeyLeft, 0); }),
                        at(kHelp, [&] {
                            PostKey(bar().PopupWindow(), VK_DOWN);
                            PostKey(bar().PopupWindow(), VK_RETURN);
                        })});
    SendMessageA(hwnd_, WM_SYSKEYDOWN, 'F', 0x20000001);
    EXPECT_TRUE(PumpUntil([&] { return script.finished() && !bar().Tracking() && !Commands().empty(); }, 5000));
    EXPECT_EQ(opened, (std::vector<int>{kFile, kHelp}));
    EXPECT_EQ(Commands(), (std::vector<WORD>{kAbout}));
    EXPECT_EQ(SystemKeys(), 0);
}

TEST_F(SkinnerMenuTest, WindowWithoutMenuConsumesSystemKeysAndTheCloseButtonStillCloses) {
    Open(kFullStyle, MenuSkin());
    EXPECT_FALSE(bar().Drawn());
    EXPECT_EQ(ClientTop(), kCaption);
    EXPECT_EQ(MenuBrushColour(GetSystemMenu(hwnd_, FALSE)), kSkinMenuColour);
    SendMessageA(hwnd_, WM_SYSKEYDOWN, 'F', 0x20000001);
    SendMessageA(hwnd_, WM_SYSCHAR, 'f', 0x20000001);
    SendMessageA(hwnd_, WM_MENUCHAR, 'f', 0);
    Pump();
    EXPECT_EQ(SystemKeys(), 0);
    EXPECT_TRUE(SysCommands().empty());
    ASSERT_TRUE(IsWindow(hwnd_));
    ButtonDown(kClose, HTCLOSE);
    ButtonUp(kClose, HTCLOSE);
    Pump();
    EXPECT_EQ(hwnd_, nullptr);  // destroyed
}

// The bar is hit where it is painted, after the left frame's start piece,
// also when the frame's middle piece beside the client area is narrower.
TEST_F(SkinnerMenuTest, TheBarIsHitWhereItIsPainted) {
    TestSkin skin = MenuSkin();
    skin.params.ActiveFrame[kLeft].pieces[kMiddle].Width = 2;
    Open(kFullStyle, skin, SampleMenu());
    ASSERT_TRUE(bar().Drawn());
    const int y = kCaption + kMenuBarHeight / 2;
    EXPECT_NE(HitTest(kBorder - 2, y), HTMENU);  // beside the client area, before the bar
    EXPECT_EQ(HitTest(kBorder + 1, y), HTMENU);
    EXPECT_EQ(Pixel(kBorder + 1, y), skin.PieceColour(skin.params.MenuBar.start()));
}

LRESULT CALLBACK KeepsSystemKeys(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    return message == WM_SYSKEYDOWN ? 0 : DefWindowProcA(window, message, wParam, lParam);
}

TEST_F(SkinnerMenuTest, AltF4ClosesTheWindowFromAControlThatKeepsSystemKeys) {
    Open(kFullStyle, MenuSkin(), SampleMenu());
    WNDCLASSA wc{};
    wc.lpfnWndProc = KeepsSystemKeys;
    wc.hInstance = GetModuleHandleA(nullptr);
    wc.lpszClassName = "TfKeepsSystemKeys";
    RegisterClassA(&wc);
    HWND control = CreateWindowExA(0, wc.lpszClassName, "", WS_CHILD | WS_VISIBLE, 0, 0, 10, 10, hwnd_, nullptr,
                                   wc.hInstance, nullptr);
    ASSERT_NE(control, nullptr);
    PostMessageA(control, WM_SYSKEYDOWN, VK_F4, 0x60000001);  // a repeat: ignored
    Pump();
    ASSERT_TRUE(IsWindow(control));
    PostMessageA(control, WM_SYSKEYDOWN, VK_F4, 0x20000001);
    Pump();
    EXPECT_EQ(hwnd_, nullptr);  // destroyed
}

TEST_F(SkinnerMenuTest, HotItemFollowsThePointerUntilTheHoverTimerSeesItLeave) {
    Open(kFullStyle, MenuSkin(), SampleMenu());
    const POINT p = ItemCentre(kHelp);
    const RECT w = WindowRect();
    EXPECT_EQ(HitTest(p.x - w.left, p.y - w.top), HTMENU);  // or the pointer never reaches the bar
    SetCursorPos(p.x, p.y);
    SendMessageA(hwnd_, WM_NCMOUSEMOVE, HTMENU, MAKELPARAM(p.x, p.y));
    EXPECT_EQ(bar().HotItem(), kHelp);
    EXPECT_TRUE(skinner_->HoverTimerRunning());
    ParkPointer();
    EXPECT_TRUE(PumpUntil([&] { return !skinner_->HoverTimerRunning(); }));
    EXPECT_EQ(bar().HotItem(), -1);
}

// --- MDI ---------------------------------------------------------------------------

HWND gClient = nullptr;

LRESULT CALLBACK FrameProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
    return DefFrameProcA(hwnd, gClient, msg, wp, lp);
}

LRESULT CALLBACK ChildProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) { return DefMDIChildProcA(hwnd, msg, wp, lp); }

// An MDI frame window; its class is registered on first use.
HWND MakeMdiFrame(HMENU menu, DWORD style) {
    WNDCLASSA wc{};
    wc.lpfnWndProc = FrameProc;
    wc.hInstance = GetModuleHandleA(nullptr);
    wc.lpszClassName = "TallyfoldSkinnerMdiFrame";
    RegisterClassA(&wc);
    return CreateWindowExA(0, wc.lpszClassName, "Frame", style, 100, 100, 420, 320, nullptr,
                           menu, wc.hInstance, nullptr);
}

TEST_F(SkinnerMenuTest, MdiFrameFollowsSetMenuAndShowsAMaximisedChildsIconAndButtons) {
    WNDCLASSA wc{};
    wc.lpfnWndProc = ChildProc;
    wc.hInstance = GetModuleHandleA(nullptr);
    wc.hIcon = LoadIconA(nullptr, reinterpret_cast<LPCSTR>(IDI_WARNING));
    wc.lpszClassName = "TallyfoldSkinnerMdiChild";
    RegisterClassA(&wc);
    skin_ = MenuSkin();
    hwnd_ = MakeMdiFrame(CreateMenu(), kFullStyle);
    CLIENTCREATESTRUCT ccs{};
    ccs.idFirstChild = 5000;
    gClient = CreateWindowExA(0, "MDICLIENT", nullptr, WS_CHILD | WS_CLIPCHILDREN | WS_VISIBLE, 0, 0, 300, 200, hwnd_,
                              nullptr, GetModuleHandleA(nullptr), &ccs);
    ShowWindow(hwnd_, SW_SHOW);
    skinFile_ = WriteTestSkinFile(skin_, "mdi.Skin");
    ASSERT_TRUE(skinner_->LoadSkinFromFile(skinFile_));
    ASSERT_TRUE(skinner_->HookForm(hwnd_));
    EXPECT_FALSE(bar().Drawn());  // an empty menu draws no bar

    HMENU menu = SampleMenu();
    SendMessageA(gClient, WM_MDISETMENU, reinterpret_cast<WPARAM>(menu), 0);
    Pump();
    EXPECT_EQ(bar().Menu(), menu);
    EXPECT_TRUE(bar().Drawn());
    EXPECT_EQ(bar().Items().size(), 3u);
    EXPECT_EQ(MenuBrushColour(menu), kSkinMenuColour);
    EXPECT_EQ(ClientTop(), kCaption + kMenuBarHeight);

    MDICREATESTRUCTA create{};
    create.szClass = "TallyfoldSkinnerMdiChild";
    create.szTitle = "Child";
    create.hOwner = GetModuleHandleA(nullptr);
    create.x = create.y = create.cx = create.cy = CW_USEDEFAULT;
    create.style = WS_OVERLAPPEDWINDOW | WS_MAXIMIZE;
    ASSERT_TRUE(SendMessageA(gClient, WM_MDICREATE, 0, reinterpret_cast<LPARAM>(&create)));
    Pump();
    ASSERT_TRUE(bar().MdiChildMaximised());
    const auto& items = bar().Items();
    ASSERT_EQ(items.size(), 7u);  // the child's menu, three, minimise, restore, close
    EXPECT_EQ(items[0].width(), kMdiIconSlotWidth);
    EXPECT_EQ(items[6].right, MenuBarRect(skin_.params, WindowRect().right - WindowRect().left).right);
    EXPECT_EQ(items[4].width(), kMenuBarHeight);
    // Something other than the bar's middle piece shows in the icon slot.
    const COLORREF middle = skin_.PieceColour(skin_.params.MenuBar.middle());
    int iconPixels = 0;
    for (int y = 4; y < kMenuBarHeight - 4; ++y) iconPixels += Pixel(kBorder + items[0].left + 6, kCaption + y) != middle;
    EXPECT_GT(iconPixels, 0);
    DestroyWindow(hwnd_);
    gClient = nullptr;
}

// A window whose interception cannot be made is left as it was; when its MDI
// client's cannot be made, the window gets back what was changed.
TEST_F(SkinnerMenuTest, AFailedHookLeavesTheWindowAsItWas) {
    skin_ = MenuSkin();
    HMENU menu = SampleMenu();
    hwnd_ = MakeMdiFrame(menu, kFullStyle);
    CLIENTCREATESTRUCT ccs{};
    ccs.idFirstChild = 5000;
    gClient = CreateWindowExA(WS_EX_CLIENTEDGE, "MDICLIENT", nullptr, WS_CHILD | WS_VISIBLE, 0, 0, 300, 200, hwnd_,
                              nullptr, GetModuleHandleA(nullptr), &ccs);
    skinFile_ = WriteTestSkinFile(skin_, "mdi.Skin");
    ASSERT_TRUE(skinner_->LoadSkinFromFile(skinFile_));
    const LONG_PTR frameProc = GetWindowLongPtrA(hwnd_, GWLP_WNDPROC);
    const COLORREF menuColour = MenuBrushColour(menu);
    auto unchanged = [&] {
        EXPECT_EQ(skinner_->HookedWindow(), nullptr);
        EXPECT_EQ(GetWindowLongPtrA(hwnd_, GWLP_WNDPROC), frameProc);
        EXPECT_TRUE(GetWindowLongPtrA(gClient, GWL_EXSTYLE) & WS_EX_CLIENTEDGE);
        EXPECT_EQ(GetMenu(hwnd_), menu);
        EXPECT_EQ(MenuBrushColour(menu), menuColour);
    };

    std::vector<WNDPROC> held;  // every interception slot taken
    while (WNDPROC proc = AcquireWindowProc([](void*, HWND, UINT, WPARAM, LPARAM) -> LRESULT { return 0; }, nullptr))
        held.push_back(proc);
    EXPECT_FALSE(skinner_->HookForm(hwnd_));
    unchanged();
    ReleaseWindowProc(held.back());  // room for the frame, not for its client
    held.pop_back();
    EXPECT_FALSE(skinner_->HookForm(hwnd_));
    unchanged();
    for (WNDPROC proc : held) ReleaseWindowProc(proc);
    EXPECT_EQ(eventLog_.errors.size(), 2u);  // each refusal was reported
    eventLog_.errors.clear();
    messages_.shown.clear();
    EXPECT_TRUE(skinner_->HookForm(hwnd_));
    EXPECT_FALSE(GetWindowLongPtrA(gClient, GWL_EXSTYLE) & WS_EX_CLIENTEDGE);
}

}  // namespace
}  // namespace tf::skin::testing
