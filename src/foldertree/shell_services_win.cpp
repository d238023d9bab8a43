#include "foldertree/shell_services_win.h"

#include <shlobj.h>
#include <shlwapi.h>

#include "foldertree/shell_path.h"
#include "platform/win32/unique_handle.h"

namespace tf::foldertree {
namespace {

using platform::win32::ComPtr;
using platform::win32::UniqueIdList;
using platform::win32::UniqueRegistryKey;

int SpecialFolderOf(ShellNamespace ns) {
    switch (ns) {
        case ShellNamespace::kDesktop: return CSIDL_DESKTOP;
        case ShellNamespace::kControls: return CSIDL_CONTROLS;
        case ShellNamespace::kDrives: return CSIDL_DRIVES;
        case ShellNamespace::kNetwork: return CSIDL_NETWORK;
    }
    return CSIDL_DESKTOP;
}

std::string DisplayName(IShellFolder* folder, LPCITEMIDLIST child, SHGDNF flags) {
    STRRET name{};
    if (FAILED(folder->GetDisplayNameOf(child, flags, &name))) return std::string();
    char buffer[MAX_PATH * 2] = {};
    // StrRetToBufA frees the string a STRRET may carry.
    if (FAILED(StrRetToBufA(&name, child, buffer, sizeof buffer))) return std::string();
    return buffer;
}

}  // namespace

Win32ShellServices::Win32ShellServices(HWND owner) : owner_(owner) {
    const HRESULT hr = CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    comInitialized_ = SUCCEEDED(hr);
}

Win32ShellServices::~Win32ShellServices() {
    if (comInitialized_) CoUninitialize();
}

std::vector<ShellItem> Win32ShellServices::Items(ShellNamespace ns) {
    std::vector<ShellItem> items;
    ComPtr<IShellFolder> desktop;
    if (FAILED(SHGetDesktopFolder(desktop.put()))) return items;

    ComPtr<IShellFolder> bound;
    IShellFolder* folder = desktop.get();
    if (ns != ShellNamespace::kDesktop) {
        UniqueIdList pidl;
        if (FAILED(SHGetSpecialFolderLocation(owner_, SpecialFolderOf(ns), pidl.put())) || !pidl.get()) return items;
        if (FAILED(desktop->BindToObject(pidl.get(), nullptr, IID_IShellFolder, reinterpret_cast<void**>(bound.put()))) || !bound.get()) {
            return items;
        }
        folder = bound.get();
    }

    ComPtr<IEnumIDList> children;
    // S_FALSE with no enumerator means an empty folder.
    if (folder->EnumObjects(owner_, SHCONTF_FOLDERS | SHCONTF_NONFOLDERS, children.put()) != S_OK ||
        !children.get()) {
        return items;
    }
    for (;;) {
        UniqueIdList child;
        if (children->Next(1, child.put(), nullptr) != S_OK || !child.get()) break;
        LPCITEMIDLIST item = child.get();
        ShellItem entry;
        entry.name = DisplayName(folder, item, SHGDN_NORMAL);
        entry.path = CanonicalShellPath(DisplayName(folder, item, SHGDN_FORPARSING));
        SFGAOF attributes = SFGAO_FOLDER;
        if (SUCCEEDED(folder->GetAttributesOf(1, &item, &attributes))) {
            entry.isFolder = (attributes & SFGAO_FOLDER) != 0;
        }
        items.push_back(std::move(entry));
    }
    return items;
}

std::string Win32ShellServices::DesktopDirectory() {
    char buffer[256] = {};
    if (!SHGetSpecialFolderPathA(owner_, buffer, CSIDL_DESKTOPDIRECTORY, FALSE)) return std::string();
    return std::string(buffer, strnlen(buffer, sizeof buffer));
}

std::optional<std::string> Win32ShellServices::DefaultIconValue(const std::string& keyName) {
    UniqueRegistryKey key;
    if (RegOpenKeyA(HKEY_CLASSES_ROOT, keyName.c_str(), key.put()) != ERROR_SUCCESS) return std::nullopt;
    char buffer[256] = {};
    DWORD size = sizeof buffer - 1;
    DWORD type = REG_EXPAND_SZ;
    if (RegQueryValueExA(key.get(), "", nullptr, &type, reinterpret_cast<BYTE*>(buffer), &size) != ERROR_SUCCESS) {
        return std::nullopt;
    }
    if (type != REG_SZ && type != REG_EXPAND_SZ) return std::nullopt;
    return std::string(buffer, strnlen(buffer, sizeof buffer));
}

std::optional<std::string> Win32ShellServices::Environment(const std::string& name) {
    char buffer[MAX_PATH] = {};
    const DWORD length = GetEnvironmentVariableA(name.c_str(), buffer, sizeof buffer);
    if (length == 0 || length >= sizeof buffer) return std::nullopt;
    return std::string(buffer, length);
}

}  // namespace tf::foldertree
