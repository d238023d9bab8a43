#include "platform/read_ahead_file_system.h"

#include <algorithm>
#include <chrono>

namespace tf::platform {

ReadAheadFileSystem::ReadAheadFileSystem(FileSystem& inner, ListingWalk walk, unsigned workers,
                                         std::size_t maxFolders, std::size_t maxEntries)
    : inner_(inner),
      walk_(std::move(walk)),
      separator_(inner.Separator()),
      maxFolders_(std::max<std::size_t>(maxFolders, 1)),
      maxEntries_(maxEntries) {
    Add(walk_.root, WalkKey{}, std::make_shared<const std::vector<FolderId>>(), inner_.Identify(walk_.root));
    workers_.reserve(workers);
    for (unsigned i = 0; i < workers; ++i) workers_.emplace_back([this] { Work(); });
}

ReadAheadFileSystem::~ReadAheadFileSystem() {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        closing_ = true;
    }
    workReady_.notify_all();
    for (std::thread& worker : workers_) worker.join();
}

bool ReadAheadFileSystem::Descends(const Folder& folder) const {
    return walk_.maxDepth < 0 || folder.key.size() < static_cast<std::size_t>(walk_.maxDepth);
}

SearchStatus ReadAheadFileSystem::ReadFolder(const std::string& folder, const std::string& pattern, bool folders,
                                             const std::function<void(const FindData&, SearchDetail)>& visit) {
    std::unique_lock<std::mutex> lock(mutex_);
    const auto found = byPath_.find(folder);
    if (pattern != walk_.pattern || found == byPath_.end() || Descends(*found->second) != folders) {
        lock.unlock();
        return inner_.ReadFolder(folder, pattern, folders, visit);
    }
    Folder& f = *found->second;
    // The walk never comes back: whatever it passed by is not wanted any more.
    DropBefore(f.key);

    if (f.state == State::kWaiting) {
        // The workers are behind: the walker reads this one itself, handing
        // out each entry as it comes.
        waiting_.erase(f.key);
        f.state = State::kTaken;
        lock.unlock();
        std::vector<FindData> subfolders;
        const SearchStatus status = inner_.ReadFolder(folder, pattern, folders, [&](const FindData& e, SearchDetail role) {
            if (role == SearchDetail::kFolders) subfolders.push_back(e);
            visit(e, role);
        });
        lock.lock();
        if (!closing_ && status == SearchStatus::kListed) PlanChildren(f, subfolders);
        Forget(plan_.find(f.key));
        return status;
    }

    // A folder being read is never forgotten, so `f` outlives the unlocked
    // waiting call.
    while (!readDone_.wait_for(lock, std::chrono::milliseconds(20), [&f] { return f.state == State::kRead; })) {
        if (!walk_.waiting) continue;
        lock.unlock();
        walk_.waiting();
        lock.lock();
    }
    std::vector<Entry> entries = std::move(f.entries);
    const SearchStatus status = f.status;
    Forget(plan_.find(f.key));
    lock.unlock();
    for (const Entry& entry : entries) visit(entry.first, entry.second);
    return status;
}

void ReadAheadFileSystem::Work() {
    std::unique_lock<std::mutex> lock(mutex_);
    for (;;) {
        workReady_.wait(lock, [this] {
            const bool room = heldFolders_ == 0 || (heldFolders_ < maxFolders_ && heldEntries_ < maxEntries_);
            return closing_ || (!waiting_.empty() && room);
        });
        if (closing_) return;
        Folder& f = *waiting_.begin()->second;
        waiting_.erase(waiting_.begin());
        f.state = State::kReading;
        ++heldFolders_;
        lock.unlock();

        std::vector<Entry> entries;
        std::vector<FindData> subfolders;
        const SearchStatus status =
            inner_.ReadFolder(f.path, walk_.pattern, Descends(f), [&](const FindData& e, SearchDetail role) {
                entries.emplace_back(e, role);
                if (role == SearchDetail::kFolders) subfolders.push_back(e);
            });

        lock.lock();
        f.entries = std::move(entries);
        f.status = status;
        f.state = State::kRead;
        f.held = f.entries.size();
        heldEntries_ += f.held;
        if (!closing_ && status == SearchStatus::kListed) PlanChildren(f, subfolders);
        readDone_.notify_all();
    }
}

void ReadAheadFileSystem::PlanChildren(const Folder& parent, const std::vector<FindData>& subfolders) {
    auto chain = std::make_shared<std::vector<FolderId>>(*parent.above);
    chain->push_back(parent.id);
    const IdChain above = std::move(chain);
    std::uint32_t position = 0;
    for (const FindData& sub : subfolders) {
        if (walk_.enters && !walk_.enters(parent.path, parent.id, sub)) continue;
        // A link back up the path would be planned without end.
        if (std::find(above->begin(), above->end(), sub.folderId) != above->end()) continue;
        WalkKey key = parent.key;
        key.push_back(position++);
        const std::string name(sub.name.c_str());  // the walker cuts names at a NUL too
        Add(JoinPath(parent.path, name, separator_), std::move(key), above, sub.folderId);
    }
    workReady_.notify_all();
}

void ReadAheadFileSystem::Add(std::string path, WalkKey key, IdChain above, FolderId id) {
    if (byPath_.count(path)) return;
    auto folder = std::make_unique<Folder>();
    folder->path = std::move(path);
    folder->key = std::move(key);
    folder->above = std::move(above);
    folder->id = id;
    Folder* f = folder.get();
    byPath_.emplace(f->path, f);
    waiting_.emplace(f->key, f);
    plan_.emplace(f->key, std::move(folder));
}

void ReadAheadFileSystem::Forget(Plan::iterator it) {
    Folder& f = *it->second;
    byPath_.erase(f.path);
    if (f.state == State::kWaiting) waiting_.erase(f.key);
    if (f.state == State::kRead) {
        --heldFolders_;
        heldEntries_ -= f.held;
    }
    plan_.erase(it);
    workReady_.notify_all();
}

void ReadAheadFileSystem::DropBefore(const WalkKey& key) {
    // Folders still being read stay until a later call finds them read.
    for (auto it = plan_.begin(); it != plan_.end() && it->first < key;) {
        const auto next = std::next(it);
        if (it->second->state != State::kReading) Forget(it);
        it = next;
    }
}

}  // namespace tf::platform
