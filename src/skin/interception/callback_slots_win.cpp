#include "skin/interception/callback_slots_win.h"

#include <array>
#include <utility>

#include "platform/win32/edge_guard_win.h"

namespace tf::skin {

namespace {

struct WindowSlot {
    WindowProcTarget target = nullptr;
    void* context = nullptr;
    WNDPROC forward = nullptr;
    bool unicode = false;
    bool taken = false;
};

struct TimerSlot {
    TimerProcTarget target = nullptr;
    void* context = nullptr;
};

std::array<WindowSlot, kWindowProcSlots> gWindowSlots;
std::array<TimerSlot, kTimerProcSlots> gTimerSlots;

LRESULT RunWindowSlot(std::size_t index, HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    const WindowSlot& slot = gWindowSlots[index];
    if (slot.target)
        return platform::win32::CatchAtEdge("Skinned window", LRESULT{0},
                                            [&] { return slot.target(slot.context, window, message, wParam, lParam); });
    if (slot.forward)
        return slot.unicode ? CallWindowProcW(slot.forward, window, message, wParam, lParam)
                            : CallWindowProcA(slot.forward, window, message, wParam, lParam);
    return DefWindowProcA(window, message, wParam, lParam);
}

void RunTimerSlot(std::size_t index, HWND window, UINT message, UINT_PTR id, DWORD time) {
    const TimerSlot& slot = gTimerSlots[index];
    if (slot.target)
        platform::win32::CatchAtEdge("Skin timer", [&] { slot.target(slot.context, window, message, id, time); });
    else
        KillTimer(window, id);
}

template <std::size_t I>
LRESULT CALLBACK WindowSlotProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    return RunWindowSlot(I, window, message, wParam, lParam);
}

template <std::size_t I>
void CALLBACK TimerSlotProc(HWND window, UINT message, UINT_PTR id, DWORD time) {
    RunTimerSlot(I, window, message, id, time);
}

template <std::size_t... I>
constexpr std::array<WNDPROC, sizeof...(I)> WindowProcs(std::index_sequence<I...>) {
    return {&WindowSlotProc<I>...};
}

template <std::size_t... I>
constexpr std::array<TIMERPROC, sizeof...(I)> TimerProcs(std::index_sequence<I...>) {
    return {&TimerSlotProc<I>...};
}

constexpr auto kWindowProcs = WindowProcs(std::make_index_sequence<kWindowProcSlots>{});
constexpr auto kTimerProcs = TimerProcs(std::make_index_sequence<kTimerProcSlots>{});

template <class Procs, class Proc>
std::size_t IndexOf(const Procs& procs, Proc proc) {
    for (std::size_t i = 0; i < procs.size(); ++i)
        if (procs[i] == proc) return i;
    return procs.size();
}

}  // namespace

WNDPROC AcquireWindowProc(WindowProcTarget target, void* context) {
    for (std::size_t i = 0; i < gWindowSlots.size(); ++i) {
        WindowSlot& slot = gWindowSlots[i];
        if (slot.taken) continue;
        slot = WindowSlot{target, context, nullptr, false, true};
        return kWindowProcs[i];
    }
    return nullptr;
}

void ReleaseWindowProc(WNDPROC proc) {
    const std::size_t i = IndexOf(kWindowProcs, proc);
    if (i < gWindowSlots.size()) gWindowSlots[i] = WindowSlot{};
}

void ForwardWindowProc(WNDPROC proc, WNDPROC previous, bool unicode) {
    const std::size_t i = IndexOf(kWindowProcs, proc);
    if (i < gWindowSlots.size()) gWindowSlots[i] = WindowSlot{nullptr, nullptr, previous, unicode, true};
}

TIMERPROC AcquireTimerProc(TimerProcTarget target, void* context) {
    for (std::size_t i = 0; i < gTimerSlots.size(); ++i) {
        if (gTimerSlots[i].target) continue;
        gTimerSlots[i] = TimerSlot{target, context};
        return kTimerProcs[i];
    }
    return nullptr;
}

void ReleaseTimerProc(TIMERPROC proc) {
    const std::size_t i = IndexOf(kTimerProcs, proc);
    if (i < gTimerSlots.size()) gTimerSlots[i] = TimerSlot{};
}

}  // namespace tf::skin
