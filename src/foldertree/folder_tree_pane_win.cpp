#include "foldertree/folder_tree_pane_win.h"

#include "foldertree/shell_services_win.h"
#include "platform/win32/dpi_win.h"

namespace tf::foldertree {
namespace {

// The system's small-icon size at `dpi`, or at the tree's DPI.
int SmallIconSize(HWND tree, int dpi) {
    const int size = platform::win32::SystemMetricAtDpi(SM_CXSMICON, dpi > 0 ? dpi : platform::win32::WindowDpi(tree));
    return size > 0 ? size : kNodeIconSize;
}

}  // namespace

FolderTreePane::FolderTreePane(HWND owner, HWND tree, platform::FileSystem& fs,
                               TreeViewBinding::NodeClickHandler onNodeClick, std::unique_ptr<ShellServices> shell,
                               int dpi)
    : shell_(shell ? std::move(shell) : std::make_unique<Win32ShellServices>(owner)),
      icons_(SmallIconSize(tree, dpi)),
      view_(tree),
      model_(view_, icons_, *shell_, fs) {
    view_.Bind(&model_, &icons_, std::move(onNodeClick));
}

}  // namespace tf::foldertree
