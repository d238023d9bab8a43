#include "listing/volume/volume_file_system.h"

#include "platform/wildcard.h"

namespace tf::listing::volume {
namespace {

bool MatchAll(const std::string& pattern) { return pattern == "*" || pattern == "*.*"; }

// Follows names separated by `separator` down from `record`; empty names
// (doubled or trailing separators) are passed over.
bool Walk(const NtfsTree& tree, std::string_view path, std::uint32_t& record, char separator = '/') {
    std::size_t start = 0;
    while (start < path.size()) {
        const std::size_t slash = std::min(path.find(separator, start), path.size());
        if (slash > start) {
            if (!tree.File(record).IsFolder() || !tree.Find(record, path.substr(start, slash - start), record))
                return false;
        }
        start = slash + 1;
    }
    return true;
}

}  // namespace

bool FindFolder(const NtfsTree& tree, const std::string& path, std::uint32_t& record) {
    record = NtfsTree::kRoot;
    return Walk(tree, path, record) && tree.File(record).IsFolder();
}

VolumeFileSystem::VolumeFileSystem(std::shared_ptr<const NtfsTree> tree, std::string root, std::uint32_t folder,
                                   char separator, platform::FileSystem* typeNames)
    : tree_(std::move(tree)), root_(std::move(root)), folder_(folder), separator_(separator), typeNames_(typeNames) {}

bool VolumeFileSystem::Resolve(const std::string& path, std::uint32_t& record) const {
    if (path.compare(0, root_.size(), root_) != 0) return false;
    if (path.size() > root_.size() && path[root_.size()] != separator_ && root_.back() != separator_) return false;
    record = folder_;
    return Walk(*tree_, std::string_view(path).substr(root_.size()), record, separator_);
}

// A file as a walk of the mounted volume sees it: the space it takes in
// whole 512-byte blocks, an identity only where it has several names; a
// link as itself, its size the length of its target.
void VolumeFileSystem::Fill(std::uint32_t record, platform::FindData& data) const {
    data.isDirectory = tree_->File(record).IsFolder();
    data.isLink = tree_->File(record).IsLink();
    std::uint64_t size = tree_->File(record).size;
    if (data.isLink) {
        const NtfsTree::LinkTarget* target = tree_->TargetOf(record);
        size = target ? target->path.size() : 0;
        if (target) data.linkTarget = target->path;
    }
    const NtfsFile& f = tree_->File(record);
    data.creationTime = f.created;
    data.lastWriteTime = f.modified;
    data.sizeHigh = static_cast<std::uint32_t>(size >> 32);
    data.sizeLow = static_cast<std::uint32_t>(size);
    data.allocated = (f.allocated + 511) / 512 * 512;
    data.links = f.names > 1 ? f.names : 1;
    data.inode = data.links > 1 ? record : 0;
    data.folderId = platform::FolderId{tree_->Geometry().serial, record, true};
}

void VolumeFileSystem::Search(const std::string& folder, const std::string& pattern, platform::SearchDetail detail,
                              const std::function<void(const platform::FindData&)>& visit) {
    CheckedSearch(folder, pattern, detail, visit);
}

platform::SearchStatus VolumeFileSystem::CheckedSearch(const std::string& folder, const std::string& pattern,
                                                       platform::SearchDetail,
                                                       const std::function<void(const platform::FindData&)>& visit) {
    return ReadFolder(folder, pattern, false, [&visit](const platform::FindData& data, platform::SearchDetail) {
        visit(data);
        return true;
    });
}

platform::SearchStatus VolumeFileSystem::ReadFolder(const std::string& folder, const std::string& pattern, bool folders,
                                                    const platform::FolderVisitor& visit) {
    std::uint32_t record = 0;
    if (!Resolve(folder, record) || !tree_->File(record).IsFolder()) return platform::SearchStatus::kMissing;
    const bool matchAll = MatchAll(pattern);
    platform::FindData data;
    const auto [first, last] = tree_->Children(record);
    for (std::size_t i = first; i < last; ++i) {
        const NtfsName& name = tree_->NameAt(i);
        data.name = tree_->NameText(name);
        Fill(name.record, data);
        if ((matchAll || platform::WildcardMatch(pattern, data.name)) && !visit(data, platform::SearchDetail::kFiles))
            break;
        if (folders && data.isDirectory && !visit(data, platform::SearchDetail::kFolders)) break;
    }
    return platform::SearchStatus::kListed;
}

bool VolumeFileSystem::IsDirectory(const std::string& path) {
    std::uint32_t record = 0;
    return Resolve(path, record) && tree_->File(record).IsFolder();
}

std::uint64_t VolumeFileSystem::LargeFileSize(const std::string& path) {
    std::uint32_t record = 0;
    if (!Resolve(path, record)) return 0;
    platform::FindData data;
    Fill(record, data);
    return (static_cast<std::uint64_t>(data.sizeHigh) << 32) | data.sizeLow;
}

std::string VolumeFileSystem::TypeName(const std::string& path) {
    if (typeNames_) return typeNames_->TypeName(path);
    return platform::DefaultTypeName(std::string(platform::LastName(path, separator_)));
}

platform::FolderId VolumeFileSystem::Identify(const std::string& folder) {
    std::uint32_t record = 0;
    if (!Resolve(folder, record)) return {};
    return platform::FolderId{tree_->Geometry().serial, record, true};
}

bool VolumeFileSystem::Describe(const std::string& folder, platform::FindData& out) {
    out = platform::FindData{};
    std::uint32_t record = 0;
    if (!Resolve(folder, record)) return false;
    Fill(record, out);
    return true;
}

}  // namespace tf::listing::volume
