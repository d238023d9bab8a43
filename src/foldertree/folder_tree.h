#pragma once
// The folder tree: a shell-style hierarchy filled lazily, one level per
// expansion, and emptied again on collapse so that the next expansion reads
// the folder afresh. The model keeps the nodes and their keys; the control,
// the shell and the icons are services it drives.
#include <string>
#include <unordered_map>
#include <vector>

#include "foldertree/node_key.h"
#include "foldertree/tree_services.h"
#include "platform/file_system.h"

namespace tf::foldertree {

class FolderTree {
public:
    struct Node {
        std::string key;    // empty for placeholders
        std::string text;
        std::string image;  // key of the node's icon; empty when it has none
        NodeId parent = kNoNode;
        std::vector<NodeId> children;
        bool placeholder = false;
        bool inUse = false;
        // A file-system child is added without a placeholder: probing every
        // child of a large folder is slow, so it is probed only when the
        // control shows it, once.
        bool childrenOnDemand = false;
        enum class Probe { kNotYet, kHasSubFolders, kNone } probe = Probe::kNotYet;
        bool filled = false;  // expanded at least once
    };

    FolderTree(TreeView& view, NodeIcons& icons, ShellServices& shell, platform::FileSystem& fs);
    FolderTree(const FolderTree&) = delete;
    FolderTree& operator=(const FolderTree&) = delete;

    // The root "Desktop" and the desktop's folders, root expanded. Runs once.
    void BuildTreeRoot(const ZipNameTest& zipTest);
    // Adds the children of the node with this key.
    void FillNode(const std::string& key);
    bool NodeExists(const std::string& key) const;
    bool HasSubFolder(const std::string& path);
    // Whether the node gets an expander: it has children, or it is an
    // unfilled file-system node whose folder has subfolders.
    bool HasChildren(NodeId node);

    void TreeView1_Expand(NodeId node);
    void TreeView1_Collapse(NodeId node);
    SourceFolder TreeView1_NodeClick(NodeId node) const;

    NodeId Root() const { return root_; }
    NodeId NodeWithKey(const std::string& key) const;
    // Null for ids that name no node (removed, or never given).
    const Node* Find(NodeId node) const;
    std::size_t NodeCount() const { return byKeyCount_ + placeholderCount_; }

private:
    NodeId AddNode(NodeId parent, const std::string& key, const std::string& text, const std::string& image,
                   TreeView::Children children = TreeView::Children::kFromItems);
    void AddPlaceholder(NodeId parent, const std::string& text);
    NodeId Allocate();
    // Drops the node and its subtree from the model, collecting image keys;
    // the caller has already taken it out of its parent's children.
    void Forget(NodeId node, std::vector<std::string>& imageKeys);
    void DetachFromParent(NodeId node);
    IconSource DefaultIconOf(const std::string& key, bool environmentForm);

    void FillComputer(NodeId parent);
    void FillShellChildren(NodeId parent, ShellNamespace ns);
    void FillFolder(NodeId parent, const std::string& key);

    TreeView& view_;
    NodeIcons& icons_;
    ShellServices& shell_;
    platform::FileSystem& fs_;

    std::vector<Node> nodes_{1};  // id 0 is kNoNode
    std::vector<NodeId> freeIds_;
    // Key -> node, so that the duplicate test of a fill does not walk the tree.
    std::unordered_map<std::string, NodeId> byKey_;
    std::size_t byKeyCount_ = 0;
    std::size_t placeholderCount_ = 0;
    NodeId root_ = kNoNode;
};

}  // namespace tf::foldertree
