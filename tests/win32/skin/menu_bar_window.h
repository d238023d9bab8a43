#pragma once
// Test windows that serve a MenuBar the way the skin engine's handler does:
// the frame insets with the bar's height, the bar painted with the frame,
// and the menu and keyboard cases handed to the bar before the window's own
// handling. They record what reaches the window itself.
//
// ScriptTimer drives the engine's modal menu loop from inside: each tick
// runs the next step (a step returning false runs again on the next tick),
// and once the script is over every tick ends any open menu, so no test can
// hang in a popup.
#include <windows.h>

#include <functional>
#include <memory>
#include <vector>

#include "skin/menu/menu_bar_win.h"
#include "skin/menu_test_skin.h"
#include "skin/skinned_window.h"

namespace tf::skin::testing {

struct WindowRecord {
    std::vector<WORD> commands;  // WM_COMMAND identifiers
    int popupsOpened = 0;        // WM_INITMENUPOPUP
    int systemKeysPassed = 0;    // WM_SYSKEYDOWN / WM_SYSCHAR / WM_MENUCHAR the bar left alone
    int closes = 0;              // WM_CLOSE
    int hoverStarts = 0, hoverStops = 0;
    bool active = true;
};

class MenuBarWindow {
public:
    enum class Kind { kTopLevel, kMdiFrame };
    // A visible top-level window at (x, y) with `menu` (may be null); the
    // window owns the menu. An MDI frame also gets an MDI client.
    MenuBarWindow(const MenuTestSkin& skin, HMENU menu, Kind kind = Kind::kTopLevel, int x = 60, int y = 60);
    ~MenuBarWindow();
    MenuBarWindow(const MenuBarWindow&) = delete;
    MenuBarWindow& operator=(const MenuBarWindow&) = delete;

    HWND hwnd() const { return hwnd_; }
    HWND mdiClient() const { return mdiClient_; }
    MenuBar& bar() { return *bar_; }
    WindowRecord& record() { return record_; }
    // A maximised MDI child of this frame (MDI frames only).
    HWND AddMaximisedChild(const char* title);
    // Screen point at the middle of the bar's item.
    POINT ItemCentre(int item) const;

private:
    static LRESULT CALLBACK FrameProc(HWND, UINT, WPARAM, LPARAM);
    static LRESULT CALLBACK ClientProc(HWND, UINT, WPARAM, LPARAM);
    LRESULT Handle(UINT message, WPARAM wParam, LPARAM lParam);
    LRESULT Default(UINT message, WPARAM wParam, LPARAM lParam);

    const MenuTestSkin& skin_;
    std::unique_ptr<MenuBar> bar_;
    WindowRecord record_;
    HWND hwnd_ = nullptr;
    HWND mdiClient_ = nullptr;
    WNDPROC clientProc_ = nullptr;
};

// Puts the pointer in the screen's far corner, away from every test window.
void ParkPointer();
// The colour of the menu's background brush, CLR_INVALID for none.
COLORREF MenuBrushColour(HMENU menu);

class ScriptTimer {
public:
    using Step = std::function<bool()>;
    explicit ScriptTimer(std::vector<Step> steps);
    ~ScriptTimer();
    bool finished() const { return next_ >= steps_.size(); }

private:
    static void CALLBACK Tick(HWND, UINT, UINT_PTR, DWORD);
    std::vector<Step> steps_;
    std::size_t next_ = 0;
    int retries_ = 0;
    UINT_PTR id_ = 0;
};

}  // namespace tf::skin::testing
