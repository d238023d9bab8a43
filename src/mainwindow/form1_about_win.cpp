// Form1's About page: product name, version, notice, two links and the logo,
// which is drawn here rather than loaded.
#include <algorithm>

#include "app/version.h"
#include "mainwindow/child_windows_win.h"
#include "mainwindow/form1_win.h"

namespace tf::mainwindow {
namespace {

using platform::win32::BitmapDc;
using platform::win32::ScopedSelect;
using platform::win32::ScopedWindowDc;
using platform::win32::UniqueBitmap;
using platform::win32::UniqueBrush;

constexpr char kSiteAddress[] = "https://tallyfold.example.org/";
constexpr char kHelpAddress[] = "https://www.example.org/tallyfold/help";

// About page, in twips relative to Frame2.
constexpr TwipRect kLogo{360, 360, 1920, 1920};
constexpr TwipRect kLabel2{2640, 480, 4560, 600};
constexpr TwipRect kLabel3{2640, 1140, 4560, 300};
constexpr TwipRect kLabel4{2640, 1560, 4560, 540};
constexpr TwipRect kLabel5{2640, 2400, 4560, 300};
constexpr TwipRect kLabel6{2640, 2760, 4560, 300};

constexpr COLORREF kLogoPage = RGB(0, 104, 116);
constexpr COLORREF kLogoFold = RGB(120, 190, 196);
constexpr COLORREF kLogoLine = RGB(255, 255, 255);
constexpr COLORREF kLogoMark = RGB(244, 150, 40);
constexpr COLORREF kLinkColour = RGB(0, 64, 192);

void FillShape(HDC dc, COLORREF colour, const RECT& r, int radius) {
    UniqueBrush brush(CreateSolidBrush(colour));
    ScopedSelect selectBrush(dc, brush.get());
    ScopedSelect selectPen(dc, GetStockObject(NULL_PEN));
    if (radius > 0)
        RoundRect(dc, r.left, r.top, r.right + 1, r.bottom + 1, radius, radius);
    else
        Rectangle(dc, r.left, r.top, r.right + 1, r.bottom + 1);
}

// A sheet with a folded corner carrying four list lines, each with a tally
// mark: a listing of things counted.
UniqueBitmap LogoPicture(HDC reference, int size) {
    BitmapDc canvas = BitmapDc::Create(reference, size, size);
    if (!canvas) return UniqueBitmap();
    {
        HDC dc = canvas.dc();
        RECT all{0, 0, size, size};
        FillRect(dc, &all, GetSysColorBrush(COLOR_BTNFACE));
        const int m = size / 12;
        FillShape(dc, kLogoPage, RECT{m, m, size - m, size - m}, size / 6);

        const int fold = size / 4;
        POINT corner[] = {{size - m - fold, m}, {size - m, m + fold}, {size - m - fold, m + fold}};
        UniqueBrush foldBrush(CreateSolidBrush(kLogoFold));
        ScopedSelect selectBrush(dc, foldBrush.get());
        ScopedSelect selectPen(dc, GetStockObject(NULL_PEN));
        Polygon(dc, corner, 3);

        const int lineHeight = size / 14;
        for (int i = 0; i < 4; ++i) {
            const int top = size * 2 / 5 + i * size * 3 / 25;
            const int markLeft = size / 5;
            FillShape(dc, kLogoMark, RECT{markLeft, top, markLeft + lineHeight, top + lineHeight}, lineHeight);
            const int left = markLeft + lineHeight * 2;
            const int right = size - m * 3 - i * size / 12;
            FillShape(dc, kLogoLine, RECT{left, top, right, top + lineHeight}, lineHeight);
        }
    }
    return canvas.Release();
}

}  // namespace

void Form1::CreateAboutPage() {
    HWND frame2 = Item(Control::Frame2);
    const DWORD label = WS_CHILD | WS_VISIBLE | SS_LEFT | SS_NOPREFIX;
    CreateControl(Control::logo, frame2, kPictureBoxClass, "", WS_CHILD | WS_VISIBLE, 0, kLogo);
    CreateControl(Control::Label2, frame2, "STATIC", "Tallyfold", label, 0, kLabel2);
    CreateControl(Control::Label3, frame2, "STATIC", "Version " TALLYFOLD_VERSION, label, 0, kLabel3);
    CreateControl(Control::Label4, frame2, "STATIC",
                  "Free to use and to share. Lists every file below a folder as text or HTML.", label, 0,
                  kLabel4);
    CreateControl(Control::Label5, frame2, "STATIC", kSiteAddress, label | SS_NOTIFY, 0, kLabel5);
    CreateControl(Control::Label6, frame2, "STATIC", kHelpAddress, label | SS_NOTIFY, 0, kLabel6);
    SendMessageA(Item(Control::Label2), WM_SETFONT, reinterpret_cast<WPARAM>(titleFont_.get()), FALSE);
    for (Control link : {Control::Label5, Control::Label6})
        SendMessageA(Item(link), WM_SETFONT, reinterpret_cast<WPARAM>(linkFont_.get()), FALSE);

    DrawLogo();
}

void Form1::DrawLogo() {
    HWND logo = Item(Control::logo);
    RECT area{};
    GetClientRect(logo, &area);
    ScopedWindowDc screen(logo);
    if (screen.get()) SetPicture(logo, LogoPicture(screen.get(), std::min(area.right, area.bottom)));
}

LRESULT Form1::OnCtlColorStatic(HDC dc, HWND control) {
    if (control == Item(Control::Label5) || control == Item(Control::Label6)) {
        SetTextColor(dc, kLinkColour);
        SetBkColor(dc, GetSysColor(COLOR_BTNFACE));
        return reinterpret_cast<LRESULT>(GetSysColorBrush(COLOR_BTNFACE));
    }
    return DefWindowProcA(hwnd_, WM_CTLCOLORSTATIC, reinterpret_cast<WPARAM>(dc), reinterpret_cast<LPARAM>(control));
}

bool Form1::OnSetCursor(HWND over) {
    if (over != Item(Control::Label5) && over != Item(Control::Label6) && over != Item(Control::logo)) return false;
    SetCursor(LoadCursorA(nullptr, reinterpret_cast<LPCSTR>(IDC_HAND)));
    return true;
}

void Form1::Label5_Click() { services_.launcher->Open("explorer.exe", kSiteAddress); }

void Form1::Label6_Click() { services_.launcher->Open("explorer.exe", kHelpAddress); }

void Form1::logo_Click() { services_.launcher->Open("explorer.exe", kSiteAddress); }

}  // namespace tf::mainwindow
