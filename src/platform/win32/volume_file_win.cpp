#include <windows.h>
#include <winioctl.h>

#include <cstring>
#include <vector>

#include "platform/volume_file.h"
#include "platform/win32/unique_handle.h"
#include "platform/win32/wide_text_win.h"

namespace tf::platform {
namespace {

// A volume opened as a device takes reads of whole sectors at sector
// offsets only; an image file takes any, and is read the same way.
class Win32VolumeFile final : public VolumeFile {
public:
    Win32VolumeFile(win32::UniqueFile handle, std::uint64_t size, std::uint32_t sector)
        : handle_(std::move(handle)), size_(size), sector_(sector) {}

    std::uint64_t Size() const override { return size_; }
    bool ReadAt(std::uint64_t offset, void* buffer, std::size_t size) override {
        if (offset > size_ || size > size_ - offset) return false;
        const std::uint64_t start = offset / sector_ * sector_;
        const std::uint64_t end = (offset + size + sector_ - 1) / sector_ * sector_;
        const bool aligned = start == offset && end == offset + size;
        // The device also wants the buffer itself sector-aligned: a spare
        // one is made so, and the bytes asked for are copied out of it.
        std::uint8_t* target = static_cast<std::uint8_t*>(buffer);
        if (!aligned || reinterpret_cast<std::uintptr_t>(buffer) % sector_ != 0) {
            spare_.resize(static_cast<std::size_t>(end - start) + sector_);
            const std::uintptr_t at = reinterpret_cast<std::uintptr_t>(spare_.data());
            target = spare_.data() + (sector_ - at % sector_) % sector_;
        }
        std::uint64_t done = 0;
        while (start + done < end) {
            OVERLAPPED place{};
            place.Offset = static_cast<DWORD>(start + done);
            place.OffsetHigh = static_cast<DWORD>((start + done) >> 32);
            const std::uint64_t left = end - start - done;
            const DWORD ask = static_cast<DWORD>(left < (1u << 30) ? left : (1u << 30));
            DWORD got = 0;
            if (!ReadFile(handle_.get(), target + done, ask, &got, &place) || got == 0) {
                // An image's last sector may be short: what is there counts.
                if (start + done >= offset + size) break;
                return false;
            }
            done += got;
        }
        if (start + done < offset + size) return false;
        if (target != buffer) std::memcpy(buffer, target + (offset - start), size);
        return true;
    }

private:
    win32::UniqueFile handle_;
    std::uint64_t size_;
    std::uint32_t sector_;
    std::vector<std::uint8_t> spare_;
};

std::string ErrorText(DWORD error) {
    char text[256] = {};
    if (!FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, error, 0, text,
                        sizeof text, nullptr))
        return "error " + std::to_string(error);
    std::string message(text);
    while (!message.empty() && (message.back() == '\n' || message.back() == '\r' || message.back() == '.'))
        message.pop_back();
    return message;
}

}  // namespace

std::string OpenVolumeFile(const std::string& path, std::unique_ptr<VolumeFile>& file) {
    const std::wstring wide = win32::Widen(path, CP_UTF8);
    win32::UniqueFile handle(CreateFileW(wide.c_str(), GENERIC_READ,
                                         FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                                         FILE_FLAG_SEQUENTIAL_SCAN, nullptr));
    if (!handle) return ErrorText(GetLastError());
    std::uint64_t size = 0;
    std::uint32_t sector = 512;
    LARGE_INTEGER fileSize{};
    if (GetFileType(handle.get()) == FILE_TYPE_DISK && GetFileSizeEx(handle.get(), &fileSize) &&
        fileSize.QuadPart > 0) {
        size = static_cast<std::uint64_t>(fileSize.QuadPart);
    } else {
        // A volume: its length and sector size come from the device.
        GET_LENGTH_INFORMATION length{};
        DWORD bytes = 0;
        if (!DeviceIoControl(handle.get(), IOCTL_DISK_GET_LENGTH_INFO, nullptr, 0, &length, sizeof length, &bytes,
                             nullptr))
            return ErrorText(GetLastError());
        size = static_cast<std::uint64_t>(length.Length.QuadPart);
        DISK_GEOMETRY geometry{};
        if (DeviceIoControl(handle.get(), IOCTL_DISK_GET_DRIVE_GEOMETRY, nullptr, 0, &geometry, sizeof geometry, &bytes,
                            nullptr) &&
            geometry.BytesPerSector >= 512 && (geometry.BytesPerSector & (geometry.BytesPerSector - 1)) == 0)
            sector = geometry.BytesPerSector;
        else
            sector = 4096;
    }
    file = std::make_unique<Win32VolumeFile>(std::move(handle), size, sector);
    return std::string();
}

}  // namespace tf::platform
