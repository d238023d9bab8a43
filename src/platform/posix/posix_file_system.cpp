#include "platform/posix/posix_file_system.h"

#include <dirent.h>
#include <fcntl.h>
#include <linux/magic.h>
#include <sys/stat.h>
#include <sys/vfs.h>
#include <unistd.h>

#include <cerrno>

#include "platform/wildcard.h"

namespace tf::platform {
namespace {

// Seconds between 1601-01-01 and 1970-01-01.
constexpr std::int64_t kEpochDifference = 11644473600;
constexpr std::int64_t kTicksPerSecond = 10000000;

}  // namespace

FileTicks ToTicks(std::int64_t seconds, std::uint32_t nanoseconds) {
    const std::int64_t since1601 = seconds + kEpochDifference;
    if (since1601 < 0) return 0;
    return static_cast<FileTicks>(since1601) * kTicksPerSecond + nanoseconds / 100;
}

namespace {

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

StatResult StatAt(int dirFd, const char* name, unsigned mask, int flags = 0) {
    StatResult r;
    if (statx(dirFd, name, AT_NO_AUTOMOUNT | flags, mask, &r.sx) != 0) return r;
    r.ok = true;
    r.isDirectory = S_ISDIR(r.sx.stx_mode);
    return r;
}

FolderId IdOf(const struct statx& sx) {
    return FolderId{(static_cast<std::uint64_t>(sx.stx_dev_major) << 32) | sx.stx_dev_minor, sx.stx_ino, true};
}

void FillTimes(FindData& data, const struct statx& sx) {
    // Creation time: the birth time where the file system keeps one,
    // otherwise the status-change time.
    if (sx.stx_mask & STATX_BTIME)
        data.creationTime = ToTicks(sx.stx_btime.tv_sec, sx.stx_btime.tv_nsec);
    else
        data.creationTime = ToTicks(sx.stx_ctime.tv_sec, sx.stx_ctime.tv_nsec);
    data.lastWriteTime = ToTicks(sx.stx_mtime.tv_sec, sx.stx_mtime.tv_nsec);
}

std::uint64_t Nanoseconds(const struct statx_timestamp& t) {
    return static_cast<std::uint64_t>(t.tv_sec) * 1000000000u + t.tv_nsec;
}

void FillFileDetails(FindData& data, const struct statx& sx) {
    FillTimes(data, sx);
    data.sizeHigh = static_cast<std::uint32_t>(sx.stx_size >> 32);
    data.sizeLow = static_cast<std::uint32_t>(sx.stx_size);
    data.allocated = (sx.stx_mask & STATX_BLOCKS) ? sx.stx_blocks * 512 : 0;
    data.links = (sx.stx_mask & STATX_NLINK) && sx.stx_nlink > 1 ? sx.stx_nlink : 1;
    data.inode = data.links > 1 ? sx.stx_ino : 0;
    data.special = S_ISFIFO(sx.stx_mode)   ? SpecialFile::kFifo
                   : S_ISSOCK(sx.stx_mode) ? SpecialFile::kSocket
                   : S_ISCHR(sx.stx_mode)  ? SpecialFile::kCharDevice
                   : S_ISBLK(sx.stx_mode)  ? SpecialFile::kBlockDevice
                                           : SpecialFile::kNone;
    // Any write moves the change time, and so does setting the modified
    // time back: the two together, on the same inode, say the content is
    // as it was.
    if (S_ISREG(sx.stx_mode) && (sx.stx_mask & (STATX_MTIME | STATX_CTIME | STATX_INO)) ==
                                    (STATX_MTIME | STATX_CTIME | STATX_INO))
        data.stamp = FileStamp{Nanoseconds(sx.stx_mtime), Nanoseconds(sx.stx_ctime), IdOf(sx).device, sx.stx_ino,
                               true};
}

// The text of a link; empty when it cannot be read.
std::string ReadLinkAt(int fd, const char* name, std::uint64_t size) {
    std::string target(size ? size + 1 : 256, '\0');
    for (;;) {
        const ssize_t n = readlinkat(fd, name, target.data(), target.size());
        if (n < 0) return std::string();
        if (static_cast<std::size_t>(n) < target.size()) {
            target.resize(static_cast<std::size_t>(n));
            return target;
        }
        target.resize(target.size() * 2);  // grew since it was statted
    }
}

SearchStatus StatusOf(int error) {
    switch (error) {
        case ENOENT:
        case ENOTDIR: return SearchStatus::kMissing;
        case EACCES:
        case EPERM: return SearchStatus::kDenied;
        case ENAMETOOLONG: return SearchStatus::kTooLong;
        default: return SearchStatus::kFailed;
    }
}

constexpr unsigned kTimesMask = STATX_MTIME | STATX_CTIME | STATX_BTIME;
constexpr unsigned kFileMask = STATX_TYPE | STATX_SIZE | STATX_BLOCKS | STATX_NLINK | STATX_INO | kTimesMask;
constexpr unsigned kFolderMask = STATX_TYPE | STATX_INO | kTimesMask;

// Fills what `detail` asks of an entry whose directory entry cannot answer
// alone: links, unknown types, and whatever needs details.
void StatEntry(int fd, const char* name, unsigned char type, SearchDetail detail, FindData& data) {
    const unsigned mask = detail == SearchDetail::kFiles    ? kFileMask
                          : detail == SearchDetail::kFolders ? kFolderMask
                                                             : STATX_TYPE;
    // A link is a row of its own in a kFiles search: of its target only the
    // type matters (whether it leads to a folder).
    const bool mayBeLink = type == DT_LNK || type == DT_UNKNOWN;
    const bool ownRow = mayBeLink && detail == SearchDetail::kFiles;
    const StatResult target = StatAt(fd, name, ownRow ? STATX_TYPE : mask);
    data.isDirectory = target.ok && target.isDirectory;
    data.isLink = type == DT_LNK;
    StatResult own;
    if (type == DT_UNKNOWN || (data.isLink && (ownRow || !target.ok || data.isDirectory))) {
        own = StatAt(fd, name, kFileMask, AT_SYMLINK_NOFOLLOW);
        data.isLink = own.ok && S_ISLNK(own.sx.stx_mode);
    }
    if (data.isLink) {
        if (ownRow && own.ok) {
            FillFileDetails(data, own.sx);
            data.linkTarget = ReadLinkAt(fd, name, own.sx.stx_size);
        } else if (detail == SearchDetail::kFolders && data.isDirectory) {
            data.folderId = IdOf(target.sx);
            FillTimes(data, target.sx);
        }
        return;
    }
    // Not a link: an unknown type's own stat holds what a kFiles search asks.
    const StatResult& real = ownRow && own.ok ? own : target;
    if (!real.ok) return;
    if (data.isDirectory) {
        if (detail == SearchDetail::kFolders) {
            data.folderId = IdOf(real.sx);
            FillTimes(data, real.sx);
        }
    } else if (detail == SearchDetail::kFiles) {
        FillFileDetails(data, real.sx);
    }
}

// Reads `folder` once, handing each directory entry to `onEntry` with the
// folder's descriptor, until it answers false.
template <typename OnEntry>
SearchStatus ReadEntries(const std::string& folder, OnEntry onEntry) {
    DirHandle dir(folder.empty() ? std::string("/") : folder);
    if (!dir.get()) return StatusOf(errno);
    const int fd = dirfd(dir.get());
    // A folder that can be read but not entered gives names without any
    // details: it counts as unreadable as a whole.
    if (!StatAt(fd, ".", STATX_TYPE).ok) return StatusOf(errno);
    for (;;) {
        errno = 0;
        const dirent* e = readdir(dir.get());
        if (!e) return errno == 0 ? SearchStatus::kListed : StatusOf(errno);
        if (!onEntry(fd, *e)) return SearchStatus::kListed;
    }
}

// Fills `data` with what a `detail` search gives of the entry.
void FillEntry(int fd, const dirent& e, SearchDetail detail, FindData& data) {
    data.name.assign(e.d_name);
    data.creationTime = data.lastWriteTime = 0;
    data.sizeHigh = data.sizeLow = 0;
    data.allocated = data.inode = 0;
    data.links = 1;
    data.special = SpecialFile::kNone;
    data.linkTarget.clear();
    data.stamp = FileStamp{};
    data.folderId = FolderId{};
    data.isLink = false;
    const unsigned char type = e.d_type;
    // The entry's own type answers without a stat when the search needs
    // nothing more of it; links and unknown types are always statted.
    const bool knownDir = type == DT_DIR, knownFile = type == DT_REG;
    if (IsDotEntry(e.d_name)) {
        data.isDirectory = true;
    } else if ((knownDir && detail != SearchDetail::kFolders) || (knownFile && detail != SearchDetail::kFiles)) {
        data.isDirectory = knownDir;
    } else {
        StatEntry(fd, e.d_name, type, detail, data);
    }
}

bool MatchAll(const std::string& pattern) { return pattern == "*" || pattern == "*.*"; }

}  // namespace

void PosixFileSystem::Search(const std::string& folder, const std::string& pattern, SearchDetail detail,
                             const std::function<void(const FindData&)>& visit) {
    CheckedSearch(folder, pattern, detail, visit);
}

SearchStatus PosixFileSystem::CheckedSearch(const std::string& folder, const std::string& pattern,
                                            SearchDetail detail,
                                            const std::function<void(const FindData&)>& visit) {
    const bool matchAll = MatchAll(pattern);
    FindData data;
    return ReadEntries(folder, [&](int fd, const dirent& e) {
        if (!matchAll && !WildcardMatch(pattern, e.d_name)) return true;
        FillEntry(fd, e, detail, data);
        visit(data);
        return true;
    });
}

// Both roles from one directory read: each folder costs one pass over its
// entries instead of two.
SearchStatus PosixFileSystem::ReadFolder(const std::string& folder, const std::string& pattern, bool folders,
                                         const FolderVisitor& visit) {
    const bool matchAll = MatchAll(pattern);
    FindData data;
    return ReadEntries(folder, [&](int fd, const dirent& e) {
        const bool matched = matchAll || WildcardMatch(pattern, e.d_name);
        if (matched) {
            FillEntry(fd, e, SearchDetail::kFiles, data);
            if (!visit(data, SearchDetail::kFiles)) return false;
        }
        if (!folders || IsDotEntry(e.d_name)) return true;
        const bool mayLead = e.d_type == DT_LNK || e.d_type == DT_UNKNOWN;
        if (e.d_type != DT_DIR && !mayLead) return true;
        // A link or unknown type already found not to be a folder needs no
        // second look.
        if (matched && mayLead && !data.isDirectory) return true;
        FillEntry(fd, e, SearchDetail::kFolders, data);
        return !data.isDirectory || visit(data, SearchDetail::kFolders);
    });
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

bool PosixFileSystem::Describe(const std::string& folder, FindData& out) {
    out = FindData{};
    const StatResult st = StatAt(AT_FDCWD, folder.empty() ? "/" : folder.c_str(), kFolderMask);
    if (!st.ok) return false;
    out.isDirectory = st.isDirectory;
    out.folderId = IdOf(st.sx);
    FillTimes(out, st.sx);
    return true;
}

bool PosixFileSystem::IsPseudoFileSystem(const std::string& folder) {
    struct statfs fs {};
    if (statfs(folder.c_str(), &fs) != 0) return false;
    constexpr unsigned long kConfigFsMagic = 0x62656570;
    const unsigned long kinds[] = {PROC_SUPER_MAGIC,   SYSFS_MAGIC,         DEBUGFS_MAGIC,  TRACEFS_MAGIC,
                                   SECURITYFS_MAGIC,   CGROUP_SUPER_MAGIC,  CGROUP2_SUPER_MAGIC,
                                   DEVPTS_SUPER_MAGIC, BPF_FS_MAGIC,        PSTOREFS_MAGIC, kConfigFsMagic};
    for (unsigned long kind : kinds)
        if (static_cast<unsigned long>(fs.f_type) == kind) return true;
    return false;
}


std::unique_ptr<FileSystem> CreateFileSystem() { return std::make_unique<PosixFileSystem>(); }

}  // namespace tf::platform
