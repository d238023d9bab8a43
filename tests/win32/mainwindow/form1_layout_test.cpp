// The window as it opens: controls at their designed places, initial option
// state, tool tips, the page tabs, the About page links and keyboard access.
#include <windows.h>
#include <commctrl.h>

#include "app/version.h"
#include "mainwindow/child_windows_win.h"
#include "mainwindow/form1_fixture.h"

namespace tf::mainwindow::testing {
namespace {

using Form1Layout = Form1Test;

RECT RectInParent(HWND control) {
    RECT r{};
    GetWindowRect(control, &r);
    MapWindowPoints(nullptr, GetParent(control), reinterpret_cast<POINT*>(&r), 2);
    return r;
}

std::string ClassOf(HWND window) {
    char name[64] = {};
    GetClassNameA(window, name, sizeof name);
    return name;
}

BOOL CALLBACK FindToolTips(HWND w, LPARAM out) {
    char name[64] = {};
    GetClassNameA(w, name, sizeof name);
    auto* found = reinterpret_cast<HWND*>(out);
    if (lstrcmpA(name, TOOLTIPS_CLASSA) == 0 && GetWindow(w, GW_OWNER) != nullptr) {
        *found = w;
        return FALSE;
    }
    return TRUE;
}

std::vector<std::string> ComboEntries(HWND combo) {
    std::vector<std::string> entries;
    const int count = static_cast<int>(SendMessageA(combo, CB_GETCOUNT, 0, 0));
    for (int i = 0; i < count; ++i) {
        char text[64] = {};
        SendMessageA(combo, CB_GETLBTEXT, static_cast<WPARAM>(i), reinterpret_cast<LPARAM>(text));
        entries.push_back(text);
    }
    return entries;
}

TEST_F(Form1Layout, ControlsSitAtTheirDesignedPlacesInTheirContainers) {
    const int dpi = form().dpi();
    RECT client{};
    GetClientRect(form().hwnd(), &client);
    EXPECT_EQ(client.right, platform::TwipsToPixelsAtDpi(7995, dpi));
    EXPECT_EQ(client.bottom, platform::TwipsToPixelsAtDpi(6960, dpi));
    char caption[32] = {};
    GetWindowTextA(form().hwnd(), caption, sizeof caption);
    EXPECT_STREQ(caption, "Tallyfold");

    struct Expected {
        Control control;
        Control container;  // Frame2 stands for the window itself below
        TwipRect twips;
    };
    const Expected expected[] = {
        {Control::TabStrip1, Control::Frame2, {240, 120, 7575, 6255}},
        {Control::Frame1, Control::Frame2, {240, 600, 7500, 5655}},
        {Control::Command2, Control::Frame1, {1440, 240, 1215, 975}},
        {Control::stoplist, Control::Frame1, {1320, 240, 615, 495}},
        {Control::dir, Control::Frame1, {120, 1320, 3015, 315}},
        {Control::TreeView1, Control::Frame4, {120, 240, 4215, 3375}},
        {Control::filter, Control::Frame5, {240, 360, 2055, 375}},
        {Control::Check4, Control::Frame3, {120, 1440, 1815, 255}},
        {Control::Check5, Control::Frame3, {120, 1800, 1815, 255}},
        {Control::status, Control::Frame2, {120, 6480, 7725, 375}},
        {Control::picSmall, Control::Frame2, {8040, 240, 256, 256}},
    };
    for (const Expected& e : expected) {
        HWND control = item(e.control);
        ASSERT_NE(control, nullptr) << static_cast<int>(e.control);
        HWND container = e.container == Control::Frame2 ? form().hwnd() : item(e.container);
        EXPECT_EQ(GetParent(control), container) << static_cast<int>(e.control);
        const PixelRect px = ToPixels(e.twips, dpi);
        const RECT r = RectInParent(control);
        EXPECT_EQ(r.left, px.left) << static_cast<int>(e.control);
        EXPECT_EQ(r.top, px.top) << static_cast<int>(e.control);
        EXPECT_EQ(r.right - r.left, px.width) << static_cast<int>(e.control);
        EXPECT_EQ(r.bottom - r.top, px.height) << static_cast<int>(e.control);
    }
    // picSmall lies beyond the right edge, never seen.
    EXPECT_GE(RectInParent(item(Control::picSmall)).left, client.right);
    EXPECT_EQ(ClassOf(item(Control::TreeView1)), "SysTreeView32");
    EXPECT_EQ(form().TreeView(), item(Control::TreeView1));
    // Start-up has built the tree's root level.
    EXPECT_GT(SendMessageA(item(Control::TreeView1), TVM_GETCOUNT, 0, 0), 0);
}

TEST_F(Form1Layout, TwipsScaleWithTheScreenDpi) {
    EXPECT_EQ(platform::TwipsToPixelsAtDpi(1215, 96), 81);
    EXPECT_EQ(platform::TwipsToPixelsAtDpi(1215, 144), 122);  // 121.5 rounds up
    EXPECT_EQ(platform::TwipsToPixelsAtDpi(7995, 192), 1066);
    // Neighbours that touch in twips touch in pixels at any DPI.
    for (int dpi : {96, 120, 144, 168, 192}) {
        const PixelRect check1 = ToPixels({120, 360, 1215, 255}, dpi);
        const PixelRect check2 = ToPixels({120, 615, 1215, 255}, dpi);
        EXPECT_EQ(check1.top + check1.height, check2.top) << dpi;
    }
}

TEST_F(Form1Layout, OpensWithTheDesignedOptionsAndTheMainPage) {
    EXPECT_EQ(SendMessageA(item(Control::Check1), BM_GETCHECK, 0, 0), BST_CHECKED);
    EXPECT_EQ(SendMessageA(item(Control::Check2), BM_GETCHECK, 0, 0), BST_CHECKED);
    EXPECT_EQ(SendMessageA(item(Control::Check3), BM_GETCHECK, 0, 0), BST_UNCHECKED);
    EXPECT_EQ(SendMessageA(item(Control::Check4), BM_GETCHECK, 0, 0), BST_UNCHECKED);
    EXPECT_EQ(SendMessageA(item(Control::Check5), BM_GETCHECK, 0, 0), BST_UNCHECKED);
    EXPECT_EQ(Text(Control::Check5), "Content hash");
    EXPECT_EQ(Text(Control::orderby), "No order");
    EXPECT_EQ(ComboEntries(item(Control::orderby)),
              (std::vector<std::string>{"Name", "Type", "Size", "Created date", "Last modified date"}));
    EXPECT_EQ(Text(Control::saveas), "Text");
    EXPECT_EQ(ComboEntries(item(Control::saveas)), (std::vector<std::string>{"Text", "HTML", "CSV", "JSON Lines", "Explorer",
                                                                                 "Changes since..."}));
    EXPECT_EQ(Text(Control::filter), "*");
    EXPECT_EQ(Text(Control::dir), "");
    EXPECT_EQ(Text(Control::Command1), "Start");
    EXPECT_EQ(Text(Control::Command2), "Stop");
    EXPECT_EQ(Text(Control::Command3), "Save as...");
    EXPECT_TRUE(GetWindowLongPtrA(item(Control::Frame1), GWL_STYLE) & WS_VISIBLE);
    EXPECT_FALSE(GetWindowLongPtrA(item(Control::Frame2), GWL_STYLE) & WS_VISIBLE);
    EXPECT_FALSE(form().running() || form().started() || form().stopped());
}

TEST_F(Form1Layout, PictureBoxesCarryTheirToolTips) {
    HWND tips = nullptr;
    EnumThreadWindows(GetCurrentThreadId(), FindToolTips, reinterpret_cast<LPARAM>(&tips));
    ASSERT_NE(tips, nullptr);
    const struct {
        Control box;
        const char* text;
    } expected[] = {{Control::start, "Start"}, {Control::stoplist, "Stop"}, {Control::savelist, "Save"}};
    for (const auto& e : expected) {
        char text[80] = {};
        TOOLINFOA info{};
        info.cbSize = sizeof info;
        info.hwnd = form().hwnd();
        info.uId = reinterpret_cast<UINT_PTR>(item(e.box));
        info.lpszText = text;
        SendMessageA(tips, TTM_GETTEXTA, sizeof text, reinterpret_cast<LPARAM>(&info));
        EXPECT_STREQ(text, e.text);
    }
}

TEST_F(Form1Layout, TabsSwitchPagesAndLinksOpenTheirAddresses) {
    HWND tabs = item(Control::TabStrip1);
    auto select = [&](int tab) {
        SendMessageA(tabs, TCM_SETCURSEL, static_cast<WPARAM>(tab), 0);
        NMHDR header{tabs, static_cast<UINT_PTR>(Control::TabStrip1), static_cast<UINT>(TCN_SELCHANGE)};
        SendMessageA(form().hwnd(), WM_NOTIFY, header.idFrom, reinterpret_cast<LPARAM>(&header));
    };
    auto visible = [&](Control c) { return (GetWindowLongPtrA(item(c), GWL_STYLE) & WS_VISIBLE) != 0; };
    select(1);
    EXPECT_FALSE(visible(Control::Frame1));
    EXPECT_TRUE(visible(Control::Frame2));
    EXPECT_TRUE(visible(Control::status));
    EXPECT_TRUE(visible(Control::TabStrip1));
    EXPECT_EQ(Text(Control::Label2), "Tallyfold");
    EXPECT_EQ(Text(Control::Label3), "Version " TALLYFOLD_VERSION);
    EXPECT_NE(GetPicture(item(Control::logo)), nullptr);

    for (Control link : {Control::Label5, Control::Label6, Control::logo}) {
        SendMessageA(item(link), WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(2, 2));
        SendMessageA(item(link), WM_LBUTTONUP, 0, MAKELPARAM(2, 2));
    }
    ASSERT_EQ(launcher_.launches.size(), 3u);
    for (const Launch& l : launcher_.launches) {
        EXPECT_EQ(l.program, "explorer.exe");
        EXPECT_NE(l.parameter.find(".example.org/"), std::string::npos) << l.parameter;
    }
    EXPECT_EQ(launcher_.launches[0].parameter, Text(Control::Label5));
    EXPECT_EQ(launcher_.launches[1].parameter, Text(Control::Label6));
    EXPECT_NE(launcher_.launches[0].parameter, launcher_.launches[1].parameter);
    EXPECT_EQ(launcher_.launches[2].parameter, launcher_.launches[0].parameter);

    select(0);
    EXPECT_TRUE(visible(Control::Frame1));
    EXPECT_FALSE(visible(Control::Frame2));
}

TEST_F(Form1Layout, TypingInTheFormatBoxEnablesTheSavePicture) {
    EnableWindow(item(Control::savelist), FALSE);
    SendMessageA(item(Control::saveas), CB_SETCURSEL, 1, 0);  // choosing from the list is no edit
    EXPECT_FALSE(IsWindowEnabled(item(Control::savelist)));
    HWND edit = FindWindowExA(item(Control::saveas), nullptr, "Edit", nullptr);
    ASSERT_NE(edit, nullptr);
    SendMessageA(edit, WM_CHAR, 'x', 0);
    EXPECT_TRUE(IsWindowEnabled(item(Control::savelist)));
}

TEST_F(Form1Layout, EnterStartsFromTheOptionsButPressesAFocusedButton) {
    auto key = [&](HWND target, WPARAM vk) {
        MSG msg{target, WM_KEYDOWN, vk, 0, 0, {0, 0}};
        return form().PreTranslateMessage(msg);
    };
    EXPECT_TRUE(key(item(Control::dir), VK_RETURN));
    EXPECT_EQ(messages_.shown, (std::vector<std::string>{kNoFolderText}));  // Start ran with an empty folder
    EXPECT_TRUE(key(item(Control::TreeView1), VK_RETURN));
    EXPECT_EQ(messages_.shown.size(), 2u);
    // On a focused push button Enter presses that button: Stop, which does
    // nothing before a run.
    ShowWindow(form().hwnd(), SW_SHOW);
    SetForegroundWindow(form().hwnd());
    SetFocus(item(Control::Command2));
    ASSERT_EQ(GetFocus(), item(Control::Command2));
    EXPECT_TRUE(key(item(Control::Command2), VK_RETURN));
    EXPECT_EQ(messages_.shown.size(), 2u);
    EXPECT_FALSE(IsBold(Control::Command1) || IsBold(Control::Command2));
    // Ctrl+Tab moves between the pages.
    BYTE keys[256] = {};
    GetKeyboardState(keys);
    keys[VK_CONTROL] = 0x80;
    SetKeyboardState(keys);
    EXPECT_TRUE(key(item(Control::dir), VK_TAB));
    keys[VK_CONTROL] = 0;
    SetKeyboardState(keys);
    EXPECT_EQ(SendMessageA(item(Control::TabStrip1), TCM_GETCURSEL, 0, 0), 1);
    EXPECT_TRUE(GetWindowLongPtrA(item(Control::Frame2), GWL_STYLE) & WS_VISIBLE);
}

TEST_F(Form1Layout, TabOrderFollowsTheMainPage) {
    ShowWindow(form().hwnd(), SW_SHOWNOACTIVATE);
    std::vector<HWND> order;
    HWND at = item(Control::Command1);
    for (int i = 0; i < 16 && at; ++i) {
        order.push_back(at);
        at = GetNextDlgTabItem(form().hwnd(), at, FALSE);
        if (at == item(Control::Command1)) break;
    }
    const std::vector<HWND> expected = {item(Control::Command1), item(Control::Command2), item(Control::Command3),
                                        item(Control::dir),      item(Control::orderby),  item(Control::saveas),
                                        item(Control::TreeView1), item(Control::filter),  item(Control::Check1),
                                        item(Control::Check2),   item(Control::Check3),   item(Control::Check4),
                                        item(Control::Check5),   item(Control::TabStrip1)};
    EXPECT_EQ(order, expected);
}

}  // namespace
}  // namespace tf::mainwindow::testing
