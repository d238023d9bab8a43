#pragma once
// Exceptions stop where the window system calls the program (window
// procedures, timer and hook callbacks): one that crossed into the system
// would end the process without a word. The failure is reported in a
// message box and the program keeps running.
#include <functional>
#include <string>

namespace tf::platform::win32 {

// Receives the report text; a null reporter restores the message box.
// Tests record reports here instead.
using FailureReporter = std::function<void(const std::string& text)>;
void SetFailureReporter(FailureReporter reporter);

// "<where>: <what the exception says>" for the exception in flight; call it
// from a catch block only.
std::string FailureText(const char* where);
// Reports the exception in flight; call it from a catch block only. A
// report made while another one is shown is dropped.
void ReportFailure(const char* where) noexcept;

template <class Result, class Call>
Result CatchAtEdge(const char* where, Result fallback, Call&& call) noexcept {
    try {
        return call();
    } catch (...) {
        ReportFailure(where);
        return fallback;
    }
}

template <class Call>
void CatchAtEdge(const char* where, Call&& call) noexcept {
    try {
        call();
    } catch (...) {
        ReportFailure(where);
    }
}

}  // namespace tf::platform::win32
