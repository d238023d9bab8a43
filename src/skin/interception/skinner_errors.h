#pragma once
// How the skin engine's interception layer reports an error: first an error
// entry in the application event log, then an exclamation message box.
#include <string>

#include "platform/event_log.h"
#include "platform/message_sink.h"

namespace tf::skin {

// Event log: "ClsSkinner.<routine>: <message>"; box: the message and "." with
// the caption "Error in ClsSkinner.<routine>".
void ReportSkinnerError(platform::EventLog& eventLog, platform::MessageSink& messages, const std::string& routine,
                        const std::string& message);

}  // namespace tf::skin
