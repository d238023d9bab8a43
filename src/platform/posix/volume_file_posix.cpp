#include <fcntl.h>
#include <linux/fs.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "platform/volume_file.h"

namespace tf::platform {
namespace {

class PosixVolumeFile final : public VolumeFile {
public:
    PosixVolumeFile(int fd, std::uint64_t size) : fd_(fd), size_(size) {}
    ~PosixVolumeFile() override { close(fd_); }
    PosixVolumeFile(const PosixVolumeFile&) = delete;
    PosixVolumeFile& operator=(const PosixVolumeFile&) = delete;

    std::uint64_t Size() const override { return size_; }
    bool ReadAt(std::uint64_t offset, void* buffer, std::size_t size) override {
        if (offset > size_ || size > size_ - offset) return false;
        auto* out = static_cast<char*>(buffer);
        while (size > 0) {
            const ssize_t got = pread(fd_, out, size, static_cast<off_t>(offset));
            if (got < 0 && errno == EINTR) continue;
            if (got <= 0) return false;
            out += got;
            offset += static_cast<std::uint64_t>(got);
            size -= static_cast<std::size_t>(got);
        }
        return true;
    }

private:
    int fd_;
    std::uint64_t size_;
};

}  // namespace

std::string OpenVolumeFile(const std::string& path, std::unique_ptr<VolumeFile>& file) {
    const int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return std::strerror(errno);
    struct stat st {};
    std::uint64_t size = 0;
    if (fstat(fd, &st) != 0) {
        const int error = errno;
        close(fd);
        return std::strerror(error);
    }
    if (S_ISREG(st.st_mode)) {
        size = static_cast<std::uint64_t>(st.st_size);
    } else if (S_ISBLK(st.st_mode)) {
        if (ioctl(fd, BLKGETSIZE64, &size) != 0) size = 0;
    } else {
        close(fd);
        return "neither a device nor a file";
    }
    file = std::make_unique<PosixVolumeFile>(fd, size);
    return std::string();
}

}  // namespace tf::platform
