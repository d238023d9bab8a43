#pragma once
// A read-only reader of an NTFS volume's master file table: every file
// record read once, in the table's order, into the names, parents and facts
// a listing needs, with each folder's children in the order the volume's own
// indexes keep them. Nothing in it trusts the image: every count, offset
// and run is checked against the bytes there are, and what does not hold is
// an error naming the record.
#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "platform/file_system.h"
#include "platform/volume_file.h"

namespace tf::listing::volume {

constexpr std::uint64_t kNoRecord = ~std::uint64_t{0};

struct NtfsError {
    std::uint64_t record = kNoRecord;  // the file record at fault, if one is
    std::string what;
    // "record 42: ..." or the bare reason.
    std::string Text() const;
};

// A stretch of a non-resident attribute: `length` clusters from virtual
// cluster `vcn`, at logical cluster `lcn` (kSparse: none on disk).
struct NtfsRun {
    static constexpr std::uint64_t kSparse = ~std::uint64_t{0};
    std::uint64_t vcn = 0;
    std::uint64_t lcn = 0;
    std::uint64_t length = 0;
};

// Undoes the update sequence of a record read from disk: the last two bytes
// of every stride were replaced by the sequence number when it was written,
// and their own bytes kept in the array. False (with why) when the record
// is torn or its array does not fit it.
bool ApplyFixups(std::uint8_t* record, std::size_t size, std::string& why);

// Decodes a mapping pairs array starting at virtual cluster `vcn` into
// `runs` (appended). Every run must lie inside `clusters`. False with why.
bool DecodeRuns(const std::uint8_t* bytes, std::size_t size, std::uint64_t vcn, std::uint64_t clusters,
                std::vector<NtfsRun>& runs, std::string& why);

// One file: its base record and extension records together.
struct NtfsFile {
    std::uint64_t size = 0;       // of the unnamed data stream
    std::uint64_t allocated = 0;  // clusters of every data stream, in bytes; resident data rounded
    platform::FileTicks created = 0;
    platform::FileTicks modified = 0;
    std::uint16_t sequence = 0;
    std::uint16_t names = 0;  // names listed: no short-only names, none orphaned
    std::uint8_t flags = 0;

    static constexpr std::uint8_t kInUse = 1;
    static constexpr std::uint8_t kFolder = 2;
    static constexpr std::uint8_t kLink = 4;
    bool InUse() const { return flags & kInUse; }
    // A symbolic link or a junction, of either kind NTFS has (a reparse
    // point, or the older system file that holds its target): listed as a
    // link, never entered.
    bool IsLink() const { return flags & kLink; }
    bool IsFolder() const { return (flags & kFolder) && !IsLink(); }
};

// One name of a file in a folder.
struct NtfsName {
    std::uint32_t record = 0;
    std::uint32_t parent = 0;
    std::uint32_t text = 0;  // first UTF-16 unit in the tree's name text
    std::uint16_t length = 0;
    std::uint16_t parentSequence = 0;
};

struct NtfsGeometry {
    std::uint32_t sectorSize = 0;
    std::uint32_t clusterSize = 0;
    std::uint32_t recordSize = 0;
    std::uint64_t clusters = 0;
    std::uint64_t serial = 0;
};

class NtfsTree {
public:
    static constexpr std::uint32_t kRoot = 5;
    // Records below this are the volume's own files, which a mounted volume
    // does not show.
    static constexpr std::uint32_t kFirstUserRecord = 16;
    // Folders deeper than this are refused: the walk descends one level at
    // a time, and no path a system can open is that deep.
    static constexpr std::uint16_t kMaxDepth = 1000;

    // Reads the whole table; `keepGoing` is asked now and then with the
    // records read so far, and false ends the reading as an error.
    bool Read(platform::VolumeFile& file, NtfsError& error,
              const std::function<bool(std::uint64_t)>& keepGoing = nullptr);

    const NtfsGeometry& Geometry() const { return geometry_; }
    std::uint64_t RecordCount() const { return files_.size(); }
    const NtfsFile& File(std::uint32_t record) const { return files_[record]; }

    // The children of `folder`, as positions in Order(), in the volume's
    // name order.
    std::pair<std::size_t, std::size_t> Children(std::uint32_t folder) const;
    const NtfsName& NameAt(std::size_t position) const { return names_[order_[position]]; }
    std::string NameText(const NtfsName& name) const;
    // The child of `folder` with this UTF-8 name; false when there is none.
    bool Find(std::uint32_t folder, std::string_view name, std::uint32_t& record) const;
    // The folder holding a folder; false for the root and folders no
    // folder holds.
    bool ParentOf(std::uint32_t folder, std::uint32_t& parent) const;

    // A link's target as the link spells it, '/'-separated, and whether it
    // is relative to the link's folder.
    struct LinkTarget {
        std::string path;
        bool relative = false;
    };
    const LinkTarget* TargetOf(std::uint32_t record) const;

private:
    struct Reader;
    friend struct Reader;
    // Upper-case order of two UTF-16 names, then their own units.
    int Collate(const char16_t* a, std::size_t na, const char16_t* b, std::size_t nb) const;
    bool Settle(NtfsError& error);

    NtfsGeometry geometry_;
    std::vector<NtfsFile> files_;  // by record number
    std::vector<NtfsName> names_;
    std::vector<char16_t> text_;
    std::vector<std::uint32_t> order_;                           // names_ by parent, then name order
    std::vector<char16_t> upcase_;                               // 65,536 units
    std::vector<std::uint32_t> parentOf_;                        // of each folder: its parent + 1, or 0
    std::vector<std::pair<std::uint32_t, LinkTarget>> targets_;  // by record
};

}  // namespace tf::listing::volume
