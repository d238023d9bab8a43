// Regular files opened for their content, and SHA-256 from nettle.
#include <fcntl.h>
#include <nettle/sha2.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <ctime>
#include <string>

#include "platform/content_hash.h"
#include "platform/posix/posix_file_system.h"

namespace tf::platform {
namespace {

ContentStatus StatusOf(int error) {
    switch (error) {
        case EACCES:
        case EPERM: return ContentStatus::kDenied;
        case ENOENT:
        case ENOTDIR: return ContentStatus::kVanished;
        case ELOOP: return ContentStatus::kNotRegular;  // became a link
        default: return ContentStatus::kFailed;
    }
}

class PosixContentFile final : public ContentFile {
public:
    PosixContentFile(int fd, const struct stat& st) : fd_(fd) {
        size_ = static_cast<std::uint64_t>(st.st_size);
        identity_ = {static_cast<std::uint64_t>(st.st_dev), static_cast<std::uint64_t>(st.st_ino)};
        modified_ = ToTicks(st.st_mtim.tv_sec, static_cast<std::uint32_t>(st.st_mtim.tv_nsec));
    }
    void ForgetTime() { modified_ = 0; }
    ~PosixContentFile() override { close(fd_); }
    PosixContentFile(const PosixContentFile&) = delete;
    PosixContentFile& operator=(const PosixContentFile&) = delete;

    std::int64_t ReadAt(std::uint64_t offset, void* buffer, std::size_t size) override {
        for (;;) {
            const ssize_t n = pread(fd_, buffer, size, static_cast<off_t>(offset));
            if (n >= 0) return n;
            if (errno != EINTR) return -1;
        }
    }
    std::uint64_t CurrentSize() override {
        struct stat st {};
        return fstat(fd_, &st) == 0 ? static_cast<std::uint64_t>(st.st_size) : ~std::uint64_t{0};
    }
    void ExpectSequential() override { posix_fadvise(fd_, 0, 0, POSIX_FADV_SEQUENTIAL); }
    void WillRead(std::uint64_t offset, std::uint64_t size) override {
        posix_fadvise(fd_, static_cast<off_t>(offset), static_cast<off_t>(size), POSIX_FADV_WILLNEED);
    }

private:
    int fd_;
};

class NettleSha256 final : public Hasher {
public:
    NettleSha256() { sha256_init(&context_); }
    void Update(const void* data, std::size_t size) override {
        sha256_update(&context_, size, static_cast<const std::uint8_t*>(data));
    }
    std::string Finish() override {
        std::uint8_t digest[SHA256_DIGEST_SIZE];
        sha256_digest(&context_, sizeof digest, digest);
        static const char kDigits[] = "0123456789abcdef";
        std::string hex;
        for (std::uint8_t b : digest) {
            hex += kDigits[b >> 4];
            hex += kDigits[b & 15];
        }
        return hex;
    }

private:
    sha256_ctx context_;
};

}  // namespace

ContentStatus OpenContentFile(const std::string& path, std::unique_ptr<ContentFile>& file) {
    // FIFOs and devices are left alone: opening one may block or have
    // effects. The check after opening catches one put there meanwhile;
    // O_NONBLOCK keeps that open from waiting.
    struct stat st {};
    if (lstat(path.c_str(), &st) != 0) return StatusOf(errno);
    if (!S_ISREG(st.st_mode)) return ContentStatus::kNotRegular;
    const int fd = open(path.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (fd < 0) return StatusOf(errno);
    if (fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        close(fd);
        return ContentStatus::kNotRegular;
    }
    file = std::make_unique<PosixContentFile>(fd, st);
    return ContentStatus::kRead;
}

ContentStatus OpenSavedFile(const std::string& path, std::unique_ptr<ContentFile>& file) {
    const int fd = open(path.c_str(), O_RDONLY | O_NOCTTY | O_CLOEXEC);
    if (fd < 0) return StatusOf(errno);
    struct stat st {};
    if (fstat(fd, &st) != 0 || S_ISDIR(st.st_mode)) {
        close(fd);
        return ContentStatus::kNotRegular;
    }
    if (S_ISREG(st.st_mode)) {
        file = std::make_unique<PosixContentFile>(fd, st);
        return ContentStatus::kRead;
    }
    // A stream is read once: its bytes go to a file without a name, which
    // the system removes when it is closed.
    const char* folder = std::getenv("TMPDIR");
    std::string place = std::string(folder && *folder ? folder : "/tmp") + "/tallyfold-input-XXXXXX";
    const int copy = mkstemp(place.data());
    if (copy < 0) {
        close(fd);
        return ContentStatus::kFailed;
    }
    unlink(place.c_str());
    char buffer[1 << 16];
    bool ok = true;
    for (;;) {
        const ssize_t n = read(fd, buffer, sizeof buffer);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) {
            ok = n == 0;
            break;
        }
        for (ssize_t done = 0; ok && done < n;) {
            const ssize_t w = write(copy, buffer + done, static_cast<std::size_t>(n - done));
            if (w < 0 && errno == EINTR) continue;
            ok = w > 0;
            done += w > 0 ? w : 0;
        }
        if (!ok) break;
    }
    close(fd);
    if (!ok || fstat(copy, &st) != 0) {
        close(copy);
        return ContentStatus::kFailed;
    }
    auto copied = std::make_unique<PosixContentFile>(copy, st);
    copied->ForgetTime();  // the copy's time is now, not the stream's
    file = std::move(copied);
    return ContentStatus::kRead;
}

bool FileIdentityOf(const std::string& path, ContentIdentity& identity) {
    struct stat st {};
    if (stat(path.c_str(), &st) != 0) return false;
    identity = {static_cast<std::uint64_t>(st.st_dev), static_cast<std::uint64_t>(st.st_ino)};
    return true;
}

std::unique_ptr<Hasher> CreateSha256Hasher() { return std::make_unique<NettleSha256>(); }

FileStamp StampOf(const std::string& path) {
    struct statx sx {};
    constexpr unsigned kMask = STATX_TYPE | STATX_MTIME | STATX_CTIME | STATX_INO;
    if (statx(AT_FDCWD, path.c_str(), AT_SYMLINK_NOFOLLOW | AT_NO_AUTOMOUNT, kMask, &sx) != 0 ||
        (sx.stx_mask & kMask) != kMask || !S_ISREG(sx.stx_mode))
        return FileStamp{};
    const auto ns = [](const struct statx_timestamp& t) {
        return static_cast<std::uint64_t>(t.tv_sec) * 1000000000u + t.tv_nsec;
    };
    return FileStamp{ns(sx.stx_mtime), ns(sx.stx_ctime), (static_cast<std::uint64_t>(sx.stx_dev_major) << 32) | sx.stx_dev_minor,
                     sx.stx_ino, true};
}

bool IsSettled(const FileStamp& stamp) {
    // Times are nanoseconds since 1970 here; the kernel sets them from a
    // clock that moves in ticks of a few milliseconds, and some file systems
    // keep whole seconds.
    constexpr std::uint64_t kMargin = 2000000000u;
    timespec now {};
    clock_gettime(CLOCK_REALTIME, &now);
    const std::uint64_t nowNs = static_cast<std::uint64_t>(now.tv_sec) * 1000000000u + static_cast<std::uint64_t>(now.tv_nsec);
    return stamp.known && stamp.changed + kMargin <= nowNs && stamp.modified + kMargin <= nowNs;
}

}  // namespace tf::platform
