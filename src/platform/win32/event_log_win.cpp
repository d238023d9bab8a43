#include "platform/win32/event_log_win.h"

#include <windows.h>

#include "platform/win32/unique_handle.h"

namespace tf::platform::win32 {

void ApplicationEventLog::LogError(const std::string& text) {
    // A log that cannot be opened loses the entry; the caller shows the
    // message anyway.
    UniqueEventSource log(RegisterEventSourceA(nullptr, source_.c_str()));
    if (!log) return;
    const char* strings[] = {text.c_str()};
    ReportEventA(log.get(), EVENTLOG_ERROR_TYPE, 0, 0, nullptr, 1, 0, strings, nullptr);
}

}  // namespace tf::platform::win32
