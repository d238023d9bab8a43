#include "skin/frame/close_key_win.h"

#include <algorithm>
#include <vector>

#include "platform/win32/edge_guard_win.h"
#include "platform/win32/unique_handle.h"

namespace tf::skin {
namespace {

std::vector<HWND> gWindows;
platform::win32::UniqueHook gFilter;

bool InsideMdiChild(HWND window, HWND top) {
    for (HWND w = window; w && w != top; w = GetParent(w))
        if (GetWindowLongPtrA(w, GWL_EXSTYLE) & WS_EX_MDICHILD) return true;
    return false;
}

void Filter(int code, WPARAM removed, LPARAM lParam) {
    if (code == HC_ACTION && removed == PM_REMOVE) {
        MSG& msg = *reinterpret_cast<MSG*>(lParam);
        if (IsCloseKey(msg) && msg.hwnd) {
            HWND top = GetAncestor(msg.hwnd, GA_ROOT);
            if (std::find(gWindows.begin(), gWindows.end(), top) != gWindows.end() && !InsideMdiChild(msg.hwnd, top)) {
                PostMessageA(top, WM_CLOSE, 0, 0);
                msg.message = WM_NULL;  // taken: no one else acts on it
            }
        }
    }
}

LRESULT CALLBACK FilterProc(int code, WPARAM removed, LPARAM lParam) {
    platform::win32::CatchAtEdge("Alt+F4", [&] { Filter(code, removed, lParam); });
    return CallNextHookEx(nullptr, code, removed, lParam);
}

}  // namespace

bool IsCloseKey(const MSG& msg) {
    const WORD flags = HIWORD(msg.lParam);
    return msg.message == WM_SYSKEYDOWN && msg.wParam == VK_F4 && (flags & KF_ALTDOWN) && !(flags & KF_REPEAT);
}

CloseOnAltF4::CloseOnAltF4(HWND window) : window_(window) {
    gWindows.push_back(window_);
    if (!gFilter) gFilter.reset(SetWindowsHookExA(WH_GETMESSAGE, FilterProc, nullptr, GetCurrentThreadId()));
}

CloseOnAltF4::~CloseOnAltF4() {
    const auto it = std::find(gWindows.begin(), gWindows.end(), window_);
    if (it != gWindows.end()) gWindows.erase(it);
    if (gWindows.empty()) gFilter.reset();
}

bool CloseOnAltF4::Active() const { return static_cast<bool>(gFilter); }

}  // namespace tf::skin
