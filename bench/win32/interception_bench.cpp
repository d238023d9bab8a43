// What interception costs per message: SendMessage to an intercepted window
// against the same window without interception:
//   interception_bench.exe
#include <cstdio>

#include "skin/skinner_fixture.h"

namespace tf::skin::testing {
namespace {

double SendSeconds(HWND window, UINT message, int count) {
    LARGE_INTEGER frequency, t0, t1;
    QueryPerformanceFrequency(&frequency);
    QueryPerformanceCounter(&t0);
    for (int i = 0; i < count; ++i) SendMessageA(window, message, 0, 0);
    QueryPerformanceCounter(&t1);
    return static_cast<double>(t1.QuadPart - t0.QuadPart) / static_cast<double>(frequency.QuadPart);
}

using InterceptionBench = SkinnerTest;

TEST_F(InterceptionBench, DispatchAgainstThePlainWindow) {
    constexpr int kCount = 200000;
    HWND window = NewWindow();
    SendSeconds(window, WM_USER + 1, 1000);
    const double plain = SendSeconds(window, WM_USER + 1, kCount);
    int calls = 0;
    ASSERT_TRUE(skinner_->Subclass(window, 0, [&calls](bool, bool&, LRESULT&, HWND, UINT, WPARAM, LPARAM,
                                                       LONG_PTR&) { ++calls; }));
    // A table of 28 messages, as a hooked window has; the message sent is
    // in both phases.
    for (UINT m = 0; m < 27; ++m) skinner_->AddMsg(window, 0x100 + m, ClsSkinner::MSG_BEFORE);
    skinner_->AddMsg(window, WM_USER + 1, ClsSkinner::MSG_BEFORE_AND_AFTER);
    const double intercepted = SendSeconds(window, WM_USER + 1, kCount);
    skinner_->DelMsg(window, WM_USER + 1, ClsSkinner::MSG_BEFORE_AND_AFTER);
    const double passedOn = SendSeconds(window, WM_USER + 1, kCount);
    EXPECT_EQ(calls, 2 * kCount);
    std::printf("%d messages: plain %.3f s, intercepted in both phases %.3f s (x%.2f), "
                "intercepted but not registered %.3f s (x%.2f)\n",
                kCount, plain, intercepted, intercepted / plain, passedOn, passedOn / plain);
}

}  // namespace
}  // namespace tf::skin::testing
