#include "platform/win32/edge_guard_win.h"

#include <windows.h>

#include <exception>

#include "platform/win32/desktop_services_win.h"

namespace tf::platform::win32 {
namespace {

FailureReporter& Reporter() {
    static FailureReporter reporter;
    return reporter;
}

bool gReporting = false;

}  // namespace

void SetFailureReporter(FailureReporter reporter) { Reporter() = std::move(reporter); }

std::string FailureText(const char* where) {
    std::string what = "unknown exception";
    try {
        throw;
    } catch (const std::exception& e) {
        what = e.what();
    } catch (...) {
    }
    return std::string(where) + ": " + what;
}

void ReportFailure(const char* where) noexcept {
    if (gReporting) return;  // the box's own messages failed again
    gReporting = true;
    try {
        const std::string text = FailureText(where);
        if (Reporter())
            Reporter()(text);
        else
            MessageBoxA(GetActiveWindow(), (text + "\n\nThe program goes on; the last action may be incomplete.").c_str(),
                        ApplicationTitle().c_str(), MB_OK | MB_ICONERROR);
    } catch (...) {
        // Nothing more can be said: the program goes on.
    }
    gReporting = false;
}

}  // namespace tf::platform::win32
