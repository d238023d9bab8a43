// Message interception: one record per intercepted window in front of the
// window's previous procedure, its two message tables, the dispatch with its
// nesting count and deferred release, and the timer adaptor.
#include <algorithm>
#include <cstdint>
#include <memory>
#include <string>

#include "platform/win32/edge_guard_win.h"
#include "skin/callback_slots_win.h"
#include "skin/cls_skinner_win.h"
#include "skin/skinner_errors.h"

namespace tf::skin {

namespace {

constexpr char kSubclass[] = "Subclass";
constexpr char kAddMsg[] = "AddMsg";
constexpr char kDelMsg[] = "DelMsg";
constexpr char kFindRecord[] = "FindRecord";
constexpr char kFindRecordType[] = "Findrecord";
constexpr char kMakeCallback[] = "MakeCallback";

constexpr char kTableOverflow[] =
    "Message table overflow. Either increase the value of MSG_ENTRIES or use ALL_MESSAGES instead of specific "
    "message values";
constexpr char kAllocationFailed[] = "VirtualAlloc failed, error: ";
constexpr int kTimerParamCount = 4;

std::string HandleText(HWND window) { return std::to_string(reinterpret_cast<std::uintptr_t>(window)); }
std::string RecordKey(HWND window) { return "h" + HandleText(window); }

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

void ClsSkinner::ReportError(const char* routine, const std::string& message) {
    ReportSkinnerError(*services_.eventLog, *services_.messages, routine, message);
}

bool ClsSkinner::Subclass(HWND lng_hWnd, LONG_PTR lParamUser, HandlerMethod handler, bool bUnicode) {
    SubclassHandler callback;
    if (handler)
        callback = [this, handler](bool bBefore, bool& bHandled, LRESULT& lReturn, HWND window, UINT uMsg,
                                   WPARAM wParam, LPARAM lParam, LONG_PTR& user) {
            (this->*handler)(bBefore, bHandled, lReturn, window, uMsg, wParam, lParam, user);
        };
    return Subclass(lng_hWnd, lParamUser, std::move(callback), bUnicode);
}

bool ClsSkinner::Subclass(HWND lng_hWnd, LONG_PTR lParamUser, SubclassHandler callback, bool bUnicode) {
    if (!IsWindow(lng_hWnd)) {
        ReportError(kSubclass, "Invalid window handle");
        return false;
    }
    DWORD process = 0;
    GetWindowThreadProcessId(lng_hWnd, &process);
    if (process != GetCurrentProcessId()) {
        ReportError(kSubclass, "Window handle belongs to another process");
        return false;
    }
    if (!callback) {
        ReportError(kSubclass, "Callback method not found");
        return false;
    }
    auto record = std::make_unique<InterceptRecord>();
    record->entry = AcquireWindowProc(&ClsSkinner::Dispatch, record.get());
    if (!record->entry) {
        ReportError(kSubclass, kAllocationFailed + std::to_string(ERROR_NOT_ENOUGH_MEMORY));
        return false;
    }
    if (!records_) records_.emplace();
    const std::string key = RecordKey(lng_hWnd);
    auto existing = std::find_if(records_->begin(), records_->end(),
                                 [&](const WindowEntry& entry) { return entry.key == key; });
    if (existing != records_->end()) {
        if (existing->record) {
            ReleaseWindowProc(record->entry);
            ReportError(kSubclass, "Window handle is already subclassed");
            return false;
        }
        // The key of a window that was destroyed: the handle has been reused.
        records_->erase(existing);
    }
    record->window = lng_hWnd;
    record->unicode = bUnicode && IsWindowUnicode(lng_hWnd);
    record->owner = this;
    record->callback = std::move(callback);
    record->user = lParamUser;
    SetLastError(0);
    const LONG_PTR previous = SetWindowProc(*record, record->entry);
    if (previous == 0) {
        const DWORD error = GetLastError();
        ReleaseWindowProc(record->entry);
        ReportError(kSubclass, "SetWindowLong failed, error #" + std::to_string(error));
        return false;
    }
    record->previous = reinterpret_cast<WNDPROC>(previous);
    records_->push_back(WindowEntry{key, record.release()});
    return true;
}

InterceptRecord* ClsSkinner::FindRecord(int recordType, HWND lng_hWnd) {
    if (recordType != kWindowRecord && recordType != kUnusedRecord && recordType != kAdaptorRecord) {
        ReportError(kFindRecordType, "Invalid record type passed");
        return nullptr;
    }
    if (recordType != kWindowRecord || !records_) {
        ReportError(kFindRecord, "Record table hasn't been initialized");
        return nullptr;
    }
    const std::string key = RecordKey(lng_hWnd);
    for (const WindowEntry& entry : *records_)
        if (entry.key == key) return entry.record;
    ReportError(kFindRecord, "Record type for ID of " + HandleText(lng_hWnd) + " does not exist");
    return nullptr;
}

void ClsSkinner::AddMsg(HWND lng_hWnd, UINT uMsg, int When) {
    InterceptRecord* record = FindRecord(kWindowRecord, lng_hWnd);
    if (!record) return;
    for (MessageTable* table : {&record->before, &record->after}) {
        const int phase = table == &record->before ? MSG_BEFORE : MSG_AFTER;
        if ((When & phase) && table->Add(uMsg) == MessageTable::AddResult::kOverflow)
            ReportError(kAddMsg, kTableOverflow);
    }
}

void ClsSkinner::DelMsg(HWND lng_hWnd, UINT uMsg, int When) {
    InterceptRecord* record = FindRecord(kWindowRecord, lng_hWnd);
    if (!record) return;
    for (MessageTable* table : {&record->before, &record->after}) {
        const int phase = table == &record->before ? MSG_BEFORE : MSG_AFTER;
        if ((When & phase) && !table->Delete(uMsg))
            ReportError(kDelMsg, "Message &H" + HexText(uMsg) + " not found in table");
    }
}

LRESULT ClsSkinner::CallOldWndProc(HWND lng_hWnd, UINT uMsg, WPARAM wParam, LPARAM lParam) {
    const InterceptRecord* record = FindRecord(kWindowRecord, lng_hWnd);
    return record ? CallPrevious(*record, lng_hWnd, uMsg, wParam, lParam) : 0;
}

LONG_PTR ClsSkinner::GetWindowUserValue(HWND lng_hWnd) {
    const InterceptRecord* record = FindRecord(kWindowRecord, lng_hWnd);
    return record ? record->user : 0;
}

void ClsSkinner::SetWindowUserValue(HWND lng_hWnd, LONG_PTR lParamUser) {
    if (InterceptRecord* record = FindRecord(kWindowRecord, lng_hWnd)) record->user = lParamUser;
}

void ClsSkinner::ReleaseWindow(HWND lng_hWnd) {
    if (InterceptRecord* record = FindRecord(kWindowRecord, lng_hWnd)) {
        record->releasePending = true;
        record->before.Clear();
        record->after.Clear();
        // The record's own dispatch of WM_NULL frees it unless a dispatch
        // through it is already running; a window that is gone gets no more
        // messages, so its record goes now.
        if (IsWindow(lng_hWnd))
            SendMessageA(lng_hWnd, WM_NULL, 0, 0);
        else if (record->inUse == 0)
            FreeRecord(record);
    }
    if (!records_) return;
    const std::string key = RecordKey(lng_hWnd);
    records_->erase(std::remove_if(records_->begin(), records_->end(),
                                   [&](const WindowEntry& entry) { return entry.key == key; }),
                    records_->end());
}

void ClsSkinner::ReleaseAll() {
    if (!records_) return;
    while (!records_->empty()) {
        const WindowEntry last = records_->back();
        if (last.record)
            ReleaseWindow(last.record->window);
        else
            records_->pop_back();
    }
}

void ClsSkinner::ForgetRecord(const InterceptRecord* record) {
    if (!records_) return;
    for (WindowEntry& entry : *records_)
        if (entry.record == record) entry.record = nullptr;
}

void ClsSkinner::DetachRecords() {
    if (!records_) return;
    for (WindowEntry& entry : *records_) {
        if (!entry.record) continue;
        entry.record->owner = nullptr;
        entry.record->releasePending = true;
        entry.record->before.Clear();
        entry.record->after.Clear();
    }
    records_.reset();
}

void ClsSkinner::FreeRecord(InterceptRecord* record) {
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
    if (record->owner) record->owner->ForgetRecord(record);
    delete record;
}

LRESULT ClsSkinner::Dispatch(void* context, HWND lng_hWnd, UINT uMsg, WPARAM wParam, LPARAM lParam) {
    InterceptRecord& record = *static_cast<InterceptRecord*>(context);
    ++record.inUse;
    bool bHandled = false;
    LRESULT lReturn = 0;
    // A handler that fails is reported here, so the nesting count stays
    // right and the record can still be released.
    auto call = [&](bool before) {
        platform::win32::CatchAtEdge("Skinned window", [&] {
            record.callback(before, bHandled, lReturn, lng_hWnd, uMsg, wParam, lParam, record.user);
        });
    };
    if (record.callback && record.before.Contains(uMsg)) call(true);
    if (uMsg == WM_DESTROY) record.releasePending = true;
    if (uMsg == WM_DESTROY || !bHandled) {
        lReturn = CallPrevious(record, lng_hWnd, uMsg, wParam, lParam);
        if (record.inUse == 1 && record.releasePending) {
            FreeRecord(&record);
            return lReturn;
        }
        if (record.callback && record.after.Contains(uMsg)) call(false);
    }
    // A release that came while this was the outermost dispatch but after
    // its previous procedure ran would otherwise wait for the next message.
    if (--record.inUse == 0 && record.releasePending) FreeRecord(&record);
    return lReturn;
}

TIMERPROC ClsSkinner::MakeCallback(int paramCount, int ordinal) {
    if (paramCount < 0) {
        ReportError(kMakeCallback, "Invalid Parameter count");
        return nullptr;
    }
    if (ordinal != kTimerProcOrdinal) {
        ReportError(kMakeCallback, "Callback address not found.");
        return nullptr;
    }
    // An adaptor that passed a different number of arguments than the
    // method takes would call it with garbage.
    if (paramCount != kTimerParamCount) {
        ReportError(kMakeCallback, "Invalid Parameter count");
        return nullptr;
    }
    if (!adaptors_) adaptors_.emplace();
    const std::string key = "h" + std::to_string(ordinal);
    for (const AdaptorEntry& entry : *adaptors_)
        if (entry.key == key) return entry.proc;
    const TIMERPROC proc = AcquireTimerProc(&ClsSkinner::RunTimerAdaptor, this);
    if (!proc) {
        ReportError(kMakeCallback, kAllocationFailed + std::to_string(ERROR_NOT_ENOUGH_MEMORY));
        return nullptr;
    }
    adaptors_->push_back(AdaptorEntry{key, proc});
    return proc;
}

void ClsSkinner::ReleaseAdaptors() {
    if (!adaptors_) return;
    while (!adaptors_->empty()) {
        ReleaseTimerProc(adaptors_->back().proc);
        adaptors_->pop_back();
    }
}

void ClsSkinner::RunTimerAdaptor(void* engine, HWND hwnd, UINT uMsg, UINT_PTR idEvent, DWORD dwTime) {
    static_cast<ClsSkinner*>(engine)->TimerProc(hwnd, uMsg, idEvent, dwTime);
}

}  // namespace tf::skin
