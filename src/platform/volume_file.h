#pragma once
// Bytes of a whole volume, read at any offset: a partition, a drive or an
// image file holding one. The readers of on-disk formats see only this, so
// they are tested on images held in memory.
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace tf::platform {

class VolumeFile {
public:
    virtual ~VolumeFile() = default;
    // Bytes the volume holds.
    virtual std::uint64_t Size() const = 0;
    // Reads exactly `size` bytes at `offset`; false on an error or past the
    // end.
    virtual bool ReadAt(std::uint64_t offset, void* buffer, std::size_t size) = 0;
};

// A volume held in memory, for tests and fuzzing.
class MemoryVolumeFile final : public VolumeFile {
public:
    explicit MemoryVolumeFile(std::vector<std::uint8_t> bytes) : bytes_(std::move(bytes)) {}
    MemoryVolumeFile(const std::uint8_t* data, std::size_t size) : bytes_(data, data + size) {}
    std::uint64_t Size() const override { return bytes_.size(); }
    bool ReadAt(std::uint64_t offset, void* buffer, std::size_t size) override;
    std::vector<std::uint8_t>& Bytes() { return bytes_; }

private:
    std::vector<std::uint8_t> bytes_;
};

// Opens a device or an image file for reading (posix/, win32/: "\\.\D:"
// names a volume there). Empty, or why it could not be opened.
std::string OpenVolumeFile(const std::string& path, std::unique_ptr<VolumeFile>& file);

}  // namespace tf::platform
