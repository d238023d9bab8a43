#pragma once
// The application event log through the event log API.
#include <string>
#include <utility>

#include "platform/event_log.h"

namespace tf::platform::win32 {

class ApplicationEventLog final : public EventLog {
public:
    // `source` names the application in the log's entries.
    explicit ApplicationEventLog(std::string source) : source_(std::move(source)) {}
    void LogError(const std::string& text) override;

private:
    std::string source_;
};

}  // namespace tf::platform::win32
