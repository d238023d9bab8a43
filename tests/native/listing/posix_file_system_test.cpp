#include "platform/posix/posix_file_system.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>

#include "fake_file_system.h"
#include "listing/folder_scan.h"
#include "platform/wildcard.h"
#include "temp_tree.h"

namespace tf::platform {
namespace {

TEST(Wildcard, MatchesLikeTheWindowsSearch) {
    EXPECT_TRUE(WildcardMatch("*", "anything"));
    EXPECT_TRUE(WildcardMatch("*", ".bashrc"));
    EXPECT_TRUE(WildcardMatch("*.*", "no-extension"));
    EXPECT_TRUE(WildcardMatch("*.TXT", "a.txt"));
    EXPECT_TRUE(WildcardMatch("*.txt", "A.TXT"));
    EXPECT_FALSE(WildcardMatch("*.txt", "a.txt.bak"));
    EXPECT_TRUE(WildcardMatch("?.txt", "a.txt"));
    EXPECT_FALSE(WildcardMatch("?.txt", "ab.txt"));
    EXPECT_FALSE(WildcardMatch("?.txt", ".txt"));
    EXPECT_TRUE(WildcardMatch("?.txt", "\xC3\xA9.txt"));  // one character, two bytes
    EXPECT_TRUE(WildcardMatch("a*b*c", "aXXbYYbZc"));
    EXPECT_FALSE(WildcardMatch("a*b*c", "aXXbYY"));
    EXPECT_TRUE(WildcardMatch("**x", "x"));
    EXPECT_FALSE(WildcardMatch("", "a"));
}

TEST(DefaultTypeName, UsesTheTextAfterTheLastDot) {
    EXPECT_EQ(DefaultTypeName("notes.abc"), "ABC File");
    EXPECT_EQ(DefaultTypeName("a.tar.gz"), "GZ File");
    EXPECT_EQ(DefaultTypeName(".bashrc"), "BASHRC File");
    EXPECT_EQ(DefaultTypeName("Makefile"), "File");
    EXPECT_EQ(DefaultTypeName("trailing."), "File");
    PosixFileSystem fs;
    EXPECT_EQ(fs.TypeName("/some.dir/file"), "File");
}

TEST(PosixFileSystem, SearchReportsKindsTimesAndSizes) {
    testing::TempTree tree;
    tree.Folder("sub");
    tree.File("five.txt", "12345");
    PosixFileSystem fs;
    std::map<std::string, FindData> found;
    fs.Search(tree.Path(), "*", SearchDetail::kFiles, [&](const FindData& d) { found[d.name] = d; });
    ASSERT_EQ(found.size(), 4u);  // ".", "..", sub, five.txt
    EXPECT_TRUE(found["."].isDirectory);
    EXPECT_TRUE(found["sub"].isDirectory);
    const FindData& file = found["five.txt"];
    EXPECT_FALSE(file.isDirectory);
    EXPECT_EQ(file.sizeLow, 5u);
    EXPECT_EQ(file.sizeHigh, 0u);
    // Written just now: within a day of the current time, in FILETIME ticks.
    const FileTicks now = (static_cast<FileTicks>(time(nullptr)) + 11644473600ull) * 10000000ull;
    constexpr FileTicks kDay = 864000000000ull;
    EXPECT_LT(std::max(now, file.lastWriteTime) - std::min(now, file.lastWriteTime), kDay);
    EXPECT_LT(std::max(now, file.creationTime) - std::min(now, file.creationTime), kDay);

    found.clear();
    fs.Search(tree.Path(), "*", SearchDetail::kFolders, [&](const FindData& d) { found[d.name] = d; });
    EXPECT_TRUE(found["sub"].folderId.known);
    EXPECT_EQ(found["sub"].folderId, fs.Identify(tree.Path("sub")));

    int calls = 0;
    fs.Search(tree.Path("missing"), "*", SearchDetail::kFiles, [&](const FindData&) { ++calls; });
    EXPECT_EQ(calls, 0);
}

TEST(PosixFileSystem, SparseFileAboveFourGigabytes) {
    testing::TempTree tree;
    const std::uint64_t size = (5ull << 30) + 512;
    tree.File("sparse.bin");
    ASSERT_EQ(truncate(tree.Path("sparse.bin").c_str(), static_cast<off_t>(size)), 0);
    PosixFileSystem fs;
    testing::RecordingHost host;
    listing::RunTotals totals;
    listing::ListingOptions options;
    options.source = tree.Path();
    std::vector<listing::FolderSection> sections;
    listing::FolderScan(options, fs, host, totals, [&](const listing::FolderSection& s) { sections.push_back(s); })
        .ScanFolder(tree.Path());
    EXPECT_EQ(totals.totalBytes, size);
    EXPECT_EQ(sections.at(0).files.at(0).text[listing::kSize], "5242880");
}

std::vector<std::string> ScanHeadings(const std::string& source, listing::RunTotals& totals,
                                      testing::RecordingHost& host) {
    PosixFileSystem fs;
    listing::ListingOptions options;
    options.source = source;
    std::vector<std::string> headings;
    listing::FolderScan(options, fs, host, totals,
                        [&](const listing::FolderSection& s) { headings.push_back(s.heading.text[listing::kName]); })
        .ScanFolder(source);
    return headings;
}

TEST(PosixFileSystem, LinksAreFollowedButNeverBackUpThePath) {
    testing::TempTree tree;
    tree.Folder("a/b");
    tree.Folder("other");
    tree.File("other/f.txt", "x");
    std::filesystem::create_directory_symlink(tree.Path("a"), tree.Path("a/b/up"));        // loop
    std::filesystem::create_directory_symlink(tree.Path("other"), tree.Path("a/across"));  // plain link
    std::filesystem::create_symlink(tree.Path("nowhere"), tree.Path("a/dangling"));

    listing::RunTotals totals;
    testing::RecordingHost host;
    std::vector<std::string> headings = ScanHeadings(tree.Path("a"), totals, host);
    std::sort(headings.begin(), headings.end());
    EXPECT_EQ(headings, (std::vector<std::string>{tree.Path("a"), tree.Path("a/across"), tree.Path("a/b")}));
    // b, across and the loop link up: counted and shown, the loop not entered.
    EXPECT_EQ(totals.totalFolders, 3u);
    EXPECT_NE(std::find(host.statuses.begin(), host.statuses.end(), tree.Path("a/b/up")), host.statuses.end());
    // across/f.txt, and the dangling link listed as an empty file.
    EXPECT_EQ(totals.totalFiles, 2u);
    EXPECT_EQ(totals.totalBytes, 1u);
}

TEST(PosixFileSystem, RootIsJoinedWithoutADoubleSeparator) {
    EXPECT_EQ(JoinPath("/", "etc", '/'), "/etc");
    EXPECT_EQ(JoinPath("/usr", "lib", '/'), "/usr/lib");
    EXPECT_EQ(JoinPath("C:", "Work", '\\'), "C:\\Work");
}

TEST(PosixFileSystem, UnreadableFolderGetsAnEmptySection) {
    if (geteuid() == 0) GTEST_SKIP() << "permissions do not bind root; the fake file system covers this case";
    testing::TempTree tree;
    tree.Folder("locked/inner");
    tree.File("locked/f", "abc");
    std::filesystem::permissions(tree.Path("locked"), std::filesystem::perms::none);
    listing::RunTotals totals;
    testing::RecordingHost host;
    const auto headings = ScanHeadings(tree.Path(), totals, host);
    std::filesystem::permissions(tree.Path("locked"), std::filesystem::perms::owner_all);
    EXPECT_EQ(headings.size(), 2u);
    EXPECT_EQ(totals.totalFiles, 0u);
}

}  // namespace
}  // namespace tf::platform
