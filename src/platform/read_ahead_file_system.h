#pragma once
// A file system that reads the folders of one listing walk ahead of the
// walker, on worker threads, so that directory reads and attribute calls run
// while the walker formats and writes earlier folders. Every answer is one
// the wrapped file system gave; only its timing differs.
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <unordered_map>
#include <utility>
#include <vector>

#include "platform/file_system.h"

namespace tf::platform {

// The walk the reading runs ahead of: pre-order from `root`, one ReadFolder
// per folder with `pattern`, subfolders read at depths below `maxDepth`
// (-1: all), and only the subfolders `enters` accepts entered.
struct ListingWalk {
    std::string root;
    std::string pattern = "*";
    int maxDepth = -1;
    // Called on worker threads with the parent's path and identity and the
    // subfolder as a kFolders reading gives it.
    std::function<bool(const std::string& parent, const FolderId& parentId, const FindData& sub)> enters;
    // Called on the walker's thread every 20 ms while it waits for a worker
    // to read the folder it needs, so that a window stays responsive; false
    // gives up the folder (the run is being stopped).
    std::function<bool()> waiting;
};

class ReadAheadFileSystem final : public FileSystem {
public:
    // At most `maxFolders` folders and, beyond the first, `maxEntries`
    // entries are held read ahead; a folder being read holds at most
    // `maxEntries` that the walker has not taken, so a folder of millions of
    // entries streams through. The walk is expected from one thread; a
    // reading the plan does not foresee is answered by `inner` directly. `inner`'s ReadFolder and IsPseudoFileSystem
    // must be safe to call from several threads at once.
    ReadAheadFileSystem(FileSystem& inner, ListingWalk walk, unsigned workers, std::size_t maxFolders = 256,
                        std::size_t maxEntries = 1 << 16);
    ~ReadAheadFileSystem() override;
    ReadAheadFileSystem(const ReadAheadFileSystem&) = delete;
    ReadAheadFileSystem& operator=(const ReadAheadFileSystem&) = delete;

    SearchStatus ReadFolder(const std::string& folder, const std::string& pattern, bool folders,
                            const FolderVisitor& visit) override;

    char Separator() const override { return separator_; }
    void Search(const std::string& folder, const std::string& pattern, SearchDetail detail,
                const std::function<void(const FindData&)>& visit) override {
        inner_.Search(folder, pattern, detail, visit);
    }
    SearchStatus CheckedSearch(const std::string& folder, const std::string& pattern, SearchDetail detail,
                               const std::function<void(const FindData&)>& visit) override {
        return inner_.CheckedSearch(folder, pattern, detail, visit);
    }
    bool IsDirectory(const std::string& path) override { return inner_.IsDirectory(path); }
    std::uint64_t LargeFileSize(const std::string& path) override { return inner_.LargeFileSize(path); }
    std::string TypeName(const std::string& path) override { return inner_.TypeName(path); }
    FolderId Identify(const std::string& folder) override { return inner_.Identify(folder); }
    bool Describe(const std::string& folder, FindData& out) override { return inner_.Describe(folder, out); }
    bool IsPseudoFileSystem(const std::string& folder) override { return inner_.IsPseudoFileSystem(folder); }
    bool HasSubdirectory(const std::string& folder) override { return inner_.HasSubdirectory(folder); }
    NameEncoding Names() const override { return inner_.Names(); }
    ContentStatus OpenContent(const std::string& path, std::unique_ptr<ContentFile>& file) override {
        return inner_.OpenContent(path, file);
    }

private:
    // Sibling positions from the root: ordering these orders folders as a
    // pre-order walk meets them.
    using WalkKey = std::vector<std::uint32_t>;
    using IdChain = std::shared_ptr<const std::vector<FolderId>>;
    using Entry = std::pair<FindData, SearchDetail>;
    enum class State { kWaiting, kReading, kRead, kTaken };
    struct Folder {
        std::string path;
        WalkKey key;
        IdChain above;  // identities of the folders above it, shared by siblings
        FolderId id;
        State state = State::kWaiting;
        SearchStatus status = SearchStatus::kListed;
        std::vector<Entry> entries;  // read and not yet handed out
        bool abandoned = false;      // the walker stopped taking its entries
    };
    using Plan = std::map<WalkKey, std::unique_ptr<Folder>>;

    bool Descends(const Folder& folder) const;
    void Work();
    void PlanChildren(const Folder& parent, const std::vector<FindData>& subfolders);
    // Hands `batch` to the folder's entries; false when the reading should end.
    bool Deliver(Folder& f, std::vector<Entry>& batch, std::unique_lock<std::mutex>& lock);
    void Add(std::string path, WalkKey key, IdChain above, FolderId id);
    void Forget(Plan::iterator it);
    void DropBefore(const WalkKey& key);

    FileSystem& inner_;
    const ListingWalk walk_;
    const char separator_;
    const std::size_t maxFolders_, maxEntries_;

    std::mutex mutex_;
    std::condition_variable workReady_;  // a folder to read and room for it, or closing
    std::condition_variable readDone_;   // entries came, or a folder is read
    std::condition_variable taken_;      // the walker took entries, or closing
    Plan plan_;
    std::map<WalkKey, Folder*> waiting_;  // the first one is read next
    std::unordered_map<std::string, Folder*> byPath_;
    std::size_t heldFolders_ = 0, heldEntries_ = 0;  // being read or read, not yet handed out
    bool closing_ = false;
    std::vector<std::thread> workers_;
};

}  // namespace tf::platform
