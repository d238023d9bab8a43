// The hooked window's menus. The engine's MenuBar does the work; this file
// lends it the frame (painting, hover timer, activation, menu font), hands
// it the window's menu and key messages, and keeps room in the frame for a
// menu bar the window draws itself when the skin leaves menus their system
// colour.
#include "skin/cls_skinner_win.h"

// user32 exports it but the headers do not declare it: it draws a window's
// menu bar into any rectangle of a device context, which the platform's
// own frame painting cannot do under a skinned caption.
extern "C" DWORD WINAPI DrawMenuBarTemp(HWND window, HDC dc, LPRECT area, HMENU menu, HFONT font);

namespace tf::skin {

MenuBarHost ClsSkinner::MenuHost() {
    MenuBarHost host;
    host.paintFrame = [this] { PaintFrame(); };
    host.restartHoverTimer = [this] { StartHoverTimer(); };
    host.stopHoverTimer = [this] { StopHoverTimer(); };
    host.windowActive = [this] { return active_; };
    host.menuFont = [this] { return menuFont_.get(); };
    return host;
}

bool ClsSkinner::MenuMessage(LRESULT& lReturn, UINT uMsg, WPARAM wParam, LPARAM lParam) {
    switch (uMsg) {
        case WM_NCMOUSEMOVE:
            return menuBar_.OnNcMouseMove(lReturn);
        case WM_NCLBUTTONDOWN:
            return menuBar_.OnNcLButtonDown();
        case WM_NCLBUTTONUP:
            return menuBar_.OnNcLButtonUp();
        case WM_ENTERIDLE:
            return menuBar_.OnEnterIdle(lParam);
        case WM_MENUSELECT:
            return menuBar_.OnMenuSelect(wParam, lParam);
        case kMenuSwitchMessage:
            menuBar_.OnMenuSwitch(lParam);
            return true;
        case WM_HOTKEY:
            return menuBar_.OnHotKey(wParam);
        case WM_SYSKEYDOWN:
        case WM_SYSCHAR:
        case WM_MENUCHAR:
            return menuBar_.OnSystemKey(uMsg, wParam, lParam);
        case WM_MDISETMENU:
            // The MDI client still sets the menu: the bar only follows it.
            menuBar_.OnMdiSetMenu(reinterpret_cast<HMENU>(wParam));
            return false;
        default:
            return false;
    }
}

// --- The bar's place; a menu bar the window keeps ------------------------------------

bool ClsSkinner::HasNativeMenuBar() const {
    return hooked_ && params_.MenuBackColor == kNoColour && !(style_ & WS_CHILD) && Style().caption &&
           GetMenu(hooked_) != nullptr;
}

std::int32_t ClsSkinner::NativeMenuBarHeight() const {
    return HasNativeMenuBar() ? GetSystemMetrics(SM_CYMENU) : 0;
}

std::int32_t ClsSkinner::MenuBarHeight() const { return menuBar_.Height() + NativeMenuBarHeight(); }

namespace {

RECT BarArea(const SkinParameters& p, std::int32_t windowWidth, std::int32_t height) {
    const Insets in = ClientInsets(p, 0);
    return RECT{in.left, in.top, windowWidth - in.right, in.top + height};
}

}  // namespace

void ClsSkinner::PaintNativeMenuBar(HDC window) {
    const std::int32_t height = NativeMenuBarHeight();
    if (height <= 0) return;
    RECT area = BarArea(params_, windowWidth_, height);
    if (area.right <= area.left) return;
    DrawMenuBarTemp(hooked_, window, &area, GetMenu(hooked_), nullptr);
}

bool ClsSkinner::InMenuBar(Point at) const {
    if (IsMdiChild() && Style().maximised) return false;
    if (menuBar_.Drawn()) {
        // Where the engine's bar is painted.
        const Point origin = MenuBarOrigin(params_);
        return at.x >= origin.x && at.x < origin.x + MenuBarSurfaceWidth(params_, WindowSize().x) &&
               at.y >= origin.y && at.y < origin.y + menuBar_.Height();
    }
    const std::int32_t height = NativeMenuBarHeight();
    if (height <= 0) return false;
    const RECT area = BarArea(params_, WindowSize().x, height);
    return at.x >= area.left && at.x < area.right && at.y >= area.top && at.y < area.bottom;
}

}  // namespace tf::skin
