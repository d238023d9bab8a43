#pragma once
// Compares two JSON Lines listings of tallyfold-list: the one answer that
// tallyfold-diff (every format), the comparison page and the window show.
// Entries are matched by their path relative to each listing's source (its
// exact bytes), so a folder can be compared with its copy elsewhere; what is
// left on one side is matched as moves (a folder by most of what is inside
// it, then files, links and empty folders by name, size, time and hash).
// Both listings are read by the replay's reader, with its checks. Memory
// stays well below the listings' size: the old listing is kept as a sorted
// table of fixed-size entries (a 128-bit hash of the relative path and the
// compared values), the new one is streamed against it, and only the lines
// of what was removed are read again; only the changes are held as text.
#include <cstdint>
#include <string>
#include <vector>

#include "listing/listing_types.h"
#include "listing/scan/listing_replay.h"
#include "platform/content_hash.h"
#include "platform/file_system.h"

namespace tf::snapshot {

using listing::EntryKind;

enum class Change : std::uint8_t {
    kAdded,          // a file or link, or a folder with what is new in it
    kRemoved,        // likewise
    kChanged,        // a file or link whose size or modified time differs
    kMoved,          // a file, link or folder that now lies elsewhere
    kFolderResized,  // a folder in both whose subtree total differs
    // A file of the same size and time whose content hash differs (both
    // listings carry hashes of one kind).
    kContentChanged,
    // A file of the same size and time hashed in one listing and not in the
    // other (`reason` says why).
    kContentNotCompared,
    // A folder one listing could not read (`reason`): what lies there is
    // neither added nor removed; `other*` say what the other listing held.
    kNotRead,
};

// Which listing a kNotRead folder could not be read in.
enum class Side : std::uint8_t { kOld = 1, kNew = 2, kBoth = 3 };

// One line of a comparison. Paths are relative to the sources, in each
// listing's own separator; "" is the source itself.
struct DiffItem {
    Change change = Change::kAdded;
    EntryKind kind = EntryKind::kFile;
    std::string path;  // where it is now (where it was, for kRemoved outside a move)
    // kMoved: where it was. Inside a folder that moved, every item names
    // both places: `path` in the new listing, `from` in the old one.
    std::string from;
    std::uint64_t oldSize = 0, newSize = 0;  // bytes; a folder's subtree
    platform::FileTicks oldModified = 0, newModified = 0;
    // Files and links inside a folder that moved; inside one added or
    // removed, those added or removed with it.
    std::uint64_t files = 0;
    std::string reason;  // kContentNotCompared, kNotRead
    Side side = Side::kNew;  // kNotRead, kContentNotCompared: the listing that lacks it
    // kNotRead: whether the other listing holds the folder, and its files
    // and bytes there.
    bool otherHeld = false;
    std::uint64_t otherFiles = 0, otherBytes = 0;
    bool InsideMove() const { return change != Change::kMoved && !from.empty(); }
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
    // Folders added, removed (each with what is new or gone in it: one
    // item) and moved.
    std::uint64_t foldersAdded = 0, foldersRemoved = 0, foldersMoved = 0;
    std::uint64_t notRead = 0, contentNotCompared = 0;  // items of each
    // Why contents were not compared although a listing carries hashes
    // (only one does, or they are of two kinds); empty otherwise.
    std::string contentNotComparedNote;
    // The old listing vouches for contents the new one cannot: a comparison
    // that finds nothing else is still not "equal".
    bool oldHashesUnmatched = false;
    bool Different() const { return !items.empty() || oldHashesUnmatched; }
};

DiffResult DiffListings(const std::string& oldPath, const std::string& newPath);
// The same of listings opened already (a pipe is read once, into a
// temporary file: the page of the comparison reads them again).
DiffResult DiffListings(listing::ListingInput& before, listing::ListingInput& after);

// A key of each entry's change on the comparison page, and the words the
// formats use for each change.
const char* ChangeText(Change change);
const char* KindText(EntryKind kind);

}  // namespace tf::snapshot
