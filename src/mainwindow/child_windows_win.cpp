#include "mainwindow/child_windows_win.h"

#include <string>

#include "platform/win32/edge_guard_win.h"
#include "platform/win32/window_class_win.h"

namespace tf::mainwindow {

using platform::win32::ScopedPaint;
using platform::win32::ScopedSelect;

const char kFrameClass[] = "TallyfoldFrame";

namespace {

// Window extra bytes: the frame keeps the font it was given.
constexpr int kFontSlot = 0;

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

LRESULT FrameMessage(HWND frame, UINT msg, WPARAM wp, LPARAM lp) {
    switch (msg) {
        case WM_COMMAND:
        case WM_NOTIFY:
        case WM_CTLCOLORSTATIC:
        case WM_CTLCOLORBTN:
        case WM_CTLCOLOREDIT:
        case WM_CTLCOLORLISTBOX:
        case WM_DRAWITEM:
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

LRESULT CALLBACK FrameProc(HWND frame, UINT msg, WPARAM wp, LPARAM lp) {
    return platform::win32::CatchAtEdge("Frame", LRESULT{0}, [&] { return FrameMessage(frame, msg, wp, lp); });
}

}  // namespace

bool RegisterChildClasses(HINSTANCE instance) {
    return platform::win32::RegisterControlClass(instance, kFrameClass, FrameProc,
                                                 reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1)) &&
           platform::win32::RegisterPictureBoxClass(instance);
}

}  // namespace tf::mainwindow
