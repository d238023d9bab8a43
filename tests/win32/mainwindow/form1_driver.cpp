// Drives a Tallyfold.exe that runs in another process, as a user would
// through its controls: chooses the source folder and presses Start. The
// release check uses it on the installed program:
//   TALLYFOLD_DRIVE_FOLDER='C:\folder' tallyfold_tests.exe
//     --gtest_also_run_disabled_tests --gtest_filter=Form1Driver.DISABLED_StartsAListing
#include <windows.h>

#include <gtest/gtest.h>

#include <cstdlib>

#include "mainwindow/form1_layout.h"

namespace tf::mainwindow {
namespace {

struct Search {
    int id;
    HWND found;
};

BOOL CALLBACK MatchId(HWND child, LPARAM context) {
    auto* search = reinterpret_cast<Search*>(context);
    if (GetDlgCtrlID(child) != search->id) return TRUE;
    search->found = child;
    return FALSE;
}

HWND FindControl(HWND window, Control id) {
    Search search{static_cast<int>(id), nullptr};
    EnumChildWindows(window, MatchId, reinterpret_cast<LPARAM>(&search));
    return search.found;
}

TEST(Form1Driver, DISABLED_StartsAListing) {
    const char* folder = std::getenv("TALLYFOLD_DRIVE_FOLDER");
    ASSERT_NE(folder, nullptr) << "TALLYFOLD_DRIVE_FOLDER names the folder to list";
    HWND form = FindWindowA(nullptr, "Tallyfold");
    ASSERT_NE(form, nullptr) << "no Tallyfold window";
    DWORD process = 0;
    GetWindowThreadProcessId(form, &process);
    ASSERT_NE(process, GetCurrentProcessId());
    HWND dir = FindControl(form, Control::dir);
    HWND start = FindControl(form, Control::Command1);
    ASSERT_NE(dir, nullptr);
    ASSERT_NE(start, nullptr);
    ASSERT_TRUE(SendMessageA(dir, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(folder)));
    char shown[MAX_PATH] = {};
    SendMessageA(dir, WM_GETTEXT, MAX_PATH, reinterpret_cast<LPARAM>(shown));  // not kept as another process's caption
    EXPECT_STREQ(shown, folder);
    // Posted: the run goes on in the program's own message loop.
    ASSERT_TRUE(PostMessageA(start, BM_CLICK, 0, 0));
}

}  // namespace
}  // namespace tf::mainwindow
