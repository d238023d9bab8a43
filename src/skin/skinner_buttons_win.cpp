// Hit-testing the skinned frame, the caption buttons' states and clicks, the
// icon box's system menu, and the hover timer that notices the mouse leaving
// a button.
#include <windowsx.h>

#include "skin/cls_skinner_win.h"

namespace tf::skin {
namespace {

constexpr UINT kHoverPeriodMs = 1;

static_assert(kHitCaption == HTCAPTION && kHitSysMenu == HTSYSMENU && kHitMinButton == HTMINBUTTON &&
              kHitMaxButton == HTMAXBUTTON && kHitLeft == HTLEFT && kHitRight == HTRIGHT &&
              kHitTopLeft == HTTOPLEFT && kHitTopRight == HTTOPRIGHT && kHitBottom == HTBOTTOM &&
              kHitBottomLeft == HTBOTTOMLEFT && kHitBottomRight == HTBOTTOMRIGHT && kHitClose == HTCLOSE &&
              kHitHelp == HTHELP);

}  // namespace

Point ClsSkinner::WindowPoint(POINT screen) const {
    RECT wr{};
    GetWindowRect(hooked_, &wr);
    return {screen.x - wr.left, screen.y - wr.top};
}

Point ClsSkinner::WindowPoint(LPARAM screenPoint) const {
    return WindowPoint(POINT{GET_X_LPARAM(screenPoint), GET_Y_LPARAM(screenPoint)});
}

Point ClsSkinner::WindowSize() const {
    RECT wr{};
    GetWindowRect(hooked_, &wr);
    return {wr.right - wr.left, wr.bottom - wr.top};
}

int ClsSkinner::ButtonAt(Point at) const {
    for (int b = FirstButton(Style()); b < kNoButton; ++b) {
        HRGN hit = buttonHits_[static_cast<std::size_t>(b)].get();
        if (hit && PtInRegion(hit, at.x, at.y)) return b;
    }
    return -1;
}

void ClsSkinner::SetButtonState(int button, ButtonState state) {
    buttonStates_[static_cast<std::size_t>(button)] = state;
    // Maximise and restore share a place: pressing one shows both pressed.
    if (button == kMaximise) buttonStates_[kRestore] = state;
}

void ClsSkinner::OnNcHitTest(bool& bHandled, LRESULT& lReturn, LPARAM lParam) {
    // The point asked about, which is not always where the cursor is.
    const Point at = WindowPoint(lParam);
    ResetButtonStates();
    if (InMenuBar(at)) {
        lReturn = HTMENU;
        return;
    }
    const int button = ButtonAt(at);
    if (button >= 0) {
        SetButtonState(button, GetKeyState(VK_LBUTTON) < 0 ? kPressed : kHot);
        lReturn = ButtonHitCode(button);
        StartHoverTimer();
        PaintFrame();
        return;
    }
    const Point size = WindowSize();
    const HitCode code = FrameHitCode(params_, Style(), size.x, size.y, at);
    if (code == kHitLeftToWindow) {
        bHandled = false;
        return;
    }
    lReturn = code;
}

void ClsSkinner::OnNcMouseMove(bool& bHandled, LRESULT& lReturn, WPARAM wParam, LPARAM lParam) {
    if (wParam != lastHitCode_) {
        PaintFrame();
        lastHitCode_ = wParam;
    }
    LRESULT ignored = 0;
    MenuMessage(ignored, WM_NCMOUSEMOVE, wParam, lParam);
    lReturn = 1;
    bHandled = false;
}

void ClsSkinner::OnNcLButtonDown(bool bBefore, bool& bHandled, LRESULT& lReturn, WPARAM wParam, LPARAM lParam) {
    if (!bBefore) {
        PaintFrame();
        return;
    }
    if (MenuMessage(lReturn, WM_NCLBUTTONDOWN, wParam, lParam)) return;
    const Point at = WindowPoint(lParam);
    const int button = ButtonAt(at);
    if (button >= 0) {
        SetButtonState(button, kPressed);
        PaintFrame();
        return;
    }
    const SkinPiece& icon = params_.IconPiece;
    const Point size = WindowSize();
    if (FrameHitCode(params_, Style(), size.x, size.y, at) == kHitSysMenu) {
        RECT wr{};
        GetWindowRect(hooked_, &wr);
        const UINT command =
            static_cast<UINT>(TrackPopupMenuEx(GetSystemMenu(hooked_, FALSE), TPM_RETURNCMD, wr.left + icon.X,
                                               wr.top + icon.Y + icon.Height, hooked_, nullptr));
        if (command) PostMessageA(hooked_, WM_SYSCOMMAND, command, 0);
        // The button went up inside the menu: no caption drag follows.
        lReturn = 0;
        return;
    }
    switch (wParam) {
        case HTMENU:
            // The engine's own bar: the platform must not start its menu
            // mode on the menu it hid.
            if (menuBar_.Drawn())
                lReturn = 0;
            else
                bHandled = false;
            return;
        case HTSYSMENU:
        case HTMINBUTTON:
        case HTMAXBUTTON:
        case HTCLOSE:
        case HTHELP:
            // The platform's own buttons are not there: a drag of the caption.
            lReturn = DefWindowProcA(hooked_, WM_NCLBUTTONDOWN, HTCAPTION, lParam);
            return;
        default:
            bHandled = false;
            return;
    }
}

void ClsSkinner::OnNcLButtonUp(bool&, LRESULT& lReturn, WPARAM wParam, LPARAM lParam) {
    lReturn = 0;
    if (MenuMessage(lReturn, WM_NCLBUTTONUP, wParam, lParam)) return;
    const int button = ButtonAt(WindowPoint(lParam));
    if (button < 0) return;
    const FrameStyle style = Style();
    WPARAM command = 0;
    if (button == kMinimise && style.minimiseBox) command = style.minimised ? SC_RESTORE : SC_MINIMIZE;
    if ((button == kMaximise || button == kRestore) && style.maximiseBox)
        command = style.maximised ? SC_RESTORE : SC_MAXIMIZE;
    if (button == kClose) command = SC_CLOSE;
    if (command) SendMessageA(hooked_, WM_SYSCOMMAND, command, 0);
}

// --- Hover timer ----------------------------------------------------------------

UINT_PTR ClsSkinner::HoverTimerId() const { return reinterpret_cast<UINT_PTR>(this); }

void ClsSkinner::StartHoverTimer() {
    if (!hooked_) return;
    KillTimer(hooked_, HoverTimerId());
    TIMERPROC proc = MakeCallback(4, kTimerProcOrdinal);
    hoverTimerRunning_ = proc && SetTimer(hooked_, HoverTimerId(), kHoverPeriodMs, proc) != 0;
}

void ClsSkinner::StopHoverTimer() {
    if (hoverTimerRunning_ && hooked_) KillTimer(hooked_, HoverTimerId());
    hoverTimerRunning_ = false;
}

void ClsSkinner::TimerProc(HWND, UINT, UINT_PTR, DWORD) {
    if (!hooked_) return;
    POINT cursor{};
    GetCursorPos(&cursor);
    if (ButtonAt(WindowPoint(cursor)) >= 0 || menuBar_.ItemUnderCursor() >= 0) return;
    menuBar_.ClearHotItem();
    ResetButtonStates();
    PaintFrame();
    StopHoverTimer();
}

}  // namespace tf::skin
