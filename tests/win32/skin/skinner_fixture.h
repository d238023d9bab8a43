#pragma once
// A ClsSkinner whose message boxes and event-log entries are recorded, and
// plain test windows whose own procedure records what reaches it.
#include <windows.h>

#include <gtest/gtest.h>

#include <memory>
#include <vector>

#include "platform/event_log.h"
#include "platform/message_sink.h"
#include "skin/cls_skinner_win.h"

namespace tf::skin::testing {

// The window procedure of test windows: records every message and answers
// WM_USER + n with 1000 + n.
LRESULT CALLBACK TestWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

class SkinnerTest : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

    // A hidden top-level window of this process, destroyed by TearDown.
    HWND NewWindow();
    // What the window's own procedure received since it was created.
    const std::vector<UINT>& Received(HWND window) const;
    std::unique_ptr<ClsSkinner> NewSkinner();

    platform::RecordingMessageSink messages_;
    platform::RecordingEventLog eventLog_;
    std::unique_ptr<ClsSkinner> skinner_;

private:
    std::vector<HWND> windows_;
    std::vector<std::unique_ptr<std::vector<UINT>>> received_;
};

}  // namespace tf::skin::testing
