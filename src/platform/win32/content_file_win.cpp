// Regular files opened for their content, and SHA-256 from the system's
// cryptography (bcrypt.dll).
#include <windows.h>
#include <bcrypt.h>

#include "platform/content_hash.h"
#include "platform/win32/unique_handle.h"
#include "platform/win32/wide_text_win.h"

namespace tf::platform {
namespace {

ContentStatus StatusOf(DWORD error) {
    switch (error) {
        case ERROR_ACCESS_DENIED:
        case ERROR_SHARING_VIOLATION:
        case ERROR_LOCK_VIOLATION: return ContentStatus::kDenied;
        case ERROR_FILE_NOT_FOUND:
        case ERROR_PATH_NOT_FOUND: return ContentStatus::kVanished;
        default: return ContentStatus::kFailed;
    }
}

class WinContentFile final : public ContentFile {
public:
    WinContentFile(win32::UniqueFile file, const BY_HANDLE_FILE_INFORMATION& info) : file_(std::move(file)) {
        size_ = (static_cast<std::uint64_t>(info.nFileSizeHigh) << 32) | info.nFileSizeLow;
        identity_ = {info.dwVolumeSerialNumber,
                     (static_cast<std::uint64_t>(info.nFileIndexHigh) << 32) | info.nFileIndexLow};
        modified_ = (static_cast<std::uint64_t>(info.ftLastWriteTime.dwHighDateTime) << 32) |
                    info.ftLastWriteTime.dwLowDateTime;
    }

    std::int64_t ReadAt(std::uint64_t offset, void* buffer, std::size_t size) override {
        OVERLAPPED at{};
        at.Offset = static_cast<DWORD>(offset);
        at.OffsetHigh = static_cast<DWORD>(offset >> 32);
        DWORD read = 0;
        const DWORD want = static_cast<DWORD>(size > 0x40000000u ? 0x40000000u : size);
        if (ReadFile(file_.get(), buffer, want, &read, &at)) return read;
        return GetLastError() == ERROR_HANDLE_EOF ? 0 : -1;
    }
    std::uint64_t CurrentSize() override {
        LARGE_INTEGER size{};
        return GetFileSizeEx(file_.get(), &size) ? static_cast<std::uint64_t>(size.QuadPart) : ~std::uint64_t{0};
    }

private:
    win32::UniqueFile file_;
};

class BcryptSha256 final : public Hasher {
public:
    BcryptSha256() {
        if (!BCRYPT_SUCCESS(BCryptOpenAlgorithmProvider(algorithm_.put(), BCRYPT_SHA256_ALGORITHM, nullptr, 0)) ||
            !BCRYPT_SUCCESS(BCryptCreateHash(algorithm_.get(), hash_.put(), nullptr, 0, nullptr, 0, 0)))
            hash_.reset();
    }
    bool Ready() const { return static_cast<bool>(hash_); }
    void Update(const void* data, std::size_t size) override {
        auto* bytes = static_cast<PUCHAR>(const_cast<void*>(data));
        while (size > 0) {
            const ULONG step = static_cast<ULONG>(size > 0x40000000u ? 0x40000000u : size);
            BCryptHashData(hash_.get(), bytes, step, 0);
            bytes += step;
            size -= step;
        }
    }
    std::string Finish() override {
        UCHAR digest[32];
        if (!BCRYPT_SUCCESS(BCryptFinishHash(hash_.get(), digest, sizeof digest, 0))) return std::string();
        static const char kDigits[] = "0123456789abcdef";
        std::string hex;
        for (UCHAR b : digest) {
            hex += kDigits[b >> 4];
            hex += kDigits[b & 15];
        }
        return hex;
    }

private:
    win32::UniqueCryptAlgorithm algorithm_;
    win32::UniqueCryptHash hash_;
};

}  // namespace

ContentStatus OpenContentFile(const std::string& path, std::unique_ptr<ContentFile>& file) {
    // The reparse point itself is opened, not what it leads to; anything
    // that is not a file on a disk is closed again unread.
    win32::UniqueFile handle(CreateFileW(win32::FileApiPath(path).c_str(), GENERIC_READ,
                                         FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                         OPEN_EXISTING, FILE_FLAG_OPEN_REPARSE_POINT | FILE_FLAG_SEQUENTIAL_SCAN,
                                         nullptr));
    if (!handle) return StatusOf(GetLastError());
    BY_HANDLE_FILE_INFORMATION info{};
    if (GetFileType(handle.get()) != FILE_TYPE_DISK || !GetFileInformationByHandle(handle.get(), &info) ||
        (info.dwFileAttributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT | FILE_ATTRIBUTE_DEVICE)))
        return ContentStatus::kNotRegular;
    file = std::make_unique<WinContentFile>(std::move(handle), info);
    return ContentStatus::kRead;
}

FileStamp StampOf(const std::string& path) {
    // Opened for its attributes only, the reparse point itself: the
    // directory search gives neither the change time nor the identity.
    win32::UniqueFile handle(CreateFileW(win32::FileApiPath(path).c_str(), FILE_READ_ATTRIBUTES,
                                         FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                         OPEN_EXISTING, FILE_FLAG_OPEN_REPARSE_POINT, nullptr));
    if (!handle) return FileStamp{};
    BY_HANDLE_FILE_INFORMATION info{};
    FILE_BASIC_INFO basic{};
    if (!GetFileInformationByHandle(handle.get(), &info) ||
        !GetFileInformationByHandleEx(handle.get(), FileBasicInfo, &basic, sizeof basic) ||
        (info.dwFileAttributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT | FILE_ATTRIBUTE_DEVICE)))
        return FileStamp{};
    // A volume that keeps no change time (FAT) gives none to trust.
    if (basic.ChangeTime.QuadPart <= 0 || basic.LastWriteTime.QuadPart <= 0) return FileStamp{};
    return FileStamp{static_cast<std::uint64_t>(basic.LastWriteTime.QuadPart),
                     static_cast<std::uint64_t>(basic.ChangeTime.QuadPart), info.dwVolumeSerialNumber,
                     (static_cast<std::uint64_t>(info.nFileIndexHigh) << 32) | info.nFileIndexLow, true};
}

bool IsSettled(const FileStamp& stamp) {
    // FILETIME ticks; NTFS sets them from a clock of about 16 ms ticks.
    constexpr std::uint64_t kMargin = 2 * 10000000u;
    FILETIME now{};
    GetSystemTimeAsFileTime(&now);
    const std::uint64_t ticks = (static_cast<std::uint64_t>(now.dwHighDateTime) << 32) | now.dwLowDateTime;
    return stamp.known && stamp.changed + kMargin <= ticks && stamp.modified + kMargin <= ticks;
}

ContentStatus OpenSavedFile(const std::string& path, std::unique_ptr<ContentFile>& file) {
    // Links are followed; a saved listing is a file on a disk.
    win32::UniqueFile handle(CreateFileW(win32::FileApiPath(path).c_str(), GENERIC_READ,
                                         FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                         OPEN_EXISTING, FILE_FLAG_SEQUENTIAL_SCAN, nullptr));
    if (!handle) return StatusOf(GetLastError());
    BY_HANDLE_FILE_INFORMATION info{};
    if (GetFileType(handle.get()) != FILE_TYPE_DISK || !GetFileInformationByHandle(handle.get(), &info) ||
        (info.dwFileAttributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_DEVICE)))
        return ContentStatus::kNotRegular;
    file = std::make_unique<WinContentFile>(std::move(handle), info);
    return ContentStatus::kRead;
}

bool FileIdentityOf(const std::string& path, ContentIdentity& identity) {
    win32::UniqueFile handle(CreateFileW(win32::FileApiPath(path).c_str(), 0,
                                         FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                         OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr));
    BY_HANDLE_FILE_INFORMATION info{};
    if (!handle || !GetFileInformationByHandle(handle.get(), &info)) return false;
    identity = {info.dwVolumeSerialNumber,
                (static_cast<std::uint64_t>(info.nFileIndexHigh) << 32) | info.nFileIndexLow};
    return true;
}

std::unique_ptr<Hasher> CreateSha256Hasher() {
    auto hasher = std::make_unique<BcryptSha256>();
    if (!hasher->Ready()) return nullptr;
    return hasher;
}

}  // namespace tf::platform
