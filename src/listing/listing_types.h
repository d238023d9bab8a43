#pragma once
// The records a listing run passes between the window, the scan and the
// report writer.
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "platform/content_hash.h"
#include "platform/file_system.h"

namespace tf::listing {

// Columns of a row, in their fixed order.
enum Column : int { kName = 0, kType = 1, kSize = 2, kCreated = 3, kModified = 4, kColumnCount = 5 };

// kNone: an output format text the window does not know. kCsv and kJsonl
// are the machine-readable listings; kNcdu the disk-usage browsers' export;
// kExplorer the page that browses, searches and sizes a listing offline.
// kHashdeep, kMtree and kEfu are file lists for other tools to check or
// read.
enum class ReportFormat { kText, kHtml, kNone, kCsv, kJsonl, kNcdu, kExplorer, kHashdeep, kMtree, kEfu };

constexpr int kNoOrder = -1;

struct DuplicatesReport {
    bool emptyFiles = false;  // empty files count as duplicates of each other
};

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
    // When not empty, the search takes every name and a file is listed when
    // any of these patterns matches it (`filter` is then "*").
    std::vector<std::string> filters;
    std::vector<std::string> excludes;  // files and folders whose names match are left out
    int maxDepth = -1;                  // levels entered below the source; -1: all
    bool followLinks = false;           // enter links to folders (each folder still once)
    bool oneFileSystem = false;         // stay on the source's device
    // Threads that read folders ahead of the report; 0 reads each folder as
    // the report reaches it.
    unsigned readAhead = 0;
    // The content hash every file gets (kNone: none). A format that needs
    // hashes sets its own when none is chosen.
    platform::HashAlgorithm hash = platform::HashAlgorithm::kNone;
    // A report of the files with the same content instead of a listing,
    // with the settings only that report reads.
    std::optional<DuplicatesReport> duplicates;
};

enum class EntryKind { kFile, kFolder, kLink };

// A folder's own facts, as the machine-readable listings write them.
struct EntryFacts {
    std::string name;
    std::string type;
    EntryKind kind = EntryKind::kFile;
    std::uint64_t size = 0;
    std::uint64_t created = 0;  // FILETIME ticks
    std::uint64_t modified = 0;
};

struct RunTotals {
    std::uint64_t totalFolders = 0;  // subfolders visited below the source, at all depths
    std::uint64_t totalFiles = 0;
    std::uint64_t totalBytes = 0;
    std::uint64_t skippedFolders = 0;  // folders that could not be listed, or were refused
    std::uint64_t unreadFiles = 0;     // files whose content could not be hashed
    std::uint64_t bytesToHash = 0;     // of the files hashed so far, the one being read included
    std::uint64_t hashedBytes = 0;     // of those, read so far
};

// "Hashed 1.2 of 3.4 GB (35%)" while files are hashed, else empty. The
// files still to be found are not known, so the whole grows as the scan
// goes.
std::string HashProgressText(const RunTotals& totals);

// How far the duplicates report's comparison has come once the listing is
// whole: the files that share their size with another and still need
// reading, their bytes, and of those what is settled (read whole, or told
// apart sooner: bytes not read count as done, so the figures end whole).
struct CompareProgress {
    std::uint64_t files = 0;
    std::uint64_t filesDone = 0;
    std::uint64_t bytes = 0;
    std::uint64_t bytesDone = 0;
};

// "Comparing 12 of 40 files, 1.2 of 3.4 GB (35%)".
std::string CompareProgressText(const CompareProgress& progress);

// Why a folder's contents are missing from the listing.
// kExcluded (a folder left out by an exclude) is no failure: no total
// counts it.
enum class SkipReason { kNone, kDenied, kVanished, kTooLong, kUnreadable, kAlreadyListed, kOtherFileSystem,
                        kPseudoFileSystem, kExcluded };

// A few words for the error list.
const char* SkipReasonText(SkipReason reason);

// Whether a folder with this reason was entered (its entries could not be
// read) rather than refused before it was entered.
inline bool IsReadFailure(SkipReason reason) {
    return reason == SkipReason::kDenied || reason == SkipReason::kVanished || reason == SkipReason::kTooLong ||
           reason == SkipReason::kUnreadable;
}

// A folder once everything below it has been scanned.
struct FolderRecord {
    std::string path;
    EntryFacts facts;  // kind kFolder, size 0, the folder's own name and times
    std::uint64_t files = 0;
    std::uint64_t bytes = 0;         // of its own listed files
    std::uint64_t subtreeBytes = 0;  // of every listed file below it, its own included
    SkipReason skipped = SkipReason::kNone;
};

}  // namespace tf::listing
