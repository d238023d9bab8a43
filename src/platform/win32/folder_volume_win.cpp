#include <windows.h>

#include <vector>

#include "platform/folder_volume.h"
#include "platform/win32/wide_text_win.h"

namespace tf::platform {

FolderVolume VolumeOfFolder(const std::string& folder) {
    FolderVolume out;
    // The folder as the walk searches it: with a separator, so "C:" is the
    // drive's root as the walk's "C:\*" is, not its current folder.
    std::wstring path = win32::Widen(folder);
    if (path.empty()) return out;
    if (path.back() != L'\\' && path.back() != L'/') path += L'\\';
    const DWORD fullLength = GetFullPathNameW(path.c_str(), 0, nullptr, nullptr);
    if (fullLength == 0) return out;
    std::vector<wchar_t> full(fullLength + 1);
    if (!GetFullPathNameW(path.c_str(), static_cast<DWORD>(full.size()), full.data(), nullptr)) return out;
    std::vector<wchar_t> root(full.size() + 1);
    if (!GetVolumePathNameW(full.data(), root.data(), static_cast<DWORD>(root.size()))) return out;

    wchar_t fileSystem[MAX_PATH + 1] = {};
    if (!GetVolumeInformationW(root.data(), nullptr, 0, nullptr, nullptr, nullptr, fileSystem, MAX_PATH + 1))
        return out;
    const UINT type = GetDriveTypeW(root.data());
    out.root = win32::Narrow(root.data(), CP_UTF8);
    out.fullPath = win32::Narrow(full.data(), CP_UTF8);
    out.fileSystem = win32::Narrow(fileSystem, CP_UTF8);
    out.local = type == DRIVE_FIXED || type == DRIVE_REMOVABLE;
    out.utf8Names = GetACP() == CP_UTF8;
    // A drive letter opens as "\\.\C:"; a volume mounted in a folder by its
    // own name, "\\?\Volume{...}", without the closing separator.
    const std::wstring rootText = root.data();
    if (rootText.size() == 3 && rootText[1] == L':') {
        out.device = "\\\\.\\" + out.root.substr(0, 2);
    } else {
        wchar_t name[MAX_PATH + 1] = {};
        if (GetVolumeNameForVolumeMountPointW(root.data(), name, MAX_PATH + 1)) {
            std::wstring device = name;
            if (!device.empty() && device.back() == L'\\') device.pop_back();
            out.device = win32::Narrow(device, CP_UTF8);
        }
    }
    return out;
}

}  // namespace tf::platform
