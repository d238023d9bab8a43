#pragma once
// Message interception, keyed by window handle: one record in front of each
// intercepted window's procedure, its two message tables, the dispatch with
// its nesting count and deferred release, and timer adaptors that call a
// target with a context. Every error goes to the reporter under the
// routine's name and the operation then does nothing. GUI thread only.
#include <windows.h>

#include <functional>
#include <string>
#include <vector>

#include "skin/interception/callback_slots_win.h"
#include "skin/interception/intercept_record_win.h"

namespace tf::skin {

class MessageInterceptor {
public:
    // Phases of a registration; they combine.
    enum When : int { kBefore = 1, kAfter = 2, kBeforeAndAfter = 3 };
    using ErrorReporter = std::function<void(const char* routine, const std::string& message)>;

    explicit MessageInterceptor(ErrorReporter report) : report_(std::move(report)) {}
    // Records still dispatching outlive the interceptor and free themselves.
    ~MessageInterceptor();
    MessageInterceptor(const MessageInterceptor&) = delete;
    MessageInterceptor& operator=(const MessageInterceptor&) = delete;

    // Puts a record with empty tables in front of the window's procedure.
    // `unicode` asks for a Unicode record, made when the window is a
    // Unicode window.
    bool Intercept(HWND window, LONG_PTR user, SubclassHandler handler, bool unicode);
    // ALL_MESSAGES registers every message / empties the table.
    void AddMsg(HWND window, UINT message, int when);
    void DelMsg(HWND window, UINT message, int when);
    // The window's previous procedure's answer; 0 when the window has no
    // record.
    LRESULT CallOldWndProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    LONG_PTR UserValue(HWND window);
    void SetUserValue(HWND window, LONG_PTR user);
    // Removes the interception; while a dispatch through the window's record
    // is running the record goes when the outermost one ends.
    void Release(HWND window);
    void ReleaseAll();  // last intercepted first

    // The timer procedure for `key`, made on first use to call
    // target(context, ...); the same one for the same key until
    // ReleaseAdaptors. Null when none is left.
    TIMERPROC TimerAdaptor(int key, TimerProcTarget target, void* context);
    void ReleaseAdaptors();

private:
    struct Entry {
        HWND window;
        InterceptRecord* record;  // null once the record freed itself
    };
    struct Adaptor {
        int key;
        TIMERPROC proc;
    };

    // The window's record; reports a window without one. Also null (without
    // a report) when the record has freed itself since.
    InterceptRecord* Find(HWND window);
    void Forget(const InterceptRecord* record);
    static LRESULT Dispatch(void* record, HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    static void Free(InterceptRecord* record);

    ErrorReporter report_;
    bool started_ = false;  // the first Intercept happened
    std::vector<Entry> entries_;  // in interception order
    std::vector<Adaptor> adaptors_;
};

}  // namespace tf::skin
