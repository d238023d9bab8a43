#pragma once
// An in-memory file system with Windows-style paths, for scans whose search
// order, sizes and times a test must control.
#include <algorithm>
#include <functional>
#include <memory>
#include <map>
#include <mutex>
#include <set>
#include <string>
#include <vector>

#include "listing/scan/folder_scan.h"
#include "platform/file_system.h"
#include "platform/posix/posix_file_system.h"
#include "platform/wildcard.h"

namespace tf::testing {

// A file's content as the fake serves it, and how it misbehaves.
struct FakeContent {
    std::string bytes;
    platform::ContentStatus open = platform::ContentStatus::kRead;  // what opening it answers
    std::uint64_t inode = 0;  // the same for hard links of one file; 0: a file of its own
    std::int64_t failAt = -1;    // a read reaching this offset fails
    std::int64_t shrinkTo = -1;  // after its first read the file has this many bytes
};

class FakeContentFile final : public platform::ContentFile {
public:
    FakeContentFile(FakeContent content, std::uint64_t inode) : content_(std::move(content)) {
        size_ = content_.bytes.size();
        identity_ = {1, inode};
    }
    std::int64_t ReadAt(std::uint64_t offset, void* buffer, std::size_t size) override {
        if (content_.failAt >= 0 && offset + size > static_cast<std::uint64_t>(content_.failAt)) return -1;
        if (offset >= content_.bytes.size()) return 0;
        const std::size_t n = std::min<std::size_t>(size, content_.bytes.size() - offset);
        std::copy_n(content_.bytes.data() + offset, n, static_cast<char*>(buffer));
        if (content_.shrinkTo >= 0) {
            content_.bytes.resize(static_cast<std::size_t>(content_.shrinkTo));
            content_.shrinkTo = -1;
        }
        return static_cast<std::int64_t>(n);
    }
    std::uint64_t CurrentSize() override { return content_.bytes.size(); }

private:
    FakeContent content_;
};

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
    // A file in `folder` with this content, its size listed as it is.
    void AddContent(const std::string& folder, const std::string& name, FakeContent content) {
        AddFile(folder, {name, false, content.bytes.size()});
        contents_[folder + "\\" + name] = std::move(content);
    }

    // Called from the threads that read ahead too.
    platform::ContentStatus OpenContent(const std::string& path, std::unique_ptr<platform::ContentFile>& file) override {
        std::lock_guard<std::mutex> lock(openMutex_.mutex);
        opened.push_back(path);
        const auto it = contents_.find(path);
        if (it == contents_.end()) return platform::ContentStatus::kVanished;
        if (it->second.open != platform::ContentStatus::kRead) return it->second.open;
        const std::uint64_t inode = it->second.inode ? it->second.inode : 1000 + std::distance(contents_.begin(), it);
        file = std::make_unique<FakeContentFile>(it->second, inode);
        return platform::ContentStatus::kRead;
    }
    std::vector<std::string> opened;  // every path opened for its content

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
    std::map<std::string, FakeContent> contents_;
    // A copy of the file system has a lock of its own.
    struct Lock {
        Lock() = default;
        Lock(const Lock&) {}
        Lock& operator=(const Lock&) { return *this; }
        std::mutex mutex;
    } openMutex_;
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
