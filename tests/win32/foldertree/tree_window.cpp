#include "foldertree/tree_window.h"

#include <cstring>

namespace tf::foldertree::testing {
namespace {

constexpr char kClassName[] = "TallyfoldTreeTestWindow";

void RegisterOnce() {
    static bool registered = false;
    if (registered) return;
    INITCOMMONCONTROLSEX controls{sizeof controls, ICC_TREEVIEW_CLASSES};
    InitCommonControlsEx(&controls);
    WNDCLASSA wc{};
    wc.lpfnWndProc = DefWindowProcA;
    wc.hInstance = GetModuleHandleA(nullptr);
    wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
    wc.lpszClassName = kClassName;
    RegisterClassA(&wc);
    registered = true;
}

}  // namespace

TreeWindow::TreeWindow(std::unique_ptr<ShellServices> shell) : fs_(platform::CreateFileSystem()) {
    RegisterOnce();
    frame_ = CreateWindowExA(0, kClassName, "Folder tree", WS_OVERLAPPEDWINDOW, 0, 0, 320, 420, nullptr, nullptr,
                             GetModuleHandleA(nullptr), nullptr);
    tree_ = CreateWindowExA(WS_EX_CLIENTEDGE, WC_TREEVIEWA, "",
                            WS_CHILD | WS_VISIBLE | TVS_HASBUTTONS | TVS_HASLINES | TVS_LINESATROOT, 8, 8, 290, 370,
                            frame_, nullptr, GetModuleHandleA(nullptr), nullptr);
    SetWindowLongPtrA(frame_, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
    SetWindowLongPtrA(frame_, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&TreeWindow::Proc));
    pane_ = std::make_unique<FolderTreePane>(
        frame_, tree_, *fs_,
        [this](const SourceFolder& source) {
            lastClick = source;
            ++clicks;
        },
        std::move(shell));
}

TreeWindow::~TreeWindow() {
    pane_.reset();
    DestroyWindow(frame_);
}

LRESULT CALLBACK TreeWindow::Proc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
    auto* self = reinterpret_cast<TreeWindow*>(GetWindowLongPtrA(hwnd, GWLP_USERDATA));
    if (msg == WM_NOTIFY && self && self->pane_) {
        LRESULT result = 0;
        if (self->pane_->OnNotify(*reinterpret_cast<const NMHDR*>(lp), result)) return result;
    }
    return DefWindowProcA(hwnd, msg, wp, lp);
}

void TreeWindow::Expand(const std::string& key) {
    SendMessageA(tree_, TVM_EXPAND, TVE_EXPAND, reinterpret_cast<LPARAM>(Item(key)));
}

void TreeWindow::Collapse(const std::string& key) {
    // A collapse sent as TVM_EXPAND notifies nobody; the user's does. Left
    // arrow on the selected, expanded item is the user's collapse.
    SendMessageA(tree_, TVM_SELECTITEM, TVGN_CARET, reinterpret_cast<LPARAM>(Item(key)));
    SendMessageA(tree_, WM_KEYDOWN, VK_LEFT, 0);
}

bool TreeWindow::IsExpanded(const std::string& key) {
    const LRESULT state = SendMessageA(tree_, TVM_GETITEMSTATE, reinterpret_cast<WPARAM>(Item(key)), TVIS_EXPANDED);
    return (state & TVIS_EXPANDED) != 0;
}

std::vector<std::string> TreeWindow::ChildKeys(const std::string& key) {
    std::vector<std::string> keys;
    const FolderTree::Node* node = Model().Find(Model().NodeWithKey(key));
    if (!node) return keys;
    for (NodeId child : node->children) {
        const FolderTree::Node* c = Model().Find(child);
        keys.push_back(c->placeholder ? "<" + c->text + ">" : c->key);
    }
    return keys;
}

void TreeWindow::ClickAt(POINT point) {
    POINT screen = point, before{};
    ClientToScreen(tree_, &screen);
    GetCursorPos(&before);
    // Posted input carries the cursor position of its posting.
    SetCursorPos(screen.x, screen.y);
    const LPARAM at = MAKELPARAM(point.x, point.y);
    PostMessageA(tree_, WM_LBUTTONDOWN, MK_LBUTTON, at);
    PostMessageA(tree_, WM_LBUTTONUP, 0, at);
    PumpMessages();
    // A cursor left behind would raise tool tips in later windows.
    SetCursorPos(before.x, before.y);
}

POINT TreeWindow::LabelOf(const std::string& key) {
    // The message takes the item in the rectangle's first bytes.
    RECT r{};
    const HTREEITEM item = Item(key);
    std::memcpy(&r, &item, sizeof item);
    SendMessageA(tree_, TVM_GETITEMRECT, TRUE, reinterpret_cast<LPARAM>(&r));
    return {(r.left + r.right) / 2, (r.top + r.bottom) / 2};
}

POINT TreeWindow::ExpanderOf(const std::string& key) {
    const POINT label = LabelOf(key);
    for (LONG x = 0; x < label.x; ++x) {
        TVHITTESTINFO hit{};
        hit.pt = {x, label.y};
        SendMessageA(tree_, TVM_HITTEST, 0, reinterpret_cast<LPARAM>(&hit));
        if (hit.hItem == Item(key) && (hit.flags & TVHT_ONITEMBUTTON)) return hit.pt;
    }
    return {-1, -1};
}

void TreeWindow::PumpMessages() {
    MSG msg;
    while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
        TranslateMessage(&msg);
        DispatchMessageA(&msg);
    }
}

}  // namespace tf::foldertree::testing
