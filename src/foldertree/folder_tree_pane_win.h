#pragma once
// Everything behind the window's folder tree: the shell services, the image
// list, the control binding and the model, wired together.
#include <windows.h>

#include <memory>

#include "foldertree/folder_tree.h"
#include "foldertree/node_icons_win.h"
#include "foldertree/tree_view_win.h"

namespace tf::foldertree {

class FolderTreePane {
public:
    // `tree` is a SysTreeView32 child of `owner`; `shell` defaults to the
    // platform's shell. The icons come at the small-icon size of `dpi` (0:
    // the tree's own DPI).
    FolderTreePane(HWND owner, HWND tree, platform::FileSystem& fs, TreeViewBinding::NodeClickHandler onNodeClick,
                   std::unique_ptr<ShellServices> shell = nullptr, int dpi = 0);
    FolderTreePane(const FolderTreePane&) = delete;
    FolderTreePane& operator=(const FolderTreePane&) = delete;

    // Forward the owner's WM_NOTIFY here; true when it was the tree's.
    bool OnNotify(const NMHDR& header, LRESULT& result) { return view_.OnNotify(header, result); }

    FolderTree& Model() { return model_; }
    TreeViewBinding& View() { return view_; }
    ShellNodeIcons& Icons() { return icons_; }

private:
    std::unique_ptr<ShellServices> shell_;
    ShellNodeIcons icons_;
    TreeViewBinding view_;
    FolderTree model_;
};

}  // namespace tf::foldertree
