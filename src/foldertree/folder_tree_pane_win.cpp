#include "foldertree/folder_tree_pane_win.h"

#include "foldertree/shell_services_win.h"

namespace tf::foldertree {

FolderTreePane::FolderTreePane(HWND owner, HWND tree, platform::FileSystem& fs,
                               TreeViewBinding::NodeClickHandler onNodeClick, std::unique_ptr<ShellServices> shell)
    : shell_(shell ? std::move(shell) : std::make_unique<Win32ShellServices>(owner)),
      view_(tree),
      model_(view_, icons_, *shell_, fs) {
    view_.Bind(&model_, &icons_, std::move(onNodeClick));
}

}  // namespace tf::foldertree
