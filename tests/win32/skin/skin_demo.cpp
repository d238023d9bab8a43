// Windows to look at a skin with, outside the main window: a caption, a
// sizable border, all three caption buttons and a menu bar (File, Edit with
// a disabled item and a submenu, View, Help). Run them by hand:
//   set TALLYFOLD_SKIN=path\to\file.Skin
//   tallyfold_tests.exe --gtest_also_run_disabled_tests --gtest_filter=SkinDemo.*ShowsASkinnedWindow
//   tallyfold_tests.exe --gtest_also_run_disabled_tests --gtest_filter=SkinDemo.*ShowsAnMdiFrame
// Without TALLYFOLD_SKIN they show images\DOR.Skin of the current folder;
// TALLYFOLD_DEMO_AT=x,y places the window. The MDI frame has two child
// windows; TALLYFOLD_DEMO_MAXIMISED=1 maximises the second. A window stays
// open until it is closed or File > Exit is chosen.
#include <windows.h>

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "skin/cls_skinner_win.h"

namespace tf::skin {
namespace {

constexpr char kDemoClass[] = "TallyfoldSkinDemo";
constexpr char kMdiFrameClass[] = "TallyfoldSkinDemoMdi";
constexpr char kMdiChildClass[] = "TallyfoldSkinDemoChild";
enum Command : UINT { kNew = 100, kExit, kUndo, kCopy, kPaste, kInsertDate, kInsertTime, kStatusBar, kTile, kAbout };

HMENU DemoMenu() {
    HMENU file = CreatePopupMenu();
    AppendMenuA(file, MF_STRING, kNew, "&New\tCtrl+N");
    AppendMenuA(file, MF_SEPARATOR, 0, nullptr);
    AppendMenuA(file, MF_STRING, kExit, "E&xit");
    HMENU insert = CreatePopupMenu();
    AppendMenuA(insert, MF_STRING, kInsertDate, "&Date");
    AppendMenuA(insert, MF_STRING, kInsertTime, "&Time");
    HMENU edit = CreatePopupMenu();
    AppendMenuA(edit, MF_STRING | MF_GRAYED, kUndo, "&Undo");
    AppendMenuA(edit, MF_STRING, kCopy, "&Copy");
    AppendMenuA(edit, MF_STRING, kPaste, "&Paste");
    AppendMenuA(edit, MF_POPUP, reinterpret_cast<UINT_PTR>(insert), "&Insert");
    HMENU view = CreatePopupMenu();
    AppendMenuA(view, MF_STRING | MF_CHECKED, kStatusBar, "&Status bar");
    AppendMenuA(view, MF_STRING, kTile, "&Tile windows");
    HMENU help = CreatePopupMenu();
    AppendMenuA(help, MF_STRING, kAbout, "&About");
    HMENU bar = CreateMenu();
    AppendMenuA(bar, MF_POPUP, reinterpret_cast<UINT_PTR>(file), "&File");
    AppendMenuA(bar, MF_POPUP, reinterpret_cast<UINT_PTR>(edit), "&Edit");
    AppendMenuA(bar, MF_POPUP, reinterpret_cast<UINT_PTR>(view), "&View");
    AppendMenuA(bar, MF_POPUP, reinterpret_cast<UINT_PTR>(help), "&Help");
    return bar;
}

HWND gMdiClient = nullptr;

// Exit closes the window; every command shows in the caption, so that a
// chosen item can be seen to arrive.
bool OnCommand(HWND hwnd, UINT command) {
    if (command == kExit) {
        PostMessageA(hwnd, WM_CLOSE, 0, 0);
        return true;
    }
    if (command < kNew || command > kAbout) return false;
    if (command == kTile && gMdiClient) SendMessageA(gMdiClient, WM_MDITILE, MDITILE_VERTICAL, 0);
    const std::string caption = "Skin preview - command " + std::to_string(command);
    SetWindowTextA(hwnd, caption.c_str());
    return true;
}

LRESULT CALLBACK DemoProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
    if (msg == WM_COMMAND && OnCommand(hwnd, LOWORD(wp))) return 0;
    if (msg == WM_DESTROY) PostQuitMessage(0);
    return DefWindowProcA(hwnd, msg, wp, lp);
}

LRESULT CALLBACK MdiFrameProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
    if (msg == WM_CREATE) {
        CLIENTCREATESTRUCT ccs{};
        ccs.hWindowMenu = GetSubMenu(GetMenu(hwnd), 2);
        ccs.idFirstChild = 5000;
        gMdiClient = CreateWindowExA(0, "MDICLIENT", nullptr, WS_CHILD | WS_CLIPCHILDREN | WS_VISIBLE, 0, 0, 0, 0,
                                     hwnd, nullptr, GetModuleHandleA(nullptr), &ccs);
    }
    if (msg == WM_COMMAND && OnCommand(hwnd, LOWORD(wp))) return 0;
    if (msg == WM_DESTROY) {
        gMdiClient = nullptr;
        PostQuitMessage(0);
    }
    return DefFrameProcA(hwnd, gMdiClient, msg, wp, lp);
}

LRESULT CALLBACK MdiChildProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
    return DefMDIChildProcA(hwnd, msg, wp, lp);
}

void RegisterDemoClass(const char* name, WNDPROC proc, LPCSTR icon) {
    WNDCLASSA wc{};
    wc.lpfnWndProc = proc;
    wc.hInstance = GetModuleHandleA(nullptr);
    wc.hCursor = LoadCursorA(nullptr, reinterpret_cast<LPCSTR>(IDC_ARROW));
    wc.hIcon = LoadIconA(nullptr, icon);
    wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
    wc.lpszClassName = name;
    RegisterClassA(&wc);
}

struct DemoPlace {
    std::string skin;
    int x = 120, y = 120;
};

DemoPlace ReadPlace() {
    DemoPlace place;
    const char* chosen = std::getenv("TALLYFOLD_SKIN");
    place.skin = chosen ? chosen : "images\\DOR.Skin";
    if (const char* at = std::getenv("TALLYFOLD_DEMO_AT")) std::sscanf(at, "%d,%d", &place.x, &place.y);
    return place;
}

void RunUntilClosed() {
    MSG msg;
    while (GetMessageA(&msg, nullptr, 0, 0) > 0) {
        if (gMdiClient && TranslateMDISysAccel(gMdiClient, &msg)) continue;
        TranslateMessage(&msg);
        DispatchMessageA(&msg);
    }
}

TEST(SkinDemo, DISABLED_ShowsASkinnedWindow) {
    const DemoPlace place = ReadPlace();
    RegisterDemoClass(kDemoClass, DemoProc, reinterpret_cast<LPCSTR>(IDI_APPLICATION));
    HWND hwnd = CreateWindowExA(0, kDemoClass, "Skin preview", WS_OVERLAPPEDWINDOW, place.x, place.y, 380, 260,
                                nullptr, DemoMenu(), GetModuleHandleA(nullptr), nullptr);
    ASSERT_TRUE(hwnd);
    ClsSkinner skinner;
    ASSERT_TRUE(skinner.LoadSkinFromFile(place.skin)) << place.skin;
    ASSERT_TRUE(skinner.HookForm(hwnd));
    ShowWindow(hwnd, SW_SHOW);
    RunUntilClosed();
}

TEST(SkinDemo, DISABLED_ShowsAnMdiFrame) {
    const DemoPlace place = ReadPlace();
    RegisterDemoClass(kMdiFrameClass, MdiFrameProc, reinterpret_cast<LPCSTR>(IDI_APPLICATION));
    RegisterDemoClass(kMdiChildClass, MdiChildProc, reinterpret_cast<LPCSTR>(IDI_INFORMATION));
    HWND hwnd = CreateWindowExA(0, kMdiFrameClass, "Skin preview MDI", WS_OVERLAPPEDWINDOW | WS_CLIPCHILDREN,
                                place.x, place.y, 520, 380, nullptr, DemoMenu(), GetModuleHandleA(nullptr), nullptr);
    ASSERT_TRUE(hwnd);
    ASSERT_TRUE(gMdiClient);
    ClsSkinner skinner;
    ASSERT_TRUE(skinner.LoadSkinFromFile(place.skin)) << place.skin;
    ASSERT_TRUE(skinner.HookForm(hwnd));
    ShowWindow(hwnd, SW_SHOW);
    const bool maximised = std::getenv("TALLYFOLD_DEMO_MAXIMISED") != nullptr;
    const char* const titles[] = {"Child one", "Child two"};
    for (const char* title : titles) {
        MDICREATESTRUCTA create{};
        create.szClass = kMdiChildClass;
        create.szTitle = title;
        create.hOwner = GetModuleHandleA(nullptr);
        create.x = create.y = create.cx = create.cy = CW_USEDEFAULT;
        // The last child made is the active one.
        create.style = WS_OVERLAPPEDWINDOW | (maximised && title == titles[1] ? WS_MAXIMIZE : 0);
        ASSERT_TRUE(SendMessageA(gMdiClient, WM_MDICREATE, 0, reinterpret_cast<LPARAM>(&create)));
    }
    if (!maximised) SendMessageA(gMdiClient, WM_MDITILE, MDITILE_VERTICAL, 0);
    RunUntilClosed();
}

}  // namespace
}  // namespace tf::skin
