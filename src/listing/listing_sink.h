#pragma once
// What a listing hands to the report it writes, in the order a walk meets
// it. The scan of a folder and the replay of a saved listing drive the same
// sinks, so each format is written by exactly one piece of code and neither
// driver knows any format.
//
// Order of calls for a run:
//   Begin
//   for each folder entered, in pre-order:
//     BeginSection, Row for each of its listed files (in their final
//     order), EndSection, then everything below it, then EndFolder
//   FolderSkipped for a subfolder that is not entered, where the walk meets it
//   Totals, Close
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include "listing/listing_types.h"

namespace tf::listing {

// 0, or the error code (errno) of the write that failed.
using WriteError = int;

// What the run lends a sink that does work of its own as it closes (the
// duplicates report reads files then): where to show how far it has come,
// and the stop.
class CloseHost {
public:
    virtual ~CloseHost() = default;
    // Called often, with the file being read; the host shows it at its pace.
    virtual void Comparing(const CompareProgress& progress, const std::string& path) = 0;
    // Lets the window handle its pending events (Stop, repaints).
    virtual void PumpEvents() = 0;
    // True once the run was asked to stop.
    virtual bool Stopped() = 0;
};

// What every sink knows of its run before the first folder.
struct RunHeader {
    const ListingOptions& options;  // columns, order, source, name encoding
    char separator = '\\';          // joins a folder and a name in paths
    platform::FileTicks listedAt = 0;  // when the listing was made
    CloseHost* host = nullptr;         // none: the close neither shows progress nor stops
};

// A file or link of a folder's section: facts only; each sink makes its own
// texts from them.
struct ListedFile {
    std::string_view name;  // whole, uncut
    std::string_view type;  // the shell's type name, whole
    EntryKind kind = EntryKind::kFile;
    std::uint64_t size = 0;       // bytes
    std::uint64_t allocated = 0;  // space the file uses on its volume
    platform::FileTicks created = 0;
    platform::FileTicks modified = 0;
    std::uint64_t inode = 0;  // with links > 1: which file the links share
    std::uint32_t links = 1;  // hard links to the file
    // With hashes: the content's digest in hex, or empty with the reason it
    // could not be read (kRead where the run hashes nothing or the entry is
    // a link).
    std::string_view digest;
    platform::ContentStatus unhashed = platform::ContentStatus::kRead;
};

// A folder that is entered, as its section starts.
struct FolderStart {
    const std::string& path;
    int depth = 0;  // 0 for the source
    // kNone, or why its entries could not be read (the section then stays
    // empty), when that is known as it starts.
    SkipReason unread = SkipReason::kNone;
};

// The files of a section, once its last row is out.
struct SectionTotals {
    std::uint64_t files = 0;
    std::uint64_t bytes = 0;
};

class ListingSink {
public:
    virtual ~ListingSink() = default;
    // Starts the report; an error here ends the run before any scanning.
    virtual WriteError Begin(const RunHeader& header) = 0;
    virtual WriteError BeginSection(const FolderStart& folder) = 0;
    virtual WriteError Row(const ListedFile& file) = 0;
    virtual WriteError EndSection(const SectionTotals& totals) = 0;
    // After everything below the folder: its totals, and `skipped` when its
    // entries could not all be read.
    virtual WriteError EndFolder(const FolderRecord& folder) = 0;
    // A subfolder the walk does not enter (another or a pseudo file system,
    // listed before, or an exclude: kExcluded, which no total counts).
    virtual WriteError FolderSkipped(const FolderRecord& folder) = 0;
    virtual WriteError Totals(const RunTotals& totals) = 0;
    // Writes what is pending and closes the report.
    virtual WriteError Close() = 0;
    // True for a format that keeps several replayed listings apart (a
    // catalogue: each with its own Begin and Totals) rather than one report.
    virtual bool KeepsListingsApart() const { return false; }
};

// The sink of a format, writing to `path`; null for kNone.
std::unique_ptr<ListingSink> CreateSink(ReportFormat format, const std::string& path);

}  // namespace tf::listing
