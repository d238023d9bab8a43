#include "mainwindow/picture_button_win.h"

#include <uxtheme.h>
#include <vssym32.h>

#include <algorithm>
#include <string>
#include <vector>

#include "platform/display_scale.h"
#include "platform/win32/unique_handle.h"

namespace tf::mainwindow {
namespace {

using platform::win32::ScopedSelect;
using platform::win32::UniqueBitmap;

constexpr int kClassicEdge = 3;  // the classic push button's frame and a pixel of air
constexpr int kGap = 4;          // between the picture and the caption, at 96 DPI

class ScopedTheme {
public:
    explicit ScopedTheme(HWND window) : theme_(IsAppThemed() ? OpenThemeData(window, L"BUTTON") : nullptr) {}
    ~ScopedTheme() {
        if (theme_) CloseThemeData(theme_);
    }
    ScopedTheme(const ScopedTheme&) = delete;
    ScopedTheme& operator=(const ScopedTheme&) = delete;
    HTHEME get() const { return theme_; }

private:
    HTHEME theme_;
};

std::string Caption(HWND button) {
    std::string text(static_cast<std::size_t>(GetWindowTextLengthA(button)) + 1, '\0');
    text.resize(static_cast<std::size_t>(GetWindowTextA(button, text.data(), static_cast<int>(text.size()))));
    return text;
}

// Draws the face and returns the area inside its frame.
RECT DrawFace(const DRAWITEMSTRUCT& item, bool pressed, bool disabled, bool isDefault) {
    RECT r = item.rcItem;
    const ScopedTheme theme(item.hwndItem);
    if (theme.get()) {
        const int state = disabled ? PBS_DISABLED : pressed ? PBS_PRESSED : isDefault ? PBS_DEFAULTED : PBS_NORMAL;
        DrawThemeParentBackground(item.hwndItem, item.hDC, &r);
        DrawThemeBackground(theme.get(), item.hDC, BP_PUSHBUTTON, state, &r, nullptr);
        RECT content = r;
        GetThemeBackgroundContentRect(theme.get(), item.hDC, BP_PUSHBUTTON, state, &r, &content);
        return content;
    }
    if (isDefault) {
        FrameRect(item.hDC, &r, GetSysColorBrush(COLOR_WINDOWFRAME));
        InflateRect(&r, -1, -1);
    }
    if (pressed && isDefault) {
        // A pressed default button shows a flat frame, as the system's do.
        FillRect(item.hDC, &r, GetSysColorBrush(COLOR_BTNFACE));
        FrameRect(item.hDC, &r, GetSysColorBrush(COLOR_BTNSHADOW));
    } else {
        DrawFrameControl(item.hDC, &r, DFC_BUTTON, DFCS_BUTTONPUSH | (pressed ? DFCS_PUSHED : 0));
    }
    InflateRect(&r, -kClassicEdge + (isDefault ? 1 : 0), -kClassicEdge + (isDefault ? 1 : 0));
    return r;
}

// A disabled picture: each pixel's brightness, faded halfway to the face.
// Pixels of the key colour stay as they are, so they are still left out.
UniqueBitmap Greyed(HDC dc, HBITMAP picture, int width, int height, COLORREF key) {
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof info.bmiHeader;
    info.bmiHeader.biWidth = width;
    info.bmiHeader.biHeight = -height;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    void* bits = nullptr;
    UniqueBitmap greyed(CreateDIBSection(dc, &info, DIB_RGB_COLORS, &bits, nullptr, 0));
    if (!greyed || GetDIBits(dc, picture, 0, static_cast<UINT>(height), bits, &info, DIB_RGB_COLORS) != height)
        return UniqueBitmap();
    const COLORREF face = GetSysColor(COLOR_BTNFACE);
    auto* pixels = static_cast<RGBQUAD*>(bits);
    for (int i = 0; i < width * height; ++i) {
        RGBQUAD& p = pixels[i];
        if (RGB(p.rgbRed, p.rgbGreen, p.rgbBlue) == key) continue;
        const int grey = (p.rgbRed * 77 + p.rgbGreen * 150 + p.rgbBlue * 29) >> 8;
        p.rgbRed = static_cast<BYTE>((grey + GetRValue(face)) / 2);
        p.rgbGreen = static_cast<BYTE>((grey + GetGValue(face)) / 2);
        p.rgbBlue = static_cast<BYTE>((grey + GetBValue(face)) / 2);
    }
    return greyed;
}

// The picture at the left end, vertically centred; `content` loses the
// part it takes.
void DrawPicture(HDC dc, HBITMAP picture, COLORREF key, RECT& content, bool disabled, int gapDpi) {
    BITMAP size{};
    if (!picture || !GetObjectA(picture, sizeof size, &size)) return;
    const int width = std::min<int>(size.bmWidth, content.right - content.left);
    const int height = std::min<int>(size.bmHeight, content.bottom - content.top);
    const int top = content.top + (content.bottom - content.top - height) / 2;
    UniqueBitmap greyed;
    if (disabled) greyed = Greyed(dc, picture, size.bmWidth, size.bmHeight, key);
    const platform::win32::BitmapDc source = platform::win32::BitmapDc::Borrowing(dc, greyed ? greyed.get() : picture);
    if (!source) return;
    GdiTransparentBlt(dc, content.left, top, width, height, source.dc(), 0, 0, width, height, key);
    content.left += width + platform::ScaleToDpi(kGap, gapDpi);
}

void DrawCaption(HDC dc, HWND button, const RECT& area, bool disabled) {
    const std::string caption = Caption(button);
    ScopedSelect font(dc, reinterpret_cast<HFONT>(SendMessageA(button, WM_GETFONT, 0, 0)));
    const UINT format = DT_CENTER | DT_WORDBREAK | DT_END_ELLIPSIS;
    RECT measure = area;
    DrawTextA(dc, caption.c_str(), -1, &measure, format | DT_CALCRECT);
    RECT text = area;
    text.top += std::max<LONG>(0, ((area.bottom - area.top) - (measure.bottom - measure.top)) / 2);
    SetBkMode(dc, TRANSPARENT);
    if (disabled) {
        RECT raised = text;
        OffsetRect(&raised, 1, 1);
        SetTextColor(dc, GetSysColor(COLOR_BTNHIGHLIGHT));
        DrawTextA(dc, caption.c_str(), -1, &raised, format);
        SetTextColor(dc, GetSysColor(COLOR_GRAYTEXT));
    } else {
        SetTextColor(dc, GetSysColor(COLOR_BTNTEXT));
    }
    DrawTextA(dc, caption.c_str(), -1, &text, format);
}

}  // namespace

void DrawPictureButton(const DRAWITEMSTRUCT& item, HBITMAP picture, COLORREF background, bool isDefault, int dpi) {
    const bool pressed = (item.itemState & ODS_SELECTED) != 0;
    const bool disabled = (item.itemState & ODS_DISABLED) != 0;
    RECT content = DrawFace(item, pressed, disabled, isDefault);
    if (pressed) OffsetRect(&content, 1, 1);
    const RECT inner = content;
    DrawPicture(item.hDC, picture, background, content, disabled, dpi);
    DrawCaption(item.hDC, item.hwndItem, content, disabled);
    if ((item.itemState & ODS_FOCUS) && !(item.itemState & ODS_NOFOCUSRECT)) {
        RECT focus = inner;
        InflateRect(&focus, 1, 1);
        DrawFocusRect(item.hDC, &focus);
    }
}

}  // namespace tf::mainwindow
