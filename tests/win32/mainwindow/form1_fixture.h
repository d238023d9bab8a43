#pragma once
// Drives a real Form1 in-process. Message boxes, program launches and the
// save dialog go to recorders; files are real, in a private temporary folder
// that also stands in for the application folder.
#include <windows.h>

#include <gtest/gtest.h>

#include <deque>
#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "mainwindow/form1_win.h"
#include "platform/win32/desktop_services_win.h"

namespace tf::mainwindow::testing {

struct Launch {
    std::string program;  // empty: the program associated with the file
    std::string parameter;
    std::string fallback;  // with no associated program
};

class LaunchRecorder final : public platform::ProgramLauncher {
public:
    void Open(const std::string& program, const std::string& parameter) override {
        launches.push_back({program, parameter, {}});
    }
    void OpenDocument(const std::string& path, const std::string& fallback) override {
        launches.push_back({{}, path, fallback});
    }
    std::vector<Launch> launches;
};

// Answers each request with the next queued answer; no answer means Cancel.
class FileDialogRecorder final : public platform::FileDialog {
public:
    std::optional<std::string> AskSave(const std::string& fileName, const std::string& description) override {
        return Answer({fileName, description, false});
    }
    std::optional<std::string> AskOpen(const std::string& fileName, const std::string& description) override {
        return Answer({fileName, description, true});
    }
    struct Request {
        std::string fileName;
        std::string description;
        bool open = false;
    };
    std::vector<Request> asked;
    std::deque<std::optional<std::string>> answers;

private:
    std::optional<std::string> Answer(Request request) {
        asked.push_back(std::move(request));
        if (answers.empty()) return std::nullopt;
        std::optional<std::string> answer = answers.front();
        answers.pop_front();
        return answer;
    }
};

// Runs queued actions from inside whatever loop dispatches the thread's
// messages next: during a run, that is the scan's event pump.
class PumpHook {
public:
    PumpHook();
    ~PumpHook();
    void Post(std::function<void()> action);
    int ran() const { return ran_; }

private:
    static LRESULT CALLBACK Proc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp);
    HWND hwnd_ = nullptr;
    std::deque<std::function<void()>> actions_;
    int ran_ = 0;
};

std::string ReadFile(const std::string& path);
void WriteFile(const std::string& path, const std::string& bytes);
bool FileExists(const std::string& path);
// The program's skin in the source tree (the tests run under Wine, which
// shows the Linux file system as drive Z:).
inline const std::string kProgramSkinFile = std::string("Z:") + TF_ASSET_IMAGES_DIR + "/DOR.Skin";
void DrainMessages();

class Form1Test : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

    // Closes the window and opens a new one on the same folders, as a
    // fresh start of the program would.
    void Reopen();
    Form1& form() { return *form_; }
    HWND item(Control c) { return form_->Item(c); }
    void Click(Control c) { SendMessageA(item(c), BM_CLICK, 0, 0); }
    void SetText(Control c, const std::string& text) { SetWindowTextA(item(c), text.c_str()); }
    std::string Text(Control c);
    void SetChecked(Control c, bool on) { SendMessageA(item(c), BM_SETCHECK, on ? BST_CHECKED : BST_UNCHECKED, 0); }
    bool IsBold(Control c);
    std::string Report(const char* name) { return ReadFile(app_ + "\\" + name); }
    // Makes a file of `size` bytes below the source folder.
    void MakeFile(const std::string& relative, std::size_t size);
    void MakeFolder(const std::string& relative);
    // What the listing engine writes for `source` (default: the source
    // folder) with `options`.
    std::string EngineReport(listing::ListingOptions options, const std::string& source = {});
    // A source folder with files and two levels of subfolders.
    void MakeSampleTree();

    std::string root_, app_, src_;
    platform::RecordingMessageSink messages_;
    LaunchRecorder launcher_;
    FileDialogRecorder dialog_;
    platform::win32::Win32FileOperations files_;
    std::unique_ptr<platform::FileSystem> fileSystem_;
    // Where the window is told a folder lies (by default: nowhere known, so
    // it walks) and how it opens a volume; Reopen() hands them over.
    std::function<platform::FolderVolume(const std::string&)> volumeOf_ = [](const std::string&) {
        return platform::FolderVolume{};
    };
    listing::volume::VolumeOpener openVolume_;
    std::unique_ptr<Form1> form_;
};

}  // namespace tf::mainwindow::testing
