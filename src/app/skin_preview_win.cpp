#include "app/skin_preview_win.h"

#include <windows.h>

#include <ostream>
#include <string>
#include <vector>

#include "platform/display_scale.h"
#include "platform/event_log.h"
#include "platform/message_sink.h"
#include "platform/win32/dpi_win.h"
#include "platform/win32/edge_guard_win.h"
#include "skin/cls_skinner_win.h"

namespace tf::app {
namespace {

constexpr char kWindowClass[] = "TallyfoldSkinPreview";
constexpr char kMdiFrameClass[] = "TallyfoldSkinPreviewMdi";
constexpr char kMdiChildClass[] = "TallyfoldSkinPreviewChild";
constexpr char kCaption[] = "Skin preview";
enum Command : UINT { kNew = 100, kExit, kUndo, kCopy, kPaste, kInsertDate, kInsertTime, kStatusBar, kTile, kAbout };
constexpr int kWindowMenu = 2;  // View lists the MDI children
constexpr UINT kFirstChild = 5000;

HMENU PreviewMenu() {
    HMENU file = CreatePopupMenu();
    AppendMenuA(file, MF_STRING, kNew, "&New\tCtrl+N");
    AppendMenuA(file, MF_SEPARATOR, 0, nullptr);
    AppendMenuA(file, MF_STRING, kExit, "E&xit");
    HMENU insert = CreatePopupMenu();
    AppendMenuA(insert, MF_STRING, kInsertDate, "&Date");
    AppendMenuA(insert, MF_STRING, kInsertTime, "&Time");
    HMENU edit = CreatePopupMenu();
    AppendMenuA(edit, MF_STRING | MF_GRAYED, kUndo, "&Undo");
    AppendMenuA(edit, MF_STRING, kCopy, "&Copy");
    AppendMenuA(edit, MF_STRING, kPaste, "&Paste");
    AppendMenuA(edit, MF_POPUP, reinterpret_cast<UINT_PTR>(insert), "&Insert");
    HMENU view = CreatePopupMenu();
    AppendMenuA(view, MF_STRING | MF_CHECKED, kStatusBar, "&Status bar");
    AppendMenuA(view, MF_STRING, kTile, "&Tile windows");
    HMENU help = CreatePopupMenu();
    AppendMenuA(help, MF_STRING, kAbout, "&About");
    HMENU bar = CreateMenu();
    AppendMenuA(bar, MF_POPUP, reinterpret_cast<UINT_PTR>(file), "&File");
    AppendMenuA(bar, MF_POPUP, reinterpret_cast<UINT_PTR>(edit), "&Edit");
    AppendMenuA(bar, MF_POPUP, reinterpret_cast<UINT_PTR>(view), "&View");
    AppendMenuA(bar, MF_POPUP, reinterpret_cast<UINT_PTR>(help), "&Help");
    return bar;
}

// One preview per process: the window procedures reach the MDI client here.
HWND gMdiClient = nullptr;

bool OnCommand(HWND hwnd, UINT command) {
    if (command == kExit) {
        PostMessageA(hwnd, WM_CLOSE, 0, 0);
        return true;
    }
    if (command < kNew || command > kAbout) return false;
    if (command == kTile && gMdiClient) SendMessageA(gMdiClient, WM_MDITILE, MDITILE_VERTICAL, 0);
    const std::string caption = std::string(kCaption) + " - command " + std::to_string(command);
    SetWindowTextA(hwnd, caption.c_str());
    return true;
}

// On a monitor of another scale the window takes the place the system
// suggests; the skin has scaled its frame already.
bool OnDpiChanged(HWND hwnd, UINT msg, LPARAM lp) {
    if (msg != WM_DPICHANGED) return false;
    const RECT& r = *reinterpret_cast<const RECT*>(lp);
    SetWindowPos(hwnd, nullptr, r.left, r.top, r.right - r.left, r.bottom - r.top, SWP_NOZORDER | SWP_NOACTIVATE);
    return true;
}

LRESULT CALLBACK WindowProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
    return platform::win32::CatchAtEdge("Skin preview", LRESULT{0}, [&]() -> LRESULT {
        if (msg == WM_COMMAND && OnCommand(hwnd, LOWORD(wp))) return 0;
        if (OnDpiChanged(hwnd, msg, lp)) return 0;
        if (msg == WM_DESTROY) PostQuitMessage(0);
        return DefWindowProcA(hwnd, msg, wp, lp);
    });
}

LRESULT CALLBACK MdiFrameProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
    return platform::win32::CatchAtEdge("Skin preview", LRESULT{0}, [&]() -> LRESULT {
        if (msg == WM_CREATE) {
            CLIENTCREATESTRUCT ccs{};
            ccs.hWindowMenu = GetSubMenu(GetMenu(hwnd), kWindowMenu);
            ccs.idFirstChild = kFirstChild;
            gMdiClient = CreateWindowExA(0, "MDICLIENT", nullptr, WS_CHILD | WS_CLIPCHILDREN | WS_VISIBLE, 0, 0, 0,
                                         0, hwnd, nullptr, GetModuleHandleA(nullptr), &ccs);
            if (!gMdiClient) return -1;
        }
        if (msg == WM_COMMAND && OnCommand(hwnd, LOWORD(wp))) return 0;
        if (OnDpiChanged(hwnd, msg, lp)) return 0;
        if (msg == WM_DESTROY) {
            gMdiClient = nullptr;
            PostQuitMessage(0);
        }
        return DefFrameProcA(hwnd, gMdiClient, msg, wp, lp);
    });
}

LRESULT CALLBACK MdiChildProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
    return DefMDIChildProcA(hwnd, msg, wp, lp);
}

void RegisterPreviewClass(const char* name, WNDPROC proc, LPCSTR icon) {
    WNDCLASSA wc{};
    wc.lpfnWndProc = proc;
    wc.hInstance = GetModuleHandleA(nullptr);
    wc.hCursor = LoadCursorA(nullptr, reinterpret_cast<LPCSTR>(IDC_ARROW));
    wc.hIcon = LoadIconA(nullptr, icon);
    wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
    wc.lpszClassName = name;
    RegisterClassA(&wc);
}

bool MakeMdiChildren(bool maximised) {
    const char* const titles[] = {"Child one", "Child two"};
    for (const char* title : titles) {
        MDICREATESTRUCTA create{};
        create.szClass = kMdiChildClass;
        create.szTitle = title;
        create.hOwner = GetModuleHandleA(nullptr);
        create.x = create.y = create.cx = create.cy = CW_USEDEFAULT;
        // The last child made is the active one.
        create.style = WS_OVERLAPPEDWINDOW | (maximised && title == titles[1] ? WS_MAXIMIZE : 0);
        if (!SendMessageA(gMdiClient, WM_MDICREATE, 0, reinterpret_cast<LPARAM>(&create))) return false;
    }
    if (!maximised) SendMessageA(gMdiClient, WM_MDITILE, MDITILE_VERTICAL, 0);
    return true;
}

void RunUntilClosed() {
    MSG msg;
    while (GetMessageA(&msg, nullptr, 0, 0) > 0) {
        if (gMdiClient && TranslateMDISysAccel(gMdiClient, &msg)) continue;
        TranslateMessage(&msg);
        DispatchMessageA(&msg);
    }
}

// What the engine reported, one line each; false when it reported nothing.
// Every failure goes to its event log with the reason; the boxes it would
// have shown only say so again (in its own code page), so they are printed
// only when the log is empty.
bool PrintReports(const platform::RecordingEventLog& log, const platform::RecordingMessageSink& messages,
                  std::ostream& errors) {
    const std::vector<std::string>& lines = log.errors.empty() ? messages.shown : log.errors;
    for (const std::string& line : lines) errors << "tallyfold-skin: " << line << '\n';
    return !lines.empty();
}

}  // namespace

int RunSkinPreview(const PreviewOptions& options, std::ostream& errors) {
    const DWORD attributes = GetFileAttributesA(options.skin.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES || (attributes & FILE_ATTRIBUTE_DIRECTORY)) {
        errors << "tallyfold-skin: " << options.skin << ": cannot be read\n";
        return 1;
    }
    // The engine's reports come back here rather than in message boxes, so
    // that a refused skin is told on the console and nothing waits for a
    // click.
    platform::RecordingEventLog log;
    platform::RecordingMessageSink messages;
    skin::ClsSkinner skinner(skin::SkinnerServices{&messages, &log});
    if (!skinner.LoadSkinFromFile(options.skin)) {
        if (!PrintReports(log, messages, errors)) errors << "tallyfold-skin: " << options.skin << ": refused\n";
        return 1;
    }

    const char* windowClass = options.mdi ? kMdiFrameClass : kWindowClass;
    if (options.mdi) {
        RegisterPreviewClass(kMdiFrameClass, MdiFrameProc, reinterpret_cast<LPCSTR>(IDI_APPLICATION));
        RegisterPreviewClass(kMdiChildClass, MdiChildProc, reinterpret_cast<LPCSTR>(IDI_INFORMATION));
    } else {
        RegisterPreviewClass(kWindowClass, WindowProc, reinterpret_cast<LPCSTR>(IDI_APPLICATION));
    }
    const DWORD style = WS_OVERLAPPEDWINDOW | (options.mdi ? WS_CLIPCHILDREN : 0);
    const int x = options.placed ? options.x : CW_USEDEFAULT, y = options.placed ? options.y : CW_USEDEFAULT;
    // Sizes for 96 DPI, at the screen's.
    const int dpi = platform::win32::WindowDpi(nullptr);
    HWND hwnd = CreateWindowExA(0, windowClass, kCaption, style, x, y, platform::ScaleToDpi(options.mdi ? 520 : 380, dpi),
                                platform::ScaleToDpi(options.mdi ? 380 : 260, dpi), nullptr, PreviewMenu(),
                                GetModuleHandleA(nullptr), nullptr);
    if (!hwnd) {
        errors << "tallyfold-skin: the preview window cannot be made (error " << GetLastError() << ")\n";
        return 1;
    }
    if (!skinner.HookForm(hwnd)) {
        DestroyWindow(hwnd);
        if (!PrintReports(log, messages, errors)) errors << "tallyfold-skin: the skin cannot be put on the window\n";
        return 1;
    }
    ShowWindow(hwnd, SW_SHOW);
    if (options.mdi && !MakeMdiChildren(options.maximised)) {
        errors << "tallyfold-skin: the MDI child windows cannot be made\n";
        DestroyWindow(hwnd);
        return 1;
    }
    RunUntilClosed();
    // A failure the engine reported while the window ran is not a clean end.
    return PrintReports(log, messages, errors) ? 1 : 0;
}

}  // namespace tf::app
