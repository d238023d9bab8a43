// The folder tree inside the main window: built by start-up, and a node
// chosen in it is the folder a run lists.
#include <windows.h>
#include <commctrl.h>

#include <algorithm>
#include <cctype>

#include "foldertree/node_key.h"
#include "mainwindow/form1_fixture.h"
#include "platform/win32/wide_text_win.h"

namespace tf::mainwindow::testing {
namespace {

using Form1Tree = Form1Test;

const std::string kComputer(foldertree::kComputerKey);

bool SameIgnoringCase(const std::string& a, const std::string& b) {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               return std::tolower(static_cast<unsigned char>(x)) == std::tolower(static_cast<unsigned char>(y));
           });
}

class TreeDriver {
public:
    explicit TreeDriver(Form1& form) : form_(form), pane_(*form.FolderTree()) {}

    HTREEITEM Item(const std::string& key) { return pane_.View().Item(pane_.Model().NodeWithKey(key)); }
    void Expand(const std::string& key) {
        SendMessageA(form_.TreeView(), TVM_EXPAND, TVE_EXPAND, reinterpret_cast<LPARAM>(Item(key)));
    }
    // The child of `parent` whose key names `path`, letter case aside.
    std::string ChildNaming(const std::string& parent, const std::string& path) {
        const auto& model = pane_.Model();
        for (foldertree::NodeId child : model.Find(model.NodeWithKey(parent))->children) {
            const std::string& key = model.Find(child)->key;
            if (SameIgnoringCase(key, path)) return key;
        }
        return std::string();
    }
    // Walks down from the computer folder to `path`, expanding each level.
    std::string Open(const std::string& path) {
        Expand(kComputer);
        std::string key = path.substr(0, 2);
        for (std::size_t at = 3; at <= path.size(); at = path.find('\\', at) + 1) {
            Expand(key);
            const std::size_t end = path.find('\\', at);
            key = ChildNaming(key, path.substr(0, end));
            if (key.empty() || end == std::string::npos) break;
        }
        return key;
    }
    // Selects `key` the way a user does: down arrow from the item above.
    void Choose(const std::string& key) {
        HWND tree = form_.TreeView();
        auto above = SendMessageA(tree, TVM_GETNEXTITEM, TVGN_PREVIOUSVISIBLE, reinterpret_cast<LPARAM>(Item(key)));
        SendMessageA(tree, TVM_SELECTITEM, TVGN_CARET, above);
        SendMessageA(tree, WM_KEYDOWN, VK_DOWN, 0);
    }

private:
    Form1& form_;
    foldertree::FolderTreePane& pane_;
};

TEST_F(Form1Tree, StartUpShowsTheExpandedDesktopOnly) {
    ASSERT_NE(form().FolderTree(), nullptr);
    HWND tree = form().TreeView();
    auto root = reinterpret_cast<HTREEITEM>(SendMessageA(tree, TVM_GETNEXTITEM, TVGN_ROOT, 0));
    ASSERT_NE(root, nullptr);
    EXPECT_EQ(SendMessageA(tree, TVM_GETNEXTITEM, TVGN_NEXT, reinterpret_cast<LPARAM>(root)), 0);
    EXPECT_TRUE(SendMessageA(tree, TVM_GETITEMSTATE, reinterpret_cast<WPARAM>(root), TVIS_EXPANDED) & TVIS_EXPANDED);
    const auto& model = form().FolderTree()->Model();
    EXPECT_EQ(model.Find(model.Root())->key, "Desktop");
    EXPECT_TRUE(model.NodeExists(kComputer));
    // Nothing is chosen until the user chooses.
    EXPECT_EQ(Text(Control::dir), "");
}

TEST_F(Form1Tree, AFolderChosenInTheTreeIsTheFolderStartLists) {
    MakeSampleTree();
    TreeDriver driver(form());
    const std::string key = driver.Open(src_);
    ASSERT_TRUE(SameIgnoringCase(key, src_)) << key << " for " << src_;

    driver.Choose(key);
    EXPECT_EQ(Text(Control::dir), key);
    EXPECT_EQ(form().StatusText(), key);
    // Its subfolders were probed: "one" and "two" are there once expanded.
    driver.Expand(key);
    EXPECT_FALSE(driver.ChildNaming(key, src_ + "\\one").empty());
    EXPECT_FALSE(driver.ChildNaming(key, src_ + "\\two").empty());

    Click(Control::Command1);
    // The window's start-up options are the engine's defaults.
    EXPECT_EQ(Report("Tallyfold.txt"), EngineReport(listing::ListingOptions{}));
    EXPECT_EQ(form().totals().totalFiles, 7u);
    EXPECT_TRUE(messages_.shown.empty());
}

// What the control shows for an item, read back in its own characters.
std::wstring ItemText(HWND tree, HTREEITEM item) {
    wchar_t text[MAX_PATH] = {};
    TVITEMW query{};
    query.mask = TVIF_TEXT | TVIF_HANDLE;
    query.hItem = item;
    query.pszText = text;
    query.cchTextMax = MAX_PATH;
    SendMessageW(tree, TVM_GETITEMW, 0, reinterpret_cast<LPARAM>(&query));
    return text;
}

TEST_F(Form1Tree, FoldersNamedInAnyScriptAreShownChosenAndListed) {
    ASSERT_EQ(GetACP(), static_cast<UINT>(CP_UTF8));
    const std::string names[] = {"\xE6\x97\xA5\xE6\x9C\xAC\xE8\xAA\x9E",  // Japanese
                                 "\xCE\x95\xCE\xBB\xCE\xBB\xCE\xB7\xCE\xBD\xCE\xB9\xCE\xBA\xCE\xAC",  // Greek
                                 "emoji \xF0\x9F\x98\x80", "caf\xC3\xA9"};
    for (const std::string& name : names) {
        MakeFolder(name + "\\inner");
        MakeFile(name + "\\" + name + ".abc", 1536);
        MakeFile(name + "\\inner\\x.abc", 10);
    }
    TreeDriver driver(form());
    const std::string key = driver.Open(src_);
    ASSERT_FALSE(key.empty());
    driver.Expand(key);
    for (const std::string& name : names) {
        const std::string child = driver.ChildNaming(key, src_ + "\\" + name);
        ASSERT_EQ(child, key + "\\" + name);
        EXPECT_EQ(ItemText(form().TreeView(), driver.Item(child)), platform::win32::Widen(name, CP_UTF8));
        driver.Expand(child);
        EXPECT_EQ(driver.ChildNaming(child, child + "\\inner"), child + "\\inner");
    }

    const std::string chosen = key + "\\" + names[0];
    driver.Choose(chosen);
    EXPECT_EQ(Text(Control::dir), chosen);
    EXPECT_EQ(form().StatusText(), chosen);
    Click(Control::Command1);
    const std::string report = Report("Tallyfold.txt");
    EXPECT_EQ(report, EngineReport(listing::ListingOptions{}, chosen));
    // The name is 13 bytes and 7 characters: padded by characters.
    EXPECT_NE(report.find("\r\n" + names[0] + ".abc" + std::string(45 - 7, ' ')), std::string::npos) << report;
    EXPECT_EQ(form().totals().totalFiles, 2u);
    EXPECT_TRUE(messages_.shown.empty());
}

TEST_F(Form1Tree, ChoosingAVirtualFolderLeavesNoSourceAndStartRefuses) {
    TreeDriver driver(form());
    driver.Choose(kComputer);
    EXPECT_EQ(Text(Control::dir), "");
    EXPECT_EQ(form().StatusText(), kComputer);
    Click(Control::Command1);
    EXPECT_EQ(messages_.shown, (std::vector<std::string>{kNoFolderText}));
}

}  // namespace
}  // namespace tf::mainwindow::testing
