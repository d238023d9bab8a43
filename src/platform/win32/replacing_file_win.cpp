#include "platform/replacing_file.h"

#include <windows.h>

#include <cstring>

#include "platform/win32/unique_handle.h"
#include "platform/win32/wide_text_win.h"

namespace tf::platform {

struct ReplacingFile::Handle {
    win32::UniqueFile file;
    HANDLE out = INVALID_HANDLE_VALUE;  // the file, or standard output (not ours to close)
};

ReplacingFile::ReplacingFile(std::string path) : path_(std::move(path)) {}

ReplacingFile::~ReplacingFile() { Discard(); }

namespace {

// The C library's codes, so both platforms describe failures alike.
int ErrorCode(DWORD error) {
    switch (error) {
        case ERROR_DISK_FULL:
        case ERROR_HANDLE_DISK_FULL: return ENOSPC;
        case ERROR_ACCESS_DENIED:
        case ERROR_WRITE_PROTECT: return EACCES;
        case ERROR_SHARING_VIOLATION:
        case ERROR_LOCK_VIOLATION: return kErrorFileInUse;
        case ERROR_FILE_NOT_FOUND:
        case ERROR_PATH_NOT_FOUND:
        case ERROR_INVALID_NAME: return ENOENT;
        case ERROR_FILE_EXISTS:
        case ERROR_ALREADY_EXISTS: return EEXIST;
        case ERROR_FILENAME_EXCED_RANGE: return ENAMETOOLONG;
        default: return EIO;
    }
}

int LastError() { return ErrorCode(GetLastError()); }

// Devices (NUL, CON, COM1, a pipe) answer to a file name too: they are
// written directly, never replaced.
bool IsDevice(const std::wstring& path) {
    win32::UniqueFile probe(CreateFileW(path.c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                        nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr));
    return probe && GetFileType(probe.get()) != FILE_TYPE_DISK;
}

}  // namespace

int ReplacingFile::Open() {
    Discard();
    auto handle = std::make_unique<Handle>();
    if (path_ == "-") {
        handle->out = GetStdHandle(STD_OUTPUT_HANDLE);
        if (handle->out == nullptr || handle->out == INVALID_HANDLE_VALUE) return EBADF;
        handle_ = std::move(handle);
        return 0;
    }
    const std::wstring wide = win32::FileApiPath(path_);
    const DWORD attributes = GetFileAttributesW(wide.c_str());
    if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY)) return EISDIR;
    if (IsDevice(wide)) {
        handle->file.reset(CreateFileW(wide.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                       OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
        if (!handle->file) return LastError();
        handle->out = handle->file.get();
        handle_ = std::move(handle);
        return 0;
    }
    target_ = path_;
    const std::string stem = target_ + ".partial";
    for (unsigned attempt = 0; attempt < 100; ++attempt) {
        std::string name = stem;
        if (attempt) name += "-" + std::to_string(GetCurrentProcessId()) + "-" + std::to_string(attempt);
        // Others may read the report while it is made, but not change it.
        handle->file.reset(CreateFileW(win32::FileApiPath(name).c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr,
                                       CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr));
        if (!handle->file && GetLastError() == ERROR_FILE_EXISTS) continue;
        if (!handle->file) return LastError();
        handle->out = handle->file.get();
        temporary_ = std::move(name);
        handle_ = std::move(handle);
        return 0;
    }
    return EEXIST;
}

int ReplacingFile::Write(const char* data, std::size_t size) {
    if (!handle_) return EBADF;
    while (size > 0) {
        const DWORD chunk = size > (1u << 30) ? (1u << 30) : static_cast<DWORD>(size);
        DWORD written = 0;
        if (!WriteFile(handle_->out, data, chunk, &written, nullptr)) return LastError();
        if (written == 0) return ENOSPC;
        data += written;
        size -= written;
    }
    return 0;
}

int ReplacingFile::Commit() {
    if (!handle_) return EBADF;
    int error = 0;
    if (handle_->file && !CloseHandle(handle_->file.release())) error = LastError();
    handle_.reset();
    if (temporary_.empty()) return error;
    const std::wstring from = win32::FileApiPath(temporary_);
    const std::wstring to = win32::FileApiPath(target_);
    // A viewer that opened the earlier report with sharing for deletion
    // does not stop the replace; a scanner that holds it for a moment is
    // waited for, briefly; a program that holds it locked is reported.
    for (int attempt = 0; !error; ++attempt) {
        if (MoveFileExW(from.c_str(), to.c_str(), MOVEFILE_REPLACE_EXISTING)) break;
        const DWORD code = GetLastError();
        const bool busy = code == ERROR_SHARING_VIOLATION || code == ERROR_LOCK_VIOLATION ||
                          (code == ERROR_ACCESS_DENIED && GetFileAttributesW(to.c_str()) != INVALID_FILE_ATTRIBUTES &&
                           !(GetFileAttributesW(to.c_str()) & FILE_ATTRIBUTE_READONLY));
        if (!busy) error = ErrorCode(code);
        else if (attempt == 10) error = kErrorFileInUse;
        else Sleep(50);
    }
    if (error) DeleteFileW(from.c_str());
    temporary_.clear();
    return error;
}

void ReplacingFile::Discard() {
    handle_.reset();
    if (!temporary_.empty()) DeleteFileW(win32::FileApiPath(temporary_).c_str());
    temporary_.clear();
}

std::string WriteErrorText(int error) {
    if (error == kErrorFileInUse) return "the earlier report is open in another program";
    return std::strerror(error);
}

}  // namespace tf::platform
