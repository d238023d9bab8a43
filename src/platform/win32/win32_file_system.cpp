#include "platform/win32/win32_file_system.h"

#include <windows.h>
#include <shellapi.h>
#include <shlwapi.h>

#include <cctype>

#include "platform/win32/unique_handle.h"
#include "platform/win32/wide_text_win.h"

namespace tf::platform {
namespace {

FileTicks Ticks(const FILETIME& ft) {
    return (static_cast<FileTicks>(ft.dwHighDateTime) << 32) | ft.dwLowDateTime;
}

// The shell's type names depend on the extension only, and the shell call
// is slow: one per extension is enough.
std::string ExtensionKey(const std::string& path) {
    const std::size_t slash = path.find_last_of("\\/");
    const std::size_t dot = path.rfind('.');
    if (dot == std::string::npos || (slash != std::string::npos && dot < slash)) return std::string();
    std::string key = path.substr(dot);
    for (char& c : key) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return key;
}

// The find record's name: at most MAX_PATH wide characters, which in UTF-8
// can take more bytes than the 8-bit record would hold.
std::string EntryName(const WIN32_FIND_DATAW& fd) {
    return win32::Narrow(std::wstring_view(fd.cFileName, wcsnlen(fd.cFileName, MAX_PATH)));
}

// A pattern that matches nothing is an empty folder, not a failure.
SearchStatus StatusOf(DWORD error) {
    switch (error) {
        case ERROR_FILE_NOT_FOUND:
        case ERROR_NO_MORE_FILES: return SearchStatus::kListed;
        case ERROR_PATH_NOT_FOUND:
        case ERROR_DIRECTORY: return SearchStatus::kMissing;
        case ERROR_ACCESS_DENIED: return SearchStatus::kDenied;
        case ERROR_FILENAME_EXCED_RANGE: return SearchStatus::kTooLong;
        default: return SearchStatus::kFailed;
    }
}

}  // namespace

// The wide calls are used throughout: names of any length survive, and so
// do paths longer than MAX_PATH (see FileApiPath).
void Win32FileSystem::Search(const std::string& folder, const std::string& pattern, SearchDetail detail,
                             const std::function<void(const FindData&)>& visit) {
    CheckedSearch(folder, pattern, detail, visit);
}

SearchStatus Win32FileSystem::CheckedSearch(const std::string& folder, const std::string& pattern,
                                            SearchDetail detail,
                                            const std::function<void(const FindData&)>& visit) {
    return SearchUntil(folder, pattern, detail, [&visit](const FindData& data) {
        visit(data);
        return true;
    });
}

SearchStatus Win32FileSystem::ReadFolder(const std::string& folder, const std::string& pattern, bool folders,
                                         const FolderVisitor& visit) {
    // A visit that says stop ends the search there: a folder of a million
    // entries is not read to its end after Stop.
    bool going = true;
    const SearchStatus status = SearchUntil(folder, pattern, SearchDetail::kFiles, [&](const FindData& entry) {
        return going = visit(entry, SearchDetail::kFiles);
    });
    if (status != SearchStatus::kListed || !folders || !going) return status;
    return SearchUntil(folder, "*", SearchDetail::kFolders, [&](const FindData& entry) {
        if (!entry.isDirectory || IsDotEntry(entry.name)) return true;
        return visit(entry, SearchDetail::kFolders);
    });
}

SearchStatus Win32FileSystem::SearchUntil(const std::string& folder, const std::string& pattern, SearchDetail detail,
                                          const std::function<bool(const FindData&)>& visit) {
    WIN32_FIND_DATAW fd{};
    // No short names (nothing here reads them), and larger batches per
    // call: a listing asks this of every folder.
    win32::UniqueFind find(FindFirstFileExW(win32::FileApiPath(JoinPath(folder, pattern, '\\')).c_str(),
                                            FindExInfoBasic, &fd, FindExSearchNameMatch, nullptr,
                                            FIND_FIRST_EX_LARGE_FETCH));
    if (!find) return StatusOf(GetLastError());
    const std::uint64_t cluster = detail == SearchDetail::kFiles ? ClusterSize(folder) : 0;
    FindData data;
    do {
        data.name = EntryName(fd);
        data.isDirectory = (fd.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
        data.creationTime = data.lastWriteTime = 0;
        data.sizeHigh = data.sizeLow = 0;
        const bool details = detail == SearchDetail::kFiles ? !data.isDirectory
                                                              : detail == SearchDetail::kFolders && data.isDirectory;
        if (details) {
            data.creationTime = Ticks(fd.ftCreationTime);
            data.lastWriteTime = Ticks(fd.ftLastWriteTime);
        }
        data.allocated = 0;
        if (details && detail == SearchDetail::kFiles) {
            data.sizeHigh = fd.nFileSizeHigh;
            data.sizeLow = fd.nFileSizeLow;
            // The space a file takes: its size rounded up to whole clusters.
            const std::uint64_t size = (static_cast<std::uint64_t>(fd.nFileSizeHigh) << 32) | fd.nFileSizeLow;
            data.allocated = cluster ? (size + cluster - 1) / cluster * cluster : size;
        }
        if (!visit(data)) return SearchStatus::kListed;
    } while (FindNextFileW(find.get(), &fd));
    const DWORD error = GetLastError();
    return error == ERROR_NO_MORE_FILES ? SearchStatus::kListed : StatusOf(error);
}

std::uint64_t Win32FileSystem::ClusterSize(const std::string& folder) {
    // One question per volume: a drive letter stands for its volume.
    const std::string key = folder.size() >= 2 && folder[1] == ':' ? folder.substr(0, 2) : folder;
    std::lock_guard<std::mutex> lock(clusterMutex_);
    const auto known = clusterSizes_.find(key);
    if (known != clusterSizes_.end()) return known->second;
    std::uint64_t size = 0;
    std::wstring volume(MAX_PATH + 1, L'\0');
    DWORD sectorsPerCluster = 0, bytesPerSector = 0, freeClusters = 0, clusters = 0;
    if (GetVolumePathNameW(win32::Widen(key + "\\").c_str(), volume.data(), static_cast<DWORD>(volume.size())) &&
        GetDiskFreeSpaceW(volume.c_str(), &sectorsPerCluster, &bytesPerSector, &freeClusters, &clusters))
        size = static_cast<std::uint64_t>(sectorsPerCluster) * bytesPerSector;
    clusterSizes_.emplace(key, size);
    return size;
}

bool Win32FileSystem::Describe(const std::string& folder, FindData& out) {
    out = FindData{};
    WIN32_FILE_ATTRIBUTE_DATA info{};
    if (!GetFileAttributesExW(win32::FileApiPath(folder).c_str(), GetFileExInfoStandard, &info)) return false;
    out.isDirectory = (info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
    out.creationTime = Ticks(info.ftCreationTime);
    out.lastWriteTime = Ticks(info.ftLastWriteTime);
    return true;
}

bool Win32FileSystem::HasSubdirectory(const std::string& folder) {
    WIN32_FIND_DATAW fd{};
    // Folders only, no short names, stopping at the first: the folder tree
    // asks this of every folder it shows.
    win32::UniqueFind find(FindFirstFileExW(win32::FileApiPath(JoinPath(folder, "*", '\\')).c_str(),
                                            FindExInfoBasic, &fd, FindExSearchLimitToDirectories, nullptr,
                                            FIND_FIRST_EX_LARGE_FETCH));
    if (!find) return false;
    do {
        const std::wstring_view name(fd.cFileName, wcsnlen(fd.cFileName, MAX_PATH));
        if ((fd.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) && name != L"." && name != L"..") return true;
    } while (FindNextFileW(find.get(), &fd));
    return false;
}

bool Win32FileSystem::IsDirectory(const std::string& path) {
    const std::wstring wide = win32::FileApiPath(path);
    // PathIsDirectoryW stops at MAX_PATH; the attributes answer the same
    // question at any length.
    if (wide.size() < MAX_PATH) return PathIsDirectoryW(wide.c_str()) != FALSE;
    const DWORD attributes = GetFileAttributesW(wide.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

std::uint64_t Win32FileSystem::LargeFileSize(const std::string& path) {
    WIN32_FILE_ATTRIBUTE_DATA info{};
    if (!GetFileAttributesExW(win32::FileApiPath(path).c_str(), GetFileExInfoStandard, &info)) return 0;
    return (static_cast<std::uint64_t>(info.nFileSizeHigh) << 32) | info.nFileSizeLow;
}

std::string Win32FileSystem::TypeName(const std::string& path) {
    const std::string key = ExtensionKey(path);
    auto it = typeNames_.find(key);
    if (it != typeNames_.end()) return it->second;
    // Judged from the name alone, so the name alone is asked about: the
    // whole path may be too long for the call.
    const std::size_t slash = path.find_last_of("\\/");
    const std::string fileName = slash == std::string::npos ? path : path.substr(slash + 1);
    SHFILEINFOA info{};
    SHGetFileInfoA(fileName.c_str(), FILE_ATTRIBUTE_NORMAL, &info, sizeof info,
                   SHGFI_TYPENAME | SHGFI_USEFILEATTRIBUTES);
    std::string name(info.szTypeName, strnlen(info.szTypeName, sizeof info.szTypeName));
    typeNames_.emplace(key, name);
    return name;
}

NameEncoding Win32FileSystem::Names() const {
    return GetACP() == CP_UTF8 ? NameEncoding::kUtf8 : NameEncoding::kCodePage;
}

std::unique_ptr<FileSystem> CreateFileSystem() { return std::make_unique<Win32FileSystem>(); }

}  // namespace tf::platform
