// Form1's start-up steps around the option defaults: the window icons before
// them, the folder tree after them.
#include <windows.h>
#include <shellapi.h>

#include "foldertree/folder_tree_pane_win.h"
#include "mainwindow/form1_win.h"

namespace tf::mainwindow {
namespace {

constexpr char kSmallIconFile[] = "\\images\\Tallyfold.ico";
constexpr char kBigIconResource[] = "AAA";

// The top of the window's owner chain; the window itself when unowned.
HWND TopLevelOwner(HWND window) {
    HWND top = window;
    for (HWND owner = GetWindow(window, GW_OWNER); owner; owner = GetWindow(owner, GW_OWNER)) top = owner;
    return top;
}

}  // namespace

void Form1::SetWindowIcons() {
    // The small icon is the first one of our icon file; a file without one
    // leaves the window without a small icon.
    const std::string iconFile = appFolder_ + kSmallIconFile;
    HICON large = nullptr, small = nullptr;
    const UINT extracted = ExtractIconExA(iconFile.c_str(), 0, &large, &small, 1);
    if (extracted == 0 || extracted == UINT_MAX) large = small = nullptr;  // out-parameters are not set then
    platform::win32::UniqueIcon unusedLarge(large);
    smallIcon_.reset(small);
    SendMessageA(hwnd_, WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(smallIcon_.get()));

    // The big icon comes from the executable; shared, so never destroyed.
    HANDLE big = LoadImageA(GetModuleHandleA(nullptr), kBigIconResource, IMAGE_ICON, GetSystemMetrics(SM_CXICON),
                            GetSystemMetrics(SM_CYICON), LR_SHARED);
    SendMessageA(TopLevelOwner(hwnd_), WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(big));
    SendMessageA(hwnd_, WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(big));
}

void Form1::BuildFolderTree() {
    folderTree_ = std::make_unique<foldertree::FolderTreePane>(
        hwnd_, Item(Control::TreeView1), *services_.fileSystem, [this](const foldertree::SourceFolder& source) {
            SetSourceFolder(source.dir);
            SetStatusText(source.status);
        },
        nullptr, dpi_);
    SetTreeNotifyHandler(
        [this](const NMHDR& header, LRESULT& result) { return folderTree_->OnNotify(header, result); });
    // The zip-name test lives only while the root level is built.
    const foldertree::ZipNameTest zipTest;
    folderTree_->Model().BuildTreeRoot(zipTest);
}

}  // namespace tf::mainwindow
