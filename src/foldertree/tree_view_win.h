#pragma once
// Binds a SysTreeView32 control to the folder-tree model: nodes become
// items (their id in the item's lParam), expansion and collapse
// notifications drive the model, and images are looked up by key when the
// control draws, so they stay right when the image list is compacted.
#include <windows.h>
#include <commctrl.h>

#include <functional>
#include <vector>

#include "foldertree/folder_tree.h"
#include "foldertree/node_icons_win.h"

namespace tf::foldertree {

class TreeViewBinding : public TreeView {
public:
    using NodeClickHandler = std::function<void(const SourceFolder&)>;

    explicit TreeViewBinding(HWND tree) : tree_(tree) {}
    void Bind(FolderTree* model, const ShellNodeIcons* icons, NodeClickHandler onNodeClick);

    void Add(NodeId node, NodeId parent, const std::string& text, Children children) override;
    void Remove(NodeId node) override;
    void RemoveChildren(NodeId node) override;
    void Expand(NodeId node) override;

    // Handles the control's notifications; false for anything else.
    bool OnNotify(const NMHDR& header, LRESULT& result);

    HWND Handle() const { return tree_; }
    HTREEITEM Item(NodeId node) const { return node < items_.size() ? items_[node] : nullptr; }

private:
    NodeId NodeOf(HTREEITEM item) const;
    void OnExpanding(NodeId node, UINT action);
    void OnExpanded(HTREEITEM item, NodeId node, UINT action);
    void OnClick();
    void AskChildrenAgain(HTREEITEM item, NodeId node);
    int ImageOf(NodeId node) const;

    HWND tree_;
    FolderTree* model_ = nullptr;
    const ShellNodeIcons* icons_ = nullptr;
    NodeClickHandler onNodeClick_;
    std::vector<HTREEITEM> items_;  // by node id
};

}  // namespace tf::foldertree
