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

bool VolumeFileSystem::Follow(std::uint32_t link, std::uint32_t folder, std::uint32_t& file) const {
    // As many links in a row as the system follows before it gives up.
    for (int hop = 0; hop < 40; ++hop) {
        const NtfsTree::LinkTarget* target = tree_->TargetOf(link);
        if (!target || !target->relative) return false;
        const std::string_view path = target->path;
        std::uint32_t at = folder, holder = folder;
        for (std::size_t start = 0; start <= path.size();) {
            const std::size_t slash = std::min(path.find('/', start), path.size());
            const std::string_view name = path.substr(start, slash - start);
            start = slash + 1;
            if (name.empty() || name == ".") continue;
            // Only folders lie on the way; a link there is not followed.
            if (!tree_->File(at).IsFolder()) return false;
            if (name == "..") {
                if (!tree_->ParentOf(at, at)) return false;
                continue;
            }
            holder = at;
            if (!tree_->Find(at, name, at)) return false;
        }
        if (tree_->File(at).IsLink()) {
            link = at;
            folder = holder;
            continue;
        }
        if (tree_->File(at).IsFolder()) return false;
        file = at;
        return true;
    }
    return false;
}

// A file as a walk of the mounted volume sees it: the space it takes in
// whole 512-byte blocks, an identity only where it has several names; a
// link to a file as that file, any other link as itself, its size the
// length of its target.
void VolumeFileSystem::Fill(std::uint32_t record, std::uint32_t folder, platform::FindData& data) const {
    data.isDirectory = tree_->File(record).IsFolder();
    data.isLink = tree_->File(record).IsLink();
    std::uint64_t size = tree_->File(record).size;
    if (data.isLink) {
        const NtfsTree::LinkTarget* target = tree_->TargetOf(record);
        size = target ? target->path.size() : 0;
        std::uint32_t file = 0;
        if (Follow(record, folder, file)) {
            record = file;
            size = tree_->File(file).size;
        }
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
        Fill(name.record, record, data);
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
    const std::size_t slash = path.rfind(separator_);
    std::uint32_t folder = 0, record = 0;
    if (slash == std::string::npos || !Resolve(path.substr(0, slash), folder) || !Resolve(path, record)) return 0;
    platform::FindData data;
    Fill(record, folder, data);
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
    std::uint32_t parent = record;
    tree_->ParentOf(record, parent);
    Fill(record, parent, out);
    return true;
}

}  // namespace tf::listing::volume
