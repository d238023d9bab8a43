#include "foldertree/folder_tree.h"

#include "foldertree/default_icon.h"
#include "platform/utf8.h"

namespace tf::foldertree {
namespace {

constexpr const char* kDesktopIconModule = "C:\\Windows\\System32\\shell32.dll";
constexpr int kDesktopIconIndex = 34;
// Placeholders give their parent an expander until it is filled.
constexpr const char* kPlaceholderText = "";

bool IsFixedLeaf(const std::string& path) {
    return path == kControlPanelKey || path == kControlPanelCategoryKey || path == kNetworkKey ||
           path == kRecycleBinKey;
}

IconSource PathIcon(const std::string& path) { return {IconSource::Kind::kPath, path, 0}; }

}  // namespace

FolderTree::FolderTree(TreeView& view, NodeIcons& icons, ShellServices& shell, platform::FileSystem& fs)
    : view_(view), icons_(icons), shell_(shell), fs_(fs) {}

void FolderTree::BuildTreeRoot(const ZipNameTest& zipTest) {
    if (root_ != kNoNode) return;
    const std::string rootKey(kRootKey);
    icons_.Draw({IconSource::Kind::kModule, kDesktopIconModule, kDesktopIconIndex});
    icons_.Store(rootKey);
    root_ = AddNode(kNoNode, rootKey, rootKey, rootKey);

    for (const ShellItem& item : shell_.Items(ShellNamespace::kDesktop)) {
        if (!item.isFolder || zipTest.Test(item.name)) continue;
        // A key must be unique and non-empty; a shell that reports an item
        // twice, or one without a path, gets no second node.
        if (item.path.empty() || NodeExists(item.path)) continue;

        if (item.path == kComputerKey) {
            icons_.Draw(DefaultIconOf(item.path, true));
            icons_.Store(item.path);
            AddPlaceholder(AddNode(root_, item.path, item.name, item.path), kPlaceholderText);
        } else if (IsFixedLeaf(item.path)) {
            icons_.Draw(DefaultIconOf(item.path, false));
            icons_.Store(item.path);
            AddNode(root_, item.path, item.name, item.path);
        } else {
            icons_.Draw(PathIcon(item.path));
            icons_.Store(item.path);
            const NodeId child = AddNode(root_, item.path, item.name, item.path);
            if (HasSubFolder(item.path)) AddPlaceholder(child, kPlaceholderText);
        }
    }
    view_.Expand(root_);
}

void FolderTree::FillNode(const std::string& key) {
    const NodeId parent = NodeWithKey(key);
    if (parent == kNoNode) return;
    if (key == kComputerKey) {
        FillComputer(parent);
    } else if (key == kControlPanelKey) {
        FillShellChildren(parent, ShellNamespace::kControls);
    } else if (key == kNetworkKey) {
        FillShellChildren(parent, ShellNamespace::kNetwork);
    } else {
        FillFolder(parent, key);
    }
}

void FolderTree::FillComputer(NodeId parent) {
    for (const ShellItem& item : shell_.Items(ShellNamespace::kDrives)) {
        icons_.Draw(PathIcon(item.path));
        const std::string childKey = ComputerChildKey(item.path);
        // The drive "C:\" is keyed "C:"; both forms must be new.
        if (item.path.empty() || NodeExists(item.path) || NodeExists(childKey)) continue;
        icons_.Store(childKey);
        AddPlaceholder(AddNode(parent, childKey, item.name, childKey), kPlaceholderText);
    }
}

void FolderTree::FillShellChildren(NodeId parent, ShellNamespace ns) {
    for (const ShellItem& item : shell_.Items(ns)) {
        if (item.path.empty() || NodeExists(item.path)) continue;
        AddPlaceholder(AddNode(parent, item.path, item.name, std::string()), kPlaceholderText);
    }
}

void FolderTree::FillFolder(NodeId parent, const std::string& key) {
    const std::string desktopDirectory = platform::delete_Null(shell_.DesktopDirectory());
    // Collected first: no search stays open while the control is changed.
    std::vector<std::string> names;
    fs_.Search(key, "*", platform::SearchDetail::kNames, [&](const platform::FindData& entry) {
        if (entry.isDirectory) names.push_back(platform::delete_Null(entry.name));
    });
    for (const std::string& name : names) {
        // A drive item of the desktop itself ("Z:\\") already ends in the
        // separator.
        const std::string childPath = platform::JoinPath(key, name, '\\');
        if (childPath == desktopDirectory || name == "My Documents" || platform::IsDotEntry(name) || NodeExists(childPath)) {
            continue;
        }
        icons_.Draw(PathIcon(childPath));
        icons_.Store(childPath);
        AddNode(parent, childPath, name, childPath, TreeView::Children::kAskModel);
    }
}

bool FolderTree::NodeExists(const std::string& key) const { return byKey_.count(key) != 0; }

bool FolderTree::HasSubFolder(const std::string& path) { return fs_.HasSubdirectory(path); }

bool FolderTree::HasChildren(NodeId node) {
    if (!Find(node)) return false;
    Node& n = nodes_[node];
    if (!n.children.empty()) return true;
    if (!n.childrenOnDemand || n.filled) return false;
    if (n.probe == Node::Probe::kNotYet) {
        n.probe = HasSubFolder(n.key) ? Node::Probe::kHasSubFolders : Node::Probe::kNone;
    }
    return n.probe == Node::Probe::kHasSubFolders;
}

void FolderTree::TreeView1_Expand(NodeId node) {
    const Node* n = Find(node);
    if (!n || node == root_) return;
    // Only an unfilled node is filled: a second expansion event must not
    // take away a real child.
    if (n->children.empty()) {
        // A file-system node shows no placeholder; it is unfilled until its
        // first expansion, unless its probe found nothing to show.
        if (!n->childrenOnDemand || n->filled || n->probe == Node::Probe::kNone) return;
    } else {
        if (!nodes_[n->children.front()].placeholder) return;
        const NodeId placeholder = n->children.front();
        view_.Remove(placeholder);
        DetachFromParent(placeholder);
        std::vector<std::string> none;
        Forget(placeholder, none);
    }
    nodes_[node].filled = true;
    const std::string key = nodes_[node].key;  // a copy: filling grows the node table
    FillNode(key);
}

void FolderTree::TreeView1_Collapse(NodeId node) {
    if (!Find(node) || node == root_) return;
    std::vector<std::string> imageKeys;
    view_.RemoveChildren(node);
    const std::vector<NodeId> children = std::move(nodes_[node].children);
    nodes_[node].children.clear();
    for (NodeId child : children) Forget(child, imageKeys);
    icons_.Remove(imageKeys);
    AddPlaceholder(node, kPlaceholderText);
}

SourceFolder FolderTree::TreeView1_NodeClick(NodeId node) const {
    const Node* n = Find(node);
    return SourceFolderForKey(n ? n->key : std::string());
}

NodeId FolderTree::NodeWithKey(const std::string& key) const {
    auto it = byKey_.find(key);
    return it == byKey_.end() ? kNoNode : it->second;
}

const FolderTree::Node* FolderTree::Find(NodeId node) const {
    if (node == kNoNode || node >= nodes_.size() || !nodes_[node].inUse) return nullptr;
    return &nodes_[node];
}

NodeId FolderTree::Allocate() {
    if (!freeIds_.empty()) {
        const NodeId id = freeIds_.back();
        freeIds_.pop_back();
        return id;
    }
    nodes_.emplace_back();
    return static_cast<NodeId>(nodes_.size() - 1);
}

NodeId FolderTree::AddNode(NodeId parent, const std::string& key, const std::string& text, const std::string& image,
                           TreeView::Children children) {
    const NodeId id = Allocate();
    Node& n = nodes_[id];
    n = Node{};
    n.key = key;
    n.text = text;
    n.image = image;
    n.parent = parent;
    n.inUse = true;
    n.childrenOnDemand = children == TreeView::Children::kAskModel;
    if (parent != kNoNode) nodes_[parent].children.push_back(id);
    byKey_[key] = id;
    ++byKeyCount_;
    view_.Add(id, parent, text, children);
    return id;
}

void FolderTree::AddPlaceholder(NodeId parent, const std::string& text) {
    const NodeId id = Allocate();
    Node& n = nodes_[id];
    n = Node{};
    n.text = text;
    n.parent = parent;
    n.placeholder = true;
    n.inUse = true;
    nodes_[parent].children.push_back(id);
    ++placeholderCount_;
    view_.Add(id, parent, text, TreeView::Children::kFromItems);
}

void FolderTree::DetachFromParent(NodeId node) {
    std::vector<NodeId>& siblings = nodes_[nodes_[node].parent].children;
    for (auto it = siblings.begin(); it != siblings.end(); ++it) {
        if (*it == node) {
            siblings.erase(it);
            return;
        }
    }
}

void FolderTree::Forget(NodeId node, std::vector<std::string>& imageKeys) {
    // Iterative, so that deep trees cannot exhaust the stack.
    std::vector<NodeId> pending{node};
    while (!pending.empty()) {
        const NodeId id = pending.back();
        pending.pop_back();
        Node& n = nodes_[id];
        pending.insert(pending.end(), n.children.begin(), n.children.end());
        if (n.placeholder) {
            --placeholderCount_;
        } else {
            byKey_.erase(n.key);
            --byKeyCount_;
        }
        if (!n.image.empty()) imageKeys.push_back(n.image);
        n = Node{};
        freeIds_.push_back(id);
    }
}

IconSource FolderTree::DefaultIconOf(const std::string& key, bool environmentForm) {
    // The registry value read as the folder's form says, then the module as
    // the value writes it, then the shell's own icon for the item.
    std::vector<IconSource> candidates;
    if (const std::optional<std::string> value = shell_.DefaultIconValue(DefaultIconKeyName(key))) {
        auto lookup = [this](const std::string& name) { return shell_.Environment(name); };
        const DefaultIconForm form = environmentForm ? DefaultIconForm::kEnvironment : DefaultIconForm::kFixedFolder;
        if (std::optional<IconSource> read = ClsidDefaultIcon(*value, form, lookup)) candidates.push_back(*read);
        std::optional<IconSource> written = DefaultIconAsWritten(*value);
        if (written && (candidates.empty() || written->file != candidates.front().file)) candidates.push_back(*written);
    }
    candidates.push_back({IconSource::Kind::kShellItem, key, 0, {}});
    IconSource first = std::move(candidates.front());
    first.fallbacks.assign(candidates.begin() + 1, candidates.end());
    return first;
}

}  // namespace tf::foldertree
