#include "listing/scan/folder_scan.h"

#include <gtest/gtest.h>

#include "collecting_sink.h"
#include "fake_file_system.h"

namespace tf::listing {
namespace {

using testing::FakeEntry;
using testing::FakeFileSystem;
using testing::RecordingHost;

struct ScanResult {
    std::vector<FolderSection> sections;
    RunTotals totals;
};

ScanResult Scan(platform::FileSystem& fs, RecordingHost& host, const ListingOptions& options) {
    ScanResult result;
    ScanSections(options, fs, host, result.totals, options.source,
                 [&](const FolderSection& s) { result.sections.push_back(s); });
    return result;
}

std::vector<std::string> Texts(const FolderSection& section, Column column) {
    std::vector<std::string> texts;
    for (const ListingEntry& row : section.files) texts.push_back(row.text[column]);
    return texts;
}

ListingOptions Options(const std::string& source, int order = kNoOrder) {
    ListingOptions options;
    options.source = source;
    options.order = order;
    return options;
}

TEST(FolderScan, PreOrderSectionsAndFolderTotals) {
    // Source with two subfolders, each holding one more: 4 folders below it.
    FakeFileSystem fs;
    for (const char* f : {"C:\\S", "C:\\S\\A", "C:\\S\\A\\A1", "C:\\S\\B", "C:\\S\\B\\B1"}) fs.AddFolder(f);
    fs.AddFile("C:\\S\\A\\A1", {"x.txt", false, 100});
    RecordingHost host;
    const ScanResult r = Scan(fs, host, Options("C:\\S"));
    std::vector<std::string> order;
    for (const FolderSection& s : r.sections) order.push_back(s.heading.text[kName]);
    EXPECT_EQ(order, (std::vector<std::string>{"C:\\S", "C:\\S\\A", "C:\\S\\A\\A1", "C:\\S\\B", "C:\\S\\B\\B1"}));
    EXPECT_EQ(r.totals.totalFolders, 4u);
    EXPECT_EQ(r.totals.totalFiles, 1u);
    EXPECT_EQ(r.totals.totalBytes, 100u);
    EXPECT_EQ(r.sections[2].summary.text[kName], "Info");
    EXPECT_EQ(r.sections[2].summary.text[kType], "File(s): 1 - Size: 100 Byte(s).");
    EXPECT_EQ(r.sections[1].summary.text[kType], "File(s): 0 - Size: 0 Byte(s).");
}

TEST(FolderScan, FilterSelectsFilesButNeverFolders) {
    FakeFileSystem fs;
    fs.AddFolder("C:\\S");
    fs.AddFolder("C:\\S\\docs.txt");  // a folder the filter matches
    fs.AddFile("C:\\S", {"a.txt"});
    fs.AddFile("C:\\S", {"B.TXT"});
    fs.AddFile("C:\\S", {"c.text"});
    fs.AddFile("C:\\S\\docs.txt", {"inner.txt"});
    RecordingHost host;
    ListingOptions options = Options("C:\\S");
    options.filter = "*.txt";
    const ScanResult r = Scan(fs, host, options);
    ASSERT_EQ(r.sections.size(), 2u);
    EXPECT_EQ(Texts(r.sections[0], kName), (std::vector<std::string>{"a.txt", "B.TXT"}));
    EXPECT_EQ(Texts(r.sections[1], kName), (std::vector<std::string>{"inner.txt"}));
    // Subfolders are searched with "*" whatever the filter.
    EXPECT_NE(std::find(fs.searches.begin(), fs.searches.end(), "C:\\S\\*"), fs.searches.end());

    options.filter = "?.TXT";
    EXPECT_EQ(Texts(Scan(fs, host, options).sections[0], kName), (std::vector<std::string>{"a.txt", "B.TXT"}));
    options.filter = "";
    const ScanResult none = Scan(fs, host, options);
    EXPECT_TRUE(none.sections[0].files.empty());
    EXPECT_EQ(none.sections.size(), 2u);  // subfolders are still visited
}

TEST(FolderScan, RowColumnsFollowTheRecordFlags) {
    FakeFileSystem fs;
    fs.AddFolder("C:\\S");
    const platform::FileTicks created = (1236416730ull + 11644473600ull) * 10000000ull;
    fs.AddFile("C:\\S", {std::string(40, 'n') + ".longextension", false, 1536, created, created + 600000000});
    RecordingHost host;
    ListingOptions options = Options("C:\\S");
    options.recordCreated = options.recordModified = true;
    ListingEntry row = Scan(fs, host, options).sections[0].files.at(0);
    EXPECT_EQ(row.text[kName], std::string(35, 'n'));
    EXPECT_EQ(row.text[kType], "LONGEXTENSION File");
    EXPECT_EQ(row.text[kSize], "2");
    EXPECT_EQ(row.text[kCreated], "2009/3/7 9:5");
    EXPECT_EQ(row.text[kModified], "2009/3/7 9:6");
    // The status panel shows the whole path.
    EXPECT_EQ(host.statuses.at(0), "C:\\S\\" + std::string(40, 'n') + ".longextension");

    options = Options("C:\\S");
    options.recordType = options.recordSize = false;
    const ScanResult r = Scan(fs, host, options);
    row = r.sections[0].files.at(0);
    EXPECT_EQ(row.text[kType], "");
    EXPECT_EQ(row.text[kSize], "");
    EXPECT_EQ(r.totals.totalBytes, 1536u);  // counted whether recorded or not
}

TEST(FolderScan, TypeTextsAreCutToTwentyCharacters) {
    FakeFileSystem fs;
    fs.AddFolder("C:\\S");
    fs.AddFile("C:\\S", {"a.abcdefghijklmnopqrstuvwxyz"});
    RecordingHost host;
    EXPECT_EQ(Scan(fs, host, Options("C:\\S")).sections[0].files.at(0).text[kType], "ABCDEFGHIJKLMNOPQRST");
}

TEST(FolderScan, SortsAsTextIgnoringCaseAndKeepsEqualKeysInSearchOrder) {
    FakeFileSystem fs;
    fs.AddFolder("C:\\S");
    const platform::FileTicks oct1 = (1254355200ull + 11644473600ull) * 10000000ull;  // 2009/10/1 0:0
    const platform::FileTicks sep30 = oct1 - 86400ull * 10000000ull;                  // 2009/9/30 0:0
    fs.AddFile("C:\\S", {"b.txt", false, 9 * 1024, sep30});
    fs.AddFile("C:\\S", {"Info", false, 10 * 1024, oct1});
    fs.AddFile("C:\\S", {"a.txt", false, 9 * 1024, oct1});
    fs.AddFile("C:\\S", {"C.dat", false, 0, sep30});
    RecordingHost host;

    auto sorted = [&](int order, Column column, bool recordCreated = false) {
        ListingOptions options = Options("C:\\S", order);
        options.recordCreated = recordCreated;
        return Texts(Scan(fs, host, options).sections[0], column);
    };
    EXPECT_EQ(sorted(kNoOrder, kName), (std::vector<std::string>{"b.txt", "Info", "a.txt", "C.dat"}));
    EXPECT_EQ(sorted(kName, kName), (std::vector<std::string>{"a.txt", "b.txt", "C.dat", "Info"}));
    // "10" sorts before "9"; the two 9 KB files keep their search order.
    EXPECT_EQ(sorted(kSize, kName), (std::vector<std::string>{"C.dat", "Info", "b.txt", "a.txt"}));
    EXPECT_EQ(sorted(kType, kName), (std::vector<std::string>{"C.dat", "Info", "b.txt", "a.txt"}));
    // Dates compare as text: 2009/10/1 before 2009/9/30.
    EXPECT_EQ(sorted(kCreated, kName, true), (std::vector<std::string>{"Info", "a.txt", "b.txt", "C.dat"}));
    // A column that is not recorded gives empty keys: search order stays.
    EXPECT_EQ(sorted(kModified, kName), (std::vector<std::string>{"b.txt", "Info", "a.txt", "C.dat"}));
}

TEST(FolderScan, PumpsOncePerEntryAfterTheFirstIncludingSkippedOnes) {
    FakeFileSystem fs;
    fs.AddFolder("C:\\S");
    fs.AddFolder("C:\\S\\Sub");
    fs.AddFile("C:\\S", {"a"});
    fs.AddFile("C:\\S", {"b"});
    RecordingHost host;
    Scan(fs, host, Options("C:\\S"));
    // C:\S returns ".", "..", Sub, a, b: four pumps. C:\S\Sub returns "." and "..": one.
    EXPECT_EQ(host.pumps, 5);
}

TEST(FolderScan, StopEndsTheFolderBeingReadWithTheRowsListedSoFar) {
    FakeFileSystem fs;
    fs.AddFolder("C:\\S");
    fs.AddFolder("C:\\S\\A");
    fs.AddFolder("C:\\S\\A\\Deep");
    fs.AddFolder("C:\\S\\B");
    fs.AddFile("C:\\S", {"one", false, 1});
    fs.AddFile("C:\\S", {"two", false, 2});
    fs.AddFile("C:\\S", {"three", false, 3});
    for (const bool order : {false, true}) {
        RecordingHost host;
        host.onPump = [&] {
            if (!host.statuses.empty() && host.statuses.back() == "C:\\S\\two") host.stopped = true;
        };
        const ScanResult r = Scan(fs, host, Options("C:\\S", order ? kName : kNoOrder));
        ASSERT_EQ(r.sections.size(), 1u);
        EXPECT_EQ(Texts(r.sections[0], kName), (std::vector<std::string>{"one", "two"}));
        EXPECT_EQ(r.sections[0].summary.text[kType], "File(s): 2 - Size: 3 Byte(s).");
        EXPECT_EQ(r.totals.totalFiles, 2u);
        EXPECT_EQ(r.totals.totalBytes, 3u);
        // The reading ended before the subfolders came: none is counted.
        EXPECT_EQ(r.totals.totalFolders, 0u);
    }
}

TEST(FolderScan, UnsearchableAndVanishedFoldersGetAnEmptySection) {
    FakeFileSystem fs;
    fs.AddFolder("C:\\S");
    fs.AddFolder("C:\\S\\Locked");
    fs.AddFolder("C:\\S\\Locked\\Hidden");
    fs.AddFolder("C:\\S\\Gone");
    fs.AddFile("C:\\S\\Gone", {"f", false, 7});
    fs.MakeUnsearchable("C:\\S\\Locked");
    RecordingHost host;
    // The folder disappears between its discovery and its own scan.
    host.onPump = [&] { fs.Remove("C:\\S\\Gone"); };
    fs.AddFile("C:\\S", {"x"});
    const ScanResult r = Scan(fs, host, Options("C:\\S"));
    ASSERT_EQ(r.sections.size(), 3u);
    for (int i : {1, 2}) {
        EXPECT_TRUE(r.sections[i].files.empty());
        EXPECT_EQ(r.sections[i].summary.text[kType], "File(s): 0 - Size: 0 Byte(s).");
    }
    EXPECT_EQ(r.totals.totalFolders, 2u);
    EXPECT_EQ(host.skipped,
              (std::vector<std::string>{"C:\\S\\Locked: permission denied", "C:\\S\\Gone: vanished"}));
    EXPECT_EQ(r.totals.skippedFolders, 2u);
}

TEST(FolderScan, AFolderWhoseSubfolderSearchFailsIsSkippedLikeAnUnreadableOne) {
    FakeFileSystem fs;
    fs.AddFolder("C:\\S");
    fs.AddFolder("C:\\S\\Sub");
    fs.AddFile("C:\\S", {"x", false, 5});
    fs.FailFolderSearch("C:\\S");
    RecordingHost host;
    const ScanResult r = Scan(fs, host, Options("C:\\S"));
    EXPECT_EQ(r.sections.size(), 1u);  // Sub is not entered
    EXPECT_EQ(host.skipped, (std::vector<std::string>{"C:\\S: cannot be read"}));
    EXPECT_EQ(r.totals.skippedFolders, 1u);
}

TEST(FolderScan, CaseFoldCoversLatinGreekAndCyrillicLetters) {
    FakeFileSystem fs;
    fs.AddFolder("C:\\S");
    for (const char* name : {"Яков", "Émile", "zeta", "Ωmega", "яблоко", "éclair", "ωa"}) fs.AddFile("C:\\S", {name});
    RecordingHost host;
    EXPECT_EQ(Texts(Scan(fs, host, Options("C:\\S", kName)).sections[0], kName),
              (std::vector<std::string>{"zeta", "éclair", "Émile", "ωa", "Ωmega", "яблоко", "Яков"}));
}

TEST(FolderScan, EqualKeysKeepSearchOrderInFoldersOfManyFiles) {
    // More rows than a sort's insertion-sort cut-off, so an unstable sort
    // would reorder equal keys.
    FakeFileSystem fs;
    fs.AddFolder("C:\\S");
    std::vector<std::string> odd, even;
    for (int i = 0; i < 64; ++i) {
        const std::string name = "f" + std::to_string(100 + i) + (i % 2 ? ".a" : ".b");
        fs.AddFile("C:\\S", {name});
        (i % 2 ? odd : even).push_back(name);
    }
    odd.insert(odd.end(), even.begin(), even.end());
    RecordingHost host;
    EXPECT_EQ(Texts(Scan(fs, host, Options("C:\\S", kType)).sections[0], kName), odd);
}

TEST(FolderScan, PatternsExclusionsAndDepth) {
    FakeFileSystem fs;
    for (const char* f : {"C:\\S", "C:\\S\\A", "C:\\S\\A\\Deep", "C:\\S\\cache.tmp"}) fs.AddFolder(f);
    for (const char* name : {"a.txt", "b.LOG", "c.tmp", "d.doc"}) fs.AddFile("C:\\S", {name, false, 1});
    fs.AddFile("C:\\S\\cache.tmp", {"x.txt", false, 1});
    RecordingHost host;
    ListingOptions options = Options("C:\\S");
    options.filter = "*";
    options.filters = {"*.txt", "*.log", "*.tmp"};
    options.excludes = {"*.tmp"};
    options.maxDepth = 1;
    const ScanResult r = Scan(fs, host, options);
    ASSERT_EQ(r.sections.size(), 2u);  // the excluded folder is not scanned, Deep is too deep
    EXPECT_EQ(Texts(r.sections[0], kName), (std::vector<std::string>{"a.txt", "b.LOG"}));
    EXPECT_EQ(r.sections[1].heading.text[kName], "C:\\S\\A");
    EXPECT_EQ(r.totals.totalFolders, 1u);
    EXPECT_EQ(r.totals.skippedFolders, 0u);
}

TEST(FolderScan, FolderRecordsFollowTheirSubtreeWithItsTotal) {
    FakeFileSystem fs;
    for (const char* f : {"C:\\S", "C:\\S\\A", "C:\\S\\A\\A1", "C:\\S\\B"}) fs.AddFolder(f);
    fs.AddFile("C:\\S", {"s", false, 1});
    fs.AddFile("C:\\S\\A", {"a", false, 10});
    fs.AddFile("C:\\S\\A\\A1", {"a1", false, 100});
    fs.AddFile("C:\\S\\B", {"b", false, 1000});
    RecordingHost host;
    RunTotals totals;
    std::vector<std::string> events;
    const ListingOptions options = Options("C:\\S");
    ScanSections(
        options, fs, host, totals, "C:\\S",
        [&](const FolderSection& s) { events.push_back("rows " + s.files.at(0).facts.name); },
        [&](const FolderRecord& f) {
            events.push_back(f.facts.name + " " + std::to_string(f.files) + " " + std::to_string(f.bytes) + " " +
                             std::to_string(f.subtreeBytes));
        });
    EXPECT_EQ(events, (std::vector<std::string>{"rows s", "rows a", "rows a1", "A1 1 100 100", "A 1 10 110", "rows b",
                                                "B 1 1000 1000", "S 1 1 1111"}));
}

TEST(FolderScan, LargeFilesAskForTheirFullSize) {
    FakeFileSystem fs;
    fs.AddFolder("C:\\S");
    fs.AddFile("C:\\S", {"small", false, 0x7FFFFFFF});
    fs.AddFile("C:\\S", {"big", false, 0x80000000});
    fs.AddFile("C:\\S", {"huge", false, 5ull << 32});
    RecordingHost host;
    const ScanResult r = Scan(fs, host, Options("C:\\S"));
    EXPECT_EQ(fs.largeSizeQueries, 2);
    EXPECT_EQ(r.totals.totalBytes, 0x7FFFFFFFull + 0x80000000ull + (5ull << 32));
    EXPECT_EQ(Texts(r.sections[0], kSize), (std::vector<std::string>{"2097152", "2097152", "20971520"}));
}

TEST(FolderScan, StoppedBeforeTheStartWritesNothing) {
    FakeFileSystem fs;
    fs.AddFolder("C:\\S");
    RecordingHost host;
    host.stopped = true;
    EXPECT_TRUE(Scan(fs, host, Options("C:\\S")).sections.empty());
}

}  // namespace
}  // namespace tf::listing
