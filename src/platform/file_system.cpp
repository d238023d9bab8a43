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
                                    const FolderVisitor& visit) {
    // Searches cannot be cut short: once a visit says stop, the rest is
    // passed over.
    bool going = true;
    const SearchStatus status = CheckedSearch(folder, pattern, SearchDetail::kFiles, [&](const FindData& entry) {
        if (going) going = visit(entry, SearchDetail::kFiles);
    });
    if (status != SearchStatus::kListed || !folders || !going) return status;
    // A folder whose subfolders cannot be searched is not complete either.
    return CheckedSearch(folder, "*", SearchDetail::kFolders, [&](const FindData& entry) {
        if (going && entry.isDirectory && !IsDotEntry(entry.name)) going = visit(entry, SearchDetail::kFolders);
    });
}

bool FileSystem::Describe(const std::string& folder, FindData& out) {
    out = FindData{};
    out.folderId = Identify(folder);
    out.isDirectory = IsDirectory(folder);
    return out.isDirectory;
}

bool FileSystem::IsPseudoFileSystem(const std::string&) { return false; }

ContentStatus FileSystem::OpenContent(const std::string& path, std::unique_ptr<ContentFile>& file) {
    return OpenContentFile(path, file);
}

std::string JoinPath(const std::string& folder, const std::string& name, char separator) {
    std::string path;
    path.reserve(folder.size() + 1 + name.size());
    path += folder;
    if (path.empty() || path.back() != separator) path += separator;
    path += name;
    return path;
}

std::string DefaultTypeName(const std::string& name) {
    const std::size_t dot = name.rfind('.');
    if (dot == std::string::npos || dot + 1 == name.size()) return "File";
    std::string type = name.substr(dot + 1);
    for (char& c : type)
        if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
    type += " File";
    return type;
}

}  // namespace tf::platform
