// Form1's controls: creation at their designed places, fonts, tool tips and
// the initial state of the option controls.
#include <windows.h>
#include <commctrl.h>

#include <vector>

#include "mainwindow/child_windows_win.h"
#include "mainwindow/form1_win.h"
#include "mainwindow/report_choices.h"
#include "platform/win32/dpi_win.h"

namespace tf::mainwindow {
namespace {

constexpr DWORD kChild = WS_CHILD | WS_VISIBLE | WS_CLIPSIBLINGS;

// Main page, in twips relative to each container.
constexpr TwipRect kTabStrip1{240, 120, 7575, 6255};
constexpr TwipRect kFrame1{240, 600, 7500, 5655};
constexpr TwipRect kCommand1{120, 240, 1215, 975};
constexpr TwipRect kStart{120, 240, 615, 495};
constexpr TwipRect kCommand2{1440, 240, 1215, 975};
constexpr TwipRect kStoplist{1320, 240, 615, 495};
constexpr TwipRect kCommand3{6000, 240, 1215, 975};
constexpr TwipRect kSavelist{6240, 240, 615, 495};
constexpr TwipRect kDir{120, 1320, 3015, 315};
constexpr TwipRect kOrderby{3240, 1320, 1935, 315};
constexpr TwipRect kSaveas{5880, 1320, 1455, 315};
constexpr TwipRect kFrame4{120, 1800, 4455, 3735};
constexpr TwipRect kTreeView1{120, 240, 4215, 3375};
constexpr TwipRect kFrame5{4800, 1800, 2535, 1095};
constexpr TwipRect kFilter{240, 360, 2055, 375};
// The attributes' frame starts higher than the four boxes once needed, so a
// fifth fits below them.
constexpr TwipRect kFrame3{4800, 3000, 2535, 2535};
constexpr TwipRect kCheck1{120, 360, 1215, 255};
constexpr TwipRect kCheck2{120, 720, 1215, 255};
constexpr TwipRect kCheck3{120, 1080, 1215, 255};
constexpr TwipRect kCheck4{120, 1440, 1815, 255};
constexpr TwipRect kCheck5{120, 1800, 1815, 255};
constexpr TwipRect kStatus{120, 6480, 7725, 375};
constexpr TwipRect kPicSmall{8040, 240, 256, 256};

// The drop-down lists of the two combo boxes show all of their entries.
constexpr int kComboListTwips = 6 * 255;

constexpr const char* kOrderEntries[] = {"Name", "Type", "Size", "Created date", "Last modified date"};

}  // namespace

void Form1::CreateFonts() {
    NONCLIENTMETRICSA metrics{};
    metrics.cbSize = sizeof metrics;
    LOGFONTA base{};
    if (SystemParametersInfoA(SPI_GETNONCLIENTMETRICS, sizeof metrics, &metrics, 0)) {
        // The system's font is for its own DPI; a window on a monitor of
        // another scale scales it.
        base = metrics.lfMessageFont;
        base.lfHeight = MulDiv(base.lfHeight, dpi_, platform::win32::WindowDpi(nullptr));
    } else {
        base.lfHeight = -MulDiv(8, dpi_, 72);
        lstrcpynA(base.lfFaceName, "Tahoma", LF_FACESIZE);
    }
    font_.reset(CreateFontIndirectA(&base));
    LOGFONTA bold = base;
    bold.lfWeight = FW_BOLD;
    boldFont_.reset(CreateFontIndirectA(&bold));
    LOGFONTA title = bold;
    title.lfHeight = base.lfHeight * 2;
    titleFont_.reset(CreateFontIndirectA(&title));
    LOGFONTA link = base;
    link.lfUnderline = TRUE;
    linkFont_.reset(CreateFontIndirectA(&link));
}

HWND Form1::CreateControl(Control c, HWND parent, const char* className, const char* text, DWORD style,
                          DWORD exStyle, const TwipRect& where, int extraHeightTwips) {
    places_[Index(c)] = Placement{where, extraHeightTwips};
    const PixelRect px = PixelPlace(c);
    HWND control = CreateWindowExA(exStyle, className, text, style, px.left, px.top, px.width, px.height, parent,
                                   reinterpret_cast<HMENU>(static_cast<INT_PTR>(c)),
                                   reinterpret_cast<HINSTANCE>(GetWindowLongPtrA(hwnd_, GWLP_HINSTANCE)), nullptr);
    controls_[Index(c)] = control;
    if (control) SendMessageA(control, WM_SETFONT, reinterpret_cast<WPARAM>(font_.get()), FALSE);
    return control;
}

PixelRect Form1::PixelPlace(Control c) const {
    const Placement& place = places_[Index(c)];
    PixelRect px = ToPixels(place.where, dpi_);
    px.height += platform::TwipsToPixelsAtDpi(place.extraHeightTwips, dpi_);
    return px;
}

bool Form1::CreateControls() {
    // Creation order is tab order and, for overlapping siblings, the first
    // created lies on top: the pages above the tab strip, the buttons above
    // their picture boxes.
    const DWORD page = kChild | WS_CLIPCHILDREN;
    HWND frame1 = CreateControl(Control::Frame1, hwnd_, kFrameClass, "", page, WS_EX_CONTROLPARENT, kFrame1);
    if (!frame1) return false;
    // The run buttons draw their picture beside the caption themselves.
    const DWORD pictureButton = kChild | WS_TABSTOP | BS_OWNERDRAW;
    CreateControl(Control::Command1, frame1, "BUTTON", "Start", pictureButton, 0, kCommand1);
    CreateControl(Control::Command2, frame1, "BUTTON", "Stop", pictureButton, 0, kCommand2);
    CreateControl(Control::Command3, frame1, "BUTTON", "Save as...", pictureButton, 0, kCommand3);
    CreateControl(Control::dir, frame1, "EDIT", "", kChild | WS_TABSTOP | ES_AUTOHSCROLL, WS_EX_CLIENTEDGE, kDir);
    CreateControl(Control::orderby, frame1, "COMBOBOX", "", kChild | WS_TABSTOP | WS_VSCROLL | CBS_DROPDOWN |
                  CBS_AUTOHSCROLL, 0, kOrderby, kComboListTwips);
    CreateControl(Control::saveas, frame1, "COMBOBOX", "", kChild | WS_TABSTOP | WS_VSCROLL | CBS_DROPDOWN |
                  CBS_AUTOHSCROLL, 0, kSaveas, kComboListTwips);

    HWND frame4 = CreateControl(Control::Frame4, frame1, kFrameClass, "Source Folder", kChild | WS_CLIPCHILDREN,
                                WS_EX_CONTROLPARENT, kFrame4);
    CreateControl(Control::TreeView1, frame4, WC_TREEVIEWA, "", kChild | WS_TABSTOP | TVS_HASBUTTONS |
                  TVS_HASLINES | TVS_LINESATROOT | TVS_SHOWSELALWAYS, WS_EX_CLIENTEDGE, kTreeView1);
    HWND frame5 = CreateControl(Control::Frame5, frame1, kFrameClass, "Filter", kChild | WS_CLIPCHILDREN,
                                WS_EX_CONTROLPARENT, kFrame5);
    CreateControl(Control::filter, frame5, "EDIT", "*", kChild | WS_TABSTOP | ES_AUTOHSCROLL, WS_EX_CLIENTEDGE,
                  kFilter);
    HWND frame3 = CreateControl(Control::Frame3, frame1, kFrameClass, "Attributes to save",
                                kChild | WS_CLIPCHILDREN, WS_EX_CONTROLPARENT, kFrame3);
    const DWORD check = kChild | WS_TABSTOP | BS_AUTOCHECKBOX;
    CreateControl(Control::Check1, frame3, "BUTTON", "Type", check, 0, kCheck1);
    CreateControl(Control::Check2, frame3, "BUTTON", "Size", check, 0, kCheck2);
    CreateControl(Control::Check3, frame3, "BUTTON", "Created date", check, 0, kCheck3);
    CreateControl(Control::Check4, frame3, "BUTTON", "Last modified date", check, 0, kCheck4);
    CreateControl(Control::Check5, frame3, "BUTTON", "Content hash", check, 0, kCheck5);
    for (Control c : kAttributeBoxes) FitToCaption(Item(c));

    // Start-up draws the button images on these before they go onto the
    // buttons. They stay hidden: the buttons draw the pictures, and Stop's
    // box reaches out to the left of its button, where above 96 DPI it
    // showed a piece of its picture.
    const DWORD hiddenChild = kChild & ~WS_VISIBLE;
    CreateControl(Control::start, frame1, kPictureBoxClass, "", hiddenChild, 0, kStart);
    CreateControl(Control::stoplist, frame1, kPictureBoxClass, "", hiddenChild, 0, kStoplist);
    CreateControl(Control::savelist, frame1, kPictureBoxClass, "", hiddenChild, 0, kSavelist);

    CreateControl(Control::Frame2, hwnd_, kFrameClass, "", (page & ~WS_VISIBLE), WS_EX_CONTROLPARENT, kFrame1);

    HWND tabs = CreateControl(Control::TabStrip1, hwnd_, WC_TABCONTROLA, "", kChild | WS_TABSTOP, 0, kTabStrip1);
    const char* tabNames[] = {"Main", "About"};
    for (int i = 0; i < 2; ++i) {
        TCITEMA item{};
        item.mask = TCIF_TEXT;
        item.pszText = const_cast<char*>(tabNames[i]);
        SendMessageA(tabs, TCM_INSERTITEMA, static_cast<WPARAM>(i), reinterpret_cast<LPARAM>(&item));
    }

    HWND status = CreateControl(Control::status, hwnd_, STATUSCLASSNAMEA, "",
                                kChild | CCS_NOPARENTALIGN | CCS_NORESIZE | CCS_NODIVIDER, 0, kStatus);
    int whole = -1;
    SendMessageA(status, SB_SETPARTS, 1, reinterpret_cast<LPARAM>(&whole));

    // Beyond the right edge of the client area, never seen.
    CreateControl(Control::picSmall, hwnd_, kPictureBoxClass, "", kChild & ~WS_VISIBLE, 0, kPicSmall);

    for (Control c : {Control::Frame1, Control::Command1, Control::Command2, Control::Command3, Control::dir,
                      Control::orderby, Control::saveas, Control::TreeView1, Control::filter, Control::Check1,
                      Control::Check2, Control::Check3, Control::Check4, Control::Check5, Control::TabStrip1,
                      Control::status})
        if (!Item(c)) return false;
    return true;
}

void Form1::FitToCaption(HWND box) {
    if (!box) return;
    // The glyph and its gap do not grow with the font at every DPI: a box
    // too narrow for its caption there is widened, never narrowed.
    SIZE ideal{};
    if (!SendMessageA(box, BCM_GETIDEALSIZE, 0, reinterpret_cast<LPARAM>(&ideal)) || ideal.cx <= 0) {
        char caption[64] = {};
        const int length = GetWindowTextA(box, caption, sizeof caption);
        platform::win32::ScopedWindowDc dc(box);
        SIZE text{};
        platform::win32::ScopedSelect font(dc.get(), font_.get());
        GetTextExtentPoint32A(dc.get(), caption, length, &text);
        ideal.cx = text.cx + GetSystemMetrics(SM_CXMENUCHECK) + 2 * GetSystemMetrics(SM_CXEDGE);
    }
    RECT r{};
    GetWindowRect(box, &r);
    if (ideal.cx > r.right - r.left) {
        SetWindowPos(box, nullptr, 0, 0, ideal.cx, r.bottom - r.top, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
    }
}

void Form1::CreateToolTips() {
    toolTips_ = CreateWindowExA(WS_EX_TOPMOST, TOOLTIPS_CLASSA, nullptr, WS_POPUP | TTS_ALWAYSTIP | TTS_NOPREFIX,
                                CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, hwnd_, nullptr,
                                reinterpret_cast<HINSTANCE>(GetWindowLongPtrA(hwnd_, GWLP_HINSTANCE)), nullptr);
    if (!toolTips_) return;
    struct Tip {
        Control box;
        Control button;
        const char* text;
    };
    const Tip tips[] = {{Control::start, Control::Command1, "Start"},
                        {Control::stoplist, Control::Command2, "Stop"},
                        {Control::savelist, Control::Command3, "Save"}};
    for (const Tip& tip : tips) {
        // The tip belongs to the picture box; where the button covers the
        // box, the same tip is given to that part of the button.
        TOOLINFOA info{};
        info.cbSize = sizeof info;
        info.uFlags = TTF_IDISHWND | TTF_SUBCLASS;
        info.hwnd = hwnd_;
        info.uId = reinterpret_cast<UINT_PTR>(Item(tip.box));
        info.lpszText = const_cast<char*>(tip.text);
        SendMessageA(toolTips_, TTM_ADDTOOLA, 0, reinterpret_cast<LPARAM>(&info));

        RECT box{}, button{}, overlap{};
        GetWindowRect(Item(tip.box), &box);
        GetWindowRect(Item(tip.button), &button);
        if (!IntersectRect(&overlap, &box, &button)) continue;
        MapWindowPoints(nullptr, Item(tip.button), reinterpret_cast<POINT*>(&overlap), 2);
        TOOLINFOA cover{};
        cover.cbSize = sizeof cover;
        cover.uFlags = TTF_SUBCLASS;
        cover.hwnd = Item(tip.button);
        cover.uId = static_cast<UINT_PTR>(tip.box);
        cover.rect = overlap;
        cover.lpszText = const_cast<char*>(tip.text);
        SendMessageA(toolTips_, TTM_ADDTOOLA, 0, reinterpret_cast<LPARAM>(&cover));
    }
}

void Form1::Form_Load() {
    AttachSkin();
    SetWindowIcons();
    SendMessageA(Item(Control::Check1), BM_SETCHECK, BST_CHECKED, 0);
    SendMessageA(Item(Control::Check2), BM_SETCHECK, BST_CHECKED, 0);
    ShowWindow(Item(Control::Frame2), SW_HIDE);
    for (const char* entry : kOrderEntries)
        SendMessageA(Item(Control::orderby), CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(entry));
    SetWindowTextA(Item(Control::orderby), "No order");
    for (const ReportChoice& choice : ReportChoices())
        SendMessageA(Item(Control::saveas), CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(choice.entry));
    SetWindowTextA(Item(Control::saveas), "Text");
    DrawButtonPictures();
    BuildFolderTree();
}

std::string Form1::Text(Control c) const {
    HWND control = Item(c);
    if (!control) return std::string();
    std::vector<char> text(static_cast<std::size_t>(GetWindowTextLengthA(control)) + 1, '\0');
    const int n = GetWindowTextA(control, text.data(), static_cast<int>(text.size()));
    return std::string(text.data(), static_cast<std::size_t>(n > 0 ? n : 0));
}

void Form1::SetSourceFolder(const std::string& text) { SetWindowTextA(Item(Control::dir), text.c_str()); }

void Form1::SetStatusText(const std::string& text) {
    SendMessageA(Item(Control::status), SB_SETTEXTA, 0, reinterpret_cast<LPARAM>(text.c_str()));
}

std::string Form1::StatusText() const {
    HWND status = Item(Control::status);
    if (!status) return std::string();
    const LRESULT length = SendMessageA(status, SB_GETTEXTLENGTHA, 0, 0);
    std::vector<char> text(static_cast<std::size_t>(LOWORD(length)) + 1, '\0');
    SendMessageA(status, SB_GETTEXTA, 0, reinterpret_cast<LPARAM>(text.data()));
    return std::string(text.data());
}

}  // namespace tf::mainwindow
