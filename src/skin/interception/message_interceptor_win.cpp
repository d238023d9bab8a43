#include "skin/interception/message_interceptor_win.h"

#include <algorithm>
#include <cstdint>
#include <memory>

#include "platform/win32/edge_guard_win.h"

namespace tf::skin {

namespace {

constexpr char kIntercept[] = "Subclass";
constexpr char kAddMsg[] = "AddMsg";
constexpr char kDelMsg[] = "DelMsg";
constexpr char kFind[] = "FindRecord";
constexpr char kTableOverflow[] =
    "Message table overflow. Either increase the value of MSG_ENTRIES or use ALL_MESSAGES instead of specific "
    "message values";
constexpr char kAllocationFailed[] = "VirtualAlloc failed, error: ";

std::string HandleText(HWND window) { return std::to_string(reinterpret_cast<std::uintptr_t>(window)); }

LONG_PTR WindowProcOf(const InterceptRecord& record) {
    return record.unicode ? GetWindowLongPtrW(record.window, GWLP_WNDPROC)
                          : GetWindowLongPtrA(record.window, GWLP_WNDPROC);
}

LONG_PTR SetWindowProc(const InterceptRecord& record, WNDPROC proc) {
    const LONG_PTR value = reinterpret_cast<LONG_PTR>(proc);
    return record.unicode ? SetWindowLongPtrW(record.window, GWLP_WNDPROC, value)
                          : SetWindowLongPtrA(record.window, GWLP_WNDPROC, value);
}

LRESULT CallPrevious(const InterceptRecord& record, HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    return record.unicode ? CallWindowProcW(record.previous, window, message, wParam, lParam)
                          : CallWindowProcA(record.previous, window, message, wParam, lParam);
}

}  // namespace

MessageInterceptor::~MessageInterceptor() {
    for (Entry& entry : entries_) {
        if (!entry.record) continue;
        entry.record->owner = nullptr;
        entry.record->releasePending = true;
        entry.record->before.Clear();
        entry.record->after.Clear();
    }
    for (const Adaptor& adaptor : adaptors_) ReleaseTimerProc(adaptor.proc);
}

bool MessageInterceptor::Intercept(HWND window, LONG_PTR user, SubclassHandler handler, bool unicode) {
    if (!IsWindow(window)) {
        report_(kIntercept, "Invalid window handle");
        return false;
    }
    DWORD process = 0;
    GetWindowThreadProcessId(window, &process);
    if (process != GetCurrentProcessId()) {
        report_(kIntercept, "Window handle belongs to another process");
        return false;
    }
    if (!handler) {
        report_(kIntercept, "Callback method not found");
        return false;
    }
    auto record = std::make_unique<InterceptRecord>();
    record->entry = AcquireWindowProc(&MessageInterceptor::Dispatch, record.get());
    if (!record->entry) {
        report_(kIntercept, kAllocationFailed + std::to_string(ERROR_NOT_ENOUGH_MEMORY));
        return false;
    }
    started_ = true;
    auto existing = std::find_if(entries_.begin(), entries_.end(), [&](const Entry& e) { return e.window == window; });
    if (existing != entries_.end()) {
        if (existing->record) {
            ReleaseWindowProc(record->entry);
            report_(kIntercept, "Window handle is already subclassed");
            return false;
        }
        // A window that was destroyed: the handle has been reused.
        entries_.erase(existing);
    }
    record->window = window;
    record->unicode = unicode && IsWindowUnicode(window);
    record->owner = this;
    record->callback = std::move(handler);
    record->user = user;
    SetLastError(0);
    const LONG_PTR previous = SetWindowProc(*record, record->entry);
    if (previous == 0) {
        const DWORD error = GetLastError();
        ReleaseWindowProc(record->entry);
        report_(kIntercept, "SetWindowLong failed, error #" + std::to_string(error));
        return false;
    }
    record->previous = reinterpret_cast<WNDPROC>(previous);
    entries_.push_back(Entry{window, record.release()});
    return true;
}

InterceptRecord* MessageInterceptor::Find(HWND window) {
    if (!started_) {
        report_(kFind, "Record table hasn't been initialized");
        return nullptr;
    }
    for (const Entry& entry : entries_)
        if (entry.window == window) return entry.record;
    report_(kFind, "Record type for ID of " + HandleText(window) + " does not exist");
    return nullptr;
}

void MessageInterceptor::AddMsg(HWND window, UINT message, int when) {
    InterceptRecord* record = Find(window);
    if (!record) return;
    if ((when & kBefore) && record->before.Add(message) == MessageTable::AddResult::kOverflow)
        report_(kAddMsg, kTableOverflow);
    if ((when & kAfter) && record->after.Add(message) == MessageTable::AddResult::kOverflow)
        report_(kAddMsg, kTableOverflow);
}

void MessageInterceptor::DelMsg(HWND window, UINT message, int when) {
    InterceptRecord* record = Find(window);
    if (!record) return;
    const std::string missing = "Message &H" + HexText(message) + " not found in table";
    if ((when & kBefore) && !record->before.Delete(message)) report_(kDelMsg, missing);
    if ((when & kAfter) && !record->after.Delete(message)) report_(kDelMsg, missing);
}

LRESULT MessageInterceptor::CallOldWndProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    const InterceptRecord* record = Find(window);
    return record ? CallPrevious(*record, window, message, wParam, lParam) : 0;
}

LONG_PTR MessageInterceptor::UserValue(HWND window) {
    const InterceptRecord* record = Find(window);
    return record ? record->user : 0;
}

void MessageInterceptor::SetUserValue(HWND window, LONG_PTR user) {
    if (InterceptRecord* record = Find(window)) record->user = user;
}

void MessageInterceptor::Release(HWND window) {
    if (InterceptRecord* record = Find(window)) {
        record->releasePending = true;
        record->before.Clear();
        record->after.Clear();
        // The record's own dispatch of WM_NULL frees it unless a dispatch
        // through it is already running; a window that is gone gets no more
        // messages, so its record goes now.
        if (IsWindow(window))
            SendMessageA(window, WM_NULL, 0, 0);
        else if (record->inUse == 0)
            Free(record);
    }
    entries_.erase(std::remove_if(entries_.begin(), entries_.end(), [&](const Entry& e) { return e.window == window; }),
                   entries_.end());
}

void MessageInterceptor::ReleaseAll() {
    while (!entries_.empty()) {
        const Entry last = entries_.back();
        if (last.record)
            Release(last.window);
        else
            entries_.pop_back();
    }
}

void MessageInterceptor::Forget(const InterceptRecord* record) {
    for (Entry& entry : entries_)
        if (entry.record == record) entry.record = nullptr;
}

void MessageInterceptor::Free(InterceptRecord* record) {
    if (!IsWindow(record->window)) {
        ReleaseWindowProc(record->entry);
    } else if (WindowProcOf(*record) == reinterpret_cast<LONG_PTR>(record->entry)) {
        SetWindowProc(*record, record->previous);
        ReleaseWindowProc(record->entry);
    } else {
        // Someone intercepted the window after us and calls our procedure
        // as theirs: restoring ours would cut them out.
        ForwardWindowProc(record->entry, record->previous, record->unicode);
    }
    if (record->owner) record->owner->Forget(record);
    delete record;
}

LRESULT MessageInterceptor::Dispatch(void* context, HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    InterceptRecord& record = *static_cast<InterceptRecord*>(context);
    ++record.inUse;
    bool handled = false;
    LRESULT result = 0;
    // A handler that fails is reported here, so the nesting count stays
    // right and the record can still be released.
    auto call = [&](bool before) {
        platform::win32::CatchAtEdge("Skinned window", [&] {
            record.callback(before, handled, result, window, message, wParam, lParam, record.user);
        });
    };
    if (record.callback && record.before.Contains(message)) call(true);
    if (message == WM_DESTROY) record.releasePending = true;
    if (message == WM_DESTROY || !handled) {
        result = CallPrevious(record, window, message, wParam, lParam);
        if (record.inUse == 1 && record.releasePending) {
            Free(&record);
            return result;
        }
        if (record.callback && record.after.Contains(message)) call(false);
    }
    // A release that came while this was the outermost dispatch but after
    // its previous procedure ran would otherwise wait for the next message.
    if (--record.inUse == 0 && record.releasePending) Free(&record);
    return result;
}

TIMERPROC MessageInterceptor::TimerAdaptor(int key, TimerProcTarget target, void* context) {
    for (const Adaptor& adaptor : adaptors_)
        if (adaptor.key == key) return adaptor.proc;
    const TIMERPROC proc = AcquireTimerProc(target, context);
    if (proc) adaptors_.push_back(Adaptor{key, proc});
    return proc;
}

void MessageInterceptor::ReleaseAdaptors() {
    while (!adaptors_.empty()) {
        ReleaseTimerProc(adaptors_.back().proc);
        adaptors_.pop_back();
    }
}

}  // namespace tf::skin
