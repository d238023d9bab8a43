// The menu loop and the menu bar's message cases: the mouse on the bar,
// popups opened with TrackPopupMenuEx, Left and Right as hot keys while a
// menu is open, and Alt+letter.
//
// Moving to another menu always goes the same way: the open popup is ended
// and the engine posts itself WM_MENUSELECT with kOpenItemRequest, so the
// next popup opens from the outer message loop, never inside the old one.
#include "skin/menu_bar_win.h"

namespace tf::skin {

namespace {

bool Highlighted(UINT state) { return state == MFS_HILITE || state == (MFS_HILITE | MFS_DISABLED); }

// The first item of `menu` whose state is highlighted, -1 when none.
std::int32_t HighlightedItem(HMENU menu) {
    const int count = menu ? GetMenuItemCount(menu) : 0;
    for (int i = 0; i < count; ++i) {
        MENUITEMINFOA info{};
        info.cbSize = sizeof(info);
        info.fMask = MIIM_STATE;
        if (GetMenuItemInfoA(menu, static_cast<UINT>(i), TRUE, &info) && Highlighted(info.fState)) return i;
    }
    return -1;
}

}  // namespace

void MenuBar::PumpPending() {
    MSG msg;
    while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
        if (msg.message == WM_QUIT) {
            PostQuitMessage(static_cast<int>(msg.wParam));  // for the outer loop
            tracking_ = false;
            return;
        }
        TranslateMessage(&msg);
        DispatchMessageA(&msg);
    }
}

void MenuBar::PostKey(HWND to, WPARAM key) const {
    PostMessageA(to, WM_KEYDOWN, key, 0);
    PostMessageA(to, WM_KEYUP, key, 0xC0000001);
}

void MenuBar::RequestItem(std::int32_t item) {
    tracking_ = false;
    EndMenu();
    PostMessageA(window_, WM_MENUSELECT, kOpenItemRequest, item);
    reopenPending_ = true;
}

void MenuBar::RunMenuLoop(std::int32_t start) {
    if (tracking_ || !drawn_ || !window_) return;  // the loop never nests
    HWND window = window_;
    if (host_.stopHoverTimer) host_.stopHoverTimer();
    const platform::win32::HotKeyRegistration left(window, kHotKeyLeft, 0, VK_LEFT);
    const platform::win32::HotKeyRegistration right(window, kHotKeyRight, 0, VK_RIGHT);
    tracking_ = true;
    std::int32_t p = start < 0 ? ItemUnderCursor() : start;
    if (p < 0 || p >= static_cast<std::int32_t>(items_.size())) tracking_ = false;

    while (tracking_) {
        PumpPending();
        if (!tracking_ || !IsWindow(window) || window_ != window) break;
        PaintOnWindow(p, true);
        openItem_ = p;
        HMENU popup = SubMenuOf(p);
        bool dismissed = false;
        if (popup && !ItemDisabled(p)) {
            RECT frame{};
            GetWindowRect(window, &frame);
            const Rect& item = items_[p];
            // Below the item, where the bar draws it.
            const int x = frame.left + MenuBarOrigin(*skin_).x + item.left;
            switchRequested_ = false;
            popupOpen_ = true;
            TrackPopupMenuEx(popup, TPM_VERTICAL, x, frame.top + item.bottom, window, nullptr);
            popupOpen_ = false;
            // Escape, a command or a click elsewhere closed it: that ends the
            // loop even with the pointer resting on the bar.
            dismissed = !switchRequested_;
        } else {
            while (tracking_ && ItemUnderCursor() == p && IsWindow(window)) {
                WaitMessage();
                PumpPending();
            }
        }
        if (!tracking_ || window_ != window) break;
        p = dismissed ? -1 : ItemUnderCursor();
        if (p < 0) {
            tracking_ = false;
            PaintOnWindow(-1, false);
        }
    }
    hotItem_ = -1;
}

// --- Mouse on the bar --------------------------------------------------------

bool MenuBar::OnNcMouseMove(LRESULT& result) {
    if (tracking_ || !drawn_) return false;
    const std::int32_t i = ItemUnderCursor();
    if (i < 0 && hotItem_ >= 0) {
        PaintOnWindow(-1, false);
        hotItem_ = -1;
        if (host_.stopHoverTimer) host_.stopHoverTimer();
    } else if (i >= 0 && i != hotItem_) {
        PaintOnWindow(i, false);
        hotItem_ = i;
        if (host_.restartHoverTimer) host_.restartHoverTimer();
    }
    result = 1;
    return false;
}

bool MenuBar::KeepHovering() {
    if (ItemUnderCursor() >= 0) return true;
    hotItem_ = -1;
    return false;
}

bool MenuBar::OnNcLButtonDown() {
    if (!drawn_) return false;
    const std::int32_t i = ItemUnderCursor();
    if (i < 0) return false;
    if (tracking_) {
        if (SubMenuOf(i))
            tracking_ = false;  // its popup closes
        else
            PaintOnWindow(i, true);
    } else {
        RunMenuLoop(i);
    }
    return true;
}

bool MenuBar::OnNcLButtonUp() {
    if (!drawn_) return false;
    const std::int32_t i = ItemUnderCursor();
    if (i < 0) return false;
    if (tracking_ && !SubMenuOf(i)) {
        PaintOnWindow(i, false);
        if (!ItemDisabled(i)) PostMessageA(window_, WM_COMMAND, GetMenuItemID(menu_, i), 0);
        tracking_ = false;
    }
    return true;
}

// --- Popups ----------------------------------------------------------------------

bool MenuBar::OnEnterIdle(LPARAM popupWindow) {
    if (!tracking_) return false;
    HWND popup = reinterpret_cast<HWND>(popupWindow);
    if (reopenPending_ && popup != popupWindow_) {
        PostKey(popup, VK_DOWN);  // a popup opened from the keyboard shows its first item
        reopenPending_ = false;
    }
    popupWindow_ = popup;
    const std::int32_t i = ItemUnderCursor();
    if (i >= 0 && i != openItem_ && popupOpen_) {
        switchRequested_ = true;
        EndMenu();  // the loop opens the item under the pointer
    }
    return true;
}

bool MenuBar::OnMenuSelect(WPARAM wParam, LPARAM lParam) {
    if (!drawn_) return false;  // a native bar keeps its own menu mode
    if (wParam == kOpenItemRequest) {
        const auto item = static_cast<std::int32_t>(lParam);
        if (item < 0 || item >= static_cast<std::int32_t>(items_.size())) return true;
        if (SubMenuOf(item)) {
            if (host_.paintFrame) host_.paintFrame();
            RunMenuLoop(item);
        } else if (!ItemDisabled(item)) {
            PostMessageA(window_, WM_COMMAND, GetMenuItemID(menu_, item), 0);
        }
        return true;
    }
    currentPopup_ = reinterpret_cast<HMENU>(lParam);
    // The system's own menu mode on the (hidden) bar highlights a top-level
    // item: the engine takes over with its own popup.
    const std::int32_t lit = HighlightedItem(menu_);
    if (lit != hotItem_) {
        hotItem_ = lit;
        if (lit >= 0) PostMessageA(window_, kMenuSwitchMessage, 0, lit);
    }
    return true;
}

void MenuBar::OnMenuSwitch(LPARAM item) {
    EndMenu();
    if (host_.paintFrame) host_.paintFrame();
    reopenPending_ = true;
    PostMessageA(window_, WM_MENUSELECT, kOpenItemRequest, item);
}

bool MenuBar::OnHotKey(WPARAM id) {
    if (!tracking_) return false;
    const auto count = static_cast<std::int32_t>(items_.size());
    if (id == kHotKeyLeft) {
        // Inside a nested submenu Left closes that submenu only.
        if (popupOpen_ && currentPopup_ && currentPopup_ != SubMenuOf(openItem_))
            PostKey(popupWindow_, VK_LEFT);
        else
            RequestItem(ItemLeftOf(openItem_, count, mdiChildMaximised_));
    } else if (id == kHotKeyRight) {
        const std::int32_t lit = popupOpen_ ? HighlightedItem(currentPopup_) : -1;
        if (lit >= 0 && GetSubMenu(currentPopup_, lit))
            PostKey(popupWindow_, VK_RIGHT);  // opens the highlighted submenu
        else
            RequestItem(ItemRightOf(openItem_, count, mdiChildMaximised_));
    }
    return true;
}

// --- System keys -----------------------------------------------------------------

bool MenuBar::OnSystemKey(UINT message, WPARAM wParam, LPARAM lParam) {
    if (!window_) return false;
    const auto key = static_cast<std::uint32_t>(wParam & 0xFFFF);
    if (message == WM_SYSKEYDOWN && key == VK_F4 && !IsMdiChild() &&
        !(GetWindowLongPtrA(window_, GWL_STYLE) & WS_CHILD)) {
        // The platform's own close on Alt+F4 is among the keys taken.
        PostMessageA(window_, WM_CLOSE, 0, 0);
        return true;
    }
    if (IsMdiChild()) {
        if (message == WM_SYSKEYDOWN && key == VK_F4)
            PostMessageA(window_, WM_CLOSE, 0, 0);
        else
            PostMessageA(GetAncestor(window_, GA_ROOT), message, wParam, lParam);
        if (host_.paintFrame) host_.paintFrame();
        return true;
    }
    // A key-down carries a virtual key, which is its character only for
    // letters and digits (F1 would otherwise read as "p").
    const bool character = message != WM_SYSKEYDOWN || (key >= '0' && key <= '9') || (key >= 'A' && key <= 'Z');
    const std::int32_t i = character ? FindAccelerator(key) : -1;
    if (i >= 0) {
        if (tracking_) {
            if (i != openItem_) RequestItem(i);
        } else {
            reopenPending_ = true;
            RunMenuLoop(i);
        }
    }
    return true;
}

}  // namespace tf::skin
