#include "platform/posix/posix_file_system.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>

#include "fake_file_system.h"
#include "collecting_sink.h"
#include "platform/wildcard.h"
#include "as_nobody.h"
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
    listing::ScanSections(options, fs, host, totals, tree.Path(),
                          [&](const listing::FolderSection& s) { sections.push_back(s); });
    EXPECT_EQ(totals.totalBytes, size);
    EXPECT_EQ(sections.at(0).files.at(0).text[listing::kSize], "5242880");
}

struct LinkScan {
    std::vector<std::string> headings;
    std::vector<std::string> rows;  // names of the listed files and links
    listing::RunTotals totals;
    testing::RecordingHost host;
};

void ScanWithLinks(const std::string& source, bool followLinks, LinkScan& out) {
    PosixFileSystem fs;
    listing::ListingOptions options;
    options.source = source;
    options.followLinks = followLinks;
    listing::ScanSections(options, fs, out.host, out.totals, source, [&](const listing::FolderSection& s) {
        out.headings.push_back(s.heading.text[listing::kName]);
        for (const listing::ListingEntry& row : s.files) out.rows.push_back(row.text[listing::kName]);
    });
    std::sort(out.headings.begin(), out.headings.end());
    std::sort(out.rows.begin(), out.rows.end());
}

TEST(PosixFileSystem, LinksToFoldersAreRowsUnlessFollowedAndEveryFolderIsEnteredOnce) {
    testing::TempTree tree;
    tree.Folder("a/b");
    tree.Folder("other");
    tree.File("other/f.txt", "x");
    std::filesystem::create_directory_symlink(tree.Path("a"), tree.Path("a/b/up"));        // loop
    std::filesystem::create_directory_symlink(tree.Path("other"), tree.Path("a/across"));  // plain link
    std::filesystem::create_symlink(tree.Path("nowhere"), tree.Path("a/dangling"));
    std::filesystem::create_symlink("self", tree.Path("a/self"));
    const std::uint64_t linkBytes = tree.Path("a").size() + tree.Path("other").size() + tree.Path("nowhere").size() + 4;

    LinkScan rows;
    ScanWithLinks(tree.Path("a"), false, rows);
    EXPECT_EQ(rows.headings, (std::vector<std::string>{tree.Path("a"), tree.Path("a/b")}));
    EXPECT_EQ(rows.rows, (std::vector<std::string>{"across", "dangling", "self", "up"}));
    // Each link is listed as itself: its own size, its own (recent) times.
    EXPECT_EQ(rows.totals.totalBytes, linkBytes);
    EXPECT_EQ(rows.totals.totalFolders, 1u);
    EXPECT_EQ(rows.totals.skippedFolders, 0u);

    LinkScan followed;
    ScanWithLinks(tree.Path("a"), true, followed);
    EXPECT_EQ(followed.headings, (std::vector<std::string>{tree.Path("a"), tree.Path("a/across"), tree.Path("a/b")}));
    EXPECT_EQ(followed.rows, (std::vector<std::string>{"dangling", "f.txt", "self"}));
    // b, across and the loop link up are counted; up is refused, not entered.
    EXPECT_EQ(followed.totals.totalFolders, 3u);
    EXPECT_EQ(followed.totals.skippedFolders, 1u);
    EXPECT_NE(std::find(followed.host.statuses.begin(), followed.host.statuses.end(), tree.Path("a/b/up")),
              followed.host.statuses.end());
}

TEST(PosixFileSystem, DanglingLinksCarryTheirOwnTimes) {
    testing::TempTree tree;
    std::filesystem::create_symlink(tree.Path("nowhere"), tree.Path("dangling"));
    PosixFileSystem fs;
    FindData link;
    fs.Search(tree.Path(), "dangling", SearchDetail::kFiles, [&](const FindData& d) { link = d; });
    EXPECT_TRUE(link.isLink);
    EXPECT_FALSE(link.isDirectory);
    EXPECT_EQ(link.sizeLow, tree.Path("nowhere").size());
    const FileTicks now = (static_cast<FileTicks>(time(nullptr)) + 11644473600ull) * 10000000ull;
    EXPECT_LT(now - std::min(now, link.lastWriteTime), 864000000000ull);  // within a day, not 1601
}

TEST(PosixFileSystem, RootIsJoinedWithoutADoubleSeparator) {
    EXPECT_EQ(JoinPath("/", "etc", '/'), "/etc");
    EXPECT_EQ(JoinPath("/usr", "lib", '/'), "/usr/lib");
    EXPECT_EQ(JoinPath("C:", "Work", '\\'), "C:\\Work");
}

TEST(PosixFileSystem, UnreadableFoldersGetAnEmptySectionAndAreCountedAsSkipped) {
    testing::TempTree tree;
    tree.Folder("locked/inner");
    tree.File("locked/f", "abc");
    tree.Folder("readonly/inner");  // can be read but not entered
    tree.File("readonly/f", "abc");
    namespace fsys = std::filesystem;
    fsys::permissions(tree.Path(), fsys::perms::all & ~fsys::perms::group_write & ~fsys::perms::others_write);
    fsys::permissions(tree.Path("locked"), fsys::perms::none);
    fsys::permissions(tree.Path("readonly"), fsys::perms::owner_read | fsys::perms::group_read | fsys::perms::others_read);
    const std::string answer = testing::RunAsNobody([&] {
        LinkScan scan;
        ScanWithLinks(tree.Path(), false, scan);
        std::string text = std::to_string(scan.headings.size()) + " sections, " +
                           std::to_string(scan.totals.totalFiles) + " files, " +
                           std::to_string(scan.totals.skippedFolders) + " skipped";
        return text;
    });
    fsys::permissions(tree.Path("locked"), fsys::perms::owner_all);
    fsys::permissions(tree.Path("readonly"), fsys::perms::owner_all);
    EXPECT_EQ(answer, "3 sections, 0 files, 2 skipped");
}

}  // namespace
}  // namespace tf::platform
