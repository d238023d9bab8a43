#include "platform/win32/desktop_services_win.h"

#include <commdlg.h>
#include <shellapi.h>
#include <shlobj.h>

#include <algorithm>
#include <vector>

#include "platform/win32/wide_text_win.h"

namespace tf::platform::win32 {

void MessageBoxSink::Show(const Message& message) {
    UINT icon = 0;
    switch (message.icon) {
        case MessageIcon::kNone: break;
        case MessageIcon::kError: icon = MB_ICONERROR; break;
        case MessageIcon::kExclamation: icon = MB_ICONEXCLAMATION; break;
    }
    const std::string& caption = message.caption.empty() ? title_ : message.caption;
    if (message.textCodePage == 0) {
        MessageBoxA(owner_, message.text.c_str(), caption.c_str(), MB_OK | icon);
        return;
    }
    // Read in its own code page, whatever the program's is (UTF-8 would
    // show its accented letters as replacement marks).
    MessageBoxW(owner_, Widen(message.text, message.textCodePage).c_str(), Widen(caption).c_str(), MB_OK | icon);
}

void ShellLauncher::Open(const std::string& program, const std::string& parameter) {
    ShellExecuteA(owner_, "open", program.c_str(), parameter.c_str(), nullptr, SW_SHOWNORMAL);
}

void ShellLauncher::OpenDocument(const std::string& path, const std::string& fallback) {
    char program[MAX_PATH] = {};
    // More than 32: some program is registered for the file's kind.
    if (reinterpret_cast<INT_PTR>(FindExecutableA(path.c_str(), nullptr, program)) > 32)
        ShellExecuteA(owner_, "open", path.c_str(), nullptr, nullptr, SW_SHOWNORMAL);
    else
        Open(fallback, path);
}

std::optional<std::string> CommonFileDialog::AskSave(const std::string& fileName, const std::string& description) {
    return Ask(fileName, description, false);
}

std::optional<std::string> CommonFileDialog::AskOpen(const std::string& fileName, const std::string& description) {
    return Ask(fileName, description, true);
}

std::optional<std::string> CommonFileDialog::Ask(const std::string& fileName, const std::string& description,
                                                 bool toOpen) {
    // The filter lists files of the described kind; the caller appends the
    // extension to whatever name comes back.
    std::string filter = description;
    const std::size_t open = description.find("(.");
    const std::size_t close = description.find(')', open);
    const std::string pattern =
        (open != std::string::npos && close != std::string::npos) ? "*" + description.substr(open + 1, close - open - 1)
                                                                 : "*.*";
    filter.push_back('\0');
    filter += pattern;
    filter.push_back('\0');

    std::vector<char> name(32768, '\0');
    fileName.copy(name.data(), std::min(fileName.size(), name.size() - 1));
    OPENFILENAMEA ofn{};
    ofn.lStructSize = sizeof ofn;
    ofn.hwndOwner = owner_;
    ofn.lpstrFilter = filter.c_str();  // ends in the string's own NUL: a double NUL
    ofn.nFilterIndex = 1;
    ofn.lpstrFile = name.data();
    ofn.nMaxFile = static_cast<DWORD>(name.size());
    ofn.Flags = OFN_EXPLORER | OFN_PATHMUSTEXIST | OFN_HIDEREADONLY | OFN_NOCHANGEDIR;
    if (toOpen) ofn.Flags |= OFN_FILEMUSTEXIST;
    if (!(toOpen ? GetOpenFileNameA(&ofn) : GetSaveFileNameA(&ofn))) return std::nullopt;
    return std::string(name.data());
}

bool Win32FileOperations::Exists(const std::string& path) {
    const DWORD attributes = GetFileAttributesA(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY);
}

namespace {

std::string FullPath(const std::string& path) {
    char full[MAX_PATH * 4] = {};
    const DWORD n = GetFullPathNameA(path.c_str(), sizeof full, full, nullptr);
    return (n == 0 || n >= sizeof full) ? path : std::string(full, n);
}

}  // namespace

bool Win32FileOperations::Copy(const std::string& from, const std::string& to) {
    // A file copied onto itself is already where it should be; CopyFileA
    // would fail on the sharing check.
    if (lstrcmpiA(FullPath(from).c_str(), FullPath(to).c_str()) == 0) return Exists(from);
    return CopyFileA(from.c_str(), to.c_str(), FALSE) != FALSE;
}

namespace {

// The executable's full path; empty when the system cannot say.
std::string ModulePath() {
    std::vector<char> path(MAX_PATH);
    for (;;) {
        const DWORD n = GetModuleFileNameA(nullptr, path.data(), static_cast<DWORD>(path.size()));
        if (n == 0) return std::string();
        if (n < path.size()) return std::string(path.data(), n);
        path.resize(path.size() * 2);
    }
}

}  // namespace

std::string ApplicationFolder() {
    const std::string full = ModulePath();
    const std::size_t slash = full.find_last_of("\\/");
    return slash == std::string::npos ? std::string() : full.substr(0, slash);
}

std::string ApplicationTitle() {
    const std::string full = ModulePath();
    const std::size_t slash = full.find_last_of("\\/");
    std::string name = slash == std::string::npos ? full : full.substr(slash + 1);
    const std::size_t dot = name.rfind('.');
    if (dot != std::string::npos && dot > 0) name.erase(dot);
    return name;
}

std::string DesktopDirectory() {
    char path[MAX_PATH] = {};
    if (!SHGetSpecialFolderPathA(nullptr, path, CSIDL_DESKTOPDIRECTORY, FALSE)) return std::string();
    return path;
}

}  // namespace tf::platform::win32
