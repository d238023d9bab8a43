#pragma once
// The recursive folder scan: one section per folder, pre-order, written as
// soon as it is complete so that memory is bounded by the largest folder.
#include <functional>
#include <string>
#include <vector>

#include "listing/listing_types.h"
#include "platform/file_system.h"

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
};

using SectionSink = std::function<void(const FolderSection&)>;

bool IsDirectory(platform::FileSystem& fs, const std::string& path);

class FolderScan {
public:
    FolderScan(const ListingOptions& options, platform::FileSystem& fs, ScanHost& host, RunTotals& totals,
               SectionSink sink);

    // Scans `path` and everything below it.
    void ScanFolder(const std::string& path);

private:
    void ListFiles(const std::string& path, FolderSection& section);
    void SortFiles(std::vector<ListingEntry>& files) const;
    void ScanSubfolders(const std::string& path);

    const ListingOptions& options_;
    platform::FileSystem& fs_;
    ScanHost& host_;
    RunTotals& totals_;
    SectionSink sink_;
    // Identities of the folders on the current path, to notice links that
    // lead back up (where the platform can tell).
    std::vector<platform::FolderId> ancestors_;
};

}  // namespace tf::listing
