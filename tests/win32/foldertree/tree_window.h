#pragma once
// A bare top-level window holding a tree control bound to the folder tree,
// independent of the main window.
#include <windows.h>
#include <commctrl.h>

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "foldertree/folder_tree_pane_win.h"
#include "platform/file_system.h"

namespace tf::foldertree::testing {

// A shell whose desktop holds just one folder, named "Top".
class OneFolderShell : public ShellServices {
public:
    explicit OneFolderShell(std::string path) : path_(std::move(path)) {}
    std::vector<ShellItem> Items(ShellNamespace ns) override {
        if (ns != ShellNamespace::kDesktop) return {};
        return {{"Top", path_, true}};
    }
    std::string DesktopDirectory() override { return "C:\\no-desktop-here"; }
    std::optional<std::string> DefaultIconValue(const std::string&) override { return std::nullopt; }
    std::optional<std::string> Environment(const std::string&) override { return std::nullopt; }

private:
    std::string path_;
};

class TreeWindow {
public:
    explicit TreeWindow(std::unique_ptr<ShellServices> shell = nullptr);
    ~TreeWindow();
    TreeWindow(const TreeWindow&) = delete;
    TreeWindow& operator=(const TreeWindow&) = delete;

    FolderTree& Model() { return pane_->Model(); }
    ShellNodeIcons& Icons() { return pane_->Icons(); }
    HWND Frame() const { return frame_; }
    HWND Tree() const { return tree_; }
    HTREEITEM Item(const std::string& key) { return pane_->View().Item(Model().NodeWithKey(key)); }

    // What the last node click delivered.
    SourceFolder lastClick;
    int clicks = 0;

    // Expands (TVM_EXPAND) or collapses (as the user does) through the control.
    void Expand(const std::string& key);
    void Collapse(const std::string& key);
    bool IsExpanded(const std::string& key);
    std::vector<std::string> ChildKeys(const std::string& key);
    // A left click at a point of the control's client area, as the mouse
    // gives it (the frame must be shown).
    void ClickAt(POINT point);
    // Where a node's label, or its expander, is in the control.
    POINT LabelOf(const std::string& key);
    POINT ExpanderOf(const std::string& key);
    void PumpMessages();

private:
    static LRESULT CALLBACK Proc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp);

    std::unique_ptr<platform::FileSystem> fs_;
    HWND frame_ = nullptr;
    HWND tree_ = nullptr;
    std::unique_ptr<FolderTreePane> pane_;
};

}  // namespace tf::foldertree::testing
