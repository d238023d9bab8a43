#include "listing/folder_scan.h"

#include <algorithm>

#include "listing/text_units.h"
#include "platform/wildcard.h"

namespace tf::listing {
namespace {

constexpr std::size_t kNameLimit = 35;
constexpr std::size_t kTypeLimit = 20;
// Sizes from the search itself are trusted below 2^31; larger files ask the
// file system for their full size.
constexpr std::uint32_t kLargeFileThreshold = 0x80000000u;

bool LessIgnoringCase(const std::string& a, const std::string& b) {
    return std::lexicographical_compare(a.begin(), a.end(), b.begin(), b.end(), [](char x, char y) {
        return static_cast<unsigned char>(platform::FoldAscii(x)) < static_cast<unsigned char>(platform::FoldAscii(y));
    });
}

}  // namespace

bool IsDirectory(platform::FileSystem& fs, const std::string& path) { return fs.IsDirectory(path); }

FolderScan::FolderScan(const ListingOptions& options, platform::FileSystem& fs, ScanHost& host, RunTotals& totals,
                       SectionSink sink)
    : options_(options), fs_(fs), host_(host), totals_(totals), sink_(std::move(sink)) {}

void FolderScan::ScanFolder(const std::string& path) {
    if (host_.Stopped()) return;

    FolderSection section;
    section.heading.text[kName] = path;
    ListFiles(path, section);
    if (options_.order != kNoOrder) SortFiles(section.files);
    sink_(section);
    section = FolderSection{};  // only one folder's rows are held at a time

    const bool isRoot = ancestors_.empty();
    if (isRoot) ancestors_.push_back(fs_.Identify(path));
    ScanSubfolders(path);
    if (isRoot) ancestors_.clear();
}

void FolderScan::ListFiles(const std::string& path, FolderSection& section) {
    const char separator = fs_.Separator();
    std::uint64_t fileCount = 0, byteSum = 0;
    bool first = true;
    fs_.Search(path, options_.filter, platform::SearchDetail::kFiles, [&](const platform::FindData& entry) {
        if (!first) host_.PumpEvents();  // also for entries skipped below
        first = false;
        const std::string name = delete_Null(entry.name);
        if (platform::IsDotEntry(name) || entry.isDirectory) return;

        const std::string full = platform::JoinPath(path, name, separator);
        host_.SetStatus(full);

        ListingEntry row;
        row.text[kName] = CutToChars(name, kNameLimit, options_.names);
        if (options_.recordType) row.text[kType] = CutToChars(delete_Null(fs_.TypeName(full)), kTypeLimit, options_.names);
        const std::uint64_t size = (entry.sizeHigh == 0 && entry.sizeLow < kLargeFileThreshold)
                                       ? entry.sizeLow
                                       : fs_.LargeFileSize(full);
        if (options_.recordSize) row.text[kSize] = std::to_string(RoundScaledBytes(size, 1));
        if (options_.recordCreated) row.text[kCreated] = DateText(entry.creationTime);
        if (options_.recordModified) row.text[kModified] = DateText(entry.lastWriteTime);
        section.files.push_back(std::move(row));

        ++fileCount;
        ++totals_.totalFiles;
        byteSum += size;
        totals_.totalBytes += size;
    });
    section.summary.text[kName] = "Info";
    section.summary.text[kType] = "File(s): " + std::to_string(fileCount) + " - Size: " + std::to_string(byteSum) +
                                  " Byte(s).";
}

void FolderScan::SortFiles(std::vector<ListingEntry>& files) const {
    const int column = options_.order;
    if (column < 0 || column >= kColumnCount) return;
    std::stable_sort(files.begin(), files.end(), [column](const ListingEntry& a, const ListingEntry& b) {
        return LessIgnoringCase(a.text[column], b.text[column]);
    });
}

void FolderScan::ScanSubfolders(const std::string& path) {
    // Names first, recursion after: no search stays open below this level.
    struct Subfolder {
        std::string name;
        platform::FolderId id;
    };
    std::vector<Subfolder> subfolders;
    fs_.Search(path, "*", platform::SearchDetail::kFolders, [&](const platform::FindData& entry) {
        std::string name = delete_Null(entry.name);
        if (entry.isDirectory && !platform::IsDotEntry(name)) subfolders.push_back({std::move(name), entry.folderId});
    });

    const char separator = fs_.Separator();
    for (const Subfolder& sub : subfolders) {
        const std::string full = platform::JoinPath(path, sub.name, separator);
        ++totals_.totalFolders;
        host_.SetStatus(full);
        // A link back to a folder on the current path is counted and shown,
        // but not entered again.
        if (std::find(ancestors_.begin(), ancestors_.end(), sub.id) != ancestors_.end()) continue;
        ancestors_.push_back(sub.id);
        ScanFolder(full);
        ancestors_.pop_back();
    }
}

}  // namespace tf::listing
