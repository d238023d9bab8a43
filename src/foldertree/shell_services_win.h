#pragma once
// The shell's namespaces, the desktop directory and the DefaultIcon values,
// read through IShellFolder, SHGetSpecialFolderPathA and the registry.
#include <windows.h>

#include "foldertree/tree_services.h"

namespace tf::foldertree {

class Win32ShellServices : public ShellServices {
public:
    // `owner` is the window the shell may use for its own user interface.
    explicit Win32ShellServices(HWND owner);
    ~Win32ShellServices() override;
    Win32ShellServices(const Win32ShellServices&) = delete;
    Win32ShellServices& operator=(const Win32ShellServices&) = delete;

    std::vector<ShellItem> Items(ShellNamespace ns) override;
    std::string DesktopDirectory() override;
    std::optional<std::string> DefaultIconValue(const std::string& keyName) override;
    std::optional<std::string> Environment(const std::string& name) override;

private:
    HWND owner_;
    // CoUninitialize only pairs with an initialisation that succeeded.
    bool comInitialized_ = false;
};

}  // namespace tf::foldertree
