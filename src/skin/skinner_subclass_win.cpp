// The engine's interception members: forwards to its MessageInterceptor,
// its own handlers as interception callbacks, and the hover timer's adaptor.
#include "skin/cls_skinner_win.h"
#include "skin/interception/skinner_errors.h"

namespace tf::skin {

namespace {

constexpr char kMakeCallback[] = "MakeCallback";
constexpr char kAllocationFailed[] = "VirtualAlloc failed, error: ";
constexpr int kTimerParamCount = 4;

}  // namespace

void ClsSkinner::ReportError(const char* routine, const std::string& message) {
    ReportSkinnerError(*services_.eventLog, *services_.messages, routine, message);
}

bool ClsSkinner::Subclass(HWND window, LONG_PTR user, HandlerMethod handler, bool unicode) {
    SubclassHandler callback;
    if (handler)
        callback = [this, handler](bool before, bool& handled, LRESULT& result, HWND target, UINT message,
                                   WPARAM wParam, LPARAM lParam, LONG_PTR& value) {
            (this->*handler)(before, handled, result, target, message, wParam, lParam, value);
        };
    return interceptor_.Intercept(window, user, std::move(callback), unicode);
}

bool ClsSkinner::Subclass(HWND window, LONG_PTR user, SubclassHandler callback, bool unicode) {
    return interceptor_.Intercept(window, user, std::move(callback), unicode);
}

void ClsSkinner::AddMsg(HWND window, UINT message, int when) { interceptor_.AddMsg(window, message, when); }
void ClsSkinner::DelMsg(HWND window, UINT message, int when) { interceptor_.DelMsg(window, message, when); }

LRESULT ClsSkinner::CallOldWndProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    return interceptor_.CallOldWndProc(window, message, wParam, lParam);
}

LONG_PTR ClsSkinner::GetWindowUserValue(HWND window) { return interceptor_.UserValue(window); }
void ClsSkinner::SetWindowUserValue(HWND window, LONG_PTR user) { interceptor_.SetUserValue(window, user); }
void ClsSkinner::ReleaseWindow(HWND window) { interceptor_.Release(window); }
void ClsSkinner::ReleaseAll() { interceptor_.ReleaseAll(); }

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
    const TIMERPROC proc = interceptor_.TimerAdaptor(ordinal, &ClsSkinner::RunTimerAdaptor, this);
    if (!proc) ReportError(kMakeCallback, kAllocationFailed + std::to_string(ERROR_NOT_ENOUGH_MEMORY));
    return proc;
}

void ClsSkinner::ReleaseAdaptors() { interceptor_.ReleaseAdaptors(); }

void ClsSkinner::RunTimerAdaptor(void* engine, HWND hwnd, UINT uMsg, UINT_PTR idEvent, DWORD dwTime) {
    static_cast<ClsSkinner*>(engine)->TimerProc(hwnd, uMsg, idEvent, dwTime);
}

}  // namespace tf::skin
