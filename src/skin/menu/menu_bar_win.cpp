// The menu bar's life: which menu it holds, taking it off the window, the
// menu colour, layout and the item under the pointer.
#include "skin/menu/menu_bar_win.h"
#include "skin/frame/skin_font_win.h"

#include <algorithm>

namespace tf::skin {

using platform::win32::ScopedSelect;
using platform::win32::ScopedWindowDc;
using platform::win32::UniqueBrush;
using platform::win32::UniqueFont;

namespace {

constexpr int kMaxItemText = 255;

std::string MenuText(HMENU menu, int position) {
    char text[kMaxItemText + 1] = {};
    const int length = GetMenuStringA(menu, position, text, kMaxItemText + 1, MF_BYPOSITION);
    return std::string(text, static_cast<std::size_t>(std::clamp(length, 0, kMaxItemText)));
}

// Every submenu takes the brush too; a null brush gives the system colour
// back.
void SetMenuBrush(HMENU menu, HBRUSH brush) {
    MENUINFO info{};
    info.cbSize = sizeof(info);
    info.fMask = MIM_BACKGROUND | MIM_APPLYTOSUBMENUS;
    info.hbrBack = brush;
    SetMenuInfo(menu, &info);
}

}  // namespace

void MenuBar::SetSkin(const SkinParameters* skin, HDC skinDc) {
    skin_ = skin;
    skinDc_ = skinDc;
    font_.reset();
    if (skin_ && !host_.menuFont) {
        const LOGFONTA lf = ToLogFont(skin_->MenuFont);
        font_.reset(CreateFontIndirectA(&lf));
    }
}

void MenuBar::Attach(HWND window, HWND mdiClient) {
    Detach();
    window_ = window;
    mdiClient_ = mdiClient;
    TakeOver();
}

void MenuBar::SetMdiClient(HWND mdiClient) { mdiClient_ = mdiClient; }

HFONT MenuBar::Font() const { return host_.menuFont ? host_.menuFont() : font_.get(); }

void MenuBar::ApplySkin() {
    if (!window_ || !skin_) return;
    if (!UsesOwnColour() && removed_ && menu_ && IsWindow(window_)) {
        SetMenu(window_, menu_);
        removed_ = false;
    }
    TakeOver();
    if (!drawn_) {
        items_.clear();
        texts_.clear();
        ItemsChanged();
    }
}

void MenuBar::Detach() {
    if (state_.Reset()) EndMenu();
    RestoreMenus();
    if (removed_ && menu_) {
        if (IsWindow(window_))
            SetMenu(window_, menu_);
        else if (IsMenu(menu_))
            platform::win32::UniqueMenu orphan(menu_);  // attached to nothing, nobody else would free it
    }
    window_ = mdiClient_ = nullptr;
    menu_ = nullptr;
    removed_ = drawn_ = mdiChildMaximised_ = false;
    items_.clear();
    texts_.clear();
    ItemsChanged();
    currentPopup_ = nullptr;
    popupWindow_ = nullptr;
}

bool MenuBar::UsesOwnColour() const { return skin_ && skin_->MenuBackColor != kNoColour; }

bool MenuBar::IsMdiChild() const {
    return window_ && (GetWindowLongPtrA(window_, GWL_EXSTYLE) & WS_EX_MDICHILD) != 0;
}

void MenuBar::TakeOver() {
    if (!window_ || !skin_) return;
    // A child window's menu slot holds its identifier, not a menu.
    HMENU current = (GetWindowLongPtrA(window_, GWL_STYLE) & WS_CHILD) ? nullptr : GetMenu(window_);
    if (current) {
        menu_ = current;
        removed_ = false;
    }
    ColourMenus();
    // An MDI frame keeps its menu: the MDI client adds a maximised child's
    // items only to the menu on the frame, and our frame never shows it.
    if (UsesOwnColour() && current && !mdiClient_) {
        SetMenu(window_, nullptr);
        removed_ = true;
    }
    drawn_ = UsesOwnColour() && menu_ && GetMenuItemCount(menu_) > 0;
    if (drawn_) LayOut();
}

void MenuBar::CheckMenuBar() {
    if (!window_ || !skin_) return;
    const int count = menu_ ? GetMenuItemCount(menu_) : 0;
    if (!UsesOwnColour() || count <= 0) {
        const bool changed = drawn_ || mdiChildMaximised_;
        drawn_ = mdiChildMaximised_ = false;
        items_.clear();
        texts_.clear();
        ItemsChanged();
        if (changed) ForceFrameRecalc();
        return;
    }
    const bool wasDrawn = drawn_;
    const bool wasMaximised = mdiChildMaximised_;
    const std::size_t hadItems = items_.size();
    drawn_ = true;
    LayOut();
    // A recalculation per icon query would repaint the frame endlessly; only
    // a bar that came, or changed its items, needs one.
    if (!wasDrawn || wasMaximised != mdiChildMaximised_ || hadItems != items_.size()) ForceFrameRecalc();
}

void MenuBar::OnStyleChanged() {
    if (window_ && !menu_ && !mdiClient_ && !(GetWindowLongPtrA(window_, GWL_STYLE) & WS_CHILD) && GetMenu(window_))
        TakeOver();
}

void MenuBar::OnMdiSetMenu(HMENU frameMenu) {
    if (!window_ || !skin_ || !frameMenu) return;  // null keeps the frame menu as it is
    menu_ = frameMenu;
    removed_ = false;
    if (GetMenu(window_) != frameMenu) SetMenu(window_, frameMenu);
    const bool wasDrawn = drawn_;
    drawn_ = UsesOwnColour() && GetMenuItemCount(menu_) > 0;
    if (UsesOwnColour()) ColourMenus();
    if (drawn_) {
        ForceFrameRecalc();
        LayOut();
    } else if (wasDrawn) {
        ForceFrameRecalc();
    }
}

// --- Colour -------------------------------------------------------------------

void MenuBar::Colour(HMENU menu, COLORREF colour) {
    if (!menu || !IsMenu(menu)) return;
    if (!backBrush_ || backColour_ != colour) {
        UniqueBrush fresh(CreateSolidBrush(colour));
        if (!fresh) return;
        // Every menu coloured so far moves to the new brush before the old
        // one goes.
        for (HMENU m : coloured_)
            if (IsMenu(m)) SetMenuBrush(m, fresh.get());
        backBrush_ = std::move(fresh);
        backColour_ = colour;
    }
    SetMenuBrush(menu, backBrush_.get());
    if (std::find(coloured_.begin(), coloured_.end(), menu) == coloured_.end()) coloured_.push_back(menu);
}

void MenuBar::ColourMenus() {
    if (!window_ || !skin_) return;
    const COLORREF colour = UsesOwnColour() ? skin_->MenuBackColor : GetSysColor(COLOR_MENU);
    Colour(menu_, colour);
    Colour(GetSystemMenu(window_, FALSE), colour);
}

void MenuBar::RestoreMenus() {
    for (HMENU m : coloured_)
        if (IsMenu(m)) SetMenuBrush(m, nullptr);
    coloured_.clear();
    backBrush_.reset();
}

// --- Layout -------------------------------------------------------------------

std::int32_t MenuBar::WindowWidth() const {
    RECT r{};
    GetWindowRect(window_, &r);
    return r.right - r.left;
}

void MenuBar::ForceFrameRecalc() const {
    SetWindowPos(window_, nullptr, 0, 0, 0, 0,
                 SWP_NOSIZE | SWP_NOMOVE | SWP_NOZORDER | SWP_FRAMECHANGED | SWP_NOOWNERZORDER);
}

bool MenuBar::ActiveChildMaximised() const {
    if (!mdiClient_ || !menu_) return false;
    HWND child = reinterpret_cast<HWND>(SendMessageA(mdiClient_, WM_MDIGETACTIVE, 0, 0));
    // The MDI client adds the child's items only to a menu on the frame; a
    // menu without them has no slots to show.
    const int count = GetMenuItemCount(menu_);
    return child && IsZoomed(child) && count > 0 && GetMenuItemID(menu_, count - 1) == SC_CLOSE;
}

void MenuBar::LayOut() {
    LayOutItems();
    PaintOnWindow(-1, false);
}

bool MenuBar::LayoutStale(std::int32_t windowWidth) const {
    return windowWidth != laidOutWidth_ || GetMenuItemCount(menu_) != static_cast<int>(items_.size()) ||
           ActiveChildMaximised() != mdiChildMaximised_;
}

void MenuBar::LayOutItems() {
    if (!window_ || !skin_ || !menu_) return;
    const int count = GetMenuItemCount(menu_);
    mdiChildMaximised_ = ActiveChildMaximised();
    items_.clear();
    texts_.clear();
    ItemsChanged();
    if (count <= 0) return;

    ScopedWindowDc screen(nullptr);
    ScopedSelect font(screen.get(), Font());
    std::vector<std::int32_t> widths;
    for (int i = 0; i < count; ++i) {
        texts_.push_back(MenuText(menu_, i));
        RECT r{0, 0, 0, 0};
        DrawTextA(screen.get(), texts_.back().c_str(), static_cast<int>(texts_.back().size()), &r,
                  DT_CALCRECT | DT_SINGLELINE);
        widths.push_back(r.right - r.left);
    }
    laidOutWidth_ = WindowWidth();
    bar_ = MenuBarRect(*skin_, laidOutWidth_);
    items_ = LayOutMenuBarItems(*skin_, laidOutWidth_, widths, mdiChildMaximised_);
    ItemsChanged();
}

std::int32_t MenuBar::Height() const { return (drawn_ && skin_) ? skin_->MenuBar.start().Height : 0; }

std::int32_t MenuBar::ItemUnderCursor() const {
    if (!drawn_ || !window_ || !skin_) return -1;
    POINT cursor{};
    RECT window{};
    if (!GetCursorPos(&cursor) || !GetWindowRect(window_, &window)) return -1;
    const std::int32_t x = cursor.x - window.left - MenuBarOrigin(*skin_).x;
    const std::int32_t y = cursor.y - window.top;
    return MenuItemAt(bar_, items_, x, y);
}

std::int32_t MenuBar::FindAccelerator(std::uint32_t key) const { return FindAcceleratorItem(texts_, key); }

bool MenuBar::ItemDisabled(std::int32_t item) const {
    MENUITEMINFOA info{};
    info.cbSize = sizeof(info);
    info.fMask = MIIM_STATE;
    if (!menu_ || !GetMenuItemInfoA(menu_, static_cast<UINT>(item), TRUE, &info)) return false;
    return (info.fState & MFS_DISABLED) != 0;  // grayed or disabled, whatever else is set
}

HMENU MenuBar::SubMenuOf(std::int32_t item) const {
    return (menu_ && item >= 0) ? GetSubMenu(menu_, item) : nullptr;
}

MenuItemFacts MenuBar::FactsOf(std::int32_t item) const {
    if (item < 0) return {};
    return MenuItemFacts{SubMenuOf(item) != nullptr, ItemDisabled(item)};
}

}  // namespace tf::skin
