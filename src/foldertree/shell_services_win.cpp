#include "foldertree/shell_services_win.h"

#include <shlobj.h>
#include <shlwapi.h>

#include "foldertree/shell_path.h"

namespace tf::foldertree {
namespace {

// Owns one COM interface pointer.
template <class T>
class ComRef {
public:
    ComRef() = default;
    ~ComRef() { Reset(); }
    ComRef(const ComRef&) = delete;
    ComRef& operator=(const ComRef&) = delete;
    T* operator->() const { return p_; }
    T* get() const { return p_; }
    T** put() {
        Reset();
        return &p_;
    }
    void** put_void() { return reinterpret_cast<void**>(put()); }
    void Reset() {
        if (p_) p_->Release();
        p_ = nullptr;
    }

private:
    T* p_ = nullptr;
};

class CoTaskPidl {
public:
    CoTaskPidl() = default;
    ~CoTaskPidl() { CoTaskMemFree(p_); }
    CoTaskPidl(const CoTaskPidl&) = delete;
    CoTaskPidl& operator=(const CoTaskPidl&) = delete;
    LPITEMIDLIST* put() { return &p_; }
    LPITEMIDLIST get() const { return p_; }

private:
    LPITEMIDLIST p_ = nullptr;
};

class RegKey {
public:
    RegKey() = default;
    ~RegKey() {
        if (h_) RegCloseKey(h_);
    }
    RegKey(const RegKey&) = delete;
    RegKey& operator=(const RegKey&) = delete;
    HKEY* put() { return &h_; }
    HKEY get() const { return h_; }

private:
    HKEY h_ = nullptr;
};

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
    ComRef<IShellFolder> desktop;
    if (FAILED(SHGetDesktopFolder(desktop.put()))) return items;

    ComRef<IShellFolder> bound;
    IShellFolder* folder = desktop.get();
    if (ns != ShellNamespace::kDesktop) {
        CoTaskPidl pidl;
        if (FAILED(SHGetSpecialFolderLocation(owner_, SpecialFolderOf(ns), pidl.put())) || !pidl.get()) return items;
        if (FAILED(desktop->BindToObject(pidl.get(), nullptr, IID_IShellFolder, bound.put_void())) || !bound.get()) {
            return items;
        }
        folder = bound.get();
    }

    ComRef<IEnumIDList> children;
    // S_FALSE with no enumerator means an empty folder.
    if (folder->EnumObjects(owner_, SHCONTF_FOLDERS | SHCONTF_NONFOLDERS, children.put()) != S_OK ||
        !children.get()) {
        return items;
    }
    for (;;) {
        CoTaskPidl child;
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
    RegKey key;
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
