#pragma once
// The file-system services the listing engine and the folder tree need. The
// engine stays portable: it only sees these neutral records, never a
// platform handle.
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>

#include "platform/content_hash.h"

namespace tf::platform {

// Times are FILETIME ticks: 100 ns units since 1601-01-01 00:00 UTC.
using FileTicks = std::uint64_t;

// Identity of a folder, used to enter each folder once however many links
// lead to it. Platforms whose path limit already ends link cycles leave it
// unknown.
struct FolderId {
    std::uint64_t device = 0;
    std::uint64_t inode = 0;
    bool known = false;
    bool operator==(const FolderId& o) const { return known && o.known && device == o.device && inode == o.inode; }
};

// How the names a file system returns are encoded, which decides what counts
// as one character: UTF-8, or one byte per character (a legacy code page).
enum class NameEncoding { kUtf8, kCodePage };

// How a search ended. Anything but kListed means the folder's entries could
// not all be read: what was visited is incomplete and should be dropped.
enum class SearchStatus {
    kListed,
    kMissing,   // vanished, or not a folder
    kDenied,    // cannot be read or entered
    kTooLong,   // the path exceeds the platform's limit
    kFailed,    // any other error
};

// What a file that is neither a folder nor a link is, where the platform
// tells: FIFOs, sockets and devices hold no content to read.
enum class SpecialFile { kNone, kFifo, kSocket, kCharDevice, kBlockDevice };

// One result of a directory search.
struct FindData {
    std::string name;
    bool isDirectory = false;  // as IsDirectory(folder + separator + name) would answer
    bool isLink = false;       // the entry itself is a symbolic link
    // Filled for files in a kFiles search, and for folders in a kFolders
    // search (times only). A link carries its own size and times in a kFiles
    // search, as a disk-usage count and the Windows directory search see it,
    // never its target's.
    FileTicks creationTime = 0;
    FileTicks lastWriteTime = 0;
    std::uint32_t sizeHigh = 0;
    std::uint32_t sizeLow = 0;
    // Filled for files in a kFiles search where the platform tells: the
    // space the file takes on its volume, and for a file with more than one
    // hard link the identity the links share.
    std::uint64_t allocated = 0;
    std::uint64_t inode = 0;
    std::uint32_t links = 1;
    SpecialFile special = SpecialFile::kNone;
    // A link's target as it is written, in a kFiles search where the
    // platform tells it.
    std::string linkTarget;
    // A regular file's stamp, in a kFiles search where the platform tells it
    // without another call per file.
    FileStamp stamp;
    // Filled only for directories, in a kFolders search.
    FolderId folderId;
};

// What a search must fill beyond name and isDirectory; asking for less lets
// the platform skip a stat per entry.
enum class SearchDetail {
    kNames,
    kFiles,    // times and size of every file
    kFolders,  // identity and times of every folder
};

// Hears each entry of a folder reading and its role; false ends the reading
// there.
using FolderVisitor = std::function<bool(const FindData&, SearchDetail role)>;

class FileSystem {
public:
    virtual ~FileSystem() = default;

    // Separator used to join a folder and a name.
    virtual char Separator() const = 0;

    // Lists the entries of `folder` whose names match the wildcard `pattern`
    // ("*" any run of characters, "?" one character, letters in either case),
    // in the platform's order, "." and ".." included where the platform
    // returns them. A folder that cannot be searched yields nothing.
    virtual void Search(const std::string& folder, const std::string& pattern, SearchDetail detail,
                        const std::function<void(const FindData&)>& visit) = 0;

    // Search that also tells whether the folder could be read as a whole; a
    // folder that cannot yields nothing. Services that cannot tell answer
    // kListed.
    virtual SearchStatus CheckedSearch(const std::string& folder, const std::string& pattern, SearchDetail detail,
                                       const std::function<void(const FindData&)>& visit);

    // One reading of a folder for a listing: `visit` hears every entry that
    // matches `pattern` as a kFiles search gives it (role kFiles) and, when
    // `folders` is set, every subfolder but "." and ".." as a kFolders search
    // gives it (role kFolders); an entry may be heard in both roles. The
    // status is that of the first search that failed. The default makes the
    // two searches; a platform that can answer both from one directory read
    // does so. A visit that answers false ends the reading (kListed).
    virtual SearchStatus ReadFolder(const std::string& folder, const std::string& pattern, bool folders,
                                    const FolderVisitor& visit);

    // True when `path` names an existing directory (links followed).
    virtual bool IsDirectory(const std::string& path) = 0;

    // Full size in bytes of a file whose size does not fit the search
    // result's fast path; 0 when it cannot be read.
    virtual std::uint64_t LargeFileSize(const std::string& path) = 0;

    // The shell's type name for a file, judged from its name alone.
    virtual std::string TypeName(const std::string& path) = 0;

    virtual FolderId Identify(const std::string& folder) = 0;

    // Identity and times of one folder (links followed); false when it
    // cannot be read.
    virtual bool Describe(const std::string& folder, FindData& out);

    // True for file systems that only mirror the running system (process
    // and kernel tables), which a listing never enters unless asked to.
    virtual bool IsPseudoFileSystem(const std::string& folder);

    // True when `folder` holds a directory other than "." and ".."; it may
    // stop at the first one it finds.
    virtual bool HasSubdirectory(const std::string& folder);

    virtual NameEncoding Names() const { return NameEncoding::kUtf8; }

    // Opens `path` for its content when it is a regular file (links not
    // followed); anything else is not opened at all. The default is the
    // platform's OpenContentFile. Contents are read ahead on helper threads,
    // so this is called from several threads at once.
    virtual ContentStatus OpenContent(const std::string& path, std::unique_ptr<ContentFile>& file);
};

// "." and "..", which searches return but which name no child.
inline bool IsDotEntry(std::string_view name) { return name == "." || name == ".."; }

// The file system of the platform the program was built for.
std::unique_ptr<FileSystem> CreateFileSystem();

// Type names in the Windows default style: "ABC File" for "notes.abc",
// "File" when the name has no extension.
std::string DefaultTypeName(const std::string& name);

// Joins folder and name with one separator; a root that already ends in it
// (the POSIX "/") is not doubled.
std::string JoinPath(const std::string& folder, const std::string& name, char separator);

// The name a path ends in; the whole path for a root or a path without a
// separator.
inline std::string_view LastName(std::string_view path, char separator) {
    const std::size_t cut = path.rfind(separator);
    return cut == std::string_view::npos || cut + 1 == path.size() ? path : path.substr(cut + 1);
}

}  // namespace tf::platform
