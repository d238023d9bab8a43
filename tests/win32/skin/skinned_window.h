#pragma once
// A plain top-level window hooked by a ClsSkinner with the test skin, and
// what the tests ask of it: points in screen coordinates computed from the
// skin's pieces, non-client messages, painted pixels.
#include <windows.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/event_log.h"
#include "platform/message_sink.h"
#include "skin/cls_skinner_win.h"
#include "skin/test_skin.h"

namespace tf::skin::testing {

// Writes `skin` as a skin file into the temporary folder; returns its path.
std::string WriteTestSkinFile(const TestSkin& skin, const std::string& name);

// Processes the thread's pending messages, and keeps doing so for up to
// `ms` milliseconds while `until` is false.
template <class Until>
bool PumpUntil(Until until, DWORD ms = 2000) {
    const DWORD start = GetTickCount();
    for (;;) {
        MSG msg;
        while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
            TranslateMessage(&msg);
            DispatchMessageA(&msg);
        }
        if (until()) return true;
        if (GetTickCount() - start > ms) return false;
        Sleep(1);
    }
}
void Pump();

class SkinnedWindowTest : public ::testing::Test {
protected:
    static constexpr DWORD kFullStyle = WS_OVERLAPPEDWINDOW | WS_CLIPCHILDREN;

    void SetUp() override;
    void TearDown() override;

    // Creates the test window (client area 300 x 200 at 100, 100) with
    // `menu`, shows it and hooks it with `skin`.
    void Open(DWORD style = kFullStyle, const TestSkin& skin = MakeTestSkin(), HMENU menu = nullptr);
    HWND hwnd() const { return hwnd_; }
    RECT WindowRect() const;
    // A point of the window, (0, 0) its top-left corner, as a message's
    // screen-coordinate lParam.
    LPARAM ScreenPoint(int x, int y) const;
    // The centre of a caption button's hit region in window coordinates.
    POINT ButtonCentre(int button) const;
    LRESULT HitTest(int x, int y) const;
    LRESULT HitTest(POINT p) const { return HitTest(p.x, p.y); }
    void ButtonDown(int button, WPARAM hitCode);
    void ButtonUp(int button, WPARAM hitCode);
    // The painted pixel at a window point, after a frame repaint.
    COLORREF Pixel(int x, int y);
    // Commands the window's procedure saw.
    const std::vector<WPARAM>& SysCommands() const { return sysCommands_; }
    // Times the window's menu loop was entered.
    int MenuLoops() const { return menuLoops_; }
    // WM_COMMAND identifiers, and the system keys (WM_SYSKEYDOWN, WM_SYSCHAR,
    // WM_MENUCHAR) that reached the window's procedure.
    const std::vector<WORD>& Commands() const { return commands_; }
    int SystemKeys() const { return systemKeys_; }

    TestSkin skin_;
    platform::RecordingMessageSink messages_;
    platform::RecordingEventLog eventLog_;
    std::unique_ptr<ClsSkinner> skinner_;
    std::string skinFile_;
    HWND hwnd_ = nullptr;

private:
    static LRESULT CALLBACK Proc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp);
    std::vector<WPARAM> sysCommands_;
    int menuLoops_ = 0;
    std::vector<WORD> commands_;
    int systemKeys_ = 0;
};

}  // namespace tf::skin::testing
