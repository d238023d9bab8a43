#include "foldertree/tree_view_win.h"

namespace tf::foldertree {
namespace {

// The action part of TVN_ITEMEXPANDING's action field (TVE_EXPAND,
// TVE_COLLAPSE, TVE_TOGGLE); the rest are modifiers.
constexpr UINT kExpandActionMask = 0x0003;

// Suspends redrawing while a fill or a collapse changes many items.
class RedrawOff {
public:
    explicit RedrawOff(HWND window) : window_(window) { SendMessageA(window_, WM_SETREDRAW, FALSE, 0); }
    ~RedrawOff() {
        SendMessageA(window_, WM_SETREDRAW, TRUE, 0);
        InvalidateRect(window_, nullptr, TRUE);
    }
    RedrawOff(const RedrawOff&) = delete;
    RedrawOff& operator=(const RedrawOff&) = delete;

private:
    HWND window_;
};

}  // namespace

void TreeViewBinding::Bind(FolderTree* model, const ShellNodeIcons* icons, NodeClickHandler onNodeClick) {
    model_ = model;
    icons_ = icons;
    onNodeClick_ = std::move(onNodeClick);
    if (icons_) SendMessageA(tree_, TVM_SETIMAGELIST, TVSIL_NORMAL, reinterpret_cast<LPARAM>(icons_->ImageList()));
}

void TreeViewBinding::Add(NodeId node, NodeId parent, const std::string& text, Children children) {
    TVINSERTSTRUCTA insert{};
    insert.hParent = parent == kNoNode ? TVI_ROOT : Item(parent);
    insert.hInsertAfter = TVI_LAST;
    insert.item.mask = TVIF_TEXT | TVIF_PARAM | TVIF_IMAGE | TVIF_SELECTEDIMAGE;
    insert.item.pszText = const_cast<char*>(text.c_str());
    insert.item.iImage = I_IMAGECALLBACK;
    insert.item.iSelectedImage = I_IMAGECALLBACK;
    insert.item.lParam = static_cast<LPARAM>(node);
    if (children == Children::kAskModel) {
        // The model probes the folder when the control first needs to know.
        insert.item.mask |= TVIF_CHILDREN;
        insert.item.cChildren = I_CHILDRENCALLBACK;
    }
    HTREEITEM item = reinterpret_cast<HTREEITEM>(SendMessageA(tree_, TVM_INSERTITEMA, 0, reinterpret_cast<LPARAM>(&insert)));
    if (node >= items_.size()) items_.resize(node + 1, nullptr);
    items_[node] = item;
}

void TreeViewBinding::Remove(NodeId node) {
    HTREEITEM item = Item(node);
    if (!item) return;
    // Deleting an item deletes its subtree; the model forgets those ids too.
    SendMessageA(tree_, TVM_DELETEITEM, 0, reinterpret_cast<LPARAM>(item));
    items_[node] = nullptr;
}

void TreeViewBinding::RemoveChildren(NodeId node) {
    HTREEITEM item = Item(node);
    if (!item) return;
    // The control deletes the children itself, far faster than item by item
    // (each single deletion searches and shifts its whole item table under
    // Wine). Their handles go in the TVN_DELETEITEM notifications.
    SendMessageA(tree_, TVM_EXPAND, TVE_COLLAPSE | TVE_COLLAPSERESET, reinterpret_cast<LPARAM>(item));
}

void TreeViewBinding::Expand(NodeId node) {
    if (HTREEITEM item = Item(node)) SendMessageA(tree_, TVM_EXPAND, TVE_EXPAND, reinterpret_cast<LPARAM>(item));
}

NodeId TreeViewBinding::NodeOf(HTREEITEM item) const {
    if (!item) return kNoNode;
    TVITEMA query{};
    query.mask = TVIF_PARAM | TVIF_HANDLE;
    query.hItem = item;
    if (!SendMessageA(tree_, TVM_GETITEMA, 0, reinterpret_cast<LPARAM>(&query))) return kNoNode;
    const NodeId node = static_cast<NodeId>(query.lParam);
    return Item(node) == item ? node : kNoNode;
}

int TreeViewBinding::ImageOf(NodeId node) const {
    const FolderTree::Node* n = model_ ? model_->Find(node) : nullptr;
    if (!n || n->image.empty() || !icons_) return I_IMAGENONE;
    const int index = icons_->IndexOf(n->image);
    return index >= 0 ? index : I_IMAGENONE;
}

void TreeViewBinding::OnExpanding(NodeId node, UINT action) {
    if (!model_ || (action & kExpandActionMask) != TVE_EXPAND) return;
    // The children are added while the item is still closed, where the
    // control does not lay them out one by one.
    {
        RedrawOff quiet(tree_);
        model_->TreeView1_Expand(node);
    }
    AskChildrenAgain(Item(node), node);
}

void TreeViewBinding::AskChildrenAgain(HTREEITEM item, NodeId node) {
    const FolderTree::Node* n = model_->Find(node);
    if (!item || !n || !n->childrenOnDemand) return;
    // A fill or a collapse can change the answer; make sure the control
    // does not keep an earlier one.
    TVITEMA update{};
    update.mask = TVIF_CHILDREN | TVIF_HANDLE;
    update.hItem = item;
    update.cChildren = I_CHILDRENCALLBACK;
    SendMessageA(tree_, TVM_SETITEMA, 0, reinterpret_cast<LPARAM>(&update));
}

void TreeViewBinding::OnExpanded(HTREEITEM item, NodeId node, UINT action) {
    if (!model_ || (action & kExpandActionMask) != TVE_COLLAPSE || node == model_->Root()) return;
    {
        RedrawOff quiet(tree_);
        model_->TreeView1_Collapse(node);
    }
    // The control sends expansion notifications only for items never
    // expanded before; the collapsed node must be read afresh next time.
    TVITEMA reset{};
    reset.mask = TVIF_STATE | TVIF_HANDLE;
    reset.hItem = item;
    reset.state = 0;
    reset.stateMask = TVIS_EXPANDEDONCE;
    SendMessageA(tree_, TVM_SETITEMA, 0, reinterpret_cast<LPARAM>(&reset));
    AskChildrenAgain(item, node);
}

void TreeViewBinding::OnClick() {
    // A click on the node that is already selected sends no selection
    // change, but it is a node click all the same.
    TVHITTESTINFO hit{};
    const DWORD at = GetMessagePos();
    hit.pt.x = static_cast<short>(LOWORD(at));
    hit.pt.y = static_cast<short>(HIWORD(at));
    ScreenToClient(tree_, &hit.pt);
    HTREEITEM item = reinterpret_cast<HTREEITEM>(SendMessageA(tree_, TVM_HITTEST, 0, reinterpret_cast<LPARAM>(&hit)));
    if (!item || !(hit.flags & TVHT_ONITEM)) return;
    if (item != reinterpret_cast<HTREEITEM>(SendMessageA(tree_, TVM_GETNEXTITEM, TVGN_CARET, 0))) return;
    const NodeId node = NodeOf(item);
    if (node != kNoNode && onNodeClick_) onNodeClick_(model_->TreeView1_NodeClick(node));
}

bool TreeViewBinding::OnNotify(const NMHDR& header, LRESULT& result) {
    if (header.hwndFrom != tree_ || !model_) return false;
    result = 0;
    switch (header.code) {
        case TVN_ITEMEXPANDINGA:
        case TVN_ITEMEXPANDINGW: {
            // The A and W records agree on every field read here.
            const auto& nm = reinterpret_cast<const NMTREEVIEWA&>(header);
            OnExpanding(NodeOf(nm.itemNew.hItem), nm.action);
            return true;
        }
        case TVN_ITEMEXPANDEDA:
        case TVN_ITEMEXPANDEDW: {
            const auto& nm = reinterpret_cast<const NMTREEVIEWA&>(header);
            OnExpanded(nm.itemNew.hItem, NodeOf(nm.itemNew.hItem), nm.action);
            return true;
        }
        case TVN_SELCHANGEDA:
        case TVN_SELCHANGEDW: {
            const auto& nm = reinterpret_cast<const NMTREEVIEWA&>(header);
            // Only the user's choice counts: the control also moves the
            // selection by itself (on first focus, or off a collapsed child).
            if (nm.action == TVC_UNKNOWN) return true;
            const NodeId node = NodeOf(nm.itemNew.hItem);
            if (node != kNoNode && onNodeClick_) onNodeClick_(model_->TreeView1_NodeClick(node));
            return true;
        }
        case TVN_GETDISPINFOA:
        case TVN_GETDISPINFOW: {
            auto& info = const_cast<NMTVDISPINFOA&>(reinterpret_cast<const NMTVDISPINFOA&>(header));
            if (info.item.mask & (TVIF_IMAGE | TVIF_SELECTEDIMAGE)) {
                const int image = ImageOf(static_cast<NodeId>(info.item.lParam));
                info.item.iImage = image;
                info.item.iSelectedImage = image;
            }
            // Asked only for items the control lays out; nothing may be
            // inserted from here, the answer is the model's alone.
            if (info.item.mask & TVIF_CHILDREN) {
                info.item.cChildren = model_->HasChildren(static_cast<NodeId>(info.item.lParam)) ? 1 : 0;
            }
            return true;
        }
        case NM_CLICK:
            OnClick();
            return true;
        case TVN_DELETEITEMA:
        case TVN_DELETEITEMW: {
            const auto& nm = reinterpret_cast<const NMTREEVIEWA&>(header);
            const auto node = static_cast<NodeId>(nm.itemOld.lParam);
            if (Item(node) == nm.itemOld.hItem) items_[node] = nullptr;
            return true;
        }
        default:
            return false;
    }
}

}  // namespace tf::foldertree
