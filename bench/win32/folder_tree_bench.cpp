// Expansion and collapse of one very large folder through the real control,
// image list and shell icons (the folders are made once, in the temporary
// folder, and kept for the next run):
//   folder_tree_bench.exe
#include <windows.h>

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>

#include "foldertree/tree_window.h"

namespace tf::foldertree {
namespace {

double Seconds(LARGE_INTEGER from, LARGE_INTEGER to) {
    LARGE_INTEGER frequency;
    QueryPerformanceFrequency(&frequency);
    return static_cast<double>(to.QuadPart - from.QuadPart) / static_cast<double>(frequency.QuadPart);
}

// `count` subfolders, every second one with a subfolder of its own.
std::string MakeBigFolder(const std::string& base, int count) {
    const std::string folder = base + "\\big" + std::to_string(count);
    if (std::filesystem::exists(folder + "\\f" + std::to_string(count - 1))) return folder;
    CreateDirectoryA(folder.c_str(), nullptr);
    for (int i = 0; i < count; ++i) {
        const std::string child = folder + "\\f" + std::to_string(i);
        CreateDirectoryA(child.c_str(), nullptr);
        if (i % 2) CreateDirectoryA((child + "\\sub").c_str(), nullptr);
    }
    return folder;
}

struct Timing {
    double expand = 0;
    double collapse = 0;
};

// What any expansion must spend here: listing the folder. Children are
// probed for subfolders only when shown, which a window's height bounds.
double FileSystemFloor(const std::string& folder) {
    auto fs = platform::CreateFileSystem();
    LARGE_INTEGER t0, t1;
    QueryPerformanceCounter(&t0);
    fs->Search(folder, "*", platform::SearchDetail::kNames, [](const platform::FindData&) {});
    QueryPerformanceCounter(&t1);
    return Seconds(t0, t1);
}

Timing Measure(const std::string& folder, int count) {
    testing::TreeWindow window(std::make_unique<testing::OneFolderShell>(folder));
    ShowWindow(window.Frame(), SW_SHOWNOACTIVATE);
    window.Model().BuildTreeRoot(ZipNameTest{});
    UpdateWindow(window.Frame());

    LARGE_INTEGER t0, t1, t2;
    QueryPerformanceCounter(&t0);
    window.Expand(folder);
    UpdateWindow(window.Tree());
    QueryPerformanceCounter(&t1);
    EXPECT_EQ(window.ChildKeys(folder).size(), static_cast<std::size_t>(count));
    EXPECT_EQ(window.Icons().KeyCount(), count + 2);
    window.Collapse(folder);
    UpdateWindow(window.Tree());
    QueryPerformanceCounter(&t2);
    EXPECT_EQ(window.Icons().KeyCount(), 2);
    return {Seconds(t0, t1), Seconds(t1, t2)};
}

TEST(FolderTreeBench, ExpandingAndCollapsingGrowLinearly) {
    char temp[MAX_PATH] = {};
    GetTempPathA(sizeof temp, temp);
    const std::string base = std::string(temp) + "tf_tree_bench";
    CreateDirectoryA(base.c_str(), nullptr);

    const std::string small = MakeBigFolder(base, 2000);
    const std::string large = MakeBigFolder(base, 20000);
    Measure(small, 2000);  // warms the shell's icon cache
    const Timing a = Measure(small, 2000);
    const Timing b = Measure(large, 20000);
    const double floorA = FileSystemFloor(small), floorB = FileSystemFloor(large);
    std::printf("subfolders  expand(s)  of which listing(s)  collapse(s)\n");
    std::printf("%10d  %9.3f  %18.3f  %11.3f\n", 2000, a.expand, floorA, a.collapse);
    std::printf("%10d  %9.3f  %18.3f  %11.3f\n", 20000, b.expand, floorB, b.collapse);
    const double expandRatio = b.expand / a.expand, collapseRatio = b.collapse / a.collapse;
    const double treeRatio = (b.expand - floorB) / (a.expand - floorA);
    std::printf("20,000 against 2,000: expand %.1fx (the tree's own part %.1fx), collapse %.1fx\n", expandRatio,
                treeRatio, collapseRatio);

    // Ten times the folders may cost at most fifteen times the time, the
    // whole expansion, the tree's part of it beyond the listing, and the
    // collapse alike.
    EXPECT_LT(expandRatio, 15.0);
    EXPECT_LT(treeRatio, 15.0);
    EXPECT_LT(collapseRatio, 15.0);
}

}  // namespace
}  // namespace tf::foldertree
