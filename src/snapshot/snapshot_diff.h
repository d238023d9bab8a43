#pragma once
// Compares two JSON Lines listings of tallyfold-list. Memory stays well
// below the listings' size: the old listing is kept as a sorted table of
// fixed-size entries (a 128-bit hash of the path and the compared values),
// the new one is streamed against it, and the old one is read a second time
// for what was removed.
#include <cstdint>
#include <string>

namespace tf::snapshot {

// One record of a listing, as far as a comparison needs it.
struct ListedEntry {
    std::string path;
    std::string kind;  // "file", "folder" or "link"
    std::uint64_t size = 0;
    std::string modified;
    std::uint64_t subtreeBytes = 0;  // folders only
};

class DiffSink {
public:
    virtual ~DiffSink() = default;
    virtual void Added(const ListedEntry& entry) = 0;
    virtual void Removed(const ListedEntry& entry) = 0;
    // A file or link whose size or modified time differs.
    virtual void Changed(const ListedEntry& before, const ListedEntry& after) = 0;
    // A folder in both listings whose subtree total differs.
    virtual void FolderResized(const ListedEntry& before, const ListedEntry& after) = 0;
};

struct DiffResult {
    bool ok = true;
    std::string error;  // why a listing could not be read: file, line, reason
    bool different = false;
    std::uint64_t oldBytes = 0;  // all files and links of each listing
    std::uint64_t newBytes = 0;
};

// Reports added and changed entries in the new listing's order, folder
// changes among them, then removed entries in the old listing's order.
DiffResult DiffListings(const std::string& oldPath, const std::string& newPath, DiffSink& sink);

}  // namespace tf::snapshot
