#pragma once
// Services the main window asks of the desktop: starting programs, asking for
// a file name to save to or read, and copying report files. The Win32
// build uses the shell, the common file dialog and the file API; tests put
// recorders in their place so that nothing ever waits for a person.
#include <optional>
#include <string>

namespace tf::platform {

class ProgramLauncher {
public:
    virtual ~ProgramLauncher() = default;
    // Starts `program` with the one `parameter`, passed exactly as given.
    // Whether the program could be started is not reported.
    virtual void Open(const std::string& program, const std::string& parameter) = 0;
    // Opens the file `path` with the program the system associates with it,
    // or with `fallback` when there is none.
    virtual void OpenDocument(const std::string& path, const std::string& fallback) = 0;
};

class FileDialog {
public:
    virtual ~FileDialog() = default;
    // Asks for a destination, starting from `fileName`; `description` names
    // the kind of file ("TXT file (.txt)"). Empty when the person cancels.
    virtual std::optional<std::string> AskSave(const std::string& fileName, const std::string& description) = 0;
    // Asks for an existing file to read, likewise.
    virtual std::optional<std::string> AskOpen(const std::string& fileName, const std::string& description) = 0;
};

class FileOperations {
public:
    virtual ~FileOperations() = default;
    virtual bool Exists(const std::string& path) = 0;
    // Copies `from` to `to`, replacing a file that is already there.
    virtual bool Copy(const std::string& from, const std::string& to) = 0;
};

}  // namespace tf::platform
