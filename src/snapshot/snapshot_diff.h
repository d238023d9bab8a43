#pragma once
// Compares two JSON Lines listings of tallyfold-list. Entries are matched by
// their path relative to each listing's source (its exact bytes), so a
// folder can be compared with its copy elsewhere. Memory stays well below
// the listings' size: the old listing is kept as a sorted table of
// fixed-size entries (a 128-bit hash of the relative path and the compared
// values), the new one is streamed against it, and the old one is read a
// second time for what was removed; only the changes are held as text.
#include <cstdint>
#include <string>
#include <vector>

#include "platform/file_system.h"

namespace tf::snapshot {

enum class EntryKind : std::uint8_t { kFile, kFolder, kLink };

enum class Change : std::uint8_t {
    kAdded,          // a file or link, or a folder with everything in it
    kRemoved,        // likewise
    kChanged,        // a file or link whose size or modified time differs
    kMoved,          // a file, link or whole folder that now lies elsewhere
    kFolderResized,  // a folder in both whose subtree total differs
    // A file of the same size and time whose content hash differs (both
    // listings carry hashes of one kind).
    kContentChanged,
};

// One line of a comparison. Paths are relative to the sources, in the
// listing's own separator; "" is the source itself.
struct DiffItem {
    Change change = Change::kAdded;
    EntryKind kind = EntryKind::kFile;
    std::string path;  // where it is now (where it was, for kRemoved)
    std::string from;  // kMoved: where it was
    std::uint64_t oldSize = 0, newSize = 0;  // bytes; a folder's subtree
    platform::FileTicks oldModified = 0, newModified = 0;
    std::uint64_t files = 0;  // files and links inside a folder that was added, removed or moved
};

struct Tally {
    std::uint64_t count = 0;
    std::uint64_t bytes = 0;
};

struct DiffResult {
    bool ok = true;
    std::string error;  // why a listing could not be read: "FILE:LINE: reason"
    std::string oldSource, newSource;
    char oldSeparator = '/', newSeparator = '/';
    std::vector<DiffItem> items;  // in order of their paths
    // Files and links of each listing.
    Tally oldTotal, newTotal;
    // Files and links added or removed (those inside added or removed
    // folders too, moves not), changed (bytes: their size now), moved one
    // by one.
    Tally added, removed, changed, moved;
    Tally contentChanged;  // bytes: their size
    std::int64_t changedGrowth = 0;  // what the changed files grew by, in bytes
    // Folders added, removed (each with everything in it: one item) and
    // moved as a whole.
    std::uint64_t foldersAdded = 0, foldersRemoved = 0, foldersMoved = 0;
    // Why contents were not compared although a listing carries hashes
    // (only one does, or they are of two kinds); empty otherwise.
    std::string contentNotCompared;
    bool Different() const { return !items.empty(); }
};

DiffResult DiffListings(const std::string& oldPath, const std::string& newPath);

}  // namespace tf::snapshot
