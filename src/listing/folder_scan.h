#pragma once
// The recursive folder scan: one section per folder, pre-order, written as
// soon as it is complete so that memory is bounded by the largest folder.
#include <functional>
#include <string>
#include <unordered_set>
#include <vector>

#include "listing/listing_types.h"
#include "platform/file_system.h"
#include "platform/read_ahead_file_system.h"

namespace tf::listing {

// What the scan needs from whoever runs it.
class ScanHost {
public:
    virtual ~ScanHost() = default;
    // Status panel 1: the path of each file and subfolder as it is reached.
    virtual void SetStatus(const std::string& text) = 0;
    // Lets the window handle its pending events (Stop, tabs, repaints).
    virtual void PumpEvents() = 0;
    // True once Stop was pressed; read at the start of each folder.
    virtual bool Stopped() = 0;
    // A folder whose contents are missing from the listing, and why.
    virtual void FolderSkipped(const std::string& /*path*/, SkipReason /*reason*/) {}
};

using SectionSink = std::function<void(const FolderSection&)>;
using FolderEndSink = std::function<void(const FolderRecord&)>;

bool IsDirectory(platform::FileSystem& fs, const std::string& path);

// Whether a walk with `options` takes the entry, as a kFolders reading of its
// folder gives it, for a subfolder to enter: links to folders are rows unless
// followed, and excluded names are left out.
bool IsWalkedSubfolder(const ListingOptions& options, const std::string& name, const platform::FindData& sub);

// Why such a subfolder of `parent` is not entered, leaving aside folders
// listed before; kNone when it is.
SkipReason RefusalOf(const ListingOptions& options, platform::FileSystem& fs, const platform::FolderId& sourceId,
                     const std::string& parent, const platform::FolderId& parentId, const std::string& name,
                     const platform::FindData& sub);

// The walk a scan with `options` makes, for reading ahead of it.
platform::ListingWalk WalkOf(const ListingOptions& options, platform::FileSystem& fs);

// A few words for the error list.
const char* SkipReasonText(SkipReason reason);

class FolderScan {
public:
    // `folderEnd`, when given, also hears of each folder after everything
    // below it (post-order), with its totals; rows then carry their facts.
    FolderScan(const ListingOptions& options, platform::FileSystem& fs, ScanHost& host, RunTotals& totals,
               SectionSink sink, FolderEndSink folderEnd = nullptr);

    // Scans `path` and everything below it.
    void ScanFolder(const std::string& path);

private:
    struct Subfolder {
        std::string name;
        platform::FindData data;
        SkipReason refused = SkipReason::kNone;
    };
    struct IdHash {
        std::size_t operator()(const platform::FolderId& id) const { return id.inode * 31 + id.device; }
    };

    // Scans one folder and everything below it; returns the bytes listed there.
    std::uint64_t Visit(const std::string& path, const platform::FindData& self, int depth);
    // Lists the folder's files into `section` and gathers the subfolders to
    // enter (when `descend`), from one reading of the folder, which is
    // complete before any subfolder is entered.
    platform::SearchStatus ReadFolder(const std::string& path, bool descend, FolderSection& section,
                                      std::vector<Subfolder>& subfolders);
    void SortFiles(std::vector<ListingEntry>& files) const;
    std::uint64_t ScanSubfolders(const std::string& path, const platform::FolderId& id, int depth,
                                 std::vector<Subfolder>& subfolders);
    bool Wanted(const std::string& name) const;
    void Skip(const std::string& path, SkipReason reason);
    void EndFolder(FolderRecord& record, const platform::FindData& self);

    const ListingOptions& options_;
    platform::FileSystem& fs_;
    ScanHost& host_;
    RunTotals& totals_;
    SectionSink sink_;
    FolderEndSink folderEnd_;
    platform::FolderId sourceId_;
    // Every folder entered in this run, so that no link leads into one twice.
    std::unordered_set<platform::FolderId, IdHash> visited_;
};

}  // namespace tf::listing
