#pragma once
// Registering the program's own control classes.
#include <windows.h>

namespace tf::platform::win32 {

// Registers a child-control class once per module: redrawn whole on
// resizing, one pointer of window extra bytes, the arrow cursor and
// `background` (null: the control paints every pixel itself).
inline bool RegisterControlClass(HINSTANCE instance, const char* name, WNDPROC proc, HBRUSH background) {
    WNDCLASSA existing{};
    if (GetClassInfoA(instance, name, &existing)) return true;
    WNDCLASSA wc{};
    wc.style = CS_HREDRAW | CS_VREDRAW;
    wc.lpfnWndProc = proc;
    wc.cbWndExtra = sizeof(LONG_PTR);
    wc.hInstance = instance;
    wc.hCursor = LoadCursorA(nullptr, reinterpret_cast<LPCSTR>(IDC_ARROW));
    wc.hbrBackground = background;
    wc.lpszClassName = name;
    return RegisterClassA(&wc) != 0;
}

}  // namespace tf::platform::win32
