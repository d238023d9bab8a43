#pragma once
// A program that a test or benchmark starts. Its standard output and error
// may go to a file; it is ended if it still runs when the object goes.
#include <windows.h>

#include <string>

#include "platform/win32/unique_handle.h"

namespace tf::testing {

class ChildProcess {
public:
    // With `output` empty the child shares the caller's console.
    explicit ChildProcess(std::string command, const std::string& output = {}, DWORD flags = CREATE_NO_WINDOW) {
        STARTUPINFOA startup{};
        startup.cb = sizeof startup;
        platform::win32::UniqueFile out;
        if (!output.empty()) {
            SECURITY_ATTRIBUTES inherit{sizeof inherit, nullptr, TRUE};
            out.reset(CreateFileA(output.c_str(), GENERIC_WRITE, FILE_SHARE_READ, &inherit, CREATE_ALWAYS, 0,
                                  nullptr));
            if (!out) return;
            startup.dwFlags = STARTF_USESTDHANDLES;
            startup.hStdOutput = startup.hStdError = out.get();
        }
        PROCESS_INFORMATION info{};
        if (!CreateProcessA(nullptr, command.data(), nullptr, nullptr, out ? TRUE : FALSE, flags, nullptr, nullptr,
                            &startup, &info))
            return;
        platform::win32::UniqueKernelObject thread(info.hThread);
        process_.reset(info.hProcess);
        id_ = info.dwProcessId;
    }
    ~ChildProcess() {
        if (process_ && Wait(0) == kStillRunning) {
            TerminateProcess(process_.get(), 99);
            WaitForSingleObject(process_.get(), INFINITE);
        }
    }
    ChildProcess(const ChildProcess&) = delete;
    ChildProcess& operator=(const ChildProcess&) = delete;

    static constexpr int kStillRunning = -1;

    bool started() const { return static_cast<bool>(process_); }
    DWORD id() const { return id_; }
    // The exit code, or kStillRunning when it has not ended within `ms`.
    int Wait(DWORD ms = INFINITE) const {
        if (!process_ || WaitForSingleObject(process_.get(), ms) != WAIT_OBJECT_0) return kStillRunning;
        DWORD code = 0;
        GetExitCodeProcess(process_.get(), &code);
        return static_cast<int>(code);
    }

private:
    platform::win32::UniqueKernelObject process_;
    DWORD id_ = 0;
};

}  // namespace tf::testing
