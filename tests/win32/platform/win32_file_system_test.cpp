#include "platform/win32/win32_file_system.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <fstream>
#include <map>
#include <sstream>

#include "listing/listing_run.h"
#include "listing/formats/text_units.h"

namespace tf::platform {
namespace {

std::string TempFolder(const char* name) {
    char temp[MAX_PATH];
    GetTempPathA(MAX_PATH, temp);
    std::string path = std::string(temp) + name;
    CreateDirectoryA(path.c_str(), nullptr);
    return path;
}

void WriteFile(const std::string& path, const std::string& bytes) {
    std::ofstream(path, std::ios::binary) << bytes;
}

void RemoveTree(const std::string& path) {
    WIN32_FIND_DATAA fd;
    HANDLE h = FindFirstFileA((path + "\\*").c_str(), &fd);
    if (h != INVALID_HANDLE_VALUE) {
        do {
            const std::string name = fd.cFileName;
            if (name == "." || name == "..") continue;
            const std::string full = path + "\\" + name;
            if (fd.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
                RemoveTree(full);
            else
                DeleteFileA(full.c_str());
        } while (FindNextFileA(h, &fd));
        FindClose(h);
    }
    RemoveDirectoryA(path.c_str());
}

class Win32FileSystemTest : public ::testing::Test {
protected:
    void SetUp() override { root_ = TempFolder("tallyfold-fs-test"); }
    void TearDown() override { RemoveTree(root_); }
    std::string root_;
    Win32FileSystem fs_;
};

TEST_F(Win32FileSystemTest, SearchMatchesCaseInsensitivelyAndReportsDetails) {
    CreateDirectoryA((root_ + "\\docs.txt").c_str(), nullptr);
    WriteFile(root_ + "\\a.txt", "12345");
    WriteFile(root_ + "\\b.dat", "x");
    std::map<std::string, FindData> found;
    fs_.Search(root_, "*.TXT", SearchDetail::kFiles, [&](const FindData& d) { found[d.name] = d; });
    ASSERT_EQ(found.size(), 2u);
    EXPECT_TRUE(found["docs.txt"].isDirectory);
    EXPECT_FALSE(found["a.txt"].isDirectory);
    EXPECT_EQ(found["a.txt"].sizeLow, 5u);
    EXPECT_EQ(found["a.txt"].sizeHigh, 0u);

    found.clear();
    fs_.Search(root_, "?.dat", SearchDetail::kNames, [&](const FindData& d) { found[d.name] = d; });
    EXPECT_EQ(found.size(), 1u);
    EXPECT_TRUE(found.count("b.dat"));

    int calls = 0;
    fs_.Search(root_ + "\\missing", "*", SearchDetail::kFiles, [&](const FindData&) { ++calls; });
    EXPECT_EQ(calls, 0);
    EXPECT_TRUE(fs_.IsDirectory(root_ + "\\docs.txt"));
    EXPECT_FALSE(fs_.IsDirectory(root_ + "\\a.txt"));
}

TEST_F(Win32FileSystemTest, TimesAreUtcFileTimes) {
    const std::string path = root_ + "\\dated.txt";
    WriteFile(path, "d");
    SYSTEMTIME st{};
    st.wYear = 2009, st.wMonth = 3, st.wDay = 7, st.wHour = 9, st.wMinute = 5, st.wSecond = 30;
    FILETIME ft;
    ASSERT_TRUE(SystemTimeToFileTime(&st, &ft));
    HANDLE h = CreateFileA(path.c_str(), FILE_WRITE_ATTRIBUTES, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(h, INVALID_HANDLE_VALUE);
    SetFileTime(h, &ft, nullptr, &ft);
    CloseHandle(h);
    FindData data;
    fs_.Search(root_, "dated.txt", SearchDetail::kFiles, [&](const FindData& d) { data = d; });
    EXPECT_EQ(listing::DateText(data.lastWriteTime), "2009/3/7 9:5");
    EXPECT_EQ(listing::DateText(data.creationTime), "2009/3/7 9:5");
}

TEST_F(Win32FileSystemTest, LargeFileSizeIsTheFullSize) {
    const std::string path = root_ + "\\big.bin";
    HANDLE h = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    ASSERT_NE(h, INVALID_HANDLE_VALUE);
    LARGE_INTEGER size;
    size.QuadPart = (5ll << 30) + 512;
    SetFilePointerEx(h, size, nullptr, FILE_BEGIN);
    ASSERT_TRUE(SetEndOfFile(h));
    CloseHandle(h);
    EXPECT_EQ(fs_.LargeFileSize(path), static_cast<std::uint64_t>(size.QuadPart));
    EXPECT_EQ(fs_.LargeFileSize(root_ + "\\missing.bin"), 0u);
}

TEST_F(Win32FileSystemTest, TypeNamesComeFromTheShellOncePerExtension) {
    // A type of our own, so the expected text does not depend on the system
    // (the test prefix is private; Wine reads types from the merged root).
    ASSERT_EQ(RegSetValueA(HKEY_CLASSES_ROOT, ".tfxyz", REG_SZ, "tallyfold.testfile", 0), ERROR_SUCCESS);
    ASSERT_EQ(RegSetValueA(HKEY_CLASSES_ROOT, "tallyfold.testfile", REG_SZ, "Tallyfold Test Document", 0),
              ERROR_SUCCESS);
    EXPECT_EQ(fs_.TypeName(root_ + "\\one.tfxyz"), "Tallyfold Test Document");
    EXPECT_EQ(fs_.TypeName(root_ + "\\TWO.TFXYZ"), "Tallyfold Test Document");
    EXPECT_EQ(fs_.TypeName(root_ + "\\no-extension"), "File");
    RegDeleteKeyA(HKEY_CLASSES_ROOT, ".tfxyz");
    RegDeleteKeyA(HKEY_CLASSES_ROOT, "tallyfold.testfile");
}

TEST_F(Win32FileSystemTest, ReportOfARealFolder) {
    CreateDirectoryA((root_ + "\\Old").c_str(), nullptr);
    WriteFile(root_ + "\\notes.abc", "12345");
    WriteFile(root_ + "\\data.xyz", std::string(1536, 'x'));
    listing::ListingOptions options;
    options.source = root_;
    options.recordType = false;
    options.order = listing::kName;
    struct Host final : listing::ScanHost {
        void SetStatus(const std::string&) override {}
        void PumpEvents() override {}
        bool Stopped() override { return false; }
    } host;
    listing::RunTotals totals;
    const std::string report = root_ + "\\report.txt";
    // The report sits in the scanned folder and is made beside its place
    // before the scan: the run leaves out its own report, by either name.
    ASSERT_TRUE(listing::RunListing(options, fs_, host, report, totals).reportWritten);
    std::ifstream in(report, std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    const std::string pad45 = "                                             ";
    const std::string expected =
        "Name" + pad45.substr(4) + "Size(KB)            \r\n\r\n\r\n" + root_ + "\r\n" +
        std::string(root_.size(), '*') + "\r\n" +
        "data.xyz" + pad45.substr(8) + "2                   \r\n" +
        "notes.abc" + pad45.substr(9) + "0                   \r\n" +
        "\r\nFile(s): 2 - Size: 1541 Byte(s).\r\n" +
        "\r\n\r\n" + root_ + "\\Old\r\n" + std::string(root_.size() + 4, '*') + "\r\n" +
        "\r\nFile(s): 0 - Size: 0 Byte(s).\r\n" +
        "\r\n" + std::string(62, '*') + "\r\nTotal Folder(s): 1\r\nTotal File(s): 2\r\n" +
        "Total Files Size: 0 MB; 2 KB; 1541 Byte(s).\r\n" + std::string(62, '*') + "\r\n";
    EXPECT_EQ(text.str(), expected);
}

}  // namespace
}  // namespace tf::platform
