// A window of another process cannot be intercepted. The other process is
// this test program started again with kHelperSwitch: it only shows a window
// with the title given after the switch and waits to be ended.
#include <cstdint>
#include <cstring>
#include <string>

#include "child_process.h"
#include "skin/skinner_fixture.h"

namespace tf::skin::testing {
namespace {

constexpr char kHelperSwitch[] = "--foreign-window=";

// Runs before main in the helper process and never returns there.
const bool gIsHelper = [] {
    const char* switchAt = std::strstr(GetCommandLineA(), kHelperSwitch);
    if (!switchAt) return false;
    const std::string title = switchAt + std::strlen(kHelperSwitch);
    CreateWindowExA(0, "STATIC", title.c_str(), WS_POPUP, 0, 0, 50, 50, nullptr, nullptr, GetModuleHandleA(nullptr),
                    nullptr);
    // Ends by itself should the test process be gone without ending it.
    SetTimer(nullptr, 0, 60000, nullptr);
    MSG msg;
    while (GetMessageA(&msg, nullptr, 0, 0) > 0 && msg.message != WM_TIMER) DispatchMessageA(&msg);
    ExitProcess(0);
}();

class ForeignWindow {
public:
    ForeignWindow() : process_(Command(), {}, 0) {
        if (!process_.started()) return;
        for (int i = 0; i < 1000 && !window_; ++i) {
            window_ = FindWindowA("STATIC", Title().c_str());
            if (!window_) Sleep(20);
        }
    }
    HWND window() const { return window_; }

private:
    static std::string Title() { return "tallyfold foreign " + std::to_string(GetCurrentProcessId()); }
    static std::string Command() {
        char exe[MAX_PATH] = {};
        GetModuleFileNameA(nullptr, exe, MAX_PATH);
        return "\"" + std::string(exe) + "\" " + kHelperSwitch + Title();
    }

    tf::testing::ChildProcess process_;  // ended when the test is done with it
    HWND window_ = nullptr;
};

using ForeignWindowTest = SkinnerTest;

TEST_F(ForeignWindowTest, IsRefusedAndLeavesNoRecord) {
    ASSERT_FALSE(gIsHelper);
    ForeignWindow foreign;
    ASSERT_NE(foreign.window(), nullptr);
    const LONG_PTR theirProc = GetWindowLongPtrA(foreign.window(), GWLP_WNDPROC);
    const SubclassHandler nothing = [](bool, bool&, LRESULT&, HWND, UINT, WPARAM, LPARAM, LONG_PTR&) {};
    ASSERT_TRUE(skinner_->Subclass(NewWindow(), 0, nothing));
    EXPECT_FALSE(skinner_->Subclass(foreign.window(), 0, nothing));
    ASSERT_EQ(messages_.boxes.size(), 1u);
    EXPECT_EQ(messages_.boxes[0].text, "Window handle belongs to another process.");
    EXPECT_EQ(messages_.boxes[0].caption, "Error in ClsSkinner.Subclass");
    ASSERT_EQ(eventLog_.errors.size(), 1u);
    EXPECT_EQ(eventLog_.errors[0], "ClsSkinner.Subclass: Window handle belongs to another process");
    EXPECT_EQ(GetWindowLongPtrA(foreign.window(), GWLP_WNDPROC), theirProc);

    // No record: a later registration does not find one.
    skinner_->AddMsg(foreign.window(), WM_PAINT, ClsSkinner::MSG_BEFORE);
    ASSERT_EQ(eventLog_.errors.size(), 2u);
    EXPECT_EQ(eventLog_.errors[1], "ClsSkinner.FindRecord: Record type for ID of " +
                                       std::to_string(reinterpret_cast<std::uintptr_t>(foreign.window())) +
                                       " does not exist");
}

}  // namespace
}  // namespace tf::skin::testing
