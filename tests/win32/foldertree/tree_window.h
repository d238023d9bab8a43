#pragma once
// A bare top-level window holding a tree control bound to the folder tree,
// independent of the main window.
#include <windows.h>
#include <commctrl.h>

#include <memory>
#include <string>
#include <vector>

#include "foldertree/folder_tree_pane_win.h"
#include "platform/file_system.h"

namespace tf::foldertree::testing {

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
    void PumpMessages();

private:
    static LRESULT CALLBACK Proc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp);

    std::unique_ptr<platform::FileSystem> fs_;
    HWND frame_ = nullptr;
    HWND tree_ = nullptr;
    std::unique_ptr<FolderTreePane> pane_;
};

}  // namespace tf::foldertree::testing
