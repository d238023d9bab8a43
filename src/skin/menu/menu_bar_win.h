#pragma once
// The skinned menu bar of a hooked window: it takes the window's menu bar
// away, draws its own under the caption from the skin's menu pieces, opens
// the popups itself, follows the mouse from item to item, moves between
// menus with Left and Right, and opens menus from Alt+letter. It also gives
// the window's menus and system menu the skin's menu colour.
//
// ClsSkinner owns one MenuBar and forwards its menu and keyboard cases to
// it; what the menu bar needs back from the engine (frame painting, the
// hover timer, the activation state) it asks through MenuBarHost. What the
// bar does with each message is decided by its MenuBarState; this class
// reads the window's facts for it and carries out its decisions.
#include <windows.h>

#include <functional>
#include <string>
#include <vector>

#include "platform/win32/unique_handle.h"
#include "skin/menu/menu_bar_layout.h"
#include "skin/menu/menu_bar_state.h"
#include "skin/format/skin_records.h"

namespace tf::skin {

// The engine's own request to open item lParam (WM_MENUSELECT's wParam),
// and the message that turns a system menu-mode highlight into that request.
inline constexpr WPARAM kOpenItemRequest = 0x1111;
inline constexpr UINT kMenuSwitchMessage = 0x555;
// Hot key ids registered while the menu loop runs.
inline constexpr int kHotKeyLeft = 0;
inline constexpr int kHotKeyRight = 1;

struct MenuBarHost {
    std::function<void()> paintFrame;       // repaint the whole skinned frame
    std::function<void()> restartHoverTimer;
    std::function<void()> stopHoverTimer;
    std::function<bool()> windowActive;
    // The frame's menu font; without one the bar builds its own from the skin.
    std::function<HFONT()> menuFont;
};

class MenuBar {
public:
    explicit MenuBar(MenuBarHost host) : host_(std::move(host)) {}
    ~MenuBar() { Detach(); }
    MenuBar(const MenuBar&) = delete;
    MenuBar& operator=(const MenuBar&) = delete;

    // --- Life (menu_bar_win.cpp) ------------------------------------------
    // The skin the bar is drawn with; `skin` and `skinDc` stay owned by the
    // engine and must outlive their use here. Builds the menu font unless
    // the host lends one.
    void SetSkin(const SkinParameters* skin, HDC skinDc);
    // Starts serving a hooked window: takes over its menu bar.
    void Attach(HWND window, HWND mdiClient);
    // An MDI client found after hooking (WM_CREATE).
    void SetMdiClient(HWND mdiClient);
    // Gives a removed menu back to the window (or destroys it with a window
    // that is gone) and uncolours the menus; the bar is then idle.
    void Detach();
    // After a new skin while attached: colours and lays out again; a skin
    // that leaves menus their system colour puts the menu back on the window.
    void ApplySkin();

    // Reads the window's menu, colours it and the system menu, and removes
    // it from the window when the skin gives menus a colour of their own. A
    // window that reports no menu keeps the one the engine already holds.
    void TakeOver();
    // WM_GETICON and WM_STYLECHANGED: the window's menu may have come or
    // gone, or a maximised MDI child may have changed it.
    void CheckMenuBar();
    void OnStyleChanged();
    // WM_MDISETMENU on the MDI client: the new frame menu (null: unchanged).
    void OnMdiSetMenu(HMENU frameMenu);

    // Measures the items and paints the bar afresh.
    void LayOut();
    // Paints the bar into `target` (the window's whole-window surface) for
    // a window `windowWidth` wide; `hot` is the highlighted item, -1 none.
    void Paint(HDC target, std::int32_t windowWidth, std::int32_t hot, bool pressed);
    // Paints onto the window itself.
    void PaintOnWindow(std::int32_t hot, bool pressed);

    std::int32_t ItemUnderCursor() const;
    std::int32_t FindAccelerator(std::uint32_t key) const;

    // --- Message cases (menu_loop_win.cpp) ---------------------------------
    // Each returns true when it consumed the message; `result` is then the
    // value for the sender.
    bool OnNcMouseMove(LRESULT& result);
    bool OnNcLButtonDown();
    bool OnNcLButtonUp();
    bool OnEnterIdle(LPARAM popupWindow);
    bool OnMenuSelect(WPARAM wParam, LPARAM lParam);
    void OnMenuSwitch(LPARAM item);  // kMenuSwitchMessage, after phase
    bool OnHotKey(WPARAM id);
    bool OnSystemKey(UINT message, WPARAM wParam, LPARAM lParam);
    // The hover timer's menu part: false once the pointer has left the bar
    // (the hot item is then cleared).
    bool KeepHovering();
    void RunMenuLoop(std::int32_t start);

    // --- State ---------------------------------------------------------------
    HMENU Menu() const { return menu_; }
    bool Drawn() const { return drawn_; }
    bool Tracking() const { return state_.Tracking(); }
    bool MdiChildMaximised() const { return mdiChildMaximised_; }
    std::int32_t OpenItem() const { return state_.OpenItem(); }
    std::int32_t HotItem() const { return state_.HotItem(); }
    void ClearHotItem() { state_.ClearHotItem(); }
    HWND PopupWindow() const { return popupWindow_; }
    const std::vector<Rect>& Items() const { return items_; }
    const std::vector<std::string>& Texts() const { return texts_; }
    // Height the bar takes from the client area (0 when none is drawn).
    std::int32_t Height() const;

private:
    bool UsesOwnColour() const;
    HFONT Font() const;
    void Colour(HMENU menu, COLORREF colour);
    void ColourMenus();
    void RestoreMenus();
    bool ItemDisabled(std::int32_t item) const;
    HMENU SubMenuOf(std::int32_t item) const;
    std::int32_t WindowWidth() const;
    bool ActiveChildMaximised() const;
    void LayOutItems();
    bool LayoutStale(std::int32_t windowWidth) const;
    void ForceFrameRecalc() const;
    bool IsMdiChild() const;
    MenuItemFacts FactsOf(std::int32_t item) const;
    void ItemsChanged() { state_.SetItems(static_cast<std::int32_t>(items_.size()), mdiChildMaximised_); }
    // Carries out what the state decided, in the order its fields give.
    void Apply(const MenuBarDecision& decision);
    void PumpPending();
    void PostKey(HWND to, WPARAM key) const;
    HICON ActiveChildIcon() const;

    MenuBarHost host_;
    const SkinParameters* skin_ = nullptr;
    HDC skinDc_ = nullptr;
    platform::win32::UniqueFont font_;
    platform::win32::UniqueBrush backBrush_;  // the brush every coloured menu uses
    COLORREF backColour_ = 0;
    std::vector<HMENU> coloured_;             // menus given backBrush_

    HWND window_ = nullptr;
    HWND mdiClient_ = nullptr;
    HMENU menu_ = nullptr;
    bool removed_ = false;  // menu_ was taken off the window
    bool drawn_ = false;
    bool mdiChildMaximised_ = false;
    std::vector<Rect> items_;
    std::vector<std::string> texts_;
    Rect bar_;
    std::int32_t laidOutWidth_ = 0;

    MenuBarState state_;
    HMENU currentPopup_ = nullptr;
    HWND popupWindow_ = nullptr;
};

}  // namespace tf::skin
