#include <windows.h>
#include <commctrl.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <filesystem>
#include <memory>

#include "foldertree/shell_services_win.h"
#include "foldertree/tree_window.h"

namespace tf::foldertree {
namespace {

using testing::TreeWindow;

const std::string kComputer(kComputerKey);

bool SameIgnoringCase(const std::string& a, const std::string& b) {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               return std::tolower(static_cast<unsigned char>(x)) == std::tolower(static_cast<unsigned char>(y));
           });
}

// True when the image drawn over white differs from white somewhere.
bool ImageShowsSomething(HIMAGELIST list, int index) {
    BITMAPINFO info{};
    info.bmiHeader = {sizeof info.bmiHeader, 16, -16, 1, 32, BI_RGB, 0, 0, 0, 0, 0};
    void* bits = nullptr;
    HBITMAP bitmap = CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    HDC dc = CreateCompatibleDC(nullptr);
    HGDIOBJ old = SelectObject(dc, bitmap);
    std::fill_n(static_cast<std::uint32_t*>(bits), 256, 0x00FFFFFFu);
    ImageList_Draw(list, index, dc, 0, 0, ILD_NORMAL);
    GdiFlush();
    const auto* pixels = static_cast<const std::uint32_t*>(bits);
    const bool drawn = std::any_of(pixels, pixels + 256, [](std::uint32_t p) { return (p & 0xFFFFFF) != 0xFFFFFF; });
    SelectObject(dc, old);
    DeleteDC(dc);
    DeleteObject(bitmap);
    return drawn;
}

// Every node with an image key finds a visible image, and the image list
// holds nothing else.
void ExpectEveryNodeHasItsIcon(TreeWindow& window) {
    int withImage = 0;
    std::vector<NodeId> pending{window.Model().Root()};
    while (!pending.empty()) {
        const FolderTree::Node* node = window.Model().Find(pending.back());
        pending.pop_back();
        pending.insert(pending.end(), node->children.begin(), node->children.end());
        if (node->image.empty()) continue;
        ++withImage;
        const int index = window.Icons().IndexOf(node->image);
        ASSERT_GE(index, 0) << node->key;
        EXPECT_TRUE(ImageShowsSomething(window.Icons().ImageList(), index)) << node->key;
    }
    EXPECT_EQ(withImage, window.Icons().KeyCount());
    EXPECT_EQ(ImageList_GetImageCount(window.Icons().ImageList()), window.Icons().Count());
}

TEST(FolderTreeWin, RootLevelIsBuiltAndExpanded) {
    TreeWindow window;
    window.Model().BuildTreeRoot(ZipNameTest{});
    EXPECT_TRUE(window.IsExpanded("Desktop"));
    const std::vector<std::string> keys = window.ChildKeys("Desktop");
    // The shell reports the computer folder's identifier in lower case;
    // the key is upper case.
    EXPECT_NE(std::find(keys.begin(), keys.end(), kComputer), keys.end());
    EXPECT_NE(std::find(keys.begin(), keys.end(), std::string(kRecycleBinKey)), keys.end());
    EXPECT_EQ(window.ChildKeys(kComputer), (std::vector<std::string>{"<>"}));
    ExpectEveryNodeHasItsIcon(window);
}

TEST(FolderTreeWin, ComputerFolderListsDrivesAndDrivesListFolders) {
    TreeWindow window;
    window.Model().BuildTreeRoot(ZipNameTest{});
    window.Expand(kComputer);
    const std::vector<std::string> drives = window.ChildKeys(kComputer);
    ASSERT_NE(std::find(drives.begin(), drives.end(), "C:"), drives.end());
    for (const std::string& key : drives) {
        EXPECT_TRUE(IsClassIdPath(key) || (key.size() == 2 && key[1] == ':')) << key;
    }

    window.Expand("C:");
    const std::vector<std::string> folders = window.ChildKeys("C:");
    EXPECT_TRUE(std::any_of(folders.begin(), folders.end(),
                            [](const std::string& key) { return SameIgnoringCase(key, "C:\\windows"); }));
    for (const std::string& key : folders) EXPECT_EQ(key.rfind("C:\\", 0), 0u) << key;
    ExpectEveryNodeHasItsIcon(window);
}

TEST(FolderTreeWin, CollapseEmptiesAndTheNextExpansionReadsAgain) {
    TreeWindow window;
    window.Model().BuildTreeRoot(ZipNameTest{});
    window.Expand(kComputer);
    const int iconsBefore = window.Icons().KeyCount();
    window.Expand("C:");
    const std::vector<std::string> first = window.ChildKeys("C:");
    ASSERT_GT(first.size(), 1u);

    window.Collapse("C:");
    EXPECT_FALSE(window.IsExpanded("C:"));
    EXPECT_EQ(window.ChildKeys("C:"), (std::vector<std::string>{"<>"}));
    EXPECT_EQ(window.Icons().KeyCount(), iconsBefore);

    window.Expand("C:");
    EXPECT_EQ(window.ChildKeys("C:"), first);
    window.Expand(first.front());
    // Collapsing the computer folder drops the drives' icons, the nested
    // ones included; expanding again brings them back once each.
    window.Collapse(kComputer);
    EXPECT_LT(window.Icons().IndexOf("C:"), 0);
    window.Expand(kComputer);
    window.Expand("C:");
    EXPECT_EQ(window.ChildKeys("C:"), first);
    ExpectEveryNodeHasItsIcon(window);
}

TEST(FolderTreeWin, TheControlAsksWhetherAFolderCanBeExpanded) {
    char temp[MAX_PATH] = {};
    GetTempPathA(sizeof temp, temp);
    const std::string top = std::string(temp) + "tf_tree_expanders";
    const std::string with = top + "\\with", without = top + "\\without";
    for (const std::string& path : {top, with, with + "\\sub", without}) CreateDirectoryA(path.c_str(), nullptr);

    TreeWindow window(std::make_unique<testing::OneFolderShell>(top));
    ShowWindow(window.Frame(), SW_SHOWNOACTIVATE);
    window.Model().BuildTreeRoot(ZipNameTest{});
    window.Expand(top);
    UpdateWindow(window.Tree());
    std::vector<std::string> children = window.ChildKeys(top);
    std::sort(children.begin(), children.end());
    ASSERT_EQ(children, (std::vector<std::string>{with, without}));

    // The folder without subfolders has no expander, so the control does
    // not open it; the other opens and shows its subfolder.
    window.Expand(without);
    EXPECT_FALSE(window.IsExpanded(without));
    EXPECT_EQ(window.Model().Find(window.Model().NodeWithKey(without))->probe, FolderTree::Node::Probe::kNone);
    window.Expand(with);
    EXPECT_TRUE(window.IsExpanded(with));
    EXPECT_EQ(window.ChildKeys(with), (std::vector<std::string>{with + "\\sub"}));

    // Collapsed, it keeps its expander and reads the folder again.
    window.Collapse(with);
    EXPECT_FALSE(window.IsExpanded(with));
    window.Expand(with);
    EXPECT_TRUE(window.IsExpanded(with));
    EXPECT_EQ(window.ChildKeys(with), (std::vector<std::string>{with + "\\sub"}));
    ExpectEveryNodeHasItsIcon(window);
}

// A folder below the temporary folder, made afresh with these subfolders.
std::string MakeTempTree(const std::string& name, std::initializer_list<const char*> folders) {
    char temp[MAX_PATH] = {};
    GetTempPathA(sizeof temp, temp);
    const std::string top = std::string(temp) + name;
    std::error_code ignored;
    std::filesystem::remove_all(top, ignored);
    CreateDirectoryA(top.c_str(), nullptr);
    for (const char* folder : folders) CreateDirectoryA((top + "\\" + folder).c_str(), nullptr);
    return top;
}

TEST(FolderTreeWin, AClickOnTheChosenNodeCountsAgainOneOnAnExpanderDoesNot) {
    const std::string top = MakeTempTree("tf_tree_clicks", {"a", "a\\sub", "b", "b\\sub"});
    const std::string a = top + "\\a", b = top + "\\b";
    TreeWindow window(std::make_unique<testing::OneFolderShell>(top));
    ShowWindow(window.Frame(), SW_SHOWNOACTIVATE);
    window.Model().BuildTreeRoot(ZipNameTest{});
    window.Expand(top);
    UpdateWindow(window.Tree());

    SendMessageA(window.Tree(), TVM_SELECTITEM, TVGN_CARET, reinterpret_cast<LPARAM>(window.Item(top)));
    SendMessageA(window.Tree(), WM_KEYDOWN, VK_DOWN, 0);
    ASSERT_EQ(window.clicks, 1);
    ASSERT_EQ(window.lastClick.dir, a);
    // The user clicks the chosen node again (after typing another source,
    // say): the node is chosen again.
    window.lastClick = {};
    window.ClickAt(window.LabelOf(a));
    EXPECT_EQ(window.clicks, 2);
    EXPECT_EQ(window.lastClick.dir, a);

    const POINT expander = window.ExpanderOf(b);
    ASSERT_GE(expander.x, 0);
    window.ClickAt(expander);
    EXPECT_TRUE(window.IsExpanded(b));
    EXPECT_EQ(window.clicks, 2);
    EXPECT_EQ(window.lastClick.dir, a);
}

TEST(FolderTreeWin, AFolderRemovedAfterItWasShownExpandsToNothing) {
    const std::string top = MakeTempTree("tf_tree_removed", {"gone", "gone\\sub", "kept"});
    const std::string gone = top + "\\gone";
    TreeWindow window(std::make_unique<testing::OneFolderShell>(top));
    ShowWindow(window.Frame(), SW_SHOWNOACTIVATE);
    window.Model().BuildTreeRoot(ZipNameTest{});
    window.Expand(top);
    UpdateWindow(window.Tree());  // shown: its expander was asked for
    ASSERT_TRUE(window.Model().HasChildren(window.Model().NodeWithKey(gone)));

    ASSERT_TRUE(RemoveDirectoryA((gone + "\\sub").c_str()));
    ASSERT_TRUE(RemoveDirectoryA(gone.c_str()));
    window.Expand(gone);
    UpdateWindow(window.Tree());
    EXPECT_TRUE(window.ChildKeys(gone).empty());
    EXPECT_FALSE(window.Model().HasChildren(window.Model().NodeWithKey(gone)));
    // Read again, the folder is gone from the tree too.
    window.Collapse(top);
    window.Expand(top);
    EXPECT_EQ(window.ChildKeys(top), (std::vector<std::string>{top + "\\kept"}));
    ExpectEveryNodeHasItsIcon(window);
}

TEST(FolderTreeWin, RootStaysFilledWhenCollapsed) {
    TreeWindow window;
    window.Model().BuildTreeRoot(ZipNameTest{});
    const std::vector<std::string> keys = window.ChildKeys("Desktop");
    window.Collapse("Desktop");
    window.Expand("Desktop");
    EXPECT_EQ(window.ChildKeys("Desktop"), keys);
}

TEST(FolderTreeWin, OnlyTheUsersSelectionIsANodeClick) {
    TreeWindow window;
    window.Model().BuildTreeRoot(ZipNameTest{});
    window.Expand(kComputer);
    window.Expand("C:");
    const std::string folder = window.ChildKeys("C:").front();

    // Selected by the program: no click.
    SendMessageA(window.Tree(), TVM_SELECTITEM, TVGN_CARET, reinterpret_cast<LPARAM>(window.Item("C:")));
    EXPECT_EQ(window.clicks, 0);
    // Right arrow on an expanded node moves the user to its first child.
    SendMessageA(window.Tree(), WM_KEYDOWN, VK_RIGHT, 0);
    EXPECT_EQ(window.clicks, 1);
    EXPECT_EQ(window.lastClick.dir, folder);
    EXPECT_EQ(window.lastClick.status, folder);

    // Up to "C:", then to the computer folder: a virtual folder gives no source.
    SendMessageA(window.Tree(), WM_KEYDOWN, VK_UP, 0);
    EXPECT_EQ(window.lastClick.dir, "C:");
    SendMessageA(window.Tree(), WM_KEYDOWN, VK_UP, 0);
    EXPECT_EQ(window.lastClick.dir, "");
    EXPECT_EQ(window.lastClick.status, kComputer);
}

TEST(FolderTreeWin, ADriveOnTheDesktopJoinsItsChildrenWithOneSeparator) {
    TreeWindow window;
    window.Model().BuildTreeRoot(ZipNameTest{});
    // A default prefix shows the Linux root "/" as Z:\ on the desktop.
    const std::string drive = "Z:\\";
    ASSERT_TRUE(window.Model().NodeExists(drive));
    window.Expand(drive);
    const std::vector<std::string> children = window.ChildKeys(drive);
    ASSERT_FALSE(children.empty());
    for (const std::string& key : children) {
        EXPECT_EQ(key.rfind(drive, 0), 0u) << key;
        EXPECT_EQ(key.find("\\\\"), std::string::npos) << key;
    }
    SendMessageA(window.Tree(), TVM_SELECTITEM, TVGN_CARET, reinterpret_cast<LPARAM>(window.Item(drive)));
    SendMessageA(window.Tree(), WM_KEYDOWN, VK_RIGHT, 0);
    EXPECT_EQ(window.lastClick.dir, children.front());
    SendMessageA(window.Tree(), WM_KEYDOWN, VK_UP, 0);
    EXPECT_EQ(window.lastClick.dir, "Z:");
}

TEST(FolderTreeWin, ComputerAndTrashShowTheShellsIconsNotTheFolders) {
    TreeWindow window;
    window.Model().BuildTreeRoot(ZipNameTest{});
    // What each step of the fallback draws, from the values Wine has: no
    // DefaultIcon for the computer, "C:\windows\system32\shell32.dll,-33"
    // for the trash.
    ShellNodeIcons& icons = window.Icons();
    icons.Draw({IconSource::Kind::kGenericFolder, "", 0});
    icons.Store("generic");
    icons.Draw({IconSource::Kind::kShellItem, kComputer, 0});
    icons.Store("shell computer");
    icons.Draw({IconSource::Kind::kModule, "C:\\windows\\system32\\shell32.dll", -33});
    icons.Store("module as written");
    EXPECT_NE(icons.IndexOf("shell computer"), icons.IndexOf("generic"));
    EXPECT_NE(icons.IndexOf("module as written"), icons.IndexOf("generic"));
    EXPECT_EQ(icons.IndexOf(kComputer), icons.IndexOf("shell computer"));
    EXPECT_EQ(icons.IndexOf(std::string(kRecycleBinKey)), icons.IndexOf("module as written"));
}

TEST(FolderTreeWin, ShellServicesReadTheDesktopDirectoryAndDefaultIcons) {
    Win32ShellServices shell(nullptr);
    const std::string desktop = shell.DesktopDirectory();
    EXPECT_TRUE(desktop.size() > 3 && desktop[1] == ':') << desktop;
    EXPECT_FALSE(shell.DefaultIconValue("CLSID\\{00000000-0000-0000-0000-000000000000}\\DefaultIcon"));
    const auto recycleBin = shell.DefaultIconValue("CLSID\\{645FF040-5081-101B-9F08-00AA002F954E}\\DefaultIcon");
    ASSERT_TRUE(recycleBin);
    EXPECT_NE(recycleBin->find(','), std::string::npos) << *recycleBin;
    EXPECT_TRUE(shell.Environment("SystemRoot"));
}

}  // namespace
}  // namespace tf::foldertree
