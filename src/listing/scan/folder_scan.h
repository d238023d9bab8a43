#pragma once
// The recursive folder scan: one section per folder, pre-order, each row
// handed to the listing's sink as it is read (or, with an order, once its
// folder is read), so that memory does not grow with the tree.
#include <functional>
#include <memory>
#include <string>
#include <unordered_set>
#include <vector>

#include "listing/listing_sink.h"
#include "listing/scan/hash_reuse.h"
#include "listing/scan/section_writer.h"
#include "platform/file_system.h"
#include "platform/read_ahead_file_system.h"

namespace tf::listing {

// What the scan needs from whoever runs it; the sink's close gets the same
// host (PumpEvents, Stopped: read before each entry).
class ScanHost : public CloseHost {
public:
    // Status panel 1: the path of each file and subfolder as it is reached.
    virtual void SetStatus(const std::string& text) = 0;
    // The comparison after the scan, in the same panel.
    void Comparing(const CompareProgress& progress, const std::string& path) override {
        SetStatus(CompareProgressText(progress) + "  " + path);
    }
    // A folder whose contents are missing from the listing, and why.
    virtual void FolderSkipped(const std::string& /*path*/, SkipReason /*reason*/) {}
};

// Hashes the file at `path`, opened through `fs`, as the run's options ask, counting the bytes in
// `totals` and telling `host` of a file that could not be read; `file`
// then carries `digest` or why there is none. Reading stops with the host.
// A file whose size and stamp are those `earlier` recorded is not read: its
// hash is the one recorded. `file.stamp` is kept only where a later run can
// trust it.
void HashContent(const ListingOptions& options, platform::FileSystem& fs, ScanHost& host, RunTotals& totals,
                 const std::string& path, ListedFile& file, std::string& digest,
                 const EarlierHashes* earlier = nullptr);

bool IsDirectory(platform::FileSystem& fs, const std::string& path);

// Whether an exclude of `options` leaves out a file or folder of this name.
bool IsExcludedName(const ListingOptions& options, const std::string& name);
// Whether a file of this name is listed, as far as the excludes and the
// several-pattern filter decide (the one-pattern filter goes to the search).
bool IsWantedFile(const ListingOptions& options, const std::string& name);

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

class HashAhead;

class FolderScan {
public:
    // With hashes and threads to read ahead on (options.readAhead), files
    // are hashed ahead of their rows, and `fs` must allow OpenContent from
    // several threads at once.
    FolderScan(const ListingOptions& options, platform::FileSystem& fs, ScanHost& host, RunTotals& totals,
               ListingSink& sink);
    ~FolderScan();

    // The file the run writes its report to: neither it nor the partial
    // file written beside it until it is complete is listed.
    void LeaveOut(const std::string& reportPath);
    // Scans `path` and everything below it.
    void ScanFolder(const std::string& path);
    // Hashes to take instead of reading files that did not change.
    void ReuseHashes(const EarlierHashes* earlier) { earlier_ = earlier; }
    // The first sink call that failed, or 0.
    WriteError Error() const { return error_; }

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
    // Lists the folder's files and gathers the subfolders to enter (when
    // `descend`), from one reading of the folder, which is complete before
    // any subfolder is entered.
    platform::SearchStatus ReadFolder(const std::string& path, bool descend, std::vector<Subfolder>& subfolders);
    std::uint64_t ScanSubfolders(const std::string& path, const platform::FolderId& id, int depth,
                                 std::vector<Subfolder>& subfolders);
    void Skip(const std::string& path, SkipReason reason);
    std::string digest_;  // scratch: the hash of the row being listed
    FolderRecord RecordOf(const std::string& path, const platform::FindData& self) const;
    void Note(WriteError e) {
        if (e && !error_) error_ = e;
    }
    // A stop, or a report that can no longer be written: what follows
    // would be lost, so the walk ends as it does for a stop.
    bool Halted() { return error_ != 0 || host_.Stopped(); }
    bool IsOwnReport(const std::string& folder, const std::string& name) const;

    const ListingOptions& options_;
    platform::FileSystem& fs_;
    ScanHost& host_;
    RunTotals& totals_;
    ListingSink& sink_;
    WriteError error_ = 0;
    const EarlierHashes* earlier_ = nullptr;
    SectionWriter section_;
    platform::FolderId sourceId_;
    // The report's folder (by path and identity) and name; no name: none.
    std::string ownFolder_, ownName_;
    platform::FolderId ownFolderId_;
    platform::FolderId folderId_;  // of the folder being read
    // Every folder entered in this run, so that no link leads into one twice.
    std::unordered_set<platform::FolderId, IdHash> visited_;
    std::unique_ptr<HashAhead> hashAhead_;  // none: each file is hashed as it is listed
};

}  // namespace tf::listing
