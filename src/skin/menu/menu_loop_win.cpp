// The menu loop and the menu bar's message cases: the mouse on the bar,
// popups opened with TrackPopupMenuEx, Left and Right as hot keys while a
// menu is open, and Alt+letter. MenuBarState decides; this file reads what
// it needs from the window and carries the decisions out. Its request to
// open another item is the engine's WM_MENUSELECT with kOpenItemRequest.
#include "skin/menu/menu_bar_win.h"

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
            state_.StopTracking();
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

void MenuBar::Apply(const MenuBarDecision& d) {
    switch (d.popupKey) {
        case PopupKey::kDown:
            PostKey(popupWindow_, VK_DOWN);
            break;
        case PopupKey::kLeft:
            PostKey(popupWindow_, VK_LEFT);
            break;
        case PopupKey::kRight:
            PostKey(popupWindow_, VK_RIGHT);
            break;
        case PopupKey::kNone:
            break;
    }
    if (d.endPopup) EndMenu();
    if (d.paint) PaintOnWindow(d.paint->hot, d.paint->pressed);
    if (d.paintFrame && host_.paintFrame) host_.paintFrame();
    if (d.hoverTimer == HoverTimer::kRestart && host_.restartHoverTimer) host_.restartHoverTimer();
    if (d.hoverTimer == HoverTimer::kStop && host_.stopHoverTimer) host_.stopHoverTimer();
    if (d.command >= 0) PostMessageA(window_, WM_COMMAND, GetMenuItemID(menu_, d.command), 0);
    if (d.openRequest >= 0) PostMessageA(window_, WM_MENUSELECT, kOpenItemRequest, d.openRequest);
    if (d.systemSwitch >= 0) PostMessageA(window_, kMenuSwitchMessage, 0, d.systemSwitch);
    if (d.runLoop >= 0) RunMenuLoop(d.runLoop);
}

void MenuBar::RunMenuLoop(std::int32_t start) {
    if (state_.Tracking() || !drawn_ || !window_) return;  // the loop never nests
    HWND window = window_;
    if (host_.stopHoverTimer) host_.stopHoverTimer();
    const platform::win32::HotKeyRegistration left(window, kHotKeyLeft, 0, VK_LEFT);
    const platform::win32::HotKeyRegistration right(window, kHotKeyRight, 0, VK_RIGHT);
    std::int32_t p = state_.BeginLoop(start, start < 0 ? ItemUnderCursor() : -1);

    while (state_.Tracking()) {
        PumpPending();
        if (!state_.Tracking() || !IsWindow(window) || window_ != window) break;
        HMENU popup = SubMenuOf(p);
        const bool opens = popup && !ItemDisabled(p);
        const MenuBarLook look = state_.Show(p, opens);
        PaintOnWindow(look.hot, look.pressed);
        bool dismissed = false;
        if (opens) {
            RECT frame{};
            GetWindowRect(window, &frame);
            const Rect& item = items_[p];
            // Below the item, where the bar draws it.
            const int x = frame.left + MenuBarOrigin(*skin_).x + item.left;
            TrackPopupMenuEx(popup, TPM_VERTICAL, x, frame.top + item.bottom, window, nullptr);
            dismissed = state_.PopupClosed();
        } else {
            while (state_.KeepWaiting(ItemUnderCursor()) && IsWindow(window)) {
                WaitMessage();
                PumpPending();
            }
        }
        if (!state_.Tracking() || window_ != window) break;
        p = state_.Next(dismissed, dismissed ? -1 : ItemUnderCursor());
        if (p < 0) PaintOnWindow(-1, false);
    }
    state_.EndLoop();
}

// --- Mouse on the bar --------------------------------------------------------

bool MenuBar::OnNcMouseMove(LRESULT& result) {
    if (state_.Tracking() || !drawn_) return false;
    Apply(state_.PointerMoved(ItemUnderCursor()));
    result = 1;
    return false;
}

bool MenuBar::KeepHovering() { return state_.KeepHovering(ItemUnderCursor()); }

bool MenuBar::OnNcLButtonDown() {
    if (!drawn_) return false;
    const std::int32_t i = ItemUnderCursor();
    const MenuBarDecision d = state_.ButtonDown(i, FactsOf(i));
    Apply(d);
    return d.consumed;
}

bool MenuBar::OnNcLButtonUp() {
    if (!drawn_) return false;
    const std::int32_t i = ItemUnderCursor();
    const MenuBarDecision d = state_.ButtonUp(i, FactsOf(i));
    Apply(d);
    return d.consumed;
}

// --- Popups ----------------------------------------------------------------------

bool MenuBar::OnEnterIdle(LPARAM popupWindow) {
    if (!state_.Tracking()) return false;
    HWND popup = reinterpret_cast<HWND>(popupWindow);
    const MenuBarDecision d = state_.PopupIdle(popup != popupWindow_, ItemUnderCursor());
    popupWindow_ = popup;
    Apply(d);
    return true;
}

bool MenuBar::OnMenuSelect(WPARAM wParam, LPARAM lParam) {
    if (!drawn_) return false;  // a native bar keeps its own menu mode
    if (wParam == kOpenItemRequest) {
        const auto item = static_cast<std::int32_t>(lParam);
        Apply(state_.OpenRequested(item, FactsOf(item)));
        return true;
    }
    currentPopup_ = reinterpret_cast<HMENU>(lParam);
    // The system's own menu mode on the (hidden) bar highlights a top-level
    // item: the engine takes over with its own popup.
    Apply(state_.SystemHighlight(HighlightedItem(menu_)));
    return true;
}

void MenuBar::OnMenuSwitch(LPARAM item) { Apply(state_.SystemSwitch(static_cast<std::int32_t>(item))); }

bool MenuBar::OnHotKey(WPARAM id) {
    if (!state_.Tracking()) return false;
    if (id == kHotKeyLeft) {
        // Inside a nested submenu Left closes that submenu only.
        Apply(state_.Left(currentPopup_ && currentPopup_ != SubMenuOf(state_.OpenItem())));
    } else if (id == kHotKeyRight) {
        // On an item with a submenu Right opens it.
        const std::int32_t lit = state_.PopupOpen() ? HighlightedItem(currentPopup_) : -1;
        Apply(state_.Right(lit >= 0 && GetSubMenu(currentPopup_, lit)));
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
    Apply(state_.Accelerator(character ? FindAccelerator(key) : -1));
    return true;
}

}  // namespace tf::skin
