// A window to look at a skin with, outside the main window: a caption, a
// sizable border and all three caption buttons. Run it by hand:
//   set TALLYFOLD_SKIN=path\to\file.Skin
//   tallyfold_tests.exe --gtest_also_run_disabled_tests --gtest_filter=SkinDemo.*
// Without TALLYFOLD_SKIN it shows images\DOR.Skin of the current folder;
// TALLYFOLD_DEMO_AT=x,y places the window. It stays open until it is closed.
#include <windows.h>

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>

#include "skin/cls_skinner_win.h"

namespace tf::skin {
namespace {

constexpr char kDemoClass[] = "TallyfoldSkinDemo";

LRESULT CALLBACK DemoProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
    if (msg == WM_DESTROY) PostQuitMessage(0);
    return DefWindowProcA(hwnd, msg, wp, lp);
}

TEST(SkinDemo, DISABLED_ShowsASkinnedWindow) {
    const char* chosen = std::getenv("TALLYFOLD_SKIN");
    const std::string skin = chosen ? chosen : "images\\DOR.Skin";
    int x = 120, y = 120;
    if (const char* at = std::getenv("TALLYFOLD_DEMO_AT")) std::sscanf(at, "%d,%d", &x, &y);
    WNDCLASSA wc{};
    wc.lpfnWndProc = DemoProc;
    wc.hInstance = GetModuleHandleA(nullptr);
    wc.hCursor = LoadCursorA(nullptr, reinterpret_cast<LPCSTR>(IDC_ARROW));
    wc.hIcon = LoadIconA(nullptr, reinterpret_cast<LPCSTR>(IDI_APPLICATION));
    wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
    wc.lpszClassName = kDemoClass;
    RegisterClassA(&wc);
    HWND hwnd = CreateWindowExA(0, kDemoClass, "Skin preview", WS_OVERLAPPEDWINDOW, x, y, 380, 260, nullptr,
                                nullptr, wc.hInstance, nullptr);
    ASSERT_TRUE(hwnd);
    ClsSkinner skinner;
    ASSERT_TRUE(skinner.LoadSkinFromFile(skin)) << skin;
    ASSERT_TRUE(skinner.HookForm(hwnd));
    ShowWindow(hwnd, SW_SHOW);
    MSG msg;
    while (GetMessageA(&msg, nullptr, 0, 0) > 0) {
        TranslateMessage(&msg);
        DispatchMessageA(&msg);
    }
}

}  // namespace
}  // namespace tf::skin
