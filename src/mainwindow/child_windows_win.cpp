#include "mainwindow/child_windows_win.h"

#include <string>

namespace tf::mainwindow {

using platform::win32::ScopedPaint;
using platform::win32::ScopedSelect;
using platform::win32::UniqueBitmap;

const char kFrameClass[] = "TallyfoldFrame";
const char kPictureClass[] = "TallyfoldPicture";

namespace {

// Window extra bytes: the frame keeps the font it was given, the picture box
// its picture.
constexpr int kFontSlot = 0;
constexpr int kPictureSlot = 0;
constexpr UINT kSetPicture = WM_USER + 1;

std::string WindowText(HWND window) {
    std::string text(static_cast<std::size_t>(GetWindowTextLengthA(window)) + 1, '\0');
    text.resize(static_cast<std::size_t>(GetWindowTextA(window, text.data(), static_cast<int>(text.size()))));
    return text;
}

void PaintFrame(HWND frame) {
    ScopedPaint paint(frame);
    const std::string caption = WindowText(frame);
    if (caption.empty()) return;  // a page: the class brush has erased it
    RECT client{};
    GetClientRect(frame, &client);
    HDC dc = paint.dc();
    ScopedSelect font(dc, reinterpret_cast<HFONT>(GetWindowLongPtrA(frame, kFontSlot)));
    TEXTMETRICA tm{};
    GetTextMetricsA(dc, &tm);
    RECT border = client;
    border.top += tm.tmHeight / 2;
    DrawEdge(dc, &border, EDGE_ETCHED, BF_RECT);
    // The caption interrupts the top edge, as on a group box.
    SIZE extent{};
    const std::string padded = " " + caption + " ";
    GetTextExtentPoint32A(dc, padded.c_str(), static_cast<int>(padded.size()), &extent);
    RECT text{tm.tmAveCharWidth, 0, tm.tmAveCharWidth + extent.cx, tm.tmHeight};
    SetBkColor(dc, GetSysColor(COLOR_BTNFACE));
    SetTextColor(dc, GetSysColor(IsWindowEnabled(frame) ? COLOR_BTNTEXT : COLOR_GRAYTEXT));
    ExtTextOutA(dc, text.left, text.top, ETO_OPAQUE, &text, padded.c_str(), static_cast<UINT>(padded.size()), nullptr);
}

LRESULT CALLBACK FrameProc(HWND frame, UINT msg, WPARAM wp, LPARAM lp) {
    switch (msg) {
        case WM_COMMAND:
        case WM_NOTIFY:
        case WM_CTLCOLORSTATIC:
        case WM_CTLCOLORBTN:
        case WM_CTLCOLOREDIT:
        case WM_CTLCOLORLISTBOX:
            return SendMessageA(GetAncestor(frame, GA_ROOT), msg, wp, lp);
        case WM_SETCURSOR:
            if (reinterpret_cast<HWND>(wp) != frame && SendMessageA(GetAncestor(frame, GA_ROOT), msg, wp, lp))
                return TRUE;
            break;
        case WM_SETFONT:
            SetWindowLongPtrA(frame, kFontSlot, static_cast<LONG_PTR>(wp));
            if (LOWORD(lp)) InvalidateRect(frame, nullptr, TRUE);
            return 0;
        case WM_GETFONT:
            return GetWindowLongPtrA(frame, kFontSlot);
        case WM_SETTEXT: {
            const LRESULT result = DefWindowProcA(frame, msg, wp, lp);
            InvalidateRect(frame, nullptr, TRUE);
            return result;
        }
        case WM_PAINT:
            PaintFrame(frame);
            return 0;
        default:
            break;
    }
    return DefWindowProcA(frame, msg, wp, lp);
}

void PaintPicture(HWND box) {
    ScopedPaint paint(box);
    RECT client{};
    GetClientRect(box, &client);
    FillRect(paint.dc(), &client, GetSysColorBrush(COLOR_BTNFACE));
    HBITMAP picture = GetPicture(box);
    if (!picture) return;
    BITMAP info{};
    GetObjectA(picture, sizeof info, &info);
    platform::win32::UniqueMemoryDc source(CreateCompatibleDC(paint.dc()));
    if (!source) return;
    ScopedSelect select(source.get(), picture);
    BitBlt(paint.dc(), 0, 0, info.bmWidth, info.bmHeight, source.get(), 0, 0, SRCCOPY);
}

LRESULT CALLBACK PictureProc(HWND box, UINT msg, WPARAM wp, LPARAM lp) {
    switch (msg) {
        case kSetPicture:
            DeleteObject(reinterpret_cast<HBITMAP>(SetWindowLongPtrA(box, kPictureSlot, lp)));
            InvalidateRect(box, nullptr, TRUE);
            return 0;
        case WM_NCDESTROY:
            DeleteObject(reinterpret_cast<HBITMAP>(SetWindowLongPtrA(box, kPictureSlot, 0)));
            break;
        case WM_ERASEBKGND:
            return TRUE;  // WM_PAINT covers every pixel
        case WM_PAINT:
            PaintPicture(box);
            return 0;
        case WM_LBUTTONUP:
            SendMessageA(GetParent(box), WM_COMMAND, MAKEWPARAM(GetDlgCtrlID(box), STN_CLICKED),
                         reinterpret_cast<LPARAM>(box));
            return 0;
        default:
            break;
    }
    return DefWindowProcA(box, msg, wp, lp);
}

bool Register(HINSTANCE instance, const char* name, WNDPROC proc) {
    WNDCLASSA existing{};
    if (GetClassInfoA(instance, name, &existing)) return true;
    WNDCLASSA wc{};
    wc.style = CS_HREDRAW | CS_VREDRAW;
    wc.lpfnWndProc = proc;
    wc.cbWndExtra = sizeof(LONG_PTR);
    wc.hInstance = instance;
    wc.hCursor = LoadCursorA(nullptr, reinterpret_cast<LPCSTR>(IDC_ARROW));
    wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
    wc.lpszClassName = name;
    return RegisterClassA(&wc) != 0;
}

}  // namespace

bool RegisterChildClasses(HINSTANCE instance) {
    return Register(instance, kFrameClass, FrameProc) && Register(instance, kPictureClass, PictureProc);
}

void SetPicture(HWND box, UniqueBitmap picture) {
    if (!IsWindow(box)) return;  // the bitmap is deleted by its owner
    SendMessageA(box, kSetPicture, 0, reinterpret_cast<LPARAM>(picture.release()));
}

HBITMAP GetPicture(HWND box) { return reinterpret_cast<HBITMAP>(GetWindowLongPtrA(box, kPictureSlot)); }

}  // namespace tf::mainwindow
