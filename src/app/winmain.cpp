// Tallyfold's entry point: the main window and its message loop.
#include <windows.h>

#include "mainwindow/form1_win.h"
#include "platform/win32/edge_guard_win.h"

namespace {

int RunWindow(HINSTANCE instance, int show) {
    tf::mainwindow::Form1 form;
    if (!form.Create(instance)) return 1;
    ShowWindow(form.hwnd(), show);
    UpdateWindow(form.hwnd());
    MSG msg{};
    while (GetMessageA(&msg, nullptr, 0, 0) > 0) {
        if (form.PreTranslateMessage(msg)) continue;
        TranslateMessage(&msg);
        DispatchMessageA(&msg);
    }
    return static_cast<int>(msg.wParam);
}

}  // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int show) {
    return tf::platform::win32::CatchAtEdge("Tallyfold", 1, [&] { return RunWindow(instance, show); });
}
