#pragma once
// The records a listing run passes between the window, the scan and the
// report writer.
#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "platform/file_system.h"

namespace tf::listing {

// Columns of a row, in their fixed order.
enum Column : int { kName = 0, kType = 1, kSize = 2, kCreated = 3, kModified = 4, kColumnCount = 5 };

enum class ReportFormat { kText, kHtml, kNone };  // kNone: an output format text that is neither

constexpr int kNoOrder = -1;

struct ListingOptions {
    std::string source;  // no trailing separator; a drive root is "C:"
    std::string filter = "*";
    bool recordType = true;
    bool recordSize = true;
    bool recordCreated = false;
    bool recordModified = false;
    int order = kNoOrder;  // kNoOrder or the Column to sort by
    ReportFormat format = ReportFormat::kText;
    // Of names and paths; RunListing takes it from the file system it scans.
    platform::NameEncoding names = platform::NameEncoding::kUtf8;
};

// One row: five display texts; a column that is not recorded stays empty.
struct ListingEntry {
    std::array<std::string, kColumnCount> text;
};

// One folder's rows as handed to the report writer. The kind of a row follows
// from where it sits, never from its texts.
struct FolderSection {
    ListingEntry heading;             // Name = the folder path
    std::vector<ListingEntry> files;  // in their final order
    ListingEntry summary;             // Name = "Info", Type = the count and byte sum
};

struct RunTotals {
    std::uint64_t totalFolders = 0;  // subfolders visited below the source, at all depths
    std::uint64_t totalFiles = 0;
    std::uint64_t totalBytes = 0;
};

}  // namespace tf::listing
