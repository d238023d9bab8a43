// tallyfold-skin.exe preview as a user runs it: the skinned window comes up
// and closes cleanly, and bad input ends with a reason and an exit code
// instead of a plain frame, a dialog nobody answers or a crash.
#include <windows.h>

#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <string>

#include "child_process.h"
#include "platform/win32/unique_handle.h"

namespace {

const std::string kDorSkin = std::string(TF_ASSETS_DIR) + "\\images\\DOR.Skin";

std::string TempPath(const std::string& name) {
    char temp[MAX_PATH] = {};
    GetTempPathA(sizeof temp, temp);
    return std::string(temp) + "tf_preview_" + std::to_string(GetCurrentProcessId()) + "_" + name;
}

std::string ReadAll(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// The tool running with its output going to a file.
class Tool {
public:
    explicit Tool(const std::string& args)
        : output_(TempPath("output" + std::to_string(++count_) + ".txt")),
          process_("\"" + std::string(TF_PROGRAM_SKIN) + "\" " + args, output_) {}
    ~Tool() { DeleteFileA(output_.c_str()); }
    bool started() const { return process_.started(); }
    // The exit code, or -1 when it has not ended within 20 seconds.
    int Wait() { return process_.Wait(20000); }
    std::string Output() const { return ReadAll(output_); }
    // The tool's top-level window of `windowClass`, once it is shown.
    HWND FindShown(const char* windowClass) const {
        for (int i = 0; i < 1000; ++i) {
            HWND found = nullptr;
            while ((found = FindWindowExA(nullptr, found, windowClass, nullptr)) != nullptr) {
                DWORD owner = 0;
                GetWindowThreadProcessId(found, &owner);
                if (owner == process_.id() && IsWindowVisible(found)) return found;
            }
            Sleep(20);
        }
        return nullptr;
    }

private:
    static inline int count_ = 0;
    std::string output_;
    tf::testing::ChildProcess process_;
};

bool HasWindowRegion(HWND window) {
    tf::platform::win32::UniqueRegion region(CreateRectRgn(0, 0, 0, 0));
    return GetWindowRgn(window, region.get()) != ERROR;
}

TEST(SkinPreview, ShowsTheSkinnedWindowsAndClosesCleanly) {
    {
        Tool tool("preview \"" + kDorSkin + "\" --at 40,40");
        ASSERT_TRUE(tool.started());
        HWND window = tool.FindShown("TallyfoldSkinPreview");
        ASSERT_NE(window, nullptr) << tool.Output();
        // The skin cuts the window's shape; a plain frame has no region.
        EXPECT_TRUE(HasWindowRegion(window));
        PostMessageA(window, WM_CLOSE, 0, 0);
        EXPECT_EQ(tool.Wait(), 0) << tool.Output();
    }
    Tool mdi("preview \"" + kDorSkin + "\" --mdi --maximised");
    ASSERT_TRUE(mdi.started());
    HWND frame = mdi.FindShown("TallyfoldSkinPreviewMdi");
    ASSERT_NE(frame, nullptr) << mdi.Output();
    EXPECT_TRUE(HasWindowRegion(frame));
    HWND client = FindWindowExA(frame, nullptr, "MDICLIENT", nullptr);
    ASSERT_NE(client, nullptr);
    // The children come after the frame is shown, the second maximised once
    // it is made.
    HWND first = nullptr, second = nullptr;
    for (int i = 0; i < 500 && !(first && second && IsZoomed(second)); ++i) {
        Sleep(20);
        first = FindWindowExA(client, nullptr, "TallyfoldSkinPreviewChild", "Child one");
        second = FindWindowExA(client, nullptr, "TallyfoldSkinPreviewChild", "Child two");
    }
    ASSERT_TRUE(first && second);
    EXPECT_TRUE(IsZoomed(second));
    PostMessageA(frame, WM_CLOSE, 0, 0);
    EXPECT_EQ(mdi.Wait(), 0) << mdi.Output();
}

TEST(SkinPreview, BadInputEndsWithTheReason) {
    const std::string skin = ReadAll(kDorSkin);
    ASSERT_GT(skin.size(), 1545u);
    const std::string truncated = TempPath("truncated.Skin"), unsigned_ = TempPath("unsigned.Skin");
    std::ofstream(truncated, std::ios::binary) << skin.substr(0, 1545);
    std::ofstream(unsigned_, std::ios::binary) << "X" + skin.substr(1);
    struct Case {
        std::string args;
        int exitCode;
        const char* said;
    };
    const Case cases[] = {
        {"preview \"" + TempPath("missing.Skin") + "\"", 1, "cannot be read"},
        // The engine's own reasons; the second one would otherwise be a
        // message box that nobody at a console answers.
        {"preview \"" + truncated + "\"", 1, "picture bag"},
        {"preview \"" + unsigned_ + "\" --mdi", 1, "not a skin file"},
        {"preview \"" + kDorSkin + "\" --mid", 2, "--mid"},
        {"preview \"" + kDorSkin + "\" --at 10", 2, "--at"},
        {"preview \"" + kDorSkin + "\" --maximised", 2, "needs --mdi"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.args);
        Tool tool(c.args);
        ASSERT_TRUE(tool.started());
        EXPECT_EQ(tool.Wait(), c.exitCode);
        EXPECT_NE(tool.Output().find(c.said), std::string::npos) << tool.Output();
    }
    DeleteFileA(truncated.c_str());
    DeleteFileA(unsigned_.c_str());
}

}  // namespace
