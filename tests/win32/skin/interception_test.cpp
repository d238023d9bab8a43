// The interception layer: message tables, the two phases of a dispatch,
// WM_DESTROY, nested release, error reports and the timer adaptor.
#include <algorithm>
#include <new>
#include <stdexcept>
#include <string>
#include <vector>

#include "platform/win32/edge_guard_win.h"
#include "skin/interception/callback_slots_win.h"
#include "skin/skinner_fixture.h"

namespace tf::skin::testing {
namespace {

struct Call {
    bool before;
    UINT message;
    LRESULT lReturn;  // as the handler found it
};

class InterceptionTest : public SkinnerTest {
protected:
    // A handler that records its calls and, for messages in `handle`,
    // sets bHandled and answers 7.
    SubclassHandler Recorder() {
        return [this](bool bBefore, bool& bHandled, LRESULT& lReturn, HWND, UINT uMsg, WPARAM, LPARAM, LONG_PTR&) {
            calls_.push_back({bBefore, uMsg, lReturn});
            if (std::count(handle_.begin(), handle_.end(), uMsg)) {
                bHandled = true;
                lReturn = 7;
            }
        };
    }
    int CallsFor(UINT message) const {
        return static_cast<int>(std::count_if(calls_.begin(), calls_.end(),
                                              [&](const Call& call) { return call.message == message; }));
    }
    void ExpectOneError(const std::string& routine, const std::string& message) {
        ASSERT_EQ(eventLog_.errors.size(), 1u);
        EXPECT_EQ(eventLog_.errors[0], "ClsSkinner." + routine + ": " + message);
        ASSERT_EQ(messages_.boxes.size(), 1u);
        EXPECT_EQ(messages_.boxes[0].text, message + ".");
        EXPECT_EQ(messages_.boxes[0].caption, "Error in ClsSkinner." + routine);
        EXPECT_EQ(messages_.boxes[0].icon, platform::MessageIcon::kExclamation);
    }

    std::vector<Call> calls_;
    std::vector<UINT> handle_;
};

TEST_F(InterceptionTest, BeforeAndAfterPhasesShareTheResult) {
    HWND window = NewWindow();
    ASSERT_TRUE(skinner_->Subclass(window, 0, Recorder()));
    skinner_->AddMsg(window, WM_USER + 1, ClsSkinner::MSG_BEFORE_AND_AFTER);
    skinner_->AddMsg(window, WM_USER + 2, ClsSkinner::MSG_AFTER);

    EXPECT_EQ(SendMessageA(window, WM_USER + 1, 0, 0), 1001);
    ASSERT_EQ(calls_.size(), 2u);
    EXPECT_TRUE(calls_[0].before);
    EXPECT_EQ(calls_[0].lReturn, 0);
    EXPECT_FALSE(calls_[1].before);
    EXPECT_EQ(calls_[1].lReturn, 1001);  // the previous procedure's answer

    EXPECT_EQ(SendMessageA(window, WM_USER + 2, 0, 0), 1002);
    EXPECT_EQ(SendMessageA(window, WM_USER + 3, 0, 0), 1003);
    EXPECT_EQ(CallsFor(WM_USER + 2), 1);
    EXPECT_EQ(CallsFor(WM_USER + 3), 0);
    EXPECT_TRUE(messages_.boxes.empty());
}

TEST_F(InterceptionTest, MessageHandledBeforeIsNotSeenTwiceNorByTheWindow) {
    HWND window = NewWindow();
    ASSERT_TRUE(skinner_->Subclass(window, 0, Recorder()));
    skinner_->AddMsg(window, WM_USER + 1, ClsSkinner::MSG_BEFORE_AND_AFTER);
    handle_ = {WM_USER + 1};
    EXPECT_EQ(SendMessageA(window, WM_USER + 1, 0, 0), 7);
    ASSERT_EQ(calls_.size(), 1u);
    EXPECT_TRUE(calls_[0].before);
    EXPECT_EQ(std::count(Received(window).begin(), Received(window).end(), WM_USER + 1), 0);
}

TEST_F(InterceptionTest, AThirtyThirdMessageOverflowsAndLeavesTheTable) {
    HWND window = NewWindow();
    ASSERT_TRUE(skinner_->Subclass(window, 0, Recorder()));
    for (UINT i = 1; i <= 32; ++i) skinner_->AddMsg(window, WM_USER + i, ClsSkinner::MSG_BEFORE);
    EXPECT_TRUE(messages_.boxes.empty());
    skinner_->AddMsg(window, WM_USER + 33, ClsSkinner::MSG_BEFORE);
    ExpectOneError("AddMsg",
                   "Message table overflow. Either increase the value of MSG_ENTRIES or use ALL_MESSAGES instead of "
                   "specific message values");
    for (UINT i = 1; i <= 33; ++i) SendMessageA(window, WM_USER + i, 0, 0);
    EXPECT_EQ(calls_.size(), 32u);
    EXPECT_EQ(CallsFor(WM_USER + 33), 0);
}

TEST_F(InterceptionTest, ADeletedMessageFreesItsSlotForTheNextOne) {
    HWND window = NewWindow();
    ASSERT_TRUE(skinner_->Subclass(window, 0, Recorder()));
    for (UINT i = 1; i <= 31; ++i) skinner_->AddMsg(window, WM_USER + i, ClsSkinner::MSG_BEFORE);
    skinner_->DelMsg(window, WM_USER + 5, ClsSkinner::MSG_BEFORE);
    skinner_->AddMsg(window, WM_USER + 40, ClsSkinner::MSG_BEFORE);  // into the freed slot
    skinner_->AddMsg(window, WM_USER + 41, ClsSkinner::MSG_BEFORE);  // slot 32
    EXPECT_TRUE(messages_.boxes.empty());
    skinner_->AddMsg(window, WM_USER + 42, ClsSkinner::MSG_BEFORE);
    EXPECT_EQ(eventLog_.errors.size(), 1u);  // the table is full

    for (UINT message : {WM_USER + 5, WM_USER + 40, WM_USER + 41, WM_USER + 42}) SendMessageA(window, message, 0, 0);
    EXPECT_EQ(CallsFor(WM_USER + 5), 0);
    EXPECT_EQ(CallsFor(WM_USER + 40), 1);
    EXPECT_EQ(CallsFor(WM_USER + 41), 1);
    EXPECT_EQ(CallsFor(WM_USER + 42), 0);
    // A freed slot holds 0, which is no registration of WM_NULL.
    SendMessageA(window, WM_NULL, 0, 0);
    EXPECT_EQ(CallsFor(WM_NULL), 0);
}

TEST_F(InterceptionTest, DeletingAnUnknownMessageIsReportedInHexadecimal) {
    HWND window = NewWindow();
    ASSERT_TRUE(skinner_->Subclass(window, 0, Recorder()));
    skinner_->AddMsg(window, WM_PAINT, ClsSkinner::MSG_BEFORE);
    skinner_->DelMsg(window, WM_ERASEBKGND, ClsSkinner::MSG_BEFORE);
    ExpectOneError("DelMsg", "Message &H14 not found in table");
    EXPECT_EQ(eventLog_.errors[0], "ClsSkinner.DelMsg: Message &H14 not found in table");
}

TEST_F(InterceptionTest, ASpecificMessageReplacesEveryMessage) {
    HWND window = NewWindow();
    ASSERT_TRUE(skinner_->Subclass(window, 0, Recorder()));
    skinner_->AddMsg(window, ALL_MESSAGES, ClsSkinner::MSG_BEFORE);
    SendMessageA(window, WM_USER + 2, 0, 0);
    EXPECT_EQ(CallsFor(WM_USER + 2), 1);

    skinner_->AddMsg(window, WM_USER + 1, ClsSkinner::MSG_BEFORE);
    calls_.clear();
    SendMessageA(window, WM_USER + 1, 0, 0);
    SendMessageA(window, WM_USER + 2, 0, 0);
    ASSERT_EQ(calls_.size(), 1u);
    EXPECT_EQ(calls_[0].message, WM_USER + 1u);

    skinner_->DelMsg(window, ALL_MESSAGES, ClsSkinner::MSG_BEFORE);
    SendMessageA(window, WM_USER + 1, 0, 0);
    EXPECT_EQ(calls_.size(), 1u);
    EXPECT_TRUE(messages_.boxes.empty());
}

TEST_F(InterceptionTest, DestroyHandledBeforeStillReachesTheWindowAndEndsTheInterception) {
    HWND window = NewWindow();
    ASSERT_TRUE(skinner_->Subclass(window, 0, Recorder()));
    skinner_->AddMsg(window, WM_DESTROY, ClsSkinner::MSG_BEFORE_AND_AFTER);
    skinner_->AddMsg(window, WM_NCDESTROY, ClsSkinner::MSG_BEFORE);
    handle_ = {WM_DESTROY};
    DestroyWindow(window);
    const std::vector<UINT>& received = Received(window);
    EXPECT_EQ(std::count(received.begin(), received.end(), WM_DESTROY), 1);
    // The record went at WM_DESTROY: no after phase, no WM_NCDESTROY.
    ASSERT_EQ(calls_.size(), 1u);
    EXPECT_TRUE(calls_[0].before);
    EXPECT_EQ(calls_[0].message, static_cast<UINT>(WM_DESTROY));
    skinner_.reset();  // releasing what is already gone reports nothing
    EXPECT_TRUE(messages_.boxes.empty());
}

TEST_F(InterceptionTest, ReleaseInsideANestedDispatchWaitsForTheOutermost) {
    HWND window = NewWindow();
    const LONG_PTR ownProc = GetWindowLongPtrA(window, GWLP_WNDPROC);
    LONG_PTR procAfterRelease = 0;
    int afterCalls = 0;
    ASSERT_TRUE(skinner_->Subclass(window, 0,
                                   [&](bool bBefore, bool&, LRESULT&, HWND hwnd, UINT uMsg, WPARAM, LPARAM,
                                       LONG_PTR&) {
                                       if (!bBefore) {
                                           ++afterCalls;
                                       } else if (uMsg == WM_USER + 1) {
                                           SendMessageA(hwnd, WM_USER + 2, 0, 0);
                                       } else if (uMsg == WM_USER + 2) {
                                           skinner_->ReleaseWindow(hwnd);
                                           procAfterRelease = GetWindowLongPtrA(hwnd, GWLP_WNDPROC);
                                       }
                                   }));
    skinner_->AddMsg(window, WM_USER + 1, ClsSkinner::MSG_BEFORE_AND_AFTER);
    skinner_->AddMsg(window, WM_USER + 2, ClsSkinner::MSG_BEFORE_AND_AFTER);
    EXPECT_EQ(SendMessageA(window, WM_USER + 1, 0, 0), 1001);
    EXPECT_NE(procAfterRelease, ownProc);  // still intercepted while nested
    EXPECT_EQ(afterCalls, 0);              // the release emptied the tables
    EXPECT_EQ(GetWindowLongPtrA(window, GWLP_WNDPROC), ownProc);
    const std::vector<UINT>& received = Received(window);
    EXPECT_EQ(std::count(received.begin(), received.end(), WM_USER + 1), 1);
    EXPECT_EQ(std::count(received.begin(), received.end(), WM_USER + 2), 1);
    EXPECT_TRUE(messages_.boxes.empty());
    // The window can be intercepted again.
    EXPECT_TRUE(skinner_->Subclass(window, 0, Recorder()));
}

TEST_F(InterceptionTest, SubclassRefusals) {
    HWND window = NewWindow();
    ASSERT_TRUE(skinner_->Subclass(window, 0, Recorder()));
    EXPECT_FALSE(skinner_->Subclass(window, 0, Recorder()));
    ExpectOneError("Subclass", "Window handle is already subclassed");

    messages_.boxes.clear();
    eventLog_.errors.clear();
    HWND other = NewWindow();
    EXPECT_FALSE(skinner_->Subclass(other, 0, SubclassHandler{}));
    ExpectOneError("Subclass", "Callback method not found");

    messages_.boxes.clear();
    eventLog_.errors.clear();
    DestroyWindow(other);
    EXPECT_FALSE(skinner_->Subclass(other, 0, Recorder()));
    ExpectOneError("Subclass", "Invalid window handle");
}

TEST_F(InterceptionTest, LookupsReportAWindowWithoutRecord) {
    HWND window = NewWindow();
    skinner_->AddMsg(window, WM_PAINT, ClsSkinner::MSG_BEFORE);
    ExpectOneError("FindRecord", "Record table hasn't been initialized");

    messages_.boxes.clear();
    eventLog_.errors.clear();
    ASSERT_TRUE(skinner_->Subclass(NewWindow(), 0, Recorder()));
    EXPECT_EQ(skinner_->CallOldWndProc(window, WM_USER + 1, 0, 0), 0);
    ExpectOneError("FindRecord", "Record type for ID of " +
                                     std::to_string(reinterpret_cast<std::uintptr_t>(window)) + " does not exist");
}

TEST_F(InterceptionTest, UserValueAndPreviousProcedure) {
    HWND window = NewWindow();
    ASSERT_TRUE(skinner_->Subclass(window, 40, [](bool, bool&, LRESULT&, HWND, UINT, WPARAM, LPARAM,
                                                  LONG_PTR& user) { ++user; }));
    skinner_->AddMsg(window, WM_USER + 1, ClsSkinner::MSG_BEFORE_AND_AFTER);
    SendMessageA(window, WM_USER + 1, 0, 0);
    EXPECT_EQ(skinner_->GetWindowUserValue(window), 42);
    skinner_->SetWindowUserValue(window, 5);
    EXPECT_EQ(skinner_->GetWindowUserValue(window), 5);
    EXPECT_EQ(skinner_->CallOldWndProc(window, WM_USER + 9, 0, 0), 1009);
}

TEST_F(InterceptionTest, TwoEnginesOnOneWindowReleaseInEitherOrder) {
    HWND window = NewWindow();
    const LONG_PTR ownProc = GetWindowLongPtrA(window, GWLP_WNDPROC);
    std::unique_ptr<ClsSkinner> upper = NewSkinner();
    int lowerCalls = 0, upperCalls = 0;
    auto counter = [](int& count) {
        return [&count](bool, bool&, LRESULT&, HWND, UINT, WPARAM, LPARAM, LONG_PTR&) { ++count; };
    };
    ASSERT_TRUE(skinner_->Subclass(window, 0, counter(lowerCalls)));
    ASSERT_TRUE(upper->Subclass(window, 0, counter(upperCalls)));
    skinner_->AddMsg(window, WM_USER + 1, ClsSkinner::MSG_BEFORE);
    upper->AddMsg(window, WM_USER + 1, ClsSkinner::MSG_BEFORE);

    skinner_->ReleaseWindow(window);  // the lower one goes first
    EXPECT_EQ(SendMessageA(window, WM_USER + 1, 0, 0), 1001);
    EXPECT_EQ(upperCalls, 1);
    EXPECT_EQ(lowerCalls, 0);
    upper.reset();
    EXPECT_EQ(SendMessageA(window, WM_USER + 1, 0, 0), 1001);
    EXPECT_EQ(upperCalls, 1);
    EXPECT_NE(GetWindowLongPtrA(window, GWLP_WNDPROC), ownProc);  // the lower procedure now only passes on
    EXPECT_TRUE(messages_.boxes.empty());
}

TEST_F(InterceptionTest, DestroyingTheEngineRestoresEveryWindow) {
    HWND first = NewWindow();
    HWND second = NewWindow();
    const LONG_PTR ownProc = GetWindowLongPtrA(first, GWLP_WNDPROC);
    ASSERT_TRUE(skinner_->Subclass(first, 0, Recorder()));
    ASSERT_TRUE(skinner_->Subclass(second, 0, Recorder()));
    skinner_.reset();
    EXPECT_EQ(GetWindowLongPtrA(first, GWLP_WNDPROC), ownProc);
    EXPECT_EQ(GetWindowLongPtrA(second, GWLP_WNDPROC), ownProc);
    EXPECT_TRUE(messages_.boxes.empty());
}

// An exception from a handler or a timer stops at the window system's edge:
// it is reported, the window goes on and can still be released.
TEST_F(InterceptionTest, AFailingHandlerIsReportedAndTheWindowGoesOn) {
    std::vector<std::string> reports;
    platform::win32::SetFailureReporter([&](const std::string& text) { reports.push_back(text); });
    HWND window = NewWindow();
    const LONG_PTR ownProc = GetWindowLongPtrA(window, GWLP_WNDPROC);
    ASSERT_TRUE(skinner_->Subclass(window, 0, [](bool, bool&, LRESULT&, HWND, UINT, WPARAM, LPARAM, LONG_PTR&) {
        throw std::bad_alloc();
    }));
    skinner_->AddMsg(window, WM_USER + 1, ClsSkinner::MSG_BEFORE);
    EXPECT_EQ(SendMessageA(window, WM_USER + 1, 0, 0), 1001);  // the window's own answer still comes
    EXPECT_EQ(SendMessageA(window, WM_USER + 2, 0, 0), 1002);
    skinner_->ReleaseWindow(window);
    EXPECT_EQ(GetWindowLongPtrA(window, GWLP_WNDPROC), ownProc);

    const TIMERPROC timer = AcquireTimerProc([](void*, HWND, UINT, UINT_PTR, DWORD) { throw std::runtime_error("tick"); },
                                             nullptr);
    ASSERT_NE(timer, nullptr);
    timer(window, WM_TIMER, 1, 0);
    ReleaseTimerProc(timer);
    platform::win32::SetFailureReporter(nullptr);
    ASSERT_EQ(reports.size(), 2u);
    EXPECT_NE(reports[0].find(std::bad_alloc().what()), std::string::npos) << reports[0];
    EXPECT_NE(reports[1].find(": tick"), std::string::npos) << reports[1];
}

TEST_F(InterceptionTest, TimerAdaptorIsMadeOncePerOrdinal) {
    const TIMERPROC adaptor = skinner_->MakeCallback(4, ClsSkinner::kTimerProcOrdinal);
    ASSERT_NE(adaptor, nullptr);
    EXPECT_EQ(skinner_->MakeCallback(4, ClsSkinner::kTimerProcOrdinal), adaptor);
    std::unique_ptr<ClsSkinner> other = NewSkinner();
    EXPECT_NE(other->MakeCallback(4, ClsSkinner::kTimerProcOrdinal), adaptor);
    EXPECT_TRUE(messages_.boxes.empty());

    EXPECT_EQ(skinner_->MakeCallback(-1, ClsSkinner::kTimerProcOrdinal), nullptr);
    ExpectOneError("MakeCallback", "Invalid Parameter count");
    messages_.boxes.clear();
    eventLog_.errors.clear();
    EXPECT_EQ(skinner_->MakeCallback(4, ClsSkinner::kTimerProcOrdinal + 1), nullptr);
    ExpectOneError("MakeCallback", "Callback address not found.");
}

// A Unicode record sees a Unicode window's messages in their wide form; an
// ANSI record of the same window sees them converted.
TEST_F(InterceptionTest, UnicodeRecordsOnlyWhenAskedFor) {
    WNDCLASSW wideClass{};
    wideClass.lpfnWndProc = DefWindowProcW;
    wideClass.hInstance = GetModuleHandleA(nullptr);
    wideClass.lpszClassName = L"TallyfoldSkinnerWideWindow";
    RegisterClassW(&wideClass);
    HWND wide = CreateWindowExW(0, wideClass.lpszClassName, L"", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr,
                                GetModuleHandleA(nullptr), nullptr);
    ASSERT_NE(wide, nullptr);
    HWND narrow = NewWindow();
    std::vector<std::string> seen;
    auto textRecorder = [&seen](bool, bool&, LRESULT&, HWND, UINT, WPARAM, LPARAM lParam, LONG_PTR&) {
        seen.push_back(reinterpret_cast<const char*>(lParam)[1] == 0 ? "wide" : "narrow");  // "ab" either way
    };
    ASSERT_TRUE(skinner_->Subclass(wide, 0, textRecorder, true));
    ASSERT_TRUE(skinner_->Subclass(narrow, 0, textRecorder, true));  // not a Unicode window
    skinner_->AddMsg(wide, WM_SETTEXT, ClsSkinner::MSG_BEFORE);
    skinner_->AddMsg(narrow, WM_SETTEXT, ClsSkinner::MSG_BEFORE);
    SetWindowTextW(wide, L"ab");
    SetWindowTextW(narrow, L"ab");
    skinner_->ReleaseWindow(wide);
    ASSERT_TRUE(skinner_->Subclass(wide, 0, textRecorder, false));
    skinner_->AddMsg(wide, WM_SETTEXT, ClsSkinner::MSG_BEFORE);
    SetWindowTextW(wide, L"ab");
    EXPECT_EQ(seen, (std::vector<std::string>{"wide", "narrow", "narrow"}));
    wchar_t text[8] = {};
    GetWindowTextW(wide, text, 8);
    EXPECT_STREQ(text, L"ab");  // the previous procedure got it
    skinner_.reset();
    DestroyWindow(wide);
    EXPECT_TRUE(messages_.boxes.empty());
}

// The pool behind the adaptors: a timer reaches its target, and a released
// procedure stops the timer that still calls it.
TEST(CallbackSlots, TimerProcedureCallsItsTargetUntilReleased) {
    struct Fired {
        int count = 0;
        UINT_PTR id = 0;
    } fired;
    const TIMERPROC proc = AcquireTimerProc(
        [](void* context, HWND, UINT, UINT_PTR id, DWORD) {
            auto* f = static_cast<Fired*>(context);
            ++f->count;
            f->id = id;
        },
        &fired);
    ASSERT_NE(proc, nullptr);
    const UINT_PTR id = SetTimer(nullptr, 0, 1, proc);
    ASSERT_NE(id, 0u);
    MSG msg;
    while (fired.count == 0 && GetMessageA(&msg, nullptr, 0, 0) > 0) DispatchMessageA(&msg);
    EXPECT_EQ(fired.id, id);

    ReleaseTimerProc(proc);
    proc(nullptr, WM_TIMER, id, 0);  // kills the timer instead of calling the target
    EXPECT_EQ(fired.count, 1);
    EXPECT_FALSE(KillTimer(nullptr, id));
}

}  // namespace
}  // namespace tf::skin::testing
