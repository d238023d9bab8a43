// The hooked window's menus. The engine colours the window's menus and its
// system menu; it does not draw a menu bar of its own yet, so a window keeps
// its native menu bar, menuBarDrawn_ stays false, and the menu-bar steps of
// the frame (layout, painting, clicks, hover, keys) find nothing to do.
#include "skin/cls_skinner_win.h"

namespace tf::skin {

void ClsSkinner::TakeOverMenuBar() {
    menu_ = GetMenu(hooked_);
    const COLORREF colour =
        params_.MenuBackColor == kNoColour ? GetSysColor(COLOR_MENU) : static_cast<COLORREF>(params_.MenuBackColor);
    // One brush serves the window's menus, which only borrow it: the old one
    // goes once no menu holds it any more.
    platform::win32::UniqueBrush previous;
    if (!menuBrush_ || menuBrushColour_ != colour) {
        previous = std::move(menuBrush_);
        menuBrush_.reset(CreateSolidBrush(colour));
        menuBrushColour_ = colour;
    }
    SetMenuBackground(menu_, menuBrush_.get());
    SetMenuBackground(GetSystemMenu(hooked_, FALSE), menuBrush_.get());
}

void ClsSkinner::SetMenuBackground(HMENU menu, HBRUSH brush) {
    if (!menu) return;
    MENUINFO info{};
    info.cbSize = sizeof info;
    info.fMask = MIM_BACKGROUND | MIM_APPLYTOSUBMENUS;
    info.hbrBack = brush;
    SetMenuInfo(menu, &info);
}

void ClsSkinner::ReleaseMenuBackground() {
    // The menus outlive the hook: give them back their own background before
    // the brush goes.
    if (hooked_ && IsWindow(hooked_)) {
        SetMenuBackground(GetMenu(hooked_), nullptr);
        SetMenuBackground(GetSystemMenu(hooked_, FALSE), nullptr);
    }
    SetMenuBackground(menu_, nullptr);
    menuBrush_.reset();
}

void ClsSkinner::CheckMenuBar() {}

std::int32_t ClsSkinner::MenuBarHeight() const { return menuBarDrawn_ ? params_.MenuBar.start().Height : 0; }

void ClsSkinner::LayOutMenuBar() {}

void ClsSkinner::PaintMenuBar(HDC, int, bool) {}

int ClsSkinner::MenuBarItemUnderCursor() const { return -1; }

bool ClsSkinner::MenuMessage(bool, LRESULT&, UINT, WPARAM, LPARAM) { return false; }

}  // namespace tf::skin
