#pragma once
// File content for listings: the hashes a listing can carry and a reader of
// one file's bytes that never opens anything but a regular file. The hash
// functions come from libraries (XXH3 from the xxHash header everywhere,
// SHA-256 from the system's cryptography on Windows and from nettle
// elsewhere); this is the one interface the rest of the program sees.
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>

namespace tf::platform {

// What a file's content is trusted unchanged by since it was last seen: the
// same file (device and file id) with the same modified and change times.
// The numbers are in the platform's own units and only ever compared for
// equality; `known` is false where the platform could not tell them.
struct FileStamp {
    std::uint64_t modified = 0;
    std::uint64_t changed = 0;
    std::uint64_t device = 0;
    std::uint64_t fileId = 0;
    bool known = false;
    bool operator==(const FileStamp& o) const {
        return known && o.known && modified == o.modified && changed == o.changed && device == o.device &&
               fileId == o.fileId;
    }
};

enum class HashAlgorithm { kNone, kXxh128, kSha256 };

// "xxh128", "sha256"; empty for kNone. Listings write a hash as
// "NAME:HEX", lower-case hex.
std::string_view HashName(HashAlgorithm algorithm);
// The algorithm of such a name; kNone when it is none of them.
HashAlgorithm HashByName(std::string_view name);
// Hex digits in a digest: 32 or 64.
std::size_t HashHexLength(HashAlgorithm algorithm);

class Hasher {
public:
    virtual ~Hasher() = default;
    virtual void Update(const void* data, std::size_t size) = 0;
    // The digest as lower-case hex; the hasher is spent.
    virtual std::string Finish() = 0;
};

// Null for kNone, or when the system offers no such hash.
std::unique_ptr<Hasher> CreateHasher(HashAlgorithm algorithm);
// The SHA-256 of the platform's library (posix/, win32/).
std::unique_ptr<Hasher> CreateSha256Hasher();

// Why a file's content could not be read to its end.
enum class ContentStatus {
    kRead,
    kNotRegular,  // a FIFO, device, socket or link: never opened
    kDenied,
    kVanished,
    kChanged,  // its size changed while it was read
    kFailed,   // any other error
    kStopped,  // the caller asked to stop
};

// A few words for the error list and the listing.
const char* ContentStatusText(ContentStatus status);

// The identity of an opened file: hard links of one file share it.
struct ContentIdentity {
    std::uint64_t device = 0;
    std::uint64_t inode = 0;
};

// One regular file opened for reading.
class ContentFile {
public:
    virtual ~ContentFile() = default;
    std::uint64_t Size() const { return size_; }
    const ContentIdentity& Identity() const { return identity_; }
    // When it was last written, in FILETIME ticks; 0 when not known (a
    // stream read into a temporary file has no time of its own).
    std::uint64_t Modified() const { return modified_; }
    // Reads up to `size` bytes at `offset`; the bytes read (0 at the end),
    // or -1 on an error.
    virtual std::int64_t ReadAt(std::uint64_t offset, void* buffer, std::size_t size) = 0;
    // The file's size now, to tell a file that changed while it was read.
    virtual std::uint64_t CurrentSize() = 0;
    // Reading from start to end follows.
    virtual void ExpectSequential() {}
    // These bytes will be read soon: the system may fetch them meanwhile,
    // so that several files' reads wait on the disk at once.
    virtual void WillRead(std::uint64_t /*offset*/, std::uint64_t /*size*/) {}

protected:
    std::uint64_t size_ = 0;
    ContentIdentity identity_;
    std::uint64_t modified_ = 0;
};

// Opens `path` (without following a link) when it is a regular file;
// anything else is not opened at all.
ContentStatus OpenContentFile(const std::string& path, std::unique_ptr<ContentFile>& file);

// The stamp of the regular file at `path` (a link is not followed), by one
// cheap call where the directory search does not give it; unknown when the
// platform or the volume cannot tell it.
FileStamp StampOf(const std::string& path);
// Whether a stamp may be kept for a later run to trust: a file changed in
// the last moments may change again within the same tick of the clock that
// sets its times, which the stamp would not show.
bool IsSettled(const FileStamp& stamp);

// Opens a file the program reads as a whole, such as a saved listing: links
// are followed, and a pipe or other stream (`<(...)`) is read to its end
// into a temporary file first, so the reader may go back in it.
ContentStatus OpenSavedFile(const std::string& path, std::unique_ptr<ContentFile>& file);

// The identity of the file `path` leads to (links followed); false when
// there is none (not yet written, or not readable).
bool FileIdentityOf(const std::string& path, ContentIdentity& identity);

// Called as a file is read with the bytes read since the last call; false
// stops the reading (kStopped).
using ReadProgress = std::function<bool(std::uint64_t bytes)>;

// The hash of an opened file's first and last `edge` bytes (all of it when
// it is no larger than twice that), for telling files apart without
// reading them whole.
ContentStatus HashEdges(ContentFile& file, HashAlgorithm algorithm, std::size_t edge, std::string& digest);
// Files of at least this size are read by a thread of their own while
// HashWhole hashes them: one such file keeps two cores busy.
constexpr std::uint64_t kOverlappedFrom = 4u << 20;

// The hash of an opened file whole.
ContentStatus HashWhole(ContentFile& file, HashAlgorithm algorithm, const ReadProgress& progress,
                        std::string& digest);

}  // namespace tf::platform
