#include "platform/file_system.h"

namespace tf::platform {

bool FileSystem::HasSubdirectory(const std::string& folder) {
    bool found = false;
    Search(folder, "*", SearchDetail::kNames, [&found](const FindData& entry) {
        if (entry.isDirectory && entry.name != "." && entry.name != "..") found = true;
    });
    return found;
}

SearchStatus FileSystem::CheckedSearch(const std::string& folder, const std::string& pattern, SearchDetail detail,
                                       const std::function<void(const FindData&)>& visit) {
    Search(folder, pattern, detail, visit);
    return SearchStatus::kListed;
}

SearchStatus FileSystem::ReadFolder(const std::string& folder, const std::string& pattern, bool folders,
                                    const std::function<void(const FindData&, SearchDetail)>& visit) {
    const SearchStatus status = CheckedSearch(folder, pattern, SearchDetail::kFiles,
                                              [&visit](const FindData& entry) { visit(entry, SearchDetail::kFiles); });
    if (status != SearchStatus::kListed || !folders) return status;
    // A folder whose subfolders cannot be searched is not a folder without
    // subfolders: the failure is the folder's status.
    return CheckedSearch(folder, "*", SearchDetail::kFolders, [&visit](const FindData& entry) {
        if (entry.isDirectory && !IsDotEntry(entry.name)) visit(entry, SearchDetail::kFolders);
    });
}

bool FileSystem::Describe(const std::string& folder, FindData& out) {
    out = FindData{};
    out.folderId = Identify(folder);
    out.isDirectory = IsDirectory(folder);
    return out.isDirectory;
}

bool FileSystem::IsPseudoFileSystem(const std::string&) { return false; }

std::string JoinPath(const std::string& folder, const std::string& name, char separator) {
    std::string path;
    path.reserve(folder.size() + 1 + name.size());
    path += folder;
    if (path.empty() || path.back() != separator) path += separator;
    path += name;
    return path;
}

}  // namespace tf::platform
