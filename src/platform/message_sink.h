#pragma once
// Where the program's message boxes go. The Win32 build shows a real
// MessageBoxA titled with the application's title; tests record the texts so
// that nothing ever blocks on a dialog.
#include <string>
#include <vector>

namespace tf::platform {

class MessageSink {
public:
    virtual ~MessageSink() = default;
    // An OK-only message box with the given text.
    virtual void Show(const std::string& text) = 0;
};

// Keeps every message shown; used by tests and by headless tools.
class RecordingMessageSink final : public MessageSink {
public:
    void Show(const std::string& text) override { shown.push_back(text); }
    std::vector<std::string> shown;
};

}  // namespace tf::platform
