#include "platform/posix/posix_file_system.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "platform/wildcard.h"

namespace tf::platform {
namespace {

// Seconds between 1601-01-01 and 1970-01-01.
constexpr std::int64_t kEpochDifference = 11644473600;
constexpr std::int64_t kTicksPerSecond = 10000000;

FileTicks ToTicks(std::int64_t seconds, std::uint32_t nanoseconds) {
    const std::int64_t since1601 = seconds + kEpochDifference;
    if (since1601 < 0) return 0;
    return static_cast<FileTicks>(since1601) * kTicksPerSecond + nanoseconds / 100;
}

class DirHandle {
public:
    explicit DirHandle(const std::string& path) : dir_(opendir(path.c_str())) {}
    ~DirHandle() {
        if (dir_) closedir(dir_);
    }
    DirHandle(const DirHandle&) = delete;
    DirHandle& operator=(const DirHandle&) = delete;
    DIR* get() const { return dir_; }

private:
    DIR* dir_;
};

struct StatResult {
    bool ok = false;
    bool isDirectory = false;
    struct statx sx {};
};

StatResult StatAt(int dirFd, const char* name, unsigned mask) {
    StatResult r;
    if (statx(dirFd, name, AT_NO_AUTOMOUNT, mask, &r.sx) != 0) return r;
    r.ok = true;
    r.isDirectory = S_ISDIR(r.sx.stx_mode);
    return r;
}

FolderId IdOf(const struct statx& sx) {
    return FolderId{(static_cast<std::uint64_t>(sx.stx_dev_major) << 32) | sx.stx_dev_minor, sx.stx_ino, true};
}

void FillFileDetails(FindData& data, const struct statx& sx) {
    // Creation time: the birth time where the file system keeps one,
    // otherwise the status-change time.
    if (sx.stx_mask & STATX_BTIME)
        data.creationTime = ToTicks(sx.stx_btime.tv_sec, sx.stx_btime.tv_nsec);
    else
        data.creationTime = ToTicks(sx.stx_ctime.tv_sec, sx.stx_ctime.tv_nsec);
    data.lastWriteTime = ToTicks(sx.stx_mtime.tv_sec, sx.stx_mtime.tv_nsec);
    data.sizeHigh = static_cast<std::uint32_t>(sx.stx_size >> 32);
    data.sizeLow = static_cast<std::uint32_t>(sx.stx_size);
}

}  // namespace

void PosixFileSystem::Search(const std::string& folder, const std::string& pattern, SearchDetail detail,
                             const std::function<void(const FindData&)>& visit) {
    DirHandle dir(folder.empty() ? std::string("/") : folder);
    if (!dir.get()) return;
    const int fd = dirfd(dir.get());
    const bool matchAll = pattern == "*" || pattern == "*.*";
    constexpr unsigned kFileMask = STATX_TYPE | STATX_SIZE | STATX_MTIME | STATX_CTIME | STATX_BTIME;
    constexpr unsigned kFolderMask = STATX_TYPE | STATX_INO;

    FindData data;
    while (const dirent* e = readdir(dir.get())) {
        if (!matchAll && !WildcardMatch(pattern, e->d_name)) continue;
        data.name.assign(e->d_name);
        data.creationTime = data.lastWriteTime = 0;
        data.sizeHigh = data.sizeLow = 0;
        data.folderId = FolderId{};

        const bool dots = IsDotEntry(e->d_name);
        const unsigned char type = e->d_type;
        // The entry's own type answers without a stat when the search needs
        // nothing more of it; links and unknown types are always statted.
        const bool knownDir = type == DT_DIR, knownFile = type == DT_REG;
        if (dots) {
            data.isDirectory = true;
        } else if ((knownDir && detail != SearchDetail::kFolders) || (knownFile && detail != SearchDetail::kFiles)) {
            data.isDirectory = knownDir;
        } else {
            const unsigned mask = detail == SearchDetail::kFiles    ? kFileMask
                                  : detail == SearchDetail::kFolders ? kFolderMask
                                                                     : STATX_TYPE;
            const StatResult st = StatAt(fd, e->d_name, mask);
            // A dangling link or a vanished entry is neither a folder nor a
            // readable file: it is listed as a file of size 0.
            data.isDirectory = st.ok && st.isDirectory;
            if (st.ok && data.isDirectory && detail == SearchDetail::kFolders) data.folderId = IdOf(st.sx);
            if (st.ok && !data.isDirectory && detail == SearchDetail::kFiles) FillFileDetails(data, st.sx);
        }
        visit(data);
    }
}

bool PosixFileSystem::IsDirectory(const std::string& path) {
    struct stat st {};
    return stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

std::uint64_t PosixFileSystem::LargeFileSize(const std::string& path) {
    struct stat st {};
    if (stat(path.c_str(), &st) != 0) return 0;
    return static_cast<std::uint64_t>(st.st_size);
}

std::string PosixFileSystem::TypeName(const std::string& path) {
    const std::size_t slash = path.rfind('/');
    return DefaultTypeName(slash == std::string::npos ? path : path.substr(slash + 1));
}

FolderId PosixFileSystem::Identify(const std::string& folder) {
    const StatResult st = StatAt(AT_FDCWD, folder.empty() ? "/" : folder.c_str(), STATX_TYPE | STATX_INO);
    return st.ok ? IdOf(st.sx) : FolderId{};
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

std::unique_ptr<FileSystem> CreateFileSystem() { return std::make_unique<PosixFileSystem>(); }

}  // namespace tf::platform
