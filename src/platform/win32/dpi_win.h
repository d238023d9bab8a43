#pragma once
// The dots per inch a window is shown at, and system metrics at a DPI. The
// per-monitor calls exist from Windows 10 on and are looked up when first
// used; older systems have one DPI for the whole screen.
#include <windows.h>

namespace tf::platform::win32 {

// The window's DPI (the screen's where the system knows no other).
int WindowDpi(HWND window);
// GetSystemMetrics(index) at `dpi`.
int SystemMetricAtDpi(int index, int dpi);

}  // namespace tf::platform::win32
