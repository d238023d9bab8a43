#pragma once
// Alt+F4 for skinned top-level windows, wherever the focus is. The skinned
// frame takes the system keys from its window (no platform menu mode), and
// a focused control may keep the key to itself; a message filter on the
// GUI thread sees the key first and asks the window to close, as an MDI
// child's skin does for its child. Keys inside an MDI child are left to it.
#include <windows.h>

namespace tf::skin {

// True when the message is Alt+F4 pressed (not a repeat).
bool IsCloseKey(const MSG& msg);

// While it lives, Alt+F4 in `window` or any of its descendants posts
// WM_CLOSE to `window`. One filter serves every registered window.
class CloseOnAltF4 {
public:
    explicit CloseOnAltF4(HWND window);
    ~CloseOnAltF4();
    CloseOnAltF4(const CloseOnAltF4&) = delete;
    CloseOnAltF4& operator=(const CloseOnAltF4&) = delete;
    bool Active() const;  // the filter is in place

private:
    HWND window_;
};

}  // namespace tf::skin
