#include "skin/menu_bar_window.h"

namespace tf::skin::testing {
namespace {

constexpr char kFrameClass[] = "TallyfoldMenuTestFrame";
constexpr char kChildClass[] = "TallyfoldMenuTestChild";

LRESULT CALLBACK ChildProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    return DefMDIChildProcA(hwnd, message, wParam, lParam);
}

void RegisterClasses(WNDPROC frameProc) {
    static bool done = false;
    if (done) return;
    WNDCLASSA frame{};
    frame.lpfnWndProc = frameProc;
    frame.hInstance = GetModuleHandleA(nullptr);
    frame.hCursor = LoadCursor(nullptr, IDC_ARROW);
    frame.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1);
    frame.lpszClassName = kFrameClass;
    RegisterClassA(&frame);
    WNDCLASSA child = frame;
    child.lpfnWndProc = ChildProc;
    child.hIcon = LoadIcon(nullptr, IDI_WARNING);
    child.lpszClassName = kChildClass;
    RegisterClassA(&child);
    done = true;
}

ScriptTimer* gScript = nullptr;

}  // namespace

MenuBarWindow::MenuBarWindow(const MenuTestSkin& skin, HMENU menu, Kind kind, int x, int y) : skin_(skin) {
    RegisterClasses(FrameProc);
    MenuBarHost host;
    host.paintFrame = [this] { bar_->PaintOnWindow(-1, false); };
    host.restartHoverTimer = [this] { ++record_.hoverStarts; };
    host.stopHoverTimer = [this] { ++record_.hoverStops; };
    host.windowActive = [this] { return record_.active; };
    bar_ = std::make_unique<MenuBar>(host);
    bar_->SetSkin(&skin_.params(), skin_.dc());

    hwnd_ = CreateWindowExA(0, kFrameClass, "Menu test", WS_POPUP | WS_CAPTION | WS_SYSMENU | WS_THICKFRAME |
                                                              WS_MINIMIZEBOX | WS_MAXIMIZEBOX | WS_CLIPCHILDREN,
                            x, y, 420, 300, nullptr, menu, GetModuleHandleA(nullptr), this);
    if (kind == Kind::kMdiFrame) {
        CLIENTCREATESTRUCT ccs{};
        ccs.idFirstChild = 5000;
        RECT client{};
        GetClientRect(hwnd_, &client);
        mdiClient_ = CreateWindowExA(0, "MDICLIENT", nullptr, WS_CHILD | WS_CLIPCHILDREN | WS_VISIBLE, 0, 0,
                                     client.right, client.bottom, hwnd_, nullptr, GetModuleHandleA(nullptr), &ccs);
        SetWindowLongPtrA(mdiClient_, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
        clientProc_ = reinterpret_cast<WNDPROC>(
            SetWindowLongPtrA(mdiClient_, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(ClientProc)));
    }
    ShowWindow(hwnd_, SW_SHOWNOACTIVATE);
    bar_->Attach(hwnd_, mdiClient_);
    SetWindowPos(hwnd_, nullptr, 0, 0, 0, 0, SWP_NOSIZE | SWP_NOMOVE | SWP_NOZORDER | SWP_FRAMECHANGED);
    Pump();
}

MenuBarWindow::~MenuBarWindow() {
    if (IsWindow(hwnd_)) DestroyWindow(hwnd_);
    bar_->Detach();
    Pump();
}

HWND MenuBarWindow::AddMaximisedChild(const char* title) {
    MDICREATESTRUCTA create{};
    create.szClass = kChildClass;
    create.szTitle = title;
    create.hOwner = GetModuleHandleA(nullptr);
    create.x = create.y = create.cx = create.cy = CW_USEDEFAULT;
    create.style = WS_MAXIMIZE | WS_OVERLAPPEDWINDOW;
    auto child = reinterpret_cast<HWND>(SendMessageA(mdiClient_, WM_MDICREATE, 0, reinterpret_cast<LPARAM>(&create)));
    Pump();
    return child;
}

POINT MenuBarWindow::ItemCentre(int item) const {
    RECT window{};
    GetWindowRect(hwnd_, &window);
    const Rect& r = bar_->Items().at(item);
    return POINT{window.left + skin_.params().ActiveFrame[kLeft].start().Width + (r.left + r.right) / 2,
                 window.top + (r.top + r.bottom) / 2};
}

LRESULT CALLBACK MenuBarWindow::FrameProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_NCCREATE) {
        auto* self = static_cast<MenuBarWindow*>(reinterpret_cast<CREATESTRUCTA*>(lParam)->lpCreateParams);
        SetWindowLongPtrA(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(self));
        self->hwnd_ = hwnd;
    }
    auto* self = reinterpret_cast<MenuBarWindow*>(GetWindowLongPtrA(hwnd, GWLP_USERDATA));
    return self ? self->Handle(message, wParam, lParam) : DefWindowProcA(hwnd, message, wParam, lParam);
}

LRESULT CALLBACK MenuBarWindow::ClientProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    auto* self = reinterpret_cast<MenuBarWindow*>(GetWindowLongPtrA(hwnd, GWLP_USERDATA));
    if (message == WM_MDISETMENU) self->bar_->OnMdiSetMenu(reinterpret_cast<HMENU>(wParam));
    return CallWindowProcA(self->clientProc_, hwnd, message, wParam, lParam);
}

LRESULT MenuBarWindow::Default(UINT message, WPARAM wParam, LPARAM lParam) {
    return mdiClient_ ? DefFrameProcA(hwnd_, mdiClient_, message, wParam, lParam)
                      : DefWindowProcA(hwnd_, message, wParam, lParam);
}

LRESULT MenuBarWindow::Handle(UINT message, WPARAM wParam, LPARAM lParam) {
    MenuBar& bar = *bar_;
    LRESULT result = 0;
    switch (message) {
    case WM_NCCALCSIZE:
        if (wParam) {
            RECT& r = reinterpret_cast<NCCALCSIZE_PARAMS*>(lParam)->rgrc[0];
            r.left += kFrameSide;
            r.top += kCaptionHeight + bar.Height();
            r.right -= kFrameSide;
            r.bottom -= kFrameSide;
            return 0;
        }
        break;
    case WM_NCPAINT:
        bar.PaintOnWindow(-1, false);
        return 0;
    case WM_NCACTIVATE:
        return TRUE;
    case WM_NCMOUSEMOVE:
        bar.OnNcMouseMove(result);
        break;
    case WM_NCLBUTTONDOWN:
        if (bar.OnNcLButtonDown()) return 0;
        break;
    case WM_NCLBUTTONUP:
        if (bar.OnNcLButtonUp()) return 0;
        break;
    case WM_ENTERIDLE:
        if (bar.OnEnterIdle(lParam)) return 0;
        break;
    case WM_MENUSELECT:
        if (bar.OnMenuSelect(wParam, lParam)) return 0;
        break;
    case kMenuSwitchMessage:
        bar.OnMenuSwitch(lParam);
        return 0;
    case WM_HOTKEY:
        if (bar.OnHotKey(wParam)) return 0;
        break;
    case WM_SYSKEYDOWN:
    case WM_SYSCHAR:
    case WM_MENUCHAR:
        if (bar.OnSystemKey(message, wParam, lParam)) return 0;
        ++record_.systemKeysPassed;
        break;
    case WM_INITMENUPOPUP:
        ++record_.popupsOpened;
        break;
    case WM_COMMAND:
        record_.commands.push_back(LOWORD(wParam));
        return 0;
    case WM_CLOSE:
        ++record_.closes;
        break;
    case WM_GETICON:
        result = Default(message, wParam, lParam);
        bar.CheckMenuBar();
        return result;
    case WM_SHOWWINDOW:
        result = Default(message, wParam, lParam);
        bar.TakeOver();
        return result;
    default:
        break;
    }
    return Default(message, wParam, lParam);
}

void ParkPointer() {
    SetCursorPos(GetSystemMetrics(SM_CXSCREEN) - 2, GetSystemMetrics(SM_CYSCREEN) - 2);
}

COLORREF MenuBrushColour(HMENU menu) {
    MENUINFO info{};
    info.cbSize = sizeof(info);
    info.fMask = MIM_BACKGROUND;
    if (!GetMenuInfo(menu, &info) || !info.hbrBack) return CLR_INVALID;
    LOGBRUSH brush{};
    GetObjectA(info.hbrBack, sizeof(brush), &brush);
    return brush.lbColor;
}

ScriptTimer::ScriptTimer(std::vector<Step> steps) : steps_(std::move(steps)) {
    gScript = this;
    id_ = SetTimer(nullptr, 0, 40, Tick);
}

ScriptTimer::~ScriptTimer() {
    KillTimer(nullptr, id_);
    gScript = nullptr;
}

void CALLBACK ScriptTimer::Tick(HWND, UINT, UINT_PTR, DWORD) {
    ScriptTimer* script = gScript;
    if (!script) return;
    constexpr int kMaxRetries = 50;
    if (script->finished()) {
        EndMenu();
        return;
    }
    const bool done = script->steps_[script->next_]();
    if (done || ++script->retries_ > kMaxRetries) {
        ++script->next_;
        script->retries_ = 0;
    }
}

}  // namespace tf::skin::testing
