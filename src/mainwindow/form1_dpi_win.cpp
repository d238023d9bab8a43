// Form1 on a monitor of another scale: the system sends WM_DPICHANGED with
// the new DPI and a suggested window rectangle. The skin has already
// scaled its frame (it sees the message first); the window makes its fonts
// anew, puts every control at its designed place for the new DPI, draws
// its pictures and tree icons again and takes the suggested place, sized so
// the client area is the designed one.
#include <windows.h>
#include <commctrl.h>

#include <memory>

#include "mainwindow/form1_win.h"

namespace tf::mainwindow {

void Form1::OnDpiChanged(int dpi, const RECT& suggested) {
    if (dpi <= 0 || dpi == dpi_) return;
    dpi_ = dpi;

    // The controls keep the old fonts until they have taken the new ones.
    platform::win32::UniqueFont old[] = {std::move(font_), std::move(boldFont_), std::move(titleFont_),
                                         std::move(linkFont_)};
    CreateFonts();
    const HFONT renewed[] = {font_.get(), boldFont_.get(), titleFont_.get(), linkFont_.get()};
    for (HWND control : controls_) {
        if (!control) continue;
        const auto font = reinterpret_cast<HFONT>(SendMessageA(control, WM_GETFONT, 0, 0));
        for (std::size_t i = 0; i < std::size(old); ++i)
            if (font && font == old[i].get()) SendMessageA(control, WM_SETFONT, reinterpret_cast<WPARAM>(renewed[i]), FALSE);
    }

    for (int i = 0; i < kControlCount; ++i) {
        const auto c = static_cast<Control>(kFirstControl + i);
        if (!Item(c)) continue;
        const PixelRect px = PixelPlace(c);
        SetWindowPos(Item(c), nullptr, px.left, px.top, px.width, px.height, SWP_NOZORDER | SWP_NOACTIVATE);
    }
    for (Control c : kAttributeBoxes) FitToCaption(Item(c));
    DrawButtonPictures();
    DrawLogo();
    // The tips cover the parts of the buttons over their picture boxes,
    // which have moved.
    if (toolTips_) DestroyWindow(toolTips_);
    toolTips_ = nullptr;
    CreateToolTips();
    // The tree's icons are stored at one size: the tree is built again from
    // its root with icons of the new small-icon size (folders opened before
    // are closed). The old pane hears its items go, then goes after the new
    // one has put its own image list on the control.
    if (folderTree_) {
        SendMessageA(TreeView(), TVM_DELETEITEM, 0, reinterpret_cast<LPARAM>(TVI_ROOT));
        const std::unique_ptr<foldertree::FolderTreePane> oldTree = std::move(folderTree_);
        BuildFolderTree();
    }

    // The frame's thickness is already the new DPI's.
    RECT window{}, client{};
    GetWindowRect(hwnd_, &window);
    GetClientRect(hwnd_, &client);
    const int frameWidth = (window.right - window.left) - client.right;
    const int frameHeight = (window.bottom - window.top) - client.bottom;
    SetWindowPos(hwnd_, nullptr, suggested.left, suggested.top,
                 platform::TwipsToPixelsAtDpi(kClientWidthTwips, dpi_) + frameWidth,
                 platform::TwipsToPixelsAtDpi(kClientHeightTwips, dpi_) + frameHeight, SWP_NOZORDER | SWP_NOACTIVATE);
    RedrawWindow(hwnd_, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_FRAME | RDW_ALLCHILDREN);
}

}  // namespace tf::mainwindow
