#include "platform/replacing_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <climits>
#include <cstdlib>
#include <cstring>

namespace tf::platform {

struct ReplacingFile::Handle {
    int fd = -1;
    bool owned = true;  // standard output is not ours to close
};

ReplacingFile::ReplacingFile(std::string path) : path_(std::move(path)) {}

ReplacingFile::~ReplacingFile() { Discard(); }

namespace {

int LastError() { return errno ? errno : EIO; }

// The place a rename must replace: a link to a report replaces the report
// it leads to, not the link.
std::string ResolvedTarget(const std::string& path) {
    struct stat st {};
    if (lstat(path.c_str(), &st) != 0 || !S_ISLNK(st.st_mode)) return path;
    char* real = realpath(path.c_str(), nullptr);
    if (!real) return path;  // a link that leads nowhere: replaced as itself
    std::string resolved = real;
    std::free(real);
    return resolved;
}

// The descriptor a path names when it is one of this process's own ("-",
// /dev/stdout, /dev/stderr, /dev/fd/N, /proc/self/fd/N), else -1. Such a
// file is the caller's, open already (a shell's `2>log`): replacing it would
// leave whatever is written there later in a file no longer named.
int OwnDescriptor(const std::string& path) {
    if (path == "-" || path == "/dev/stdout") return STDOUT_FILENO;
    if (path == "/dev/stderr") return STDERR_FILENO;
    for (const char* prefix : {"/dev/fd/", "/proc/self/fd/"}) {
        const std::size_t length = std::strlen(prefix);
        if (path.compare(0, length, prefix) != 0 || path.size() == length || path.size() > length + 6) continue;
        int fd = 0;
        for (std::size_t i = length; i < path.size(); ++i) {
            if (path[i] < '0' || path[i] > '9') return -1;
            fd = fd * 10 + (path[i] - '0');
        }
        return fd;
    }
    return -1;
}

}  // namespace

int ReplacingFile::Open() {
    Discard();
    auto handle = std::make_unique<Handle>();
    if (const int own = OwnDescriptor(path_); own >= 0) {
        // Written where it stands, through the descriptor itself, so that
        // what the caller wrote there before and after is kept.
        if (fcntl(own, F_GETFD) < 0) return EBADF;
        handle->fd = own;
        handle->owned = false;
        handle_ = std::move(handle);
        return 0;
    }
    struct stat st {};
    const bool exists = stat(path_.c_str(), &st) == 0;
    if (exists && S_ISDIR(st.st_mode)) return EISDIR;
    if (exists && !S_ISREG(st.st_mode)) {
        errno = 0;
        handle->fd = open(path_.c_str(), O_WRONLY | O_CLOEXEC | O_NOCTTY);
        if (handle->fd < 0) return LastError();
        handle_ = std::move(handle);
        return 0;
    }
    target_ = ResolvedTarget(path_);
    // A name of our own beside the target, so the rename stays on one volume.
    const std::string stem = target_ + ".partial";
    for (unsigned attempt = 0; attempt < 100; ++attempt) {
        std::string name = stem;
        if (attempt) name += "-" + std::to_string(getpid()) + "-" + std::to_string(attempt);
        errno = 0;
        const int fd = open(name.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC | O_NOCTTY, 0666);
        if (fd < 0 && errno == EEXIST) continue;
        if (fd < 0) return LastError();
        // The report keeps the earlier one's permissions; a new one gets the
        // umask's, as a plain create would.
        if (exists) (void)fchmod(fd, st.st_mode & 07777);
        handle->fd = fd;
        temporary_ = std::move(name);
        handle_ = std::move(handle);
        return 0;
    }
    return EEXIST;
}

int ReplacingFile::Write(const char* data, std::size_t size) {
    if (!handle_) return EBADF;
    while (size > 0) {
        errno = 0;
        const ssize_t n = write(handle_->fd, data, size);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return n < 0 ? LastError() : ENOSPC;
        data += n;
        size -= static_cast<std::size_t>(n);
    }
    return 0;
}

int ReplacingFile::Commit() {
    if (!handle_) return EBADF;
    int error = 0;
    if (handle_->owned) {
        errno = 0;
        if (close(handle_->fd) != 0) error = LastError();
    }
    handle_.reset();
    if (temporary_.empty()) return error;
    if (!error) {
        errno = 0;
        if (rename(temporary_.c_str(), target_.c_str()) != 0) error = LastError();
    }
    if (error) unlink(temporary_.c_str());
    temporary_.clear();
    return error;
}

void ReplacingFile::Discard() {
    if (handle_ && handle_->owned) close(handle_->fd);
    handle_.reset();
    if (!temporary_.empty()) unlink(temporary_.c_str());
    temporary_.clear();
}

std::string WriteErrorText(int error) { return std::strerror(error); }

}  // namespace tf::platform
