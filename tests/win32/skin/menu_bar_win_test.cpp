// The skinned menu bar on real windows under the platform's menu system:
// taking the bar over, colours, painting, the menu loop driven by keys and
// the pointer, and the MDI child's slots.
#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>

#include "gdi_objects.h"
#include "skin/menu_bar_window.h"

namespace tf::skin::testing {
namespace {

enum Command : WORD { kOpen = 101, kExit = 102, kCopy = 201, kInner = 211, kRefresh = 301, kTile = 401, kAbout = 501 };
enum Item { kFile, kEdit, kView, kWindow, kHelp };

HMENU Popup(std::initializer_list<std::pair<WORD, const char*>> items) {
    HMENU popup = CreatePopupMenu();
    for (const auto& [id, text] : items) AppendMenuA(popup, MF_STRING, id, text);
    return popup;
}

// File, Edit (with a submenu), View, Window (two "&"), Help.
HMENU SampleMenu(bool editEnabled = true) {
    HMENU bar = CreateMenu();
    AppendMenuA(bar, MF_POPUP, reinterpret_cast<UINT_PTR>(Popup({{kOpen, "&Open"}, {kExit, "E&xit"}})), "&File");
    HMENU edit = Popup({{kCopy, "&Copy"}});
    AppendMenuA(edit, MF_POPUP, reinterpret_cast<UINT_PTR>(Popup({{kInner, "&Inner"}})), "&More");
    AppendMenuA(bar, MF_POPUP | (editEnabled ? 0 : MF_GRAYED), reinterpret_cast<UINT_PTR>(edit), "&Edit");
    AppendMenuA(bar, MF_POPUP, reinterpret_cast<UINT_PTR>(Popup({{kRefresh, "&Refresh"}})), "&View");
    AppendMenuA(bar, MF_POPUP, reinterpret_cast<UINT_PTR>(Popup({{kTile, "&Tile"}})), "Wi&n&dow");
    AppendMenuA(bar, MF_POPUP, reinterpret_cast<UINT_PTR>(Popup({{kAbout, "&About"}})), "&Help");
    return bar;
}

// A whole-window-sized surface to paint the bar into and read back.
class Canvas {
public:
    Canvas(int width, int height, COLORREF fill) : width_(width), height_(height) {
        dc_.reset(CreateCompatibleDC(nullptr));
        BITMAPINFO info{};
        info.bmiHeader = {sizeof(info.bmiHeader), width, -height, 1, 32, BI_RGB, 0, 0, 0, 0, 0};
        void* bits = nullptr;
        bitmap_.reset(CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &bits, nullptr, 0));
        old_ = SelectObject(dc_.get(), bitmap_.get());
        platform::win32::UniqueBrush brush(CreateSolidBrush(fill));
        RECT all{0, 0, width, height};
        FillRect(dc_.get(), &all, brush.get());
    }
    ~Canvas() { SelectObject(dc_.get(), old_); }
    HDC dc() const { return dc_.get(); }
    COLORREF At(int x, int y) const { return GetPixel(dc_.get(), x, y); }
    // Pixels of `colour` in the window-coordinate box.
    int Count(RECT box, COLORREF colour) const {
        int n = 0;
        for (int y = box.top; y < box.bottom; ++y)
            for (int x = box.left; x < box.right; ++x) n += At(x, y) == colour;
        return n;
    }
    int width() const { return width_; }

private:
    int width_, height_;
    platform::win32::UniqueMemoryDc dc_;
    platform::win32::UniqueBitmap bitmap_;
    HGDIOBJ old_ = nullptr;
};

class MenuBarTest : public ::testing::Test {
protected:
    void SetUp() override { ParkPointer(); }
    void TearDown() override { Pump(); }

    // An item's box in window coordinates, where the bar paints it.
    RECT ItemBox(MenuBarWindow& w, int item) {
        const Rect& r = w.bar().Items().at(item);
        return RECT{kFrameSide + r.left, kCaptionHeight, kFrameSide + r.right, kCaptionHeight + kBarHeight};
    }
    // Sends a key to the window as the message loop would, and lets the
    // script drive whatever menu it opens.
    void SendKey(HWND hwnd, UINT message, WPARAM key) {
        SendMessageA(hwnd, message, key, 0x20000001);  // Alt held
    }
    static void PostKeyTo(HWND to, WPARAM key) {
        PostMessageA(to, WM_KEYDOWN, key, 1);
        PostMessageA(to, WM_KEYUP, key, 0xC0000001);
    }
    void Finish(MenuBarWindow& w, const ScriptTimer& script) {
        EXPECT_TRUE(PumpUntil([&] { return script.finished() && !w.bar().Tracking(); }, 5000));
    }

    MenuTestSkin skin_;
};

// --- Taking the bar over and colouring ------------------------------------------

TEST_F(MenuBarTest, OwnColourTakesTheBarOffTheWindowColoursTheMenusAndGivesTheBarBack) {
    HMENU menu = SampleMenu();
    MenuBarWindow w(skin_, menu);
    EXPECT_EQ(GetMenu(w.hwnd()), nullptr);
    EXPECT_TRUE(w.bar().Drawn());
    EXPECT_EQ(w.bar().Menu(), menu);
    EXPECT_EQ(w.bar().Height(), kBarHeight);
    ASSERT_EQ(w.bar().Items().size(), 5u);
    EXPECT_EQ(w.bar().Texts()[kWindow], "Wi&n&dow");
    EXPECT_EQ(MenuBrushColour(menu), kMenuBackColour);
    EXPECT_EQ(MenuBrushColour(GetSubMenu(GetSubMenu(menu, kEdit), 1)), kMenuBackColour);
    EXPECT_EQ(MenuBrushColour(GetSystemMenu(w.hwnd(), FALSE)), kMenuBackColour);
    // The client area starts under the bar.
    POINT origin{0, 0};
    ClientToScreen(w.hwnd(), &origin);
    RECT frame{};
    GetWindowRect(w.hwnd(), &frame);
    EXPECT_EQ(origin.y - frame.top, kCaptionHeight + kBarHeight);

    w.bar().Detach();
    EXPECT_EQ(GetMenu(w.hwnd()), menu);
    EXPECT_EQ(MenuBrushColour(menu), CLR_INVALID);
}

TEST_F(MenuBarTest, SystemMenuColourLeavesTheNativeBarAndTheEngineDrawsNone) {
    skin_.params().MenuBackColor = kNoColour;
    HMENU menu = SampleMenu();
    MenuBarWindow w(skin_, menu);
    EXPECT_EQ(GetMenu(w.hwnd()), menu);
    EXPECT_FALSE(w.bar().Drawn());
    EXPECT_EQ(w.bar().Height(), 0);
    EXPECT_EQ(MenuBrushColour(menu), GetSysColor(COLOR_MENU));
    w.bar().CheckMenuBar();  // an icon query does not bring the engine's bar
    EXPECT_FALSE(w.bar().Drawn());

    Canvas canvas(420, 80, RGB(7, 7, 7));
    w.bar().Paint(canvas.dc(), canvas.width(), kFile, true);
    EXPECT_EQ(canvas.Count(RECT{0, 0, 420, 80}, RGB(7, 7, 7)), 420 * 80);
}

TEST_F(MenuBarTest, AWindowShownAgainKeepsTheMenuTheEngineHolds) {
    HMENU menu = SampleMenu();
    MenuBarWindow w(skin_, menu);
    ShowWindow(w.hwnd(), SW_HIDE);
    ShowWindow(w.hwnd(), SW_SHOWNOACTIVATE);
    Pump();
    EXPECT_EQ(w.bar().Menu(), menu);
    EXPECT_TRUE(w.bar().Drawn());
    EXPECT_EQ(w.bar().Items().size(), 5u);
}

TEST_F(MenuBarTest, ColouringPaintingAndChecksLeaveNoGdiObjects) {
    { MenuBarWindow warmUp(skin_, SampleMenu()); }
    const DWORD before = tf::testing::GdiObjects();
    {
        MenuBarWindow w(skin_, SampleMenu());
        for (int i = 0; i < 300; ++i) {
            skin_.params().MenuBackColor = i % 2 ? kMenuBackColour : RGB(i, 0, 0);
            w.bar().ApplySkin();
            w.bar().PaintOnWindow(i % 5, i % 2 == 0);
            w.bar().CheckMenuBar();
            w.bar().TakeOver();
        }
    }
    Pump();
    EXPECT_EQ(tf::testing::GdiObjects(), before);
}

// --- Painting ----------------------------------------------------------------------

TEST_F(MenuBarTest, PaintsPiecesHotStripAndTextColours) {
    MenuBarWindow w(skin_, SampleMenu(false));
    Canvas canvas(420, 80, RGB(7, 7, 7));
    w.bar().Paint(canvas.dc(), canvas.width(), kView, false);

    const int barRight = kFrameSide + MenuBarSurfaceWidth(skin_.params(), 420);
    EXPECT_EQ(canvas.At(kFrameSide, kCaptionHeight), kBarStartColour);
    EXPECT_EQ(canvas.At(barRight - 1, kCaptionHeight + 3), kBarEndColour);
    EXPECT_EQ(canvas.At(barRight - 10, kCaptionHeight + 3), kBarColour);
    EXPECT_EQ(canvas.At(barRight, kCaptionHeight), RGB(7, 7, 7));  // nothing past the bar

    // The hot strip: (22 - 16) / 2 = 3 below the bar's top, magenta left out.
    const RECT view = ItemBox(w, kView);
    EXPECT_EQ(canvas.At(view.left + 1, kCaptionHeight + 3), kHotColour);
    EXPECT_EQ(canvas.At(view.left, kCaptionHeight + 3), kBarColour);
    EXPECT_EQ(canvas.At(view.left + 1, kCaptionHeight + 2), kBarColour);
    EXPECT_EQ(canvas.At(view.right - 1, kCaptionHeight + 18), kHotColour);
    EXPECT_GT(canvas.Count(view, kHotTextColour), 10);
    EXPECT_GT(canvas.Count(ItemBox(w, kFile), kTextColour), 10);
    EXPECT_EQ(canvas.Count(ItemBox(w, kFile), kHotColour), 0);
    // The disabled Edit is written in the disabled colour only.
    EXPECT_GT(canvas.Count(ItemBox(w, kEdit), kDisabledTextColour), 10);
    EXPECT_EQ(canvas.Count(ItemBox(w, kEdit), kTextColour), 0);

    w.bar().Paint(canvas.dc(), canvas.width(), kFile, true);
    const RECT file = ItemBox(w, kFile);
    EXPECT_EQ(canvas.At(file.left, kCaptionHeight + 2), kPressedColour);  // (22 - 18) / 2 = 2
    EXPECT_GT(canvas.Count(file, kPressedTextColour), 10);
    EXPECT_EQ(canvas.Count(view, kHotColour), 0);

    w.record().active = false;
    w.bar().Paint(canvas.dc(), canvas.width(), -1, false);
    EXPECT_GT(canvas.Count(file, kDisabledTextColour), 10);
    EXPECT_EQ(canvas.Count(file, kTextColour), 0);
}

// --- Keys ---------------------------------------------------------------------------

TEST_F(MenuBarTest, AltLetterAndPlainLetterOpenTheMenuOfTheirFirstAmpersand) {
    MenuBarWindow w(skin_, SampleMenu());
    std::vector<int> opened;
    auto openAndNote = [&](int item) {
        return [&, item] {
            if (!w.bar().Tracking() || w.bar().OpenItem() != item || !w.bar().PopupWindow()) return false;
            opened.push_back(item);
            return true;
        };
    };
    {
        ScriptTimer script({openAndNote(kFile), [&] {
                                PostKeyTo(w.bar().PopupWindow(), VK_ESCAPE);
                                return true;
                            }});
        SendKey(w.hwnd(), WM_SYSKEYDOWN, 'F');
        Finish(w, script);
    }
    {
        // Inside View's popup a plain "f" that its items do not know moves to File.
        ScriptTimer script({openAndNote(kView),
                            [&] {
                                PostMessageA(w.bar().PopupWindow(), WM_CHAR, 'f', 1);
                                return true;
                            },
                            openAndNote(kFile),
                            [&] {
                                PostKeyTo(w.bar().PopupWindow(), VK_ESCAPE);
                                return true;
                            }});
        SendKey(w.hwnd(), WM_SYSCHAR, 'v');
        Finish(w, script);
    }
    {
        ScriptTimer script({openAndNote(kWindow), [&] {
                                PostKeyTo(w.bar().PopupWindow(), VK_ESCAPE);
                                return true;
                            }});
        SendKey(w.hwnd(), WM_SYSKEYDOWN, 'N');
        Finish(w, script);
    }
    EXPECT_EQ(opened, (std::vector<int>{kFile, kView, kFile, kWindow}));

    // The second "&" of "Wi&n&dow" is no accelerator; F1 is no "p".
    const int popups = w.record().popupsOpened;
    SendKey(w.hwnd(), WM_SYSKEYDOWN, 'D');
    SendKey(w.hwnd(), WM_SYSKEYDOWN, VK_F1);
    EXPECT_EQ(w.record().popupsOpened, popups);
    EXPECT_FALSE(w.bar().Tracking());
    EXPECT_EQ(w.record().systemKeysPassed, 0);
}

TEST_F(MenuBarTest, LeftOnTheFirstMenuWrapsToTheLastAndRightOnTheLastToTheFirst) {
    MenuBarWindow w(skin_, SampleMenu());
    std::vector<int> opened;
    auto at = [&](int item, WPARAM then) {
        return [&, item, then] {
            if (!w.bar().Tracking() || w.bar().OpenItem() != item || !w.bar().PopupWindow()) return false;
            opened.push_back(item);
            if (then == VK_ESCAPE)
                PostKeyTo(w.bar().PopupWindow(), VK_ESCAPE);
            else
                PostMessageA(w.hwnd(), WM_HOTKEY, then, 0);
            return true;
        };
    };
    ScriptTimer script({at(kFile, kHotKeyLeft), at(kHelp, kHotKeyRight), at(kFile, kHotKeyRight),
                        at(kEdit, VK_ESCAPE)});
    SendKey(w.hwnd(), WM_SYSKEYDOWN, 'F');
    Finish(w, script);
    EXPECT_EQ(opened, (std::vector<int>{kFile, kHelp, kFile, kEdit}));
    EXPECT_EQ(w.record().systemKeysPassed, 0);
}

TEST_F(MenuBarTest, DisabledTopLevelItemOpensNoPopup) {
    MenuBarWindow w(skin_, SampleMenu(false));
    SendKey(w.hwnd(), WM_SYSKEYDOWN, 'E');
    Pump();
    EXPECT_EQ(w.record().popupsOpened, 0);
    EXPECT_FALSE(w.bar().Tracking());
    // Asked for directly, it posts no command either.
    SendMessageA(w.hwnd(), WM_MENUSELECT, kOpenItemRequest, kEdit);
    Pump();
    EXPECT_EQ(w.record().popupsOpened, 0);
    EXPECT_TRUE(w.record().commands.empty());
}

TEST_F(MenuBarTest, WindowWithoutMenuBarConsumesAltLetterAndClosesOnAltF4) {
    MenuBarWindow w(skin_, nullptr);
    EXPECT_FALSE(w.bar().Drawn());
    SendKey(w.hwnd(), WM_SYSKEYDOWN, 'F');
    SendKey(w.hwnd(), WM_SYSCHAR, 'f');
    Pump();
    EXPECT_EQ(w.record().systemKeysPassed, 0);
    EXPECT_EQ(w.record().closes, 0);
    EXPECT_TRUE(IsWindow(w.hwnd()));
    SendKey(w.hwnd(), WM_SYSKEYDOWN, VK_F4);
    Pump();
    EXPECT_EQ(w.record().systemKeysPassed, 0);
    EXPECT_EQ(w.record().closes, 1);
}

TEST_F(MenuBarTest, CommandChosenInAnEnginePopupReachesTheWindow) {
    MenuBarWindow w(skin_, SampleMenu());
    // Opened from the keyboard the popup's first item is selected; one more
    // Down reaches Exit.
    ScriptTimer script({[&] {
        if (!w.bar().PopupWindow()) return false;
        PostKeyTo(w.bar().PopupWindow(), VK_DOWN);
        PostKeyTo(w.bar().PopupWindow(), VK_RETURN);
        return true;
    }});
    SendKey(w.hwnd(), WM_SYSKEYDOWN, 'F');
    Finish(w, script);
    EXPECT_TRUE(PumpUntil([&] { return !w.record().commands.empty(); }));
    EXPECT_EQ(w.record().commands, (std::vector<WORD>{kExit}));
}

// --- Pointer ------------------------------------------------------------------------

TEST_F(MenuBarTest, HotTrackingFollowsThePointerAndEndsWhenItLeavesTheBar) {
    MenuBarWindow w(skin_, SampleMenu());
    LRESULT result = 0;
    POINT p = w.ItemCentre(kView);
    SetCursorPos(p.x, p.y);
    w.bar().OnNcMouseMove(result);
    EXPECT_EQ(result, 1);
    EXPECT_EQ(w.bar().HotItem(), kView);
    EXPECT_TRUE(w.bar().KeepHovering());
    p = w.ItemCentre(kFile);
    SetCursorPos(p.x, p.y);
    w.bar().OnNcMouseMove(result);
    EXPECT_EQ(w.bar().HotItem(), kFile);
    EXPECT_EQ(w.record().hoverStarts, 2);

    ParkPointer();
    EXPECT_FALSE(w.bar().KeepHovering());  // the hover timer's test
    EXPECT_EQ(w.bar().HotItem(), -1);
    SetCursorPos(p.x, p.y);
    w.bar().OnNcMouseMove(result);
    ParkPointer();
    w.bar().OnNcMouseMove(result);
    EXPECT_EQ(w.bar().HotItem(), -1);
    EXPECT_EQ(w.record().hoverStops, 1);
}

TEST_F(MenuBarTest, ClickOpensAMenuAndThePointerCarriesTheLoopToAnother) {
    MenuBarWindow w(skin_, SampleMenu());
    std::vector<int> opened;
    ScriptTimer script({[&] {
                            if (w.bar().OpenItem() != kFile || !w.bar().PopupWindow()) return false;
                            opened.push_back(kFile);
                            const POINT p = w.ItemCentre(kHelp);
                            SetCursorPos(p.x, p.y);
                            return true;
                        },
                        [&] {
                            if (w.bar().OpenItem() != kHelp) return false;
                            opened.push_back(kHelp);
                            ParkPointer();
                            PostKeyTo(w.bar().PopupWindow(), VK_ESCAPE);
                            return true;
                        }});
    const POINT p = w.ItemCentre(kFile);
    SetCursorPos(p.x, p.y);
    SendMessageA(w.hwnd(), WM_NCLBUTTONDOWN, HTMENU, MAKELPARAM(p.x, p.y));
    Finish(w, script);
    EXPECT_EQ(opened, (std::vector<int>{kFile, kHelp}));
}

// --- MDI ------------------------------------------------------------------------------

TEST_F(MenuBarTest, MaximisedMdiChildShowsItsIconAndThreeButtonsAndKeysSkipThem) {
    HMENU menu = SampleMenu();
    MenuBarWindow w(skin_, menu, MenuBarWindow::Kind::kMdiFrame);
    SendMessageA(w.mdiClient(), WM_MDISETMENU, reinterpret_cast<WPARAM>(menu), 0);
    Pump();
    ASSERT_TRUE(w.AddMaximisedChild("Child one"));
    w.bar().CheckMenuBar();
    ASSERT_TRUE(w.bar().MdiChildMaximised());
    const auto& items = w.bar().Items();
    ASSERT_EQ(items.size(), 9u);  // child's menu, five, minimise, restore, close
    EXPECT_EQ(items[0].width(), kMdiIconSlotWidth);
    const Rect bar = MenuBarRect(skin_.params(), 420);
    EXPECT_EQ(items[8].right, bar.right);
    for (int i = 6; i < 9; ++i) {
        EXPECT_EQ(items[i].width(), kBarHeight);
        EXPECT_EQ(items[i].left, bar.right - (9 - i) * kBarHeight);
    }

    Canvas canvas(420, 80, RGB(7, 7, 7));
    w.bar().Paint(canvas.dc(), canvas.width(), -1, false);
    const RECT icon = ItemBox(w, 0);
    EXPECT_GT(canvas.Count(icon, kBarColour), 0);
    EXPECT_LT(canvas.Count(icon, kBarColour), (icon.right - icon.left) * kBarHeight - 50);  // the icon covers some
    for (int i = 6; i < 9; ++i) EXPECT_GT(canvas.Count(ItemBox(w, i), kTextColour), 5) << i;

    std::vector<int> opened;
    auto at = [&](int item, WPARAM then) {
        return [&, item, then] {
            if (!w.bar().Tracking() || w.bar().OpenItem() != item || !w.bar().PopupWindow()) return false;
            opened.push_back(item);
            if (then == VK_ESCAPE)
                PostKeyTo(w.bar().PopupWindow(), VK_ESCAPE);
            else
                PostMessageA(w.hwnd(), WM_HOTKEY, then, 0);
            return true;
        };
    };
    ScriptTimer script({at(1, kHotKeyLeft), at(0, kHotKeyLeft), at(5, kHotKeyRight), at(0, VK_ESCAPE)});
    PostMessageA(w.hwnd(), WM_MENUSELECT, kOpenItemRequest, 1);
    Finish(w, script);
    EXPECT_EQ(opened, (std::vector<int>{1, 0, 5, 0}));
}

TEST_F(MenuBarTest, MdiChildSendsAltKeysToTheFrameAndClosesOnAltF4) {
    MenuBarWindow w(skin_, SampleMenu(), MenuBarWindow::Kind::kMdiFrame);
    HWND child = w.AddMaximisedChild("Child");
    ASSERT_TRUE(child);
    MenuBar childBar(MenuBarHost{});
    childBar.SetSkin(&skin_.params(), skin_.dc());
    childBar.Attach(child, nullptr);

    // The frame's menu carries the maximised child's items too.
    const auto& texts = w.bar().Texts();
    const int view = static_cast<int>(std::find(texts.begin(), texts.end(), "&View") - texts.begin());
    std::vector<int> opened;
    ScriptTimer script({[&] {
        if (w.bar().OpenItem() != view || !w.bar().PopupWindow()) return false;
        opened.push_back(view);
        PostKeyTo(w.bar().PopupWindow(), VK_ESCAPE);
        return true;
    }});
    EXPECT_TRUE(childBar.OnSystemKey(WM_SYSKEYDOWN, 'V', 0x20000001));
    Finish(w, script);
    EXPECT_EQ(opened, (std::vector<int>{view}));

    EXPECT_TRUE(childBar.OnSystemKey(WM_SYSKEYDOWN, VK_F4, 0x20000001));
    EXPECT_TRUE(PumpUntil([&] { return !IsWindow(child); }));
    childBar.Detach();
}

}  // namespace
}  // namespace tf::skin::testing
