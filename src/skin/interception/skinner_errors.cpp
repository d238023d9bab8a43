#include "skin/interception/skinner_errors.h"

namespace tf::skin {

namespace {
constexpr char kClassName[] = "ClsSkinner";
}

void ReportSkinnerError(platform::EventLog& eventLog, platform::MessageSink& messages, const std::string& routine,
                        const std::string& message) {
    const std::string source = std::string(kClassName) + "." + routine;
    eventLog.LogError(source + ": " + message);
    messages.Show(platform::Message{message + ".", "Error in " + source, platform::MessageIcon::kExclamation});
}

}  // namespace tf::skin
