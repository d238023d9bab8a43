// Whether a folder is read from its volume's file table or walked, and that
// a listing read so is the walk's, paths and source alike.
#include <gtest/gtest.h>

#include <fstream>
#include <sstream>

#include "fake_file_system.h"
#include "listing/listing_run.h"
#include "listing/volume/file_table_choice.h"
#include "ntfs_image.h"

namespace tf::listing::volume {
namespace {

using test::DocsImage;

TEST(FileTableChoice, FolderBelowTheVolumesRoot) {
    std::string folder = "unchanged";
    EXPECT_TRUE(FolderBelowRoot("C:\\", "C:\\", folder));
    EXPECT_EQ(folder, "");
    // The case of letters and doubled or closing separators do not matter.
    EXPECT_TRUE(FolderBelowRoot("c:\\Users\\\\Ann\\", "C:\\", folder));
    EXPECT_EQ(folder, "Users/Ann");
    // A volume mounted in a folder of another.
    EXPECT_TRUE(FolderBelowRoot("C:\\mnt\\disk\\photos\\2024\\", "C:\\mnt\\disk\\", folder));
    EXPECT_EQ(folder, "photos/2024");
    EXPECT_TRUE(FolderBelowRoot("C:\\mnt\\disk", "C:\\mnt\\disk", folder));
    EXPECT_EQ(folder, "");
    folder = "unchanged";
    EXPECT_FALSE(FolderBelowRoot("C:\\mnt\\disk2\\x", "C:\\mnt\\disk", folder));
    EXPECT_FALSE(FolderBelowRoot("D:\\x", "C:\\", folder));
    EXPECT_FALSE(FolderBelowRoot("C:", "C:\\", folder));
    EXPECT_FALSE(FolderBelowRoot("C:\\", "", folder));
    EXPECT_EQ(folder, "unchanged");
}

platform::FolderVolume DocsVolume() {
    platform::FolderVolume volume;
    volume.root = "D:\\";
    volume.fullPath = "D:\\Docs\\";
    volume.fileSystem = "NTFS";
    volume.local = true;
    volume.device = "\\\\.\\D:";
    volume.utf8Names = true;
    return volume;
}

VolumeOpener OpensImage(std::vector<std::uint8_t> image, std::string* device = nullptr) {
    return [image, device](const std::string& name, std::unique_ptr<platform::VolumeFile>& file) {
        if (device) *device = name;
        file = std::make_unique<platform::MemoryVolumeFile>(image);
        return std::string();
    };
}

std::string ReportOf(platform::FileSystem& fs, const ListingOptions& options, const char* name) {
    const std::string path = ::testing::TempDir() + name;
    testing::RecordingHost host;
    RunTotals totals;
    EXPECT_TRUE(RunListing(options, fs, host, path, totals).reportWritten);
    std::ifstream in(path, std::ios::binary);
    std::stringstream bytes;
    bytes << in.rdbuf();
    return bytes.str();
}

// The folder as the user typed it, listed from the table, gives the walk's
// report: its source, '\'-separated paths and the walk's type names.
TEST(FileTableChoice, ATableListingIsTheWalks) {
    testing::FakeFileSystem walk;
    walk.AddFolder("D:\\Docs");
    walk.AddFile("D:\\Docs", {"a.txt", false, 5});
    walk.AddFolder("D:\\Docs\\Sub");
    walk.AddFile("D:\\Docs\\Sub", {"b.txt", false, 3000});

    std::string device;
    FileTableListing table = ReadFileTable(DocsVolume(), "D:\\Docs", '\\', &walk, OpensImage(DocsImage(), &device));
    ASSERT_EQ(table.outcome, TableOutcome::kRead) << table.why;
    ASSERT_TRUE(table.fs);
    EXPECT_EQ(device, "\\\\.\\D:");
    EXPECT_EQ(FileTableNote(table), "Read from the NTFS file table");
    EXPECT_TRUE(table.fs->IsDirectory("D:\\Docs\\Sub"));
    EXPECT_FALSE(table.fs->IsDirectory("D:\\Docs/Sub"));

    ListingOptions options;
    options.source = "D:\\Docs";
    options.recordType = options.recordSize = true;
    options.order = kName;
    // (The fake walk knows no space taken, which the other formats hold.)
    for (ReportFormat format : {ReportFormat::kText, ReportFormat::kHtml}) {
        options.format = format;
        const std::string walked = ReportOf(walk, options, "file_table_walk.out");
        EXPECT_NE(walked.find("D:\\Docs\\Sub"), std::string::npos);
        EXPECT_EQ(ReportOf(*table.fs, options, "file_table_table.out"), walked);
    }
}

TEST(FileTableChoice, FallsBackToTheWalkSayingWhy) {
    const VolumeOpener unused = [](const std::string&, std::unique_ptr<platform::VolumeFile>&) {
        ADD_FAILURE() << "opened a volume that is not to be read";
        return std::string("no");
    };
    // Not NTFS, not local, or not known: walked without a word.
    for (auto change : {+[](platform::FolderVolume& v) { v.fileSystem = "FAT32"; },
                        +[](platform::FolderVolume& v) { v.local = false; },
                        +[](platform::FolderVolume& v) { v = platform::FolderVolume{}; }}) {
        platform::FolderVolume volume = DocsVolume();
        change(volume);
        const FileTableListing table = ReadFileTable(volume, "D:\\Docs", '\\', nullptr, unused);
        EXPECT_EQ(table.outcome, TableOutcome::kNotNtfs);
        EXPECT_FALSE(table.fs);
        EXPECT_EQ(FileTableNote(table), "");
    }

    // NTFS the program may not open: how to get the table.
    const FileTableListing denied = ReadFileTable(
        DocsVolume(), "D:\\Docs", '\\', nullptr,
        [](const std::string&, std::unique_ptr<platform::VolumeFile>&) { return std::string("Access is denied"); });
    EXPECT_EQ(denied.outcome, TableOutcome::kNotOpened);
    EXPECT_EQ(denied.why, "cannot open the volume \\\\.\\D:: Access is denied");
    EXPECT_EQ(FileTableNote(denied),
              "Walked the folders: run as administrator to read the NTFS file table, which is faster");

    // Opened, but no table, or no such folder in it: the reason.
    const FileTableListing broken =
        ReadFileTable(DocsVolume(), "D:\\Docs", '\\', nullptr, OpensImage(std::vector<std::uint8_t>(4096, 0)));
    EXPECT_EQ(broken.outcome, TableOutcome::kNotRead);
    EXPECT_EQ(FileTableNote(broken).rfind("Walked the folders: \\\\.\\D:: the file table could not be read: ", 0), 0u)
        << FileTableNote(broken);
    platform::FolderVolume elsewhere = DocsVolume();
    elsewhere.fullPath = "D:\\Gone\\";
    const FileTableListing missing = ReadFileTable(elsewhere, "D:\\Gone", '\\', nullptr, OpensImage(DocsImage()));
    EXPECT_EQ(missing.outcome, TableOutcome::kNotRead);
    EXPECT_EQ(missing.why, "no folder Gone in the file table of \\\\.\\D:");
    // Names the program holds in a code page other than UTF-8 would not be
    // the walk's: not even opened.
    platform::FolderVolume codePage = DocsVolume();
    codePage.utf8Names = false;
    EXPECT_EQ(ReadFileTable(codePage, "D:\\Docs", '\\', nullptr, unused).outcome, TableOutcome::kNotRead);

    // Stopped while reading: no listing and nothing to say.
    const FileTableListing stopped = ReadFileTable(DocsVolume(), "D:\\Docs", '\\', nullptr, OpensImage(DocsImage()),
                                                   [](std::uint64_t) { return false; });
    EXPECT_EQ(stopped.outcome, TableOutcome::kStopped);
    EXPECT_FALSE(stopped.fs);
    EXPECT_EQ(FileTableNote(stopped), "");
}

}  // namespace
}  // namespace tf::listing::volume
