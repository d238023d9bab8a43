#include "platform/win32/event_log_win.h"

#include <windows.h>

namespace tf::platform::win32 {

void ApplicationEventLog::LogError(const std::string& text) {
    // A log that cannot be opened loses the entry; the caller shows the
    // message anyway.
    HANDLE log = RegisterEventSourceA(nullptr, source_.c_str());
    if (!log) return;
    const char* strings[] = {text.c_str()};
    ReportEventA(log, EVENTLOG_ERROR_TYPE, 0, 0, nullptr, 1, 0, strings, nullptr);
    DeregisterEventSource(log);
}

}  // namespace tf::platform::win32
