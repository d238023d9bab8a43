#pragma once
// The desktop services through the shell, the common file dialog and the
// file API.
#include <windows.h>

#include <string>

#include "platform/desktop_services.h"
#include "platform/message_sink.h"

namespace tf::platform::win32 {

// OK-only message boxes owned by a window; a message without a caption is
// titled with the application's title.
class MessageBoxSink final : public MessageSink {
public:
    MessageBoxSink(HWND owner, std::string title) : owner_(owner), title_(std::move(title)) {}
    using MessageSink::Show;
    void Show(const Message& message) override;

private:
    HWND owner_;
    std::string title_;
};

class ShellLauncher final : public ProgramLauncher {
public:
    explicit ShellLauncher(HWND owner) : owner_(owner) {}
    void Open(const std::string& program, const std::string& parameter) override;
    void OpenDocument(const std::string& path, const std::string& fallback) override;

private:
    HWND owner_;
};

class CommonFileDialog final : public FileDialog {
public:
    explicit CommonFileDialog(HWND owner) : owner_(owner) {}
    std::optional<std::string> AskSave(const std::string& fileName, const std::string& description) override;
    std::optional<std::string> AskOpen(const std::string& fileName, const std::string& description) override;

private:
    std::optional<std::string> Ask(const std::string& fileName, const std::string& description, bool toOpen);
    HWND owner_;
};

class Win32FileOperations final : public FileOperations {
public:
    bool Exists(const std::string& path) override;
    bool Copy(const std::string& from, const std::string& to) override;
};

// The folder of the running executable, without a trailing backslash.
std::string ApplicationFolder();

// The executable's file name without its extension ("Tallyfold").
std::string ApplicationTitle();

// The user's desktop directory; empty when the shell cannot say.
std::string DesktopDirectory();

}  // namespace tf::platform::win32
