#pragma once
// An in-memory file system with Windows-style paths, for scans whose search
// order, sizes and times a test must control.
#include <functional>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "listing/scan/folder_scan.h"
#include "platform/file_system.h"
#include "platform/posix/posix_file_system.h"
#include "platform/wildcard.h"

namespace tf::testing {

struct FakeEntry {
    std::string name;
    bool isDirectory = false;
    std::uint64_t size = 0;
    platform::FileTicks created = 0;
    platform::FileTicks modified = 0;
};

class FakeFileSystem final : public platform::FileSystem {
public:
    // Adds a folder (and its entry in the parent, in insertion order).
    void AddFolder(const std::string& path) {
        folders_[path];
        const std::size_t sep = path.rfind('\\');
        if (sep != std::string::npos && folders_.count(path.substr(0, sep)))
            folders_[path.substr(0, sep)].push_back({path.substr(sep + 1), true});
    }
    void AddFile(const std::string& folder, FakeEntry file) { folders_[folder].push_back(std::move(file)); }
    void MakeUnsearchable(const std::string& folder) { unsearchable_.insert(folder); }
    // Its files can be listed but a search for its subfolders fails.
    void FailFolderSearch(const std::string& folder) { failingFolderSearch_.insert(folder); }
    void Remove(const std::string& folder) { folders_.erase(folder); }

    char Separator() const override { return '\\'; }
    void Search(const std::string& folder, const std::string& pattern, platform::SearchDetail detail,
                const std::function<void(const platform::FindData&)>& visit) override {
        CheckedSearch(folder, pattern, detail, visit);
    }
    platform::SearchStatus CheckedSearch(const std::string& folder, const std::string& pattern,
                                         platform::SearchDetail detail,
                                         const std::function<void(const platform::FindData&)>& visit) override {
        searches.push_back(folder + "\\" + pattern);
        if (unsearchable_.count(folder)) return platform::SearchStatus::kDenied;
        if (detail == platform::SearchDetail::kFolders && failingFolderSearch_.count(folder))
            return platform::SearchStatus::kFailed;
        auto it = folders_.find(folder);
        if (it == folders_.end()) return platform::SearchStatus::kMissing;
        const std::vector<FakeEntry> entries = it->second;  // the visitor may change the tree
        for (const char* dots : {".", ".."}) {
            if (platform::WildcardMatch(pattern, dots)) visit(Data({dots, true}));
        }
        for (const FakeEntry& e : entries)
            if (platform::WildcardMatch(pattern, e.name)) visit(Data(e));
        return platform::SearchStatus::kListed;
    }
    bool IsDirectory(const std::string& path) override { return folders_.count(path) != 0; }
    std::uint64_t LargeFileSize(const std::string& path) override {
        ++largeSizeQueries;
        const std::size_t sep = path.rfind('\\');
        for (const FakeEntry& e : folders_[path.substr(0, sep)])
            if (e.name == path.substr(sep + 1)) return e.size;
        return 0;
    }
    std::string TypeName(const std::string& path) override {
        return platform::DefaultTypeName(path.substr(path.rfind('\\') + 1));
    }
    platform::FolderId Identify(const std::string&) override { return {}; }

    std::vector<std::string> searches;
    int largeSizeQueries = 0;

private:
    static platform::FindData Data(const FakeEntry& e) {
        platform::FindData d;
        d.name = e.name;
        d.isDirectory = e.isDirectory;
        d.creationTime = e.created;
        d.lastWriteTime = e.modified;
        d.sizeHigh = static_cast<std::uint32_t>(e.size >> 32);
        d.sizeLow = static_cast<std::uint32_t>(e.size);
        return d;
    }

    std::map<std::string, std::vector<FakeEntry>> folders_;
    std::set<std::string> unsearchable_;
    std::set<std::string> failingFolderSearch_;
};

// Records what the scan tells its host; the pump and stop hooks let a test
// act in the middle of a folder.
class RecordingHost final : public listing::ScanHost {
public:
    void SetStatus(const std::string& text) override { statuses.push_back(text); }
    void PumpEvents() override {
        ++pumps;
        if (onPump) onPump();
    }
    bool Stopped() override { return stopped; }
    void FolderSkipped(const std::string& path, listing::SkipReason reason) override {
        skipped.push_back(path + ": " + listing::SkipReasonText(reason));
    }

    std::vector<std::string> statuses;
    std::vector<std::string> skipped;
    int pumps = 0;
    bool stopped = false;
    std::function<void()> onPump;
};

}  // namespace tf::testing
