#pragma once
// Plain entry points for the interception layer. Every intercepted window
// needs a window procedure of its own, so that two interceptions of one window
// chain through their previous procedures, and every timer adaptor needs a
// TIMERPROC that knows its engine. A fixed pool of compiled procedures gives
// both without generating code at run time. GUI thread only.
#include <windows.h>

#include <cstddef>

namespace tf::skin {

inline constexpr std::size_t kWindowProcSlots = 64;
inline constexpr std::size_t kTimerProcSlots = 16;

using WindowProcTarget = LRESULT (*)(void* context, HWND, UINT, WPARAM, LPARAM);
using TimerProcTarget = void (*)(void* context, HWND, UINT, UINT_PTR, DWORD);

// A free window procedure that calls target(context, ...); nullptr when every
// one is taken.
WNDPROC AcquireWindowProc(WindowProcTarget target, void* context);
// The procedure is no longer installed on any window: ready for reuse.
void ReleaseWindowProc(WNDPROC proc);
// The procedure's target is gone but the procedure may still be called (it is
// the previous procedure of a later interception): from now on it passes every
// message to `previous`. It is never reused.
void ForwardWindowProc(WNDPROC proc, WNDPROC previous, bool unicode);

// A free timer procedure that calls target(context, ...); nullptr when every
// one is taken. A released one kills the timer that still calls it.
TIMERPROC AcquireTimerProc(TimerProcTarget target, void* context);
void ReleaseTimerProc(TIMERPROC proc);

}  // namespace tf::skin
