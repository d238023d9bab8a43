#include <gtest/gtest.h>

#include "fakes.h"
#include "foldertree/folder_tree.h"

namespace tf::foldertree {
namespace {

using testing::FakeFileSystem;
using testing::FakeIcons;
using testing::FakeShell;
using testing::FakeTreeView;

const std::string kComputer(kComputerKey);
const std::string kControlPanel(kControlPanelKey);
const std::string kNetwork(kNetworkKey);
const std::string kRecycleBin(kRecycleBinKey);
const std::string kDocuments = "C:\\Users\\ann\\Documents";
const std::string kDesktopDir = "C:\\Users\\ann\\Desktop";

class FolderTreeTest : public ::testing::Test {
protected:
    void SetUp() override {
        fs.AddFolder("C:\\Windows\\System32");
        fs.AddFolder("C:\\Users\\ann\\Documents\\Letters");
        fs.AddFile("C:\\Users\\ann\\Documents\\notes.txt");
        fs.AddFolder(kDesktopDir);
        fs.AddFile("C:\\Users\\ann\\Music\\song.mp3");  // files only
        fs.AddFile("C:\\setup.log");
        shell.desktopDirectory = kDesktopDir;
        shell.items[ShellNamespace::kDesktop] = {
            {"Computer", kComputer, true},
            {"Documents", kDocuments, true},
            {"Music", "C:\\Users\\ann\\Music", true},
            {"Control Panel", kControlPanel, true},
            {"Network", kNetwork, true},
            {"Recycle Bin", kRecycleBin, true},
            {"readme.txt", "C:\\Users\\ann\\Desktop\\readme.txt", false},
        };
        shell.items[ShellNamespace::kDrives] = {
            {"Local Disk (C:)", "C:\\", true},
            {"Control Panel", kComputer + "\\" + kControlPanel, true},
        };
    }

    // Children of a node as "text" for real nodes and "<text>" for placeholders.
    std::vector<std::string> ChildTexts(NodeId node) const {
        std::vector<std::string> out;
        for (NodeId child : tree.Find(node)->children) {
            const auto* n = tree.Find(child);
            out.push_back(n->placeholder ? "<" + n->text + ">" : n->text);
        }
        return out;
    }
    std::vector<std::string> ChildKeys(NodeId node) const {
        std::vector<std::string> out;
        for (NodeId child : tree.Find(node)->children) out.push_back(tree.Find(child)->key);
        return out;
    }
    NodeId Node(const std::string& key) const { return tree.NodeWithKey(key); }
    // The control and the model hold the same nodes under the same parents.
    void ExpectViewMatchesModel(NodeId node) const {
        EXPECT_EQ(view.Children(node), tree.Find(node)->children);
        for (NodeId child : tree.Find(node)->children) ExpectViewMatchesModel(child);
    }
    void ExpectOneIconPerImageKey(NodeId node, int& seen) const {
        const auto* n = tree.Find(node);
        if (!n->image.empty()) {
            ++seen;
            const IconSource* image = icons.Image(n->image);
            ASSERT_NE(image, nullptr) << n->image;
            if (image->kind == IconSource::Kind::kPath) {
                EXPECT_EQ(ComputerChildKey(image->file), n->image);
            }
        }
        for (NodeId child : n->children) ExpectOneIconPerImageKey(child, seen);
    }
    void ExpectIconsMatchTree() const {
        int seen = 0;
        ExpectOneIconPerImageKey(tree.Root(), seen);
        EXPECT_EQ(seen, icons.KeyCount());
        EXPECT_EQ(icons.duplicateStores, 0);
    }

    FakeFileSystem fs;
    FakeShell shell;
    FakeIcons icons;
    FakeTreeView view;
    FolderTree tree{view, icons, shell, fs};
};

TEST_F(FolderTreeTest, RootLevelShowsDesktopFoldersWithExpandersWhereNeeded) {
    tree.BuildTreeRoot(ZipNameTest{});

    const NodeId root = tree.Root();
    EXPECT_EQ(tree.Find(root)->key, "Desktop");
    EXPECT_EQ(tree.Find(root)->text, "Desktop");
    EXPECT_TRUE(view.expanded.count(root));
    EXPECT_EQ(ChildTexts(root), (std::vector<std::string>{"Computer", "Documents", "Music", "Control Panel",
                                                          "Network", "Recycle Bin"}));
    ExpectViewMatchesModel(root);
}

TEST_F(FolderTreeTest, RootLevelPlaceholdersAndLeaves) {
    tree.BuildTreeRoot(ZipNameTest{});
    EXPECT_EQ(ChildTexts(Node(kComputer)), (std::vector<std::string>{"<>"}));
    EXPECT_EQ(ChildTexts(Node(kDocuments)), (std::vector<std::string>{"<>"}));
    // A folder holding only files gets no expander; the fixed folders are leaves.
    for (const std::string& key : {std::string("C:\\Users\\ann\\Music"), kControlPanel, kNetwork, kRecycleBin}) {
        EXPECT_TRUE(tree.Find(Node(key))->children.empty()) << key;
    }
}

TEST_F(FolderTreeTest, ZipFoldersAreHiddenByTheAlternation) {
    shell.items[ShellNamespace::kDesktop] = {
        {"Archive.zip", "C:\\a.zip", true},
        {"BACKUPZIP", "C:\\b", true},
        {"Archive.Zip", "C:\\c.Zip", true},
        {"my.zipper", "C:\\d", true},
        {"ZIP files", "C:\\e", true},
    };
    tree.BuildTreeRoot(ZipNameTest{});
    EXPECT_EQ(ChildTexts(tree.Root()), (std::vector<std::string>{"Archive.Zip", "ZIP files"}));
}

TEST_F(FolderTreeTest, RootIconsComeFromTheirSources) {
    shell.environment["SystemRoot"] = "D:\\WinNT";
    shell.registry["CLSID\\{20D04FE0-3AEA-1069-A2D8-08002B30309D}\\DefaultIcon"] =
        "%SystemRoot%\\System32\\imageres.dll,-109";
    shell.registry["CLSID\\{21EC2020-3AEA-1069-A2DD-08002B30309D}\\DefaultIcon"] =
        "%SystemRoot%\\System32\\imageres.dll,-27";
    // Wine's value: the fixed-folder reading names C:\Windows\System32\system32.
    shell.registry["CLSID\\{645FF040-5081-101B-9F08-00AA002F954E}\\DefaultIcon"] =
        "C:\\windows\\system32\\shell32.dll,-33";
    tree.BuildTreeRoot(ZipNameTest{});

    const IconSource* desktop = icons.Image("Desktop");
    ASSERT_NE(desktop, nullptr);
    EXPECT_EQ(desktop->file, "C:\\Windows\\System32\\shell32.dll");
    EXPECT_EQ(desktop->index, 34);
    EXPECT_EQ(icons.Image(kComputer)->file, "D:\\WinNT\\System32\\imageres.dll");
    EXPECT_EQ(icons.Image(kComputer)->index, -109);
    EXPECT_EQ(icons.Image(kControlPanel)->file, "C:\\Windows\\System32\\imageres.dll");
    EXPECT_EQ(icons.Image(kControlPanel)->index, -27);
    // Each falls back to the module as written, then to the shell's own
    // icon for the item; a missing value leaves only the latter.
    const IconSource* bin = icons.Image(kRecycleBin);
    EXPECT_EQ(bin->file, "C:\\Windows\\System32\\system32");
    ASSERT_EQ(bin->fallbacks.size(), 2u);
    EXPECT_EQ(bin->fallbacks[0].file, "C:\\windows\\system32\\shell32.dll");
    EXPECT_EQ(bin->fallbacks[0].index, -33);
    EXPECT_EQ(bin->fallbacks[1].kind, IconSource::Kind::kShellItem);
    EXPECT_EQ(bin->fallbacks[1].file, kRecycleBin);
    EXPECT_EQ(icons.Image(kComputer)->fallbacks.size(), 2u);
    EXPECT_EQ(icons.Image(kNetwork)->kind, IconSource::Kind::kShellItem);
    EXPECT_EQ(icons.Image(kNetwork)->file, kNetwork);
    EXPECT_TRUE(icons.Image(kNetwork)->fallbacks.empty());
    EXPECT_EQ(icons.Image(kDocuments)->kind, IconSource::Kind::kPath);
    EXPECT_EQ(icons.Image(kDocuments)->file, kDocuments);
    ExpectIconsMatchTree();
}

TEST_F(FolderTreeTest, ComputerFolderListsDrivesByLetterAndColon) {
    tree.BuildTreeRoot(ZipNameTest{});
    tree.TreeView1_Expand(Node(kComputer));

    EXPECT_EQ(ChildKeys(Node(kComputer)), (std::vector<std::string>{"C:", kComputer + "\\" + kControlPanel}));
    // Every child of the computer folder is expandable.
    EXPECT_EQ(ChildTexts(Node("C:")), (std::vector<std::string>{"<>"}));
    EXPECT_EQ(icons.Image("C:")->file, "C:\\");

    tree.TreeView1_Expand(Node("C:"));
    EXPECT_EQ(ChildKeys(Node("C:")), (std::vector<std::string>{"C:\\Users", "C:\\Windows"}));
    // Folders get no placeholder: the control asks the model when it shows them.
    for (const std::string& key : {std::string("C:\\Users"), std::string("C:\\Windows")}) {
        EXPECT_TRUE(tree.Find(Node(key))->children.empty()) << key;
        EXPECT_TRUE(view.askModel.count(Node(key))) << key;
        EXPECT_TRUE(tree.HasChildren(Node(key))) << key;
    }
    EXPECT_FALSE(view.askModel.count(Node("C:")));
    ExpectViewMatchesModel(tree.Root());
    ExpectIconsMatchTree();
}

TEST_F(FolderTreeTest, FolderFillSkipsDesktopDirectoryMyDocumentsAndKnownKeys) {
    fs.AddFolder("C:\\Users\\ann\\Profile\\My Documents\\Inner");
    fs.AddFolder("C:\\Users\\ann\\Profile\\Desktop");  // not the desktop directory
    tree.BuildTreeRoot(ZipNameTest{});
    tree.TreeView1_Expand(Node(kComputer));
    tree.TreeView1_Expand(Node("C:"));
    tree.TreeView1_Expand(Node("C:\\Users"));
    tree.TreeView1_Expand(Node("C:\\Users\\ann"));

    // Desktop is the desktop directory; Documents and Music are root-level keys.
    EXPECT_EQ(ChildKeys(Node("C:\\Users\\ann")), (std::vector<std::string>{"C:\\Users\\ann\\Profile"}));
    tree.TreeView1_Expand(Node("C:\\Users\\ann\\Profile"));
    EXPECT_EQ(ChildKeys(Node("C:\\Users\\ann\\Profile")),
              (std::vector<std::string>{"C:\\Users\\ann\\Profile\\Desktop"}));
    ExpectViewMatchesModel(tree.Root());
    ExpectIconsMatchTree();
}

TEST_F(FolderTreeTest, FolderWhoseOnlySubfolderIsMyDocumentsExpandsToNothing) {
    fs.AddFolder("C:\\Old\\My Documents\\Inner");
    fs.AddFolder("C:\\Old2\\Desktop");  // only matters when it is the desktop directory
    shell.desktopDirectory = "C:\\Old2\\Desktop";
    tree.BuildTreeRoot(ZipNameTest{});
    tree.TreeView1_Expand(Node(kComputer));
    tree.TreeView1_Expand(Node("C:"));

    // The probe counts both subfolders, so both get an expander ...
    EXPECT_TRUE(tree.HasChildren(Node("C:\\Old")));
    EXPECT_TRUE(tree.HasChildren(Node("C:\\Old2")));
    // ... and expanding shows nothing, and takes the expander away.
    tree.TreeView1_Expand(Node("C:\\Old"));
    tree.TreeView1_Expand(Node("C:\\Old2"));
    EXPECT_TRUE(ChildTexts(Node("C:\\Old")).empty());
    EXPECT_TRUE(ChildTexts(Node("C:\\Old2")).empty());
    EXPECT_FALSE(tree.HasChildren(Node("C:\\Old")));
    EXPECT_FALSE(tree.HasChildren(Node("C:\\Old2")));
    EXPECT_FALSE(tree.NodeExists("C:\\Old2\\Desktop"));
}

TEST_F(FolderTreeTest, CollapseThenExpandReadsTheFolderAgain) {
    tree.BuildTreeRoot(ZipNameTest{});
    tree.TreeView1_Expand(Node(kComputer));
    tree.TreeView1_Expand(Node("C:"));
    tree.TreeView1_Expand(Node("C:\\Windows"));
    ASSERT_TRUE(tree.NodeExists("C:\\Windows\\System32"));

    tree.TreeView1_Collapse(Node("C:"));
    EXPECT_EQ(ChildTexts(Node("C:")), (std::vector<std::string>{"<>"}));
    EXPECT_FALSE(tree.NodeExists("C:\\Windows"));
    EXPECT_FALSE(tree.NodeExists("C:\\Windows\\System32"));
    EXPECT_EQ(icons.Image("C:\\Windows\\System32"), nullptr);

    fs.RemoveFolder("C:\\Users");
    fs.AddFolder("C:\\Games");
    tree.TreeView1_Expand(Node("C:"));
    EXPECT_EQ(ChildKeys(Node("C:")), (std::vector<std::string>{"C:\\Games", "C:\\Windows"}));
    ExpectViewMatchesModel(tree.Root());
    ExpectIconsMatchTree();
}

TEST_F(FolderTreeTest, CollapsingTheComputerFolderLeavesOneIconPerKey) {
    tree.BuildTreeRoot(ZipNameTest{});
    tree.TreeView1_Expand(Node(kComputer));
    tree.TreeView1_Expand(Node("C:"));
    const int iconsWhenOpen = icons.KeyCount();

    tree.TreeView1_Collapse(Node(kComputer));
    EXPECT_EQ(icons.Image("C:"), nullptr);
    EXPECT_EQ(icons.Image("C:\\Windows"), nullptr);
    ExpectIconsMatchTree();

    tree.TreeView1_Expand(Node(kComputer));
    tree.TreeView1_Expand(Node("C:"));
    EXPECT_EQ(icons.KeyCount(), iconsWhenOpen);
    ExpectViewMatchesModel(tree.Root());
    ExpectIconsMatchTree();
}

TEST_F(FolderTreeTest, CollapseInTheMiddleKeepsLaterIconsRight) {
    // Images of an earlier-expanded folder are removed while images added
    // after them stay; every remaining key must still find its own image.
    tree.BuildTreeRoot(ZipNameTest{});
    tree.TreeView1_Expand(Node(kComputer));
    tree.TreeView1_Expand(Node("C:"));
    tree.TreeView1_Expand(Node("C:\\Windows"));
    tree.TreeView1_Expand(Node(kDocuments));
    tree.TreeView1_Collapse(Node("C:\\Windows"));
    ExpectIconsMatchTree();
    EXPECT_EQ(icons.Image(kDocuments + "\\Letters")->file, kDocuments + "\\Letters");
}

TEST_F(FolderTreeTest, ExpandingTwiceDoesNotDropARealChild) {
    tree.BuildTreeRoot(ZipNameTest{});
    tree.TreeView1_Expand(Node(kComputer));
    tree.TreeView1_Expand(Node(kComputer));
    EXPECT_EQ(ChildKeys(Node(kComputer)), (std::vector<std::string>{"C:", kComputer + "\\" + kControlPanel}));
    tree.TreeView1_Expand(Node("C:"));
    tree.TreeView1_Expand(Node("C:\\Windows"));
    tree.TreeView1_Expand(Node("C:\\Windows"));
    EXPECT_EQ(ChildKeys(Node("C:\\Windows")), (std::vector<std::string>{"C:\\Windows\\System32"}));
    ExpectViewMatchesModel(tree.Root());
}

TEST_F(FolderTreeTest, RootIgnoresCollapseAndExpand) {
    tree.BuildTreeRoot(ZipNameTest{});
    const std::vector<std::string> before = ChildTexts(tree.Root());
    tree.TreeView1_Collapse(tree.Root());
    tree.TreeView1_Expand(tree.Root());
    EXPECT_EQ(ChildTexts(tree.Root()), before);
}

TEST_F(FolderTreeTest, ControlPanelAndNetworkChildrenHaveNoIconAndUniqueKeys) {
    shell.items[ShellNamespace::kControls] = {
        {"Mouse", "::{21EC2020-3AEA-1069-A2DD-08002B30309D}\\Mouse", false},
        {"Mouse again", "::{21EC2020-3AEA-1069-A2DD-08002B30309D}\\Mouse", false},
        {"Fonts", kDocuments, false},  // already a key elsewhere
    };
    shell.items[ShellNamespace::kNetwork] = {{"Server", "\\\\server", true}};
    // The panel and the network folder are leaves at root level; put them
    // where they can be expanded.
    tree.BuildTreeRoot(ZipNameTest{});
    tree.FillNode(kControlPanel);
    tree.FillNode(kNetwork);

    EXPECT_EQ(ChildTexts(Node(kControlPanel)), (std::vector<std::string>{"Mouse"}));
    EXPECT_EQ(ChildTexts(Node("::{21EC2020-3AEA-1069-A2DD-08002B30309D}\\Mouse")), (std::vector<std::string>{"<>"}));
    EXPECT_EQ(ChildKeys(Node(kNetwork)), (std::vector<std::string>{"\\\\server"}));
    EXPECT_TRUE(tree.Find(Node("\\\\server"))->image.empty());
    ExpectIconsMatchTree();
}

TEST_F(FolderTreeTest, UnreadableFolderStaysEmptyUntilCollapsed) {
    shell.items[ShellNamespace::kDrives] = {{"Control Panel", kComputer + "\\" + kControlPanel, true}};
    tree.BuildTreeRoot(ZipNameTest{});
    tree.TreeView1_Expand(Node(kComputer));
    const NodeId nested = Node(kComputer + "\\" + kControlPanel);
    tree.TreeView1_Expand(nested);
    EXPECT_TRUE(tree.Find(nested)->children.empty());
    tree.TreeView1_Collapse(nested);
    EXPECT_EQ(ChildTexts(nested), (std::vector<std::string>{"<>"}));
}

TEST_F(FolderTreeTest, NodeClickGivesTheSourceFolder) {
    shell.items[ShellNamespace::kDesktop].push_back({"Drive", "C:\\", true});
    shell.items[ShellNamespace::kDesktop].push_back({"drive", "c:\\", true});
    shell.items[ShellNamespace::kDrives].push_back({"Data (D:)", "D:\\", true});
    fs.AddFolder("D:\\Data");
    tree.BuildTreeRoot(ZipNameTest{});
    tree.TreeView1_Expand(Node(kComputer));
    tree.TreeView1_Expand(Node("D:"));
    // "C:\" is a root-level key already, so the drive item of the same path is skipped.
    EXPECT_FALSE(tree.NodeExists("C:"));

    struct Case {
        std::string key, dir, status;
    };
    for (const Case& c : std::vector<Case>{
             {"Desktop", "Desktop", "Desktop"},
             {kControlPanel, "", kControlPanel},
             {kComputer + "\\" + kControlPanel, "", kComputer + "\\" + kControlPanel},
             {"C:\\", "C:", "C:"},
             {"c:\\", "c:\\", "c:\\"},
             {"D:", "D:", "D:"},
             {"D:\\Data", "D:\\Data", "D:\\Data"},
         }) {
        ASSERT_TRUE(tree.NodeExists(c.key)) << c.key;
        const SourceFolder source = tree.TreeView1_NodeClick(Node(c.key));
        EXPECT_EQ(source.dir, c.dir) << c.key;
        EXPECT_EQ(source.status, c.status) << c.key;
    }
}

TEST_F(FolderTreeTest, LargeFolderFillsAndEmptiesCompletely) {
    for (int i = 0; i < 3000; ++i) {
        const std::string folder = "C:\\Big\\f" + std::to_string(i);
        fs.AddFolder(i % 2 ? folder + "\\sub" : folder);
    }
    tree.BuildTreeRoot(ZipNameTest{});
    tree.TreeView1_Expand(Node(kComputer));
    tree.TreeView1_Expand(Node("C:"));
    const std::size_t before = tree.NodeCount();
    const int iconsBefore = icons.KeyCount();

    const int probesBefore = fs.probes;

    tree.TreeView1_Expand(Node("C:\\Big"));
    EXPECT_EQ(tree.NodeCount(), before + 3000);
    EXPECT_EQ(icons.KeyCount(), iconsBefore + 3000);
    // Filling probes none of the children; each is probed once when asked.
    EXPECT_EQ(fs.probes, probesBefore);
    EXPECT_TRUE(tree.HasChildren(Node("C:\\Big\\f1")));
    EXPECT_FALSE(tree.HasChildren(Node("C:\\Big\\f2")));  // a folder without subfolders has no expander
    EXPECT_TRUE(tree.HasChildren(Node("C:\\Big\\f1")));
    EXPECT_EQ(fs.probes, probesBefore + 2);
    tree.TreeView1_Expand(Node("C:\\Big\\f2"));
    EXPECT_TRUE(tree.Find(Node("C:\\Big\\f2"))->children.empty());
    tree.TreeView1_Expand(Node("C:\\Big\\f1"));
    EXPECT_EQ(ChildKeys(Node("C:\\Big\\f1")), (std::vector<std::string>{"C:\\Big\\f1\\sub"}));
    EXPECT_EQ(tree.NodeCount(), before + 3000 + 1);
    tree.TreeView1_Collapse(Node("C:\\Big"));
    // Only the placeholder of the collapsed node is left.
    EXPECT_EQ(ChildTexts(Node("C:\\Big")), (std::vector<std::string>{"<>"}));
    EXPECT_EQ(tree.NodeCount(), before + 1);
    EXPECT_EQ(icons.KeyCount(), iconsBefore);
    ExpectViewMatchesModel(tree.Root());
    ExpectIconsMatchTree();
}

}  // namespace
}  // namespace tf::foldertree
