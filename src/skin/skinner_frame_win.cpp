// HookForm/UnHookForm, the skin objects built for the hooked window, and the
// window handler's frame cases: size, non-client size and painting,
// activation, icon, style, client painting.
#include <windowsx.h>

#include <algorithm>

#include "platform/win32/dpi_win.h"
#include "skin/cls_skinner_win.h"
#include "skin/frame/skin_font_win.h"

namespace tf::skin {
namespace {

using platform::win32::UniqueRegion;

// SWP_NOSIZE | SWP_NOMOVE | SWP_NOZORDER | SWP_FRAMECHANGED | SWP_NOOWNERZORDER
constexpr UINT kRecalculateFrame = 0x227;
// The caption redraw request the platform sends to themed frames.
constexpr UINT kWmNcUahDrawCaption = 0xAE;
constexpr char kMdiClientClass[] = "MDIClient";
constexpr std::size_t kCaptionTextLimit = 255;

struct Registration {
    UINT message;
    int when;
};

constexpr int kBefore = ClsSkinner::MSG_BEFORE;
constexpr int kAfter = ClsSkinner::MSG_AFTER;
constexpr int kBoth = ClsSkinner::MSG_BEFORE_AND_AFTER;

constexpr Registration kWindowMessages[] = {
    {WM_NCHITTEST, kBefore},     {WM_ENTERIDLE, kBefore},       {WM_HOTKEY, kBefore},
    {WM_SYSCOMMAND, kBefore},    {WM_MENUSELECT, kBefore},      {WM_MENUCHAR, kBefore},
    {WM_SYSCHAR, kBefore},       {WM_SYSKEYDOWN, kBefore},      {WM_NCACTIVATE, kBoth},
    {WM_ACTIVATE, kBoth},        {WM_ACTIVATEAPP, kBoth},       {WM_NCLBUTTONUP, kBefore},
    {WM_NCLBUTTONDOWN, kBoth},   {WM_NCMOUSEMOVE, kBefore},     {kWmNcUahDrawCaption, kBefore},
    {WM_NCCALCSIZE, kBefore},    {WM_NCPAINT, kBefore},         {WM_SETICON, kAfter},
    {WM_STYLECHANGED, kAfter},   {WM_ERASEBKGND, kBefore},      {WM_PAINT, kBefore},
    {WM_SIZE, kBefore},          {WM_GETMINMAXINFO, kBoth},     {WM_DESTROY, kAfter},
    {WM_GETICON, kAfter},        {kMenuSwitchMessage, kAfter},
    {WM_CREATE, kAfter},         {WM_SHOWWINDOW, kAfter},
    // The platform paints its own caption on a new text; the skin's goes
    // over it again.
    {WM_SETTEXT, kAfter},
    // A move to a monitor of another scale: the skin follows before the
    // window lays itself out again.
    {WM_DPICHANGED, kBefore},
};

}  // namespace

// --- Hooking ------------------------------------------------------------------

bool ClsSkinner::HookForm(HWND hwnd) {
    if (hooked_) UnHookForm(hooked_);
    if (!hasSkin() || !IsWindow(hwnd)) return false;
    SetDpi(platform::win32::WindowDpi(hwnd));

    // Nothing of the window changes before its interception is in place;
    // its tables stay empty until the frame is ready for its messages.
    if (!Subclass(hwnd, 0, &ClsSkinner::WindowHandler)) return false;
    windowIntercepted_ = true;
    mdiClient_ = FindWindowExA(hwnd, nullptr, kMdiClientClass, nullptr);
    hooked_ = hwnd;
    style_ = GetWindowLongPtrA(hwnd, GWL_STYLE);
    exStyle_ = GetWindowLongPtrA(hwnd, GWL_EXSTYLE);
    active_ = GetActiveWindow() == hwnd;
    BuildSkinObjects();  // the menu bar measures with the menu font
    menuBar_.Attach(hwnd, mdiClient_);
    if (mdiClient_ && !InterceptMdiClient()) {
        UnHookForm(hwnd);  // gives back the menu, the class style and the procedure
        return false;
    }
    for (const Registration& r : kWindowMessages) AddMsg(hwnd, r.message, r.when);
    if (!IsMdiChild() && !(style_ & WS_CHILD)) closeKey_ = std::make_unique<CloseOnAltF4>(hwnd);

    if (!IsMdiChild()) {
        // Keep the client area's place and size under the new frame.
        RECT client{};
        GetClientRect(hwnd, &client);
        POINT origin{0, 0};
        ClientToScreen(hwnd, &origin);
        if (HWND parent = (style_ & WS_CHILD) ? GetParent(hwnd) : nullptr) ScreenToClient(parent, &origin);
        const Insets in = ClientInsets(params_, MenuBarHeight());
        POINT at{origin.x - in.left, origin.y - in.top};
        if (!(style_ & WS_CHILD)) {
            // A caption taller than the platform's must not start above the
            // screen's work area, where it could not be reached.
            MONITORINFO monitor{};
            monitor.cbSize = sizeof monitor;
            if (GetMonitorInfoA(MonitorFromWindow(hwnd, MONITOR_DEFAULTTONEAREST), &monitor)) {
                at.x = std::max(at.x, monitor.rcWork.left);
                at.y = std::max(at.y, monitor.rcWork.top);
            }
        }
        SetWindowPos(hwnd, nullptr, at.x, at.y, client.right + in.left + in.right,
                     client.bottom + in.top + in.bottom, SWP_NOZORDER | SWP_NOACTIVATE | SWP_FRAMECHANGED);
    }
    // Also when the size did not change and no WM_SIZE came.
    ApplyWindowShape();
    RedrawWindow(hwnd, nullptr, nullptr, RDW_INVALIDATE | RDW_FRAME);
    return true;
}

void ClsSkinner::UnHookForm(HWND) {
    HWND window = hooked_;
    closeKey_.reset();
    StopHoverTimer();
    if (mdiClientIntercepted_) {
        ReleaseWindow(mdiClient_);
        mdiClientIntercepted_ = false;
    }
    const bool wasIntercepted = windowIntercepted_;
    if (windowIntercepted_) {
        ReleaseWindow(window);
        windowIntercepted_ = false;
    }
    ReleaseAll();
    ReleaseAdaptors();
    // The menu goes back to the window while its frame is still the skin's
    // to size.
    menuBar_.Detach();
    ReleaseSkinObjects();
    hooked_ = nullptr;
    mdiClient_ = nullptr;
    // A window that lives on gets its own frame back: no skin region, the
    // platform's non-client size.
    if (wasIntercepted && window && IsWindow(window) && !destroying_) {
        SetWindowRgn(window, nullptr, TRUE);
        SetWindowPos(window, nullptr, 0, 0, 0, 0, kRecalculateFrame);
    }
}

void ClsSkinner::ReapplySkin() {
    if (!hooked_) return;
    BuildSkinObjects();
    menuBar_.ApplySkin();
    // The window keeps its size: no WM_SIZE brings the new region.
    ApplyWindowShape();
}

bool ClsSkinner::InterceptMdiClient() {
    if (!Subclass(mdiClient_, 0, &ClsSkinner::MdiClientHandler)) return false;
    const LONG_PTR ex = GetWindowLongPtrA(mdiClient_, GWL_EXSTYLE);
    SetWindowLongPtrA(mdiClient_, GWL_EXSTYLE, ex & ~static_cast<LONG_PTR>(WS_EX_CLIENTEDGE));
    AddMsg(mdiClient_, WM_ERASEBKGND, MSG_BEFORE);
    AddMsg(mdiClient_, WM_PAINT, MSG_BEFORE);
    AddMsg(mdiClient_, WM_MDISETMENU, MSG_BEFORE);
    // A child made, closed or switched while maximised changes the bar's
    // slots without a frame repaint.
    for (UINT m : {WM_MDICREATE, WM_MDIDESTROY, WM_MDIACTIVATE, WM_MDIMAXIMIZE, WM_MDIRESTORE, WM_MDINEXT})
        AddMsg(mdiClient_, m, MSG_AFTER);
    mdiClientIntercepted_ = true;
    return true;
}

// --- Skin objects ------------------------------------------------------------

void ClsSkinner::BuildSkinObjects() {
    // The regions come from the picture as read from the file, not from
    // the surface it was drawn on.
    const PixelRows pixels{skinPicture_.bgr.data(), skinPicture_.width, skinPicture_.height,
                           static_cast<std::size_t>(skinPicture_.width) * 3};
    for (int i = 0; i < 12; ++i)
        pieceRegions_[static_cast<std::size_t>(i)] =
            RegionFromRuns(PieceRuns(pixels, params_.ActiveFrame[i / 3].pieces[i % 3]));
    for (std::size_t b = 0; b < 4; ++b) {
        buttonShapes_[b] = RegionFromRuns(PieceRuns(pixels, params_.CaptionButtons[b].states[kNormal]));
        buttonHits_[b].reset(CreateRectRgn(0, 0, 0, 0));
    }
    const LOGFONTA caption = ToLogFont(params_.CaptionFont);
    const LOGFONTA menu = ToLogFont(params_.MenuFont);
    captionFont_.reset(CreateFontIndirectA(&caption));
    menuFont_.reset(CreateFontIndirectA(&menu));
    ReadCaptionText();
    FetchIcon();
    if (!IsMdiChild() && params_.DropShadow && !classStyleSaved_) {
        savedClassStyle_ = GetClassLongPtrA(hooked_, GCL_STYLE);
        classStyleSaved_ = true;
        SetClassLongPtrA(hooked_, GCL_STYLE, static_cast<LONG_PTR>(savedClassStyle_ | CS_DROPSHADOW));
    }
}

void ClsSkinner::ReleaseSkinObjects() {
    captionFont_.reset();
    menuFont_.reset();
    for (auto& r : pieceRegions_) r.reset();
    for (auto& r : buttonShapes_) r.reset();
    for (auto& r : buttonHits_) r.reset();
    icon_.reset();
    if (classStyleSaved_) {
        if (hooked_ && IsWindow(hooked_))
            SetClassLongPtrA(hooked_, GCL_STYLE, static_cast<LONG_PTR>(savedClassStyle_));
        classStyleSaved_ = false;
    }
}

void ClsSkinner::ReadCaptionText() {
    char text[kCaptionTextLimit + 1] = {};
    GetWindowTextA(hooked_, text, sizeof text);
    captionText_ = text;  // stops at the first NUL
}

void ClsSkinner::FetchIcon() {
    icon_.reset();
    const int size = params_.IconPiece.Width;
    if (size <= 0) return;
    const WPARAM first = size > 20 ? ICON_BIG : ICON_SMALL;
    const WPARAM second = first == ICON_BIG ? ICON_SMALL : ICON_BIG;
    auto icon = reinterpret_cast<HICON>(SendMessageA(hooked_, WM_GETICON, first, 0));
    if (!icon) icon = reinterpret_cast<HICON>(SendMessageA(hooked_, WM_GETICON, second, 0));
    if (icon) icon_.reset(static_cast<HICON>(CopyImage(icon, IMAGE_ICON, size, size, LR_COPYFROMRESOURCE)));
}

FrameStyle ClsSkinner::Style() const {
    FrameStyle s;
    s.caption = (style_ & WS_DLGFRAME) == WS_DLGFRAME;
    s.sysMenu = (style_ & WS_SYSMENU) != 0;
    s.minimiseBox = (style_ & WS_MINIMIZEBOX) != 0;
    s.maximiseBox = (style_ & WS_MAXIMIZEBOX) != 0;
    s.sizable = (style_ & WS_THICKFRAME) != 0;
    s.minimised = hooked_ && IsIconic(hooked_);
    s.maximised = hooked_ && IsZoomed(hooked_);
    return s;
}

void ClsSkinner::ResetButtonStates() { buttonStates_.fill(active_ ? kNormal : kInactive); }

// --- The window handler -------------------------------------------------------

void ClsSkinner::WindowHandler(bool bBefore, bool& bHandled, LRESULT& lReturn, HWND, UINT uMsg, WPARAM wParam,
                               LPARAM lParam, LONG_PTR&) {
    bHandled = true;
    switch (uMsg) {
        case WM_SIZE:
            OnSize(bHandled);
            break;
        case WM_NCCALCSIZE:
            OnNcCalcSize(bHandled, lReturn, wParam, lParam);
            break;
        case WM_NCPAINT:
        case kWmNcUahDrawCaption:
            PaintFrame();
            lReturn = 0;
            break;
        case WM_NCACTIVATE:
        case WM_ACTIVATE:
        case WM_ACTIVATEAPP:
            OnActivation(bBefore, bHandled, lReturn, uMsg, wParam);
            break;
        case WM_SYSCOMMAND:
            PaintFrame();
            bHandled = false;
            break;
        case WM_SETICON:
            FetchIcon();
            PaintFrame();
            break;
        case WM_SETTEXT:
            ReadCaptionText();
            PaintFrame();
            break;
        case WM_STYLECHANGED:
            if (static_cast<int>(wParam) == GWL_STYLE) style_ = GetWindowLongPtrA(hooked_, GWL_STYLE);
            if (static_cast<int>(wParam) == GWL_EXSTYLE) exStyle_ = GetWindowLongPtrA(hooked_, GWL_EXSTYLE);
            ReadCaptionText();
            menuBar_.OnStyleChanged();
            PaintFrame();
            break;
        case WM_GETICON:
            menuBar_.CheckMenuBar();
            ReadCaptionText();
            PaintFrame();
            bHandled = false;
            break;
        case WM_GETMINMAXINFO:
            OnGetMinMaxInfo(bHandled, lReturn, lParam);
            break;
        case WM_PAINT:
        case WM_ERASEBKGND:
            bHandled = !mdiClient_ && PaintClient(hooked_, uMsg, wParam, lReturn);
            break;
        case WM_SHOWWINDOW:
            menuBar_.TakeOver();
            break;
        case WM_CREATE:
            if (!mdiClient_) {
                mdiClient_ = FindWindowExA(hooked_, nullptr, kMdiClientClass, nullptr);
                if (mdiClient_) {
                    InterceptMdiClient();
                    menuBar_.SetMdiClient(mdiClient_);
                }
            }
            break;
        case WM_DESTROY:
            destroying_ = true;
            UnHookForm(hooked_);
            destroying_ = false;
            break;
        case WM_NCHITTEST:
            OnNcHitTest(bHandled, lReturn, lParam);
            break;
        case WM_DPICHANGED:
            SetDpi(LOWORD(wParam));
            bHandled = false;
            break;
        case WM_NCMOUSEMOVE:
            OnNcMouseMove(bHandled, lReturn, wParam, lParam);
            break;
        case WM_NCLBUTTONDOWN:
            OnNcLButtonDown(bBefore, bHandled, lReturn, wParam, lParam);
            break;
        case WM_NCLBUTTONUP:
            OnNcLButtonUp(bHandled, lReturn, wParam, lParam);
            break;
        default:
            bHandled = MenuMessage(lReturn, uMsg, wParam, lParam);
            break;
    }
}

void ClsSkinner::MdiClientHandler(bool bBefore, bool& bHandled, LRESULT& lReturn, HWND lng_hWnd, UINT uMsg,
                                  WPARAM wParam, LPARAM lParam, LONG_PTR&) {
    bHandled = false;
    if (!bBefore) {
        menuBar_.CheckMenuBar();
        return;
    }
    switch (uMsg) {
        case WM_PAINT:
        case WM_ERASEBKGND:
            bHandled = paintClientArea_ && PaintClient(lng_hWnd, uMsg, wParam, lReturn);
            break;
        default:
            bHandled = MenuMessage(lReturn, uMsg, wParam, lParam);
            break;
    }
}

// --- Size and non-client size ------------------------------------------------

void ClsSkinner::OnSize(bool& bHandled) {
    // Only the frame's own business is done here; the window still hears of
    // its new size.
    bHandled = false;
    if (!Style().caption) return;
    ResetButtonStates();
    ApplyWindowShape();
}

void ClsSkinner::ApplyWindowShape() {
    if (!hooked_ || !Style().caption) return;
    RECT wr{};
    GetWindowRect(hooked_, &wr);
    windowWidth_ = wr.right - wr.left;
    windowHeight_ = wr.bottom - wr.top;
    if (menuBar_.Drawn()) menuBar_.LayOut();
    UniqueRegion region = BuildWindowRegion(params_, pieceRegions_, windowWidth_, windowHeight_);
    if (region && SetWindowRgn(hooked_, region.get(), TRUE)) region.release();  // the window owns it now
    for (int b = 0; b < 4; ++b) {
        const auto i = static_cast<std::size_t>(b);
        if (!buttonHits_[i] || !buttonShapes_[i]) continue;
        const Point at = ButtonPosition(params_, b, windowWidth_);
        CombineRgn(buttonHits_[i].get(), buttonShapes_[i].get(), nullptr, RGN_COPY);
        OffsetRgn(buttonHits_[i].get(), at.x, at.y);
    }
}

void ClsSkinner::OnNcCalcSize(bool& bHandled, LRESULT& lReturn, WPARAM wParam, LPARAM lParam) {
    const FrameStyle style = Style();
    if (IsMdiChild() && style.maximised) {
        bHandled = false;
        return;
    }
    lReturn = 0;
    if (!style.caption) return;  // the whole window is client area
    const Insets in = ClientInsets(params_, MenuBarHeight());
    if (wParam) {
        auto* p = reinterpret_cast<NCCALCSIZE_PARAMS*>(lParam);
        Rect window{p->rgrc[0].left, p->rgrc[0].top, p->rgrc[0].right, p->rgrc[0].bottom};
        if (p->lppos) window = {p->lppos->x, p->lppos->y, p->lppos->x + p->lppos->cx, p->lppos->y + p->lppos->cy};
        const Rect client = ClientRectFor(window, in);
        p->rgrc[0] = p->rgrc[1] = RECT{client.left, client.top, client.right, client.bottom};
    } else {
        // A proposed window rectangle only: the same insets apply.
        auto* r = reinterpret_cast<RECT*>(lParam);
        const Rect client = ClientRectFor({r->left, r->top, r->right, r->bottom}, in);
        *r = RECT{client.left, client.top, client.right, client.bottom};
    }
}

// --- Activation, limits -----------------------------------------------------

void ClsSkinner::OnActivation(bool bBefore, bool& bHandled, LRESULT& lReturn, UINT uMsg, WPARAM wParam) {
    // WM_ACTIVATE carries the minimised flag in its high word.
    active_ = uMsg == WM_ACTIVATE ? LOWORD(wParam) != WA_INACTIVE : wParam != 0;
    ResetButtonStates();
    if (bBefore) InvalidateRect(hooked_, nullptr, TRUE);
    SendMessageA(hooked_, WM_NCPAINT, 1, 0);
    lReturn = 1;
    bHandled = false;
}

void ClsSkinner::OnGetMinMaxInfo(bool& bHandled, LRESULT& lReturn, LPARAM lParam) {
    auto* info = reinterpret_cast<MINMAXINFO*>(lParam);
    if (info->ptMinTrackSize.x == 0 && info->ptMinTrackSize.y == 0)
        info->ptMinTrackSize = POINT{params_.MinTrackWidth, params_.MinTrackHeight};
    lReturn = DefWindowProcA(hooked_, WM_GETMINMAXINFO, 0, lParam);
    bHandled = false;
}

// --- Painting -----------------------------------------------------------------

void ClsSkinner::PaintFrame() {
    if (!hooked_ || !hasSkin()) return;
    const FrameStyle style = Style();
    if (!style.caption || (IsMdiChild() && style.maximised)) return;
    RECT wr{};
    GetWindowRect(hooked_, &wr);
    windowWidth_ = wr.right - wr.left;
    windowHeight_ = wr.bottom - wr.top;
    platform::win32::ScopedWindowDc dc(hooked_, platform::win32::DcArea::kWholeWindow);
    if (!dc.get()) return;
    if (!style.minimised) {
        menuBar_.Paint(dc.get(), windowWidth_, -1, false);
        PaintNativeMenuBar(dc.get());
    }

    FrameInput in;
    in.params = &params_;
    in.strips = active_ ? &params_.ActiveFrame : &params_.InactiveFrame;
    in.pictureWidth = skinPicture_.width;
    in.pictureHeight = skinPicture_.height;
    in.width = windowWidth_;
    in.height = windowHeight_;
    in.style = style;
    in.states = buttonStates_;
    CaptionDrawing caption;
    caption.text = captionText_;
    caption.font = captionFont_.get();
    caption.colour = active_ ? params_.CaptionTextColorActive : params_.CaptionTextColorInactive;
    caption.format = params_.CaptionTextFormat;
    caption.icon = icon_.get();
    PaintFramePlan(dc.get(), surface_.dc(), PlanFrame(in), caption);
}

bool ClsSkinner::PaintClient(HWND target, UINT uMsg, WPARAM wParam, LRESULT& lReturn) {
    if (!paintClientArea_ || !hasSkin()) return false;
    const SkinPiece& piece = params_.ClientPiece;
    if (piece.Empty() && params_.ClientColor == kNoColour) return false;
    auto paint = [&](HDC dc, const RECT& area) {
        if (piece.Empty()) {
            platform::win32::UniqueBrush brush(CreateSolidBrush(params_.ClientColor));
            FillRect(dc, &area, brush.get());
        } else {
            TileClientArea(dc, area, surface_.dc(),
                           {piece.X, piece.Y, piece.X + piece.Width, piece.Y + piece.Height});
        }
    };
    if (uMsg == WM_ERASEBKGND) {
        // The background goes into the DC the message brings.
        HDC dc = reinterpret_cast<HDC>(wParam);
        RECT area{};
        GetClipBox(dc, &area);
        paint(dc, area);
        lReturn = 1;
    } else {
        platform::win32::ScopedPaint ps(target);
        paint(ps.dc(), ps.area());
        lReturn = 0;
    }
    return true;
}

}  // namespace tf::skin
