// Form1's window: creation, message routing, keyboard access and teardown.
#include <windows.h>
#include <commctrl.h>

#include "mainwindow/child_windows_win.h"
#include "mainwindow/form1_win.h"
#include "platform/win32/desktop_services_win.h"
#include "platform/win32/dpi_win.h"
#include "platform/win32/edge_guard_win.h"

namespace tf::mainwindow {
namespace {

constexpr char kWindowClass[] = "TallyfoldForm1";
constexpr char kCaption[] = "Tallyfold";
constexpr DWORD kWindowStyle = WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX | WS_CLIPCHILDREN;
constexpr DWORD kWindowExStyle = WS_EX_CONTROLPARENT;

bool RegisterWindowClass(HINSTANCE instance, WNDPROC proc) {
    WNDCLASSA existing{};
    if (GetClassInfoA(instance, kWindowClass, &existing)) return true;
    WNDCLASSA wc{};
    wc.lpfnWndProc = proc;
    wc.hInstance = instance;
    wc.hCursor = LoadCursorA(nullptr, reinterpret_cast<LPCSTR>(IDC_ARROW));
    wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
    wc.lpszClassName = kWindowClass;
    return RegisterClassA(&wc) != 0;
}

bool IsPushButton(HWND window) {
    char cls[16] = {};
    GetClassNameA(window, cls, sizeof cls);
    if (lstrcmpiA(cls, "Button") != 0) return false;
    const LONG_PTR type = GetWindowLongPtrA(window, GWL_STYLE) & BS_TYPEMASK;
    return type == BS_PUSHBUTTON || type == BS_DEFPUSHBUTTON || type == BS_OWNERDRAW;
}

bool IsDroppedCombo(HWND window) {
    for (HWND w = window; w; w = GetParent(w)) {
        char cls[16] = {};
        GetClassNameA(w, cls, sizeof cls);
        if (lstrcmpiA(cls, "ComboBox") == 0) return SendMessageA(w, CB_GETDROPPEDSTATE, 0, 0) != 0;
    }
    return false;
}

}  // namespace

Form1::Form1(Form1Services services) : services_(std::move(services)) {}

Form1::~Form1() {
    if (hwnd_) {
        services_.quitOnDestroy = false;  // the owner is going, not the program
        DestroyWindow(hwnd_);
    }
    if (toolTips_) DestroyWindow(toolTips_);
}

bool Form1::Create(HINSTANCE instance) {
    INITCOMMONCONTROLSEX icc{sizeof icc, ICC_TAB_CLASSES | ICC_TREEVIEW_CLASSES | ICC_BAR_CLASSES |
                                            ICC_STANDARD_CLASSES | ICC_WIN95_CLASSES};
    InitCommonControlsEx(&icc);
    if (!RegisterWindowClass(instance, WindowProc) || !RegisterChildClasses(instance)) return false;

    dpi_ = platform::win32::WindowDpi(nullptr);  // the screen's, until the window has one
    RECT frame{0, 0, platform::TwipsToPixelsAtDpi(kClientWidthTwips, dpi_), platform::TwipsToPixelsAtDpi(kClientHeightTwips, dpi_)};
    AdjustWindowRectEx(&frame, kWindowStyle, FALSE, kWindowExStyle);
    if (!CreateWindowExA(kWindowExStyle, kWindowClass, kCaption, kWindowStyle, CW_USEDEFAULT, CW_USEDEFAULT,
                         frame.right - frame.left, frame.bottom - frame.top, nullptr, nullptr, instance, this))
        return false;

    if (!services_.messages) {
        ownMessages_ = std::make_unique<platform::win32::MessageBoxSink>(hwnd_, kCaption);
        services_.messages = ownMessages_.get();
    }
    if (!services_.launcher) {
        ownLauncher_ = std::make_unique<platform::win32::ShellLauncher>(hwnd_);
        services_.launcher = ownLauncher_.get();
    }
    if (!services_.fileDialog) {
        ownFileDialog_ = std::make_unique<platform::win32::CommonFileDialog>(hwnd_);
        services_.fileDialog = ownFileDialog_.get();
    }
    if (!services_.files) {
        ownFiles_ = std::make_unique<platform::win32::Win32FileOperations>();
        services_.files = ownFiles_.get();
    }
    if (!services_.fileSystem) {
        ownFileSystem_ = platform::CreateFileSystem();
        services_.fileSystem = ownFileSystem_.get();
    }
    if (!services_.volumeOf) services_.volumeOf = platform::VolumeOfFolder;
    if (!services_.openVolume) services_.openVolume = platform::OpenVolumeFile;
    appFolder_ = services_.appFolder.empty() ? platform::win32::ApplicationFolder() : services_.appFolder;

    CreateFonts();
    if (!CreateControls()) {
        DestroyWindow(hwnd_);
        return false;
    }
    CreateAboutPage();
    CreateToolTips();
    Form_Load();
    return true;
}

LRESULT CALLBACK Form1::WindowProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
    Form1* self = nullptr;
    if (msg == WM_NCCREATE) {
        self = static_cast<Form1*>(reinterpret_cast<CREATESTRUCTA*>(lp)->lpCreateParams);
        self->hwnd_ = hwnd;
        SetWindowLongPtrA(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(self));
    } else {
        self = reinterpret_cast<Form1*>(GetWindowLongPtrA(hwnd, GWLP_USERDATA));
    }
    if (!self) return DefWindowProcA(hwnd, msg, wp, lp);
    if (msg == WM_NCDESTROY) {
        SetWindowLongPtrA(hwnd, GWLP_USERDATA, 0);
        self->hwnd_ = nullptr;
        self->controls_.fill(nullptr);
        return DefWindowProcA(hwnd, msg, wp, lp);
    }
    return platform::win32::CatchAtEdge("Tallyfold", LRESULT{0}, [&] { return self->HandleMessage(msg, wp, lp); });
}

LRESULT Form1::HandleMessage(UINT msg, WPARAM wp, LPARAM lp) {
    switch (msg) {
        case WM_COMMAND:
            OnCommand(LOWORD(wp), HIWORD(wp));
            return 0;
        case WM_NOTIFY:
            return OnNotify(*reinterpret_cast<const NMHDR*>(lp));
        case WM_CTLCOLORSTATIC:
            return OnCtlColorStatic(reinterpret_cast<HDC>(wp), reinterpret_cast<HWND>(lp));
        case WM_DRAWITEM:
            if (OnDrawItem(*reinterpret_cast<const DRAWITEMSTRUCT*>(lp))) return TRUE;
            break;
        case WM_SETCURSOR:
            if (OnSetCursor(reinterpret_cast<HWND>(wp))) return TRUE;
            break;
        case WM_ACTIVATE:
            // Keep the focused control across deactivation, as a dialog does.
            if (LOWORD(wp) == WA_INACTIVE) {
                HWND focus = GetFocus();
                if (focus && IsChild(hwnd_, focus)) lastFocus_ = focus;
            } else {
                SetFocus(lastFocus_ && IsWindow(lastFocus_) ? lastFocus_ : Item(Control::Command1));
            }
            return 0;
        case WM_DPICHANGED:
            OnDpiChanged(LOWORD(wp), *reinterpret_cast<const RECT*>(lp));
            return 0;
        case DM_GETDEFID:
            // Start is the default button for the dialog manager as well.
            return MAKELRESULT(static_cast<int>(Control::Command1), DC_HASDEFID);
        case WM_CLOSE:
            OnClose();
            return 0;
        case WM_DESTROY:
            OnDestroy();
            return 0;
        default:
            break;
    }
    return DefWindowProcA(hwnd_, msg, wp, lp);
}

void Form1::OnCommand(int id, int code) {
    switch (static_cast<Control>(id)) {
        case Control::Command1:
            if (code == BN_CLICKED) Command1_Click();
            break;
        case Control::Command2:
            if (code == BN_CLICKED) Command2_Click();
            break;
        case Control::Command3:
            if (code == BN_CLICKED) Command3_Click();
            break;
        case Control::saveas:
            if (code == CBN_EDITCHANGE) saveas_Change();
            break;
        case Control::Label5:
            if (code == STN_CLICKED) Label5_Click();
            break;
        case Control::Label6:
            if (code == STN_CLICKED) Label6_Click();
            break;
        case Control::logo:
            if (code == STN_CLICKED) logo_Click();
            break;
        default:
            break;
    }
}

LRESULT Form1::OnNotify(const NMHDR& header) {
    switch (static_cast<Control>(header.idFrom)) {
        case Control::TabStrip1:
            if (header.code == TCN_SELCHANGE) TabStrip1_Click();
            return 0;
        case Control::TreeView1: {
            LRESULT result = 0;
            if (treeNotify_ && treeNotify_(header, result)) return result;
            return 0;
        }
        default:
            return 0;
    }
}

void Form1::OnClose() {
    if (scanActive_) {
        // The run stops, completes its report, and then closes the window.
        closeRequested_ = true;
        stopped_ = true;
        running_ = false;
        return;
    }
    DestroyWindow(hwnd_);
}

void Form1::OnDestroy() {
    // A window destroyed from outside during a run ends the scan as well.
    stopped_ = true;
    running_ = false;
    if (toolTips_) {
        DestroyWindow(toolTips_);
        toolTips_ = nullptr;
    }
    if (services_.quitOnDestroy) PostQuitMessage(0);
}

bool Form1::PreTranslateMessage(MSG& msg) {
    if (!hwnd_ || (msg.hwnd != hwnd_ && !IsChild(hwnd_, msg.hwnd))) return false;
    if (msg.message == WM_KEYDOWN) {
        const bool ctrl = GetKeyState(VK_CONTROL) < 0;
        if (msg.wParam == VK_TAB && ctrl) {
            HWND tabs = Item(Control::TabStrip1);
            const int count = static_cast<int>(SendMessageA(tabs, TCM_GETITEMCOUNT, 0, 0));
            const int current = static_cast<int>(SendMessageA(tabs, TCM_GETCURSEL, 0, 0));
            const int step = GetKeyState(VK_SHIFT) < 0 ? count - 1 : 1;
            SendMessageA(tabs, TCM_SETCURSEL, static_cast<WPARAM>((current + step) % count), 0);
            TabStrip1_Click();
            return true;
        }
        // Enter starts a run from anywhere but a focused push button, which
        // Enter presses instead, and an open drop-down list, which it closes.
        if (msg.wParam == VK_RETURN && !IsDroppedCombo(msg.hwnd)) {
            SendMessageA(IsPushButton(msg.hwnd) ? msg.hwnd : Item(Control::Command1), BM_CLICK, 0, 0);
            return true;
        }
    }
    return IsDialogMessageA(hwnd_, &msg) != FALSE;
}

}  // namespace tf::mainwindow
