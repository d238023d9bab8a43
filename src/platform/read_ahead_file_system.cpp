#include "platform/read_ahead_file_system.h"

#include <algorithm>
#include <chrono>

#include "platform/thread_priority.h"

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
    taken_.notify_all();
    for (std::thread& worker : workers_) worker.join();
}

bool ReadAheadFileSystem::Descends(const Folder& folder) const {
    return walk_.maxDepth < 0 || folder.key.size() < static_cast<std::size_t>(walk_.maxDepth);
}

SearchStatus ReadAheadFileSystem::ReadFolder(const std::string& folder, const std::string& pattern, bool folders,
                                             const FolderVisitor& visit) {
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
        bool going = true;
        const SearchStatus status = inner_.ReadFolder(folder, pattern, folders, [&](const FindData& e, SearchDetail role) {
            if (role == SearchDetail::kFolders) subfolders.push_back(e);
            return going = visit(e, role);
        });
        lock.lock();
        if (going && !closing_ && status == SearchStatus::kListed) PlanChildren(f, subfolders);
        Forget(plan_.find(f.key));
        return status;
    }
    // A folder being read is never forgotten, so `f` outlives the unlocked
    // calls; its entries are taken in batches as the worker hands them over.
    for (;;) {
        if (!readDone_.wait_for(lock, std::chrono::milliseconds(20),
                                [&f] { return f.state == State::kRead || !f.entries.empty(); })) {
            if (!walk_.waiting) continue;
            lock.unlock();
            const bool wait = walk_.waiting();
            lock.lock();
            if (wait) continue;
        } else {
            std::vector<Entry> batch = std::move(f.entries);
            f.entries.clear();
            heldEntries_ -= batch.size();
            const bool read = f.state == State::kRead;
            taken_.notify_all();
            workReady_.notify_all();
            lock.unlock();
            bool going = true;
            for (const Entry& entry : batch)
                if (!(going = visit(entry.first, entry.second))) break;
            lock.lock();
            if (going && !read) continue;
            if (going) {
                const SearchStatus status = f.status;
                Forget(plan_.find(f.key));
                return status;
            }
        }
        // Given up: the worker ends its reading at its next batch.
        f.abandoned = true;
        heldEntries_ -= f.entries.size();
        f.entries.clear();
        taken_.notify_all();
        if (f.state == State::kRead) Forget(plan_.find(f.key));
        return SearchStatus::kListed;
    }
}

bool ReadAheadFileSystem::Deliver(Folder& f, std::vector<Entry>& batch, std::unique_lock<std::mutex>& lock) {
    lock.lock();
    if (!f.abandoned) {
        heldEntries_ += batch.size();
        for (Entry& e : batch) f.entries.push_back(std::move(e));
        readDone_.notify_all();
        // A wide folder waits for the walker rather than filling memory.
        taken_.wait(lock, [&] { return closing_ || f.abandoned || f.entries.size() < maxEntries_; });
    }
    const bool going = !closing_ && !f.abandoned;
    lock.unlock();
    batch.clear();
    return going;
}

void ReadAheadFileSystem::Work() {
    LowerThreadPriority();
    constexpr std::size_t kBatch = 256;
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
        std::vector<Entry> batch;
        std::vector<FindData> subfolders;
        bool going = true;
        const SearchStatus status =
            inner_.ReadFolder(f.path, walk_.pattern, Descends(f), [&](const FindData& e, SearchDetail role) {
                batch.emplace_back(e, role);
                if (role == SearchDetail::kFolders) subfolders.push_back(e);
                if (batch.size() >= kBatch) going = Deliver(f, batch, lock);
                return going;
            });
        if (going) Deliver(f, batch, lock);
        lock.lock();
        f.status = status;
        f.state = State::kRead;
        if (!closing_ && !f.abandoned && status == SearchStatus::kListed) PlanChildren(f, subfolders);
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
        heldEntries_ -= f.entries.size();
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
