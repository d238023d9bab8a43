#pragma once
// The application event log. The Win32 build reports through the event log
// API; tests record the entries (the Wine event log keeps nothing).
#include <string>
#include <vector>

namespace tf::platform {

class EventLog {
public:
    virtual ~EventLog() = default;
    // Writes one entry of type error.
    virtual void LogError(const std::string& text) = 0;
};

class RecordingEventLog final : public EventLog {
public:
    void LogError(const std::string& text) override { errors.push_back(text); }
    std::vector<std::string> errors;
};

}  // namespace tf::platform
